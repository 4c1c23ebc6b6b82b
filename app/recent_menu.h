// The tray menu's "Recent uploads" submenu and its commands.
#pragma once
#include <cstdint>
#include "platform/types.h"

namespace corvane {

inline constexpr std::uint32_t IDM_CLEAR_RECENT = 8;
// Entry i of the submenu (0 the newest) has the ids IDM_RECENT_FIRST + 4 i + action.
inline constexpr std::uint32_t IDM_RECENT_FIRST = 100;
enum RecentAction : std::uint32_t { RecentCopyLink = 0, RecentOpen = 1, RecentDelete = 2 };

// A new submenu of the stored uploads, newest first, each its own submenu of
// actions ("&Delete from service" only where the service gave a delete key),
// then a separator and "C&lear recent uploads". Null when no menu could be made.
platform::Hmenu buildRecentMenu();

// Runs a command of that submenu; false when id is none of its ids.
bool runRecentCommand(std::uint32_t id);

}  // namespace corvane

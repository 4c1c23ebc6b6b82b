// A notice in a balloon from our tray icon: for what the user should know but
// need not answer (no modal box, no focus taken from what they are doing).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include "platform/types.h"

namespace corvane {

// The one icon the program shows, on the main window.
inline constexpr std::uint32_t kTrayIconId = 100;
// The tray record as the shell knew it before balloon icons: up to and including
// guidItem. Its size depends on the pointer width, so it is computed.
inline constexpr std::uint32_t kTrayIconRecordSize =
    offsetof(platform::NotifyIconData, guidItem) + sizeof(platform::Guid);

// The most of a balloon's text the record holds; the shell shows no more.
inline constexpr std::size_t kBalloonTextLength = 255;

enum class BalloonIcon : std::uint32_t { Info = 1, Warning = 2, Error = 3 };  // NIIF_*

// Shows title and text (cut to the record's 63 and 255 characters) as a balloon
// of the tray icon (window, kTrayIconId). False when the shell did not take it
// (no icon, no shell).
bool ShowBalloon(platform::Hwnd window, std::u16string_view title, std::u16string_view text,
                 BalloonIcon icon = BalloonIcon::Info);

// Takes away the balloon of the tray icon (window, kTrayIconId) if one shows,
// as before a menu of the icon opens, which a balloon would cover. False when
// the shell did not take the change (no icon, no shell).
bool HideBalloon(platform::Hwnd window);

}  // namespace corvane

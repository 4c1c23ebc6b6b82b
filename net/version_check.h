// The version check: the exchange runs once at start-up on a thread of its own;
// the question it may lead to is asked on the user-interface thread.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include "platform/types.h"

namespace corvane {

// The main window's private message: the service announced a newer version.
// Its text (at most three characters) is packed into wParam and lParam.
inline constexpr std::uint32_t UM_NEWVERSION = 12003;

// One version request to the service: the first three characters of the newer
// version it announces, or nothing when it announces none or the check failed.
// Shows nothing.
std::optional<std::u16string> CheckVersion();

// Asks whether to get the announced version, and opens the download page on
// Yes. Call on the user-interface thread, inside the program's modal gate.
void OfferNewVersion(std::u16string_view version);

// The message that carries version to the main window, and back again.
struct VersionMessage {
  platform::Wparam wParam;
  platform::Lparam lParam;
};
VersionMessage PackVersion(std::u16string_view version);
std::u16string UnpackVersion(platform::Wparam wParam, platform::Lparam lParam);

// The thread: one check; a newer version is posted to the window it is given
// (the main window) as UM_NEWVERSION, since a message box of this thread would
// sit outside the program's gate and could open over capture mode.
std::uint32_t VersionCheckThread(void* mainWindow);

}  // namespace corvane

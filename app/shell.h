// Start-up, the message loop, the windows, the tray icon and the tray menu.
#pragma once
#include "platform/types.h"

namespace corvane {

// The portable start-up: args are the parsed wide arguments, program name first.
// Returns the process exit code.
int runCorvane(platform::Hinstance instance, int argc, char16_t** args);

void registerWindowClasses(platform::Hinstance instance);
bool createWindows(platform::Hinstance instance);
platform::Lresult mainWindowProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                 platform::Lparam lParam);
int runMessageLoop();
void showTrayMenu();

// Tray menu ids.
inline constexpr std::uint32_t IDM_EXIT = 0;
inline constexpr std::uint32_t IDM_CAPTURE = 1;
inline constexpr std::uint32_t IDM_FILEUPLOAD = 2;
inline constexpr std::uint32_t IDM_SAVEPATH = 3;
inline constexpr std::uint32_t IDM_QUICKCAPTURE = 4;
inline constexpr std::uint32_t IDM_AUTOSTART = 5;
inline constexpr std::uint32_t IDM_AUTOUPDATE = 6;

}  // namespace corvane

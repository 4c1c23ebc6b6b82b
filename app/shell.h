// Start-up, the message loop, the windows, the tray icon and the tray menu.
#pragma once
#include <cstddef>
#include "desktop/balloon.h"
#include "platform/types.h"

// The platform constants used below have <windows.h>'s macro names: set aside here, given
// back at the end (see platform/types.h).
// <windows.h> names hidden (scripts/windows_names.py): begin
#pragma push_macro("WM_USER")
#undef WM_USER
// <windows.h> names hidden: end

namespace corvane {

// The portable start-up: args are the parsed wide arguments, program name first.
// Returns the process exit code.
int runCorvane(platform::Hinstance instance, int argc, char16_t** args);

void registerWindowClasses(platform::Hinstance instance);
bool createWindows(platform::Hinstance instance);
platform::Lresult mainWindowProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                 platform::Lparam lParam);
// Returns the wParam of WM_QUIT (1 if the platform could not deliver messages).
int runMessageLoop();
// Shows the tray menu; false when it may not open now (capture mode is on).
// anchor: where the shell placed it (version 4); null: at the mouse.
bool showTrayMenu(const platform::Point* anchor);
// Log-off or shutdown: leaves capture mode, removes the tray icon and ends the process.
void endSession();

// Runs one tray menu command; ids the menu does not have do nothing.
void runTrayCommand(std::uint32_t id);
// The file upload command (Alt+F, tray menu): runs only when nothing else does.
void runFileUpload();

// Private messages to the main window and the tray callback.
inline constexpr std::uint32_t UM_TRAYICON = platform::WM_USER + 1;
inline constexpr std::uint32_t UM_CAPTURE = 12000;
inline constexpr std::uint32_t UM_FILEUPLOAD = 12001;
inline constexpr std::uint32_t UM_CANCELCAPTURE = 12002;

// Global hot-key ids held for the life of the process (Escape's is capture mode's).
inline constexpr std::int32_t HOTKEY_CAPTURE = 1;
inline constexpr std::int32_t HOTKEY_FILEUPLOAD = 3;

// Tray menu ids.
inline constexpr std::uint32_t IDM_EXIT = 0;
inline constexpr std::uint32_t IDM_CAPTURE = 1;
inline constexpr std::uint32_t IDM_FILEUPLOAD = 2;
inline constexpr std::uint32_t IDM_SAVEPATH = 3;
inline constexpr std::uint32_t IDM_QUICKCAPTURE = 4;
inline constexpr std::uint32_t IDM_AUTOSTART = 5;
inline constexpr std::uint32_t IDM_AUTOUPDATE = 6;
inline constexpr std::uint32_t IDM_SETTINGS = 7;


}  // namespace corvane

// <windows.h> names restored: begin
#pragma pop_macro("WM_USER")
// <windows.h> names restored: end

// The shell's own record: what start-up made and Exit takes down. Written only
// by createWindows; capture mode keeps its own state (capture/capture.h).
#pragma once
#include "platform/guards.h"
#include "platform/types.h"

namespace corvane {

struct AppState {
  platform::Hinstance instance;
  platform::Hwnd mainWindow;
  platform::Hwnd selectionWindow;
  // The shell's announcement that it (re)started with no icons: registered
  // by name, so its number differs from one session to the next; 0 if unknown.
  std::uint32_t taskbarCreated;
};

extern AppState app;

// The tray icon, from createWindows until Exit or the session's end. A
// function's own static, so that it goes before what the platform's calls need.
platform::TrayIcon& trayIcon();

}  // namespace corvane

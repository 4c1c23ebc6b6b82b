// The shell's own record: what start-up made and Exit takes down. Written only
// by createWindows; capture mode keeps its own state (capture/capture.h).
#pragma once
#include "platform/types.h"

namespace corvane {

struct AppState {
  platform::Hinstance instance;
  platform::Hwnd mainWindow;
  platform::Hwnd selectionWindow;
  platform::NotifyIconData trayIcon;
};

extern AppState app;

}  // namespace corvane

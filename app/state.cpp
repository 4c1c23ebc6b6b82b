#include "app/state.h"

namespace corvane {
AppState app{};

platform::TrayIcon& trayIcon() {
  static platform::TrayIcon icon;
  return icon;
}
}

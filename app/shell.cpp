// Start-up and message loop; windows, tray icon and tray menu. (To be built.)
#include "app/shell.h"
#include "app/state.h"
#include "platform/user32.h"

namespace corvane {

int runCorvane(platform::Hinstance, int, char16_t**) { return 0; }
void registerWindowClasses(platform::Hinstance) {}
bool createWindows(platform::Hinstance) { return false; }
platform::Lresult mainWindowProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                 platform::Lparam lParam) {
  return platform::DefWindowProcW(window, message, wParam, lParam);
}
int runMessageLoop() { return 0; }
void showTrayMenu() {}

}  // namespace corvane

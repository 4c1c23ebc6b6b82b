// Capture mode, selection, region grab, post-selection menu. (To be built.)
#include "capture/capture.h"
#include "platform/user32.h"

namespace corvane {

void enterCaptureMode(platform::Hwnd) {}
void leaveCaptureMode(platform::Hwnd) {}
void placeSelectionWindow(std::int32_t, std::int32_t, std::int32_t, std::int32_t, bool) {}
platform::Lresult selectionWindowProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                      platform::Lparam lParam) {
  return platform::DefWindowProcW(window, message, wParam, lParam);
}
platform::Lresult captureModeBranch(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                    platform::Lparam lParam) {
  return platform::DefWindowProcW(window, message, wParam, lParam);
}
platform::Lresult postSelectionBranch(platform::Hwnd, std::uint32_t, platform::Wparam, platform::Lparam) { return 0; }
void grabRegion() {}
void finishSelection(platform::Hwnd) {}

}  // namespace corvane

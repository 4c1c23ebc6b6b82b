// The two windows of capture mode, their moves, and the translucent selection
// window that follows the dragged rectangle.
#include "capture/capture.h"
#include "platform/gdi32.h"
#include "platform/guards.h"
#include "platform/user32.h"

namespace corvane {

// Topmost, so that the taskbar and other topmost windows do not lie over the
// frozen desktop, and activated, so that the keys of capture mode reach it:
// the hot key or tray click that began capture mode lets us take the foreground.
void CaptureWindows::cover(const ScreenArea& s) const {
  using namespace platform;
  SetWindowPos(main_, HWND_TOPMOST, s.left, s.top, s.width, s.height, SWP_SHOWWINDOW);
  SetForegroundWindow(main_);
  UpdateWindow(main_);
}

// The selection window is owned by the full-screen one and so lies above it.
// Shown without activation: activated, it would take the keyboard from the
// full-screen window, and the arrow keys and M of a drag would go nowhere.
// Shown and painted first, then moved with a repaint: under Wine a layered
// window placed and sized in one SetWindowPos was left unpainted after a drag
// towards the top left.
void CaptureWindows::showSelection(const platform::Rect& r) const {
  using namespace platform;
  ShowWindow(selection_, SW_SHOWNA);
  UpdateWindow(selection_);
  MoveWindow(selection_, r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1, 1);
}

void CaptureWindows::hideSelection() const { platform::ShowWindow(selection_, platform::SW_HIDE); }

// Up already, and painted but for what the selection window covered: brought
// to the top (a window shown meanwhile may lie over it) and the rest painted,
// without the unmapping and mapping of a hide and a show. Not activated: it
// has been the active window since capture mode began, and activating it again
// costs the release a few milliseconds under Wine for nothing on screen.
void CaptureWindows::raiseForWork() const {
  using namespace platform;
  SetWindowPos(main_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
  UpdateWindow(main_);
}

void CaptureWindows::park() const {
  using namespace platform;
  SetWindowPos(selection_, nullptr, 0, 0, 1, 1, SWP_HIDEWINDOW | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(main_, SW_HIDE);
}

platform::Lresult selectionWindowProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                      platform::Lparam lParam) {
  using namespace platform;
  if (message != WM_ERASEBKGND) return DefWindowProcW(window, message, wParam, lParam);
  Rect rc{};
  GetClientRect(window, &rc);
  // Declared so that both tools are put back out of the DC before they are deleted.
  const WindowDc dc(window);
  const UniqueGdiObject brush(CreateSolidBrush(Rgb(100, 100, 100)));
  const Selected brushSelected(dc.get(), brush.get());
  const UniqueGdiObject pen(CreatePen(PS_DOT, 1, Rgb(0, 10, 255)));
  const Selected penSelected(dc.get(), pen.get());
  // The DC's default opaque white background fills the gaps of the dotted border.
  Rectangle(dc.get(), 0, 0, rc.right, rc.bottom);
  return 1;
}

}  // namespace corvane

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

namespace {

struct Above {
  platform::Hwnd window;
  platform::Rect area;
  bool covered = false;
};

// Top of the Z order first, until the window itself: whether a visible window
// over part of it lies above it.
platform::Bool stopAtWindow(platform::Hwnd other, platform::Lparam lParam) {
  using namespace platform;
  auto& above = *reinterpret_cast<Above*>(lParam);
  if (other == above.window) return 0;
  Rect r{};
  if (!IsWindowVisible(other) || !GetWindowRect(other, &r)) return 1;
  above.covered = r.left < above.area.right && r.right > above.area.left && r.top < above.area.bottom &&
                  r.bottom > above.area.top;
  return above.covered ? 0 : 1;
}

bool coveredByAnother(platform::Hwnd window) {
  using namespace platform;
  Above above{window, {}};
  if (!GetWindowRect(window, &above.area)) return true;
  EnumWindows(&stopAtWindow, reinterpret_cast<Lparam>(&above));
  return above.covered;
}

}  // namespace

// Up already, and painted but for what the selection window covered: brought
// to the top only when a window shown meanwhile lies over it (under Wine even
// a placement that changes nothing costs the release a few milliseconds), and
// the rest painted, without the unmapping and mapping of a hide and a show.
// Not activated: it has been the active window since capture mode began.
void CaptureWindows::raiseForWork() const {
  using namespace platform;
  if (!IsWindowVisible(main_) || coveredByAnother(main_))
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

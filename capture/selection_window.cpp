// The translucent selection window that follows the dragged rectangle.
#include "capture/capture.h"
#include "platform/gdi32.h"
#include "platform/guards.h"
#include "platform/user32.h"

namespace corvane {

void Capture::placeSelectionWindow(const Selection& s, bool hideAfter) const {
  platform::ShowWindow(selectionWindow_, platform::SW_SHOW);
  platform::UpdateWindow(selectionWindow_);
  if (hideAfter) platform::ShowWindow(selectionWindow_, platform::SW_HIDE);
  const platform::Rect r = normalise(s.startX, s.startY, s.endX, s.endY);
  platform::MoveWindow(selectionWindow_, r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1, 1);
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

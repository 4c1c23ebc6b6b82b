// The translucent selection window that follows the dragged rectangle.
#include "app/state.h"
#include "capture/capture.h"
#include "platform/gdi32.h"
#include "platform/user32.h"

namespace corvane {

void placeSelectionWindow(std::int32_t startX, std::int32_t startY, std::int32_t endX, std::int32_t endY,
                          bool hideAfter) {
  platform::ShowWindow(app.selectionWindow, platform::SW_SHOW);
  platform::UpdateWindow(app.selectionWindow);
  if (hideAfter) platform::ShowWindow(app.selectionWindow, platform::SW_HIDE);
  const platform::Rect r = normalise(startX, startY, endX, endY);
  platform::MoveWindow(app.selectionWindow, r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1, 1);
}

platform::Lresult selectionWindowProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                      platform::Lparam lParam) {
  if (message != platform::WM_ERASEBKGND) return platform::DefWindowProcW(window, message, wParam, lParam);
  platform::Rect rc{};
  platform::GetClientRect(window, &rc);
  platform::Hdc dc = platform::GetDC(window);
  platform::Hgdiobj brush = platform::CreateSolidBrush(platform::Rgb(100, 100, 100));
  platform::Hgdiobj oldBrush = platform::SelectObject(dc, brush);
  platform::Hgdiobj pen = platform::CreatePen(platform::PS_DOT, 1, platform::Rgb(0, 10, 255));
  platform::Hgdiobj oldPen = platform::SelectObject(dc, pen);
  // The DC's default opaque white background fills the gaps of the dotted border.
  platform::Rectangle(dc, 0, 0, rc.right, rc.bottom);
  // A pen or brush still selected into a DC is not freed by DeleteObject.
  platform::SelectObject(dc, oldPen);
  platform::SelectObject(dc, oldBrush);
  platform::DeleteObject(pen);
  platform::DeleteObject(brush);
  platform::ReleaseDC(window, dc);
  return 1;
}

}  // namespace corvane

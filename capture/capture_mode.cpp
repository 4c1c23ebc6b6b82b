// Capture mode: entering and leaving it, the desktop snapshot it shows, and the
// capture-mode branch of the main window procedure.
#include "app/state.h"
#include "capture/capture.h"
#include "platform/gdi32.h"
#include "platform/user32.h"

namespace corvane {

// A shown window that paints nothing is black under desktop composition, and a
// copy of the screen taken while it is up copies that black. So the desktop is
// copied before the window comes up; the window shows the copy and the grab
// takes its pixels from it.
void takeSnapshot() {
  releaseSnapshot();
  platform::Hdc screen = platform::GetDC(nullptr);
  app.snapshotDC = platform::CreateCompatibleDC(screen);
  app.snapshotBitmap = platform::CreateCompatibleBitmap(screen, app.screenWidth, app.screenHeight);
  app.snapshotOldBitmap = platform::SelectObject(app.snapshotDC, platform::AsObject(app.snapshotBitmap));
  platform::BitBlt(app.snapshotDC, 0, 0, app.screenWidth, app.screenHeight, screen, app.screenOriginX,
                   app.screenOriginY, platform::SRCCOPY);
  platform::ReleaseDC(nullptr, screen);
  // Without memory for the picture the DC holds only its default 1 x 1 bitmap:
  // keeping it would turn every grab black, so the grab copies the screen instead.
  if (app.snapshotDC == nullptr || app.snapshotBitmap == nullptr) releaseSnapshot();
}

void releaseSnapshot() {
  if (app.snapshotDC == nullptr && app.snapshotBitmap == nullptr) return;
  if (app.snapshotDC != nullptr) {
    // The bitmap cannot be deleted while it is selected.
    platform::SelectObject(app.snapshotDC, app.snapshotOldBitmap);
    platform::DeleteDC(app.snapshotDC);
  }
  if (app.snapshotBitmap != nullptr) platform::DeleteObject(platform::AsObject(app.snapshotBitmap));
  app.snapshotDC = nullptr;
  app.snapshotBitmap = nullptr;
  app.snapshotOldBitmap = nullptr;
}

void paintSnapshot(platform::Hwnd window) {
  platform::PaintStruct paint{};
  platform::Hdc dc = platform::BeginPaint(window, &paint);
  // The main window lies exactly over the virtual screen, as the snapshot does.
  if (dc != nullptr && app.snapshotDC != nullptr) {
    const platform::Rect& r = paint.rcPaint;
    platform::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, app.snapshotDC, r.left, r.top,
                     platform::SRCCOPY);
  }
  platform::EndPaint(window, &paint);
}

void releaseCaptureResources() {
  releaseGrab();
  releaseSnapshot();
}

void hideCaptureWindow() {
  platform::ShowWindow(app.mainWindow, platform::SW_HIDE);
  platform::UpdateWindow(app.mainWindow);
  releaseCaptureResources();
}

void enterCaptureMode(platform::Hwnd window) {
  takeSnapshot();
  platform::ShowWindow(window, platform::SW_SHOW);
  platform::UpdateWindow(window);
  app.captureMode = true;
  app.menuPending = false;
  // Fails when another program holds Escape; the right button still leaves.
  platform::RegisterHotKey(nullptr, HOTKEY_ESCAPE, 0, platform::VK_ESCAPE);
}

void leaveCaptureMode(platform::Hwnd window) {
  platform::ReleaseCapture();
  placeSelectionWindow(0, 0, 0, 0, true);
  platform::ShowWindow(window, platform::SW_HIDE);
  platform::UpdateWindow(window);
  releaseCaptureResources();
}

platform::Lresult captureModeBranch(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                    platform::Lparam lParam) {
  // Client coordinates of the full-screen window, moved to the virtual screen.
  const std::int32_t x = static_cast<std::int32_t>(lParam & 0xFFFF) + app.screenOriginX;
  const std::int32_t y = static_cast<std::int32_t>((lParam >> 16) & 0xFFFF) + app.screenOriginY;
  switch (message) {
    case platform::WM_MOUSEMOVE:
      if (app.dragging != 0) {
        app.selection.endX = x;
        app.selection.endY = y;
        placeSelectionWindow(app.selection.startX, app.selection.startY, x, y, false);
      }
      return 0;
    case platform::WM_LBUTTONDOWN:
      app.buttonDown = true;
      app.dragging = 1;
      app.selection.startX = x;
      app.selection.startY = y;
      platform::SetCapture(app.mainWindow);
      app.menuPending = false;
      // From here Escape belongs to whatever program has the keyboard.
      platform::UnregisterHotKey(nullptr, HOTKEY_ESCAPE);
      return 0;
    case platform::WM_LBUTTONUP:
      handleButtonRelease(x, y);
      return 0;
    case platform::WM_RBUTTONDOWN:
      // A right click leaves only before the drag; during one it changes nothing.
      if (!app.buttonDown) {
        hideCaptureWindow();
        app.captureMode = false;
        platform::UnregisterHotKey(nullptr, HOTKEY_ESCAPE);
      }
      return 0;
    case platform::WM_PAINT:
      paintSnapshot(window);
      return 0;
  }
  return platform::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace corvane

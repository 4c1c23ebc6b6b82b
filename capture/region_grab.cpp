// The button release in capture mode, the region grab and finishSelection.
#include "app/state.h"
#include "capture/capture.h"
#include "net/upload.h"
#include "picture/jpeg.h"
#include "platform/gdi32.h"
#include "platform/kernel32.h"
#include "platform/user32.h"
#include "settings/settings.h"

namespace corvane {

void handleButtonRelease(std::int32_t x, std::int32_t y) {
  app.buttonDown = false;
  if (settings.quickCapture) app.uploadChoice = 0;
  app.dragging = 0;
  platform::ReleaseCapture();
  app.selection.endX = x;
  app.selection.endY = y;
  grabRegion();
  if (settings.quickCapture) {
    finishSelection(app.mainWindow);
    app.menuPending = false;
    app.captureMode = false;
    // A release without a press (the button went down before capture mode
    // began) would leave Escape taken from every other program.
    platform::UnregisterHotKey(nullptr, HOTKEY_ESCAPE);
    return;
  }
  // Without a menu capture mode goes on, button up; the grab waits for the next one.
  if (!showPostSelectionMenu()) return;
  app.menuPending = true;
  app.captureMode = false;
}

void grabRegion() {
  // A grab left over from a menu that could not be made is replaced here.
  releaseGrab();
  app.grabScreenDC = platform::GetDC(nullptr);
  const Selection& s = app.selection;
  placeSelectionWindow(s.startX, s.startY, s.endX, s.endY, true);
  const platform::Rect r = normalise(s.startX, s.startY, s.endX, s.endY);
  const std::int32_t left = r.left, top = r.top, width = r.right - r.left + 1, height = r.bottom - r.top + 1;
  app.grabBitmap = platform::CreateCompatibleBitmap(app.grabScreenDC, width, height);
  app.grabMemoryDC = platform::CreateCompatibleDC(app.grabScreenDC);
  platform::SelectObject(app.grabMemoryDC, platform::AsObject(app.grabBitmap));
  // The pixels come from the desktop as it was when capture mode began, not
  // from the screen, where our own full-screen window now lies.
  if (app.snapshotDC != nullptr) {
    platform::BitBlt(app.grabMemoryDC, 0, 0, width, height, app.snapshotDC, left - app.screenOriginX,
                     top - app.screenOriginY, platform::SRCCOPY);
  } else {
    platform::BitBlt(app.grabMemoryDC, 0, 0, width, height, app.grabScreenDC, left, top, platform::SRCCOPY);
  }
  app.grabHeld = true;
  MakeTempJpegFile(app.tempFolder, app.tempFileName);
}

void releaseGrab() {
  if (!app.grabHeld) return;
  // An empty name means none was made for this picture: nothing of another's is deleted.
  if (app.tempFileName[0] != 0) platform::DeleteFileW(app.tempFileName);
  platform::DeleteDC(app.grabMemoryDC);
  platform::DeleteObject(platform::AsObject(app.grabBitmap));
  platform::ReleaseDC(nullptr, app.grabScreenDC);
  app.grabMemoryDC = app.grabScreenDC = nullptr;
  app.grabBitmap = nullptr;
  app.tempFileName[0] = 0;
  app.grabHeld = false;
}

void finishSelection(platform::Hwnd window) {
  platform::SetCursor(platform::LoadCursorW(nullptr, platform::MakeIntResource(platform::IDC_WAIT)));
  platform::ShowCursor(1);
  // Up again over the screen while the work lasts: the wait cursor shows over it
  // and its message boxes have an owner on screen.
  platform::ShowWindow(window, platform::SW_HIDE);
  platform::ShowWindow(window, platform::SW_SHOW);
  platform::UpdateWindow(window);
  if (app.tempFileName[0] != 0 && SaveBitmapAsJpeg(app.tempFileName, app.grabBitmap) == 1) {
    UploadPicture(window, app.tempFileName);
  } else {
    platform::MessageBoxW(window, u"Could not save image", u"Error", platform::MB_ICONERROR);
  }
  releaseGrab();
  platform::SetCursor(platform::LoadCursorW(nullptr, platform::MakeIntResource(platform::IDC_ARROW)));
  platform::ShowCursor(0);
  placeSelectionWindow(0, 0, 0, 0, true);
  platform::ShowWindow(window, platform::SW_SHOW);
  platform::ShowWindow(window, platform::SW_HIDE);
  platform::UpdateWindow(window);
  releaseSnapshot();
}

}  // namespace corvane

// The button release in capture mode, the region grab and the end of a selection.
#include "capture/capture.h"
#include "net/upload.h"
#include "picture/jpeg.h"
#include "platform/gdi32.h"
#include "platform/kernel32.h"
#include "platform/user32.h"
#include "settings/settings.h"

namespace corvane {

void Capture::release(platform::Point at) {
  mouse_.reset();
  selection_.endX = at.x;
  selection_.endY = at.y;
  grabRegion();
  // A release without a press (the button went down before capture mode
  // began) would otherwise leave Escape taken from every other program, and
  // the menu below reads Escape itself.
  escape_.reset();
  if (settings.quickCapture) {
    finish(0);
    return;
  }
  const int command = runMenu();
  // The session ended while the menu was up: nothing is uploaded any more.
  if (sessionEnded_) {
    leave();
    return;
  }
  switch (command) {
    case -1:
      // Without a menu capture mode goes on, button up; the grab waits for the next one.
      state_ = CaptureState::Waiting;
      break;
    case IDM_UPLOAD:
    case IDM_UPLOADSAVE:
      finish(command == IDM_UPLOADSAVE ? 1 : 0);
      break;
    case IDM_CANCEL:
      uploadChoice_ = 0;
      leave();
      break;
    default:  // dismissed
      leave();
      break;
  }
}

void Capture::grabRegion() {
  using namespace platform;
  // A grab left over from a menu that could not be made is replaced here.
  grab_.reset();
  Grab& grab = grab_.emplace();
  grab.screenDc = WindowDc(nullptr);
  placeSelectionWindow(selection_, true);
  const Rect r = normalise(selection_.startX, selection_.startY, selection_.endX, selection_.endY);
  const std::int32_t width = r.right - r.left + 1, height = r.bottom - r.top + 1;
  void* bits = nullptr;
  grab.bitmap.reset(newPicture(grab.screenDc.get(), width, height, 24, &bits));
  // Top-down rows, each padded to four bytes.
  grab.rows = {width, height, (width * 24 + 31) / 32 * 4, static_cast<std::uint8_t*>(bits)};
  grab.memoryDc.reset(CreateCompatibleDC(grab.screenDc.get()));
  grab.selected = Selected(grab.memoryDc.get(), AsObject(grab.bitmap.get()));
  // The pixels come from the desktop as it was when capture mode began, never
  // from the screen, where our own full-screen window now lies. Capture mode
  // does not begin without the snapshot.
  BitBlt(grab.memoryDc.get(), 0, 0, width, height, snapshot_->dc.get(), r.left - screen_.left, r.top - screen_.top,
         SRCCOPY);
  grab.file.make();
}

void Capture::finish(std::int32_t choice) {
  using namespace platform;
  beginBusy();
  uploadChoice_ = choice;
  std::optional<WaitCursor> wait(std::in_place);
  // Up again over the screen while the work lasts: the wait cursor shows over it
  // and its message boxes have an owner on screen.
  ShowWindow(main_, SW_HIDE);
  ShowWindow(main_, SW_SHOW);
  UpdateWindow(main_);
  Grab& grab = *grab_;
  if (grab.file && SaveBitmapAsJpeg(grab.file.name(), grab.bitmap.get(), &grab.rows) == 1) {
    // The picture exists nowhere else: a failed upload keeps it in the save folder.
    const UploadOutcome outcome =
        UploadPicture(main_, grab.file.name(), {uploadChoice_ == 1, SaveFolderPath()}, KeepUnsent::Yes);
    if (outcome.copyStepRan) copyStepRan();
  } else {
    MessageBoxW(main_, u"Could not save image", u"Error", MB_ICONERROR);
  }
  grab_.reset();
  wait.reset();
  placeSelectionWindow({0, 0, 0, 0}, true);
  ShowWindow(main_, SW_SHOW);
  ShowWindow(main_, SW_HIDE);
  UpdateWindow(main_);
  snapshot_.reset();
  endBusy();
}

}  // namespace corvane

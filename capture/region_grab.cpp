// The button release in capture mode, the region grab and the end of a selection.
#include <algorithm>
#include <cstddef>

#include "capture/capture.h"
#include "net/upload.h"
#include "picture/capture_upload.h"
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
  // A grab left over from a menu that could not be made is replaced here.
  grab_.reset();
  Grab& grab = grab_.emplace();
  hideSelectionWindow(!settings.quickCapture);
  grab.area = normalise(selection_.startX, selection_.startY, selection_.endX, selection_.endY);
  grab.file.make();
}

// Nothing of the selection window is in the picture, which comes from the
// snapshot: it only has to be gone before the user looks at the frozen desktop
// without it. With quick capture the main window is put up again and painted
// whole before the upload, so the part under the selection window is left
// unpainted here rather than painted twice on the way to the request. Before
// the menu it is painted as the menu's loop runs.
void Capture::hideSelectionWindow(bool repaintBelow) const {
  using namespace platform;
  if (repaintBelow) {
    ShowWindow(selectionWindow_, SW_HIDE);
    return;
  }
  SetWindowPos(selectionWindow_, nullptr, 0, 0, 0, 0,
               SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

// The pixels come from the desktop as it was when capture mode began, never
// from the screen, where our own full-screen window now lies, and they are read
// where the snapshot holds them. A drag past the edge with the mouse captured
// reaches beyond the snapshot: only the part on the screen has pixels.
PixelRows Capture::grabRows() const {
  if (!snapshot_ || !grab_ || snapshot_->pixels == nullptr) return {};
  const std::int32_t left = std::max(grab_->area.left - screen_.left, 0);
  const std::int32_t top = std::max(grab_->area.top - screen_.top, 0);
  const std::int32_t right = std::min(grab_->area.right - screen_.left, screen_.width - 1);
  const std::int32_t bottom = std::min(grab_->area.bottom - screen_.top, screen_.height - 1);
  if (left > right || top > bottom) return {};
  const std::int32_t stride = screen_.width * 4;
  return {right - left + 1, bottom - top + 1, stride,
          snapshot_->pixels + static_cast<std::ptrdiff_t>(top) * stride + static_cast<std::ptrdiff_t>(left) * 4, 32};
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
  const PixelRows rows = grabRows();  // no pixels, and so a failed encoding, without a snapshot
  const UploadOutcome outcome = UploadCapture(main_, grab.file, snapshot_ ? snapshot_->bitmap.get() : nullptr, rows,
                                              {uploadChoice_ == 1, SaveFolderPath()});
  if (outcome.copyStepRan) copyStepRan();
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

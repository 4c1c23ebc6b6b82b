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

void Capture::release(const CaptureInput& input) {
  const platform::Point at = onScreen(input.point);
  // A click without a drag on another program's window takes the window.
  const bool click = state_ == CaptureState::Dragging && !dragged_ && at.x == selection_.startX &&
                     at.y == selection_.startY;
  mouse_.reset();
  selection_.endX = at.x;
  selection_.endY = at.y;
  if (click && pressedWindow_) {
    const platform::Rect& w = *pressedWindow_;
    selection_ = {w.left, w.top, w.right - 1, w.bottom - 1};
  }
  setOutline(std::nullopt);
  dropLoupe();
  grabRegion();
  // A release without a press (the button went down before capture mode
  // began) would otherwise leave Escape taken from every other program, and
  // the menu below reads Escape itself.
  escape_.reset();
  if (settings.quickCapture) {
    finish(Choice::Upload);
    return;
  }
  bool menuFailed = false;
  const std::optional<Choice> choice = runMenu(menuFailed);
  // The session ended while the menu was up: nothing leaves any more.
  if (sessionEnded_) {
    teardown();
    return;
  }
  if (menuFailed) {
    // Without a menu capture mode goes on, button up; the grab waits for the next one.
    state_ = CaptureState::Waiting;
    return;
  }
  if (!choice || *choice == Choice::Cancel) {
    if (choice) copyRequested_ = false;
    teardown();
    return;
  }
  if (*choice == Choice::MarkUp && beginMarkup()) return;
  finish(*choice);
}

void Capture::grabRegion() {
  // A grab left over from a menu that could not be made is replaced here.
  grab_.reset();
  Grab& grab = grab_.emplace();
  // Nothing of the selection window is in the picture, which comes from the
  // snapshot: it only has to be gone before the user looks at the frozen
  // desktop without it.
  windows_.hideSelection();
  dropLabel();
  grab.area = normalise(selection_.startX, selection_.startY, selection_.endX, selection_.endY);
  grab.file.make();
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

void Capture::finish(Choice choice) {
  using namespace platform;
  beginBusy();
  if (choice == Choice::Upload || choice == Choice::UploadAndSave) copyRequested_ = choice == Choice::UploadAndSave;
  else copyRequested_ = false;
  {
    const WaitCursor wait;
    // The work's message boxes have an owner on screen, and the wait cursor
    // shows over it.
    windows_.raiseForWork();
    deliver(choice, grabRows());  // no pixels without a snapshot: the delivery fails and says so
  }
  endBusy();
  teardown();
}

void Capture::deliver(Choice choice, const PixelRows& pixels) {
  using namespace platform;
  Hwnd owner = windows_.main();
  switch (choice) {
    case Choice::Upload:
    case Choice::UploadAndSave: {
      TempJpegFile& file = grab_->file;
      // Encoded into the temporary file, or into the save folder when that cannot
      // be written; the picture exists nowhere else, so a failed upload keeps it.
      const UploadOutcome outcome = UploadCapture(owner, file, snapshot_ ? snapshot_->bitmap.get() : nullptr, pixels,
                                                  {copyRequested_, SaveFolderPath(), owner});
      if (outcome.copyStepRan) copyStepRan();
      file.remove();
      return;
    }
    case Choice::Copy:
    case Choice::Save:
      copyOrSave(choice, pixels);
      return;
    case Choice::Cancel:
    case Choice::MarkUp:
      return;
  }
}

}  // namespace corvane

// Capture mode: the one capture object, its states and events, the selection
// window, the region grab and the post-selection menu.
#pragma once
#include <algorithm>
#include <cstdint>
#include <optional>
#include "platform/guards.h"
#include "picture/jpeg.h"
#include "platform/types.h"

namespace corvane {

// A dragged rectangle in screen order. Unlike the platform's rectangles, right
// and bottom are inside it: both corner pixels belong to the selection.
inline platform::Rect normalise(std::int32_t startX, std::int32_t startY, std::int32_t endX, std::int32_t endY) {
  return {std::min(startX, endX), std::min(startY, endY), std::max(startX, endX), std::max(startY, endY)};
}

// A mouse message's client point, sign-extended: with the mouse captured a
// drag past the window's left or top edge reports negative coordinates.
inline platform::Point clientPoint(platform::Lparam lParam) {
  return {static_cast<std::int16_t>(lParam & 0xFFFF), static_cast<std::int16_t>((lParam >> 16) & 0xFFFF)};
}

struct Selection {
  std::int32_t startX, startY, endX, endY;  // virtual screen, drag order, not normalised
};

enum class CaptureState {
  Idle,      // nothing shown, nothing held
  Waiting,   // the full-screen window is up, Escape is ours, no press yet
  Dragging,  // the left button is down and the selection follows it
  MenuOpen,  // the post-selection menu runs its own loop
  Busy,      // an upload or one of our other modal loops runs: no capture may start
};

enum class CaptureEvent {
  Start,       // hot key Alt+C, a left click on the tray icon, the tray menu's capture command
  Escape,      // the Escape hot key
  Press,       // left button down
  Move,        // mouse move
  Release,     // left button up
  RightPress,  // right button down
  ModalBegin,  // one of our modal loops (a dialog, the folder browser, a message box) is about to run
  TrayMenu,    // the tray menu is about to run: unlike the others it may open over our modal loops
  ModalEnd,    // the loop that ModalBegin or TrayMenu let run has ended
  SessionEnd,  // the session ends (log-off, shutdown): nothing of ours may stay behind
};

// Escape belongs to capture mode only while it waits for the press.
inline constexpr std::int32_t HOTKEY_ESCAPE = 4;

// Post-selection menu ids. The menu returns its command instead of posting it,
// and a return of 0 means "dismissed", so no entry may have the id 0.
inline constexpr std::uint32_t IDM_UPLOAD = 1;
inline constexpr std::uint32_t IDM_UPLOADSAVE = 2;
inline constexpr std::uint32_t IDM_CANCEL = 3;

// The one owner of capture mode's state: the state, the selection, the desktop
// snapshot, the grab and the choice of a saved copy. Every event goes through
// handle(); the window procedures only decode messages and forward them.
class Capture {
 public:
  // The windows capture mode shows; set once at start-up.
  void attach(platform::Hwnd mainWindow, platform::Hwnd selectionWindow);
  // Drops everything and returns to Idle with no windows (a fresh start).
  void reset();
  // Start-up's last step before the loop: both windows hidden, the selection
  // window parked at (0, 0), 1 x 1. Idle only.
  void park() {
    if (state_ == CaptureState::Idle) leave();
  }

  CaptureState state() const { return state_; }
  const Selection& selection() const { return selection_; }
  bool holdsSnapshot() const { return snapshot_.has_value(); }
  bool holdsGrab() const { return grab_.has_value(); }
  platform::Hdc snapshotDc() const { return snapshot_ ? snapshot_->dc.get() : nullptr; }

  // The transition function, the one gate of capture mode: every request,
  // every modal loop of ours and the session's end pass here. point is the
  // mouse message's client point, for the mouse events. Returns false when the
  // event is not taken in this state: a mouse message or tray event then goes
  // to the default handling, and a loop that ModalBegin or TrayMenu asked for
  // does not run. A taken ModalBegin or TrayMenu is matched by one ModalEnd.
  bool handle(CaptureEvent event, platform::Point point = {});

  // WM_PAINT of the main window: true when it painted the desktop picture.
  bool paint(platform::Hwnd window) const;

  // 1 asks the next upload for a copy in the save folder. Set by the
  // post-selection menu and quick capture; a failed "Upload && Save" leaves it
  // at 1, so the next upload of a file keeps a copy too.
  std::int32_t uploadChoice() const { return uploadChoice_; }
  // The copy step of an upload ran (written or not): the request is used up.
  void copyStepRan() { uploadChoice_ = 0; }

 private:
  // bench/release_steps_win32.cpp runs the private steps one at a time to time
  // them; the product itself carries no timing.
  friend struct CaptureSteps;

  // The desktop as it was when capture mode began: the main window paints it
  // (a shown window that paints nothing is black) and the encoding of a
  // selection reads its pixels in place. Members go in reverse: the bitmap is
  // put back out of the DC, the DC is deleted, then the bitmap.
  struct Snapshot {
    platform::UniqueBitmap bitmap;
    platform::UniqueMemoryDc dc;
    platform::Selected selected;
    std::uint8_t* pixels = nullptr;  // the bitmap's, 32 bits each, top row first
  };
  // One selection: the part of the snapshot it covers and the temporary file
  // its picture goes to. Its pixels stay the snapshot's, which outlives it.
  struct Grab {
    platform::Rect area;  // virtual screen, both corners inside; zero from emplace(), which value-initialises
    TempJpegFile file;
  };

  void start();
  void leave();
  void beginBusy();
  void endBusy();
  void dropQueuedRequests();
  void endSession();
  void press(platform::Point at);
  void release(platform::Point at);
  // Runs the post-selection menu: its command, 0 when it was dismissed, -1
  // when no menu could be made.
  int runMenu();
  void finish(std::int32_t choice);

  bool takeSnapshot();
  void grabRegion();
  // The grab's pixels inside the snapshot; no pixels when the two do not meet.
  PixelRows grabRows() const;
  void placeSelectionWindow(const Selection& s, bool hideAfter) const;
  void hideSelectionWindow(bool repaintBelow) const;
  platform::Point onScreen(platform::Point client) const {
    return {client.x + screen_.left, client.y + screen_.top};
  }

  CaptureState state_ = CaptureState::Idle;
  platform::Hwnd main_ = nullptr;
  platform::Hwnd selectionWindow_ = nullptr;
  // The virtual screen as read when capture mode last began.
  struct {
    std::int32_t left, top, width, height;
  } screen_{};
  Selection selection_{};
  std::int32_t uploadChoice_ = 0;
  std::optional<Snapshot> snapshot_;
  std::optional<Grab> grab_;
  // Busy's loops nest only as the tray menu over another: Idle again when the outermost ends.
  int busyDepth_ = 0;
  // The session has ended: no capture starts again before the process ends.
  bool sessionEnded_ = false;
  // Taken from every other program only while capture mode waits for the press.
  platform::HotKey escape_;
  // The mouse, held from the press to the release.
  platform::MouseCapture mouse_;
};

// The process's capture object, used on the user-interface thread only.
Capture& capture();

// Marks one of our modal loops run outside capture mode: it asks the capture
// object with begin (ModalBegin, or TrayMenu for the tray menu) and ends the
// loop with ModalEnd. It converts to false when the loop may not run now
// (capture mode is on, or another of our loops runs and this one may not nest).
class ModalScope {
 public:
  explicit ModalScope(Capture& c, CaptureEvent begin = CaptureEvent::ModalBegin)
      : capture_(c), entered_(c.handle(begin)) {}
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;
  ~ModalScope() {
    if (entered_) capture_.handle(CaptureEvent::ModalEnd);
  }
  explicit operator bool() const { return entered_; }

 private:
  Capture& capture_;
  bool entered_;
};

platform::Lresult selectionWindowProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                      platform::Lparam lParam);

}  // namespace corvane

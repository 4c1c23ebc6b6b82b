// Capture mode: the one capture object, its states and events, the two windows
// it shows, the region grab and the post-selection menu.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>
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

// Appends value in decimal digits, a minus sign before a negative one; room
// for 12 characters is the caller's.
void AppendNumber(char16_t* text, std::int32_t& length, std::int32_t value);

struct Selection {
  std::int32_t startX, startY, endX, endY;  // virtual screen, drag order, not normalised
};

enum class CaptureState {
  Idle,      // nothing shown, nothing held
  Waiting,   // the full-screen window is up, Escape is ours, no press yet
  Dragging,  // the left button is down and the selection follows it
  MenuOpen,  // the post-selection menu runs its own loop
  Busy,      // an upload or one of our other modal loops runs: no capture may start
  MarkingUp,  // the selection is marked up on the frozen desktop, in windows of its own
};

enum class CaptureEvent {
  Start,          // hot key Alt+C, a left click on the tray icon, the tray menu's capture command
  Escape,         // the Escape hot key
  Press,          // left button down
  Move,           // mouse move
  Release,        // left button up
  RightPress,     // right button down
  Key,            // a key pressed while the full-screen window has the keyboard
  MouseLost,      // another window took the mouse, or the system cancelled our mode (a secure desktop, a prompt)
  DisplayChange,  // monitors came, went or moved: the frozen picture no longer matches the screen
  ModalBegin,     // one of our modal loops (a dialog, the folder browser, a message box) is about to run
  TrayMenu,       // the tray menu is about to run: unlike the others it may open over our modal loops
  ModalEnd,       // the loop that ModalBegin or TrayMenu let run has ended
  SessionEnd,     // the session ends (log-off, shutdown): nothing of ours may stay behind
};

// What the user does with a selection: the post-selection menu's entries
// (quick capture is Upload).
enum class Choice { Upload, UploadAndSave, Copy, Save, Cancel, MarkUp };

// What comes with an event: the mouse message's client point, or the key.
struct CaptureInput {
  platform::Point point{};
  std::uint32_t key = 0;  // virtual-key code, for Key
  bool shift = false;     // Shift held, for Key
};

// Escape belongs to capture mode only while it waits for the press.
inline constexpr std::int32_t HOTKEY_ESCAPE = 4;

// Post-selection menu ids. The menu returns its command instead of posting it,
// and a return of 0 means "dismissed", so no entry may have the id 0.
inline constexpr std::uint32_t IDM_UPLOAD = 1;
inline constexpr std::uint32_t IDM_UPLOADSAVE = 2;
inline constexpr std::uint32_t IDM_CANCEL = 3;
inline constexpr std::uint32_t IDM_COPY = 4;
inline constexpr std::uint32_t IDM_SAVE = 5;
inline constexpr std::uint32_t IDM_MARKUP = 6;

// Whether capture mode shows the magnifier, kept in the registry value
// "magnifier" (REG_DWORD, 0 = off; absent = on).
bool ReadMagnifierSetting();
void StoreMagnifierSetting(bool on);

// The virtual screen as read when capture mode last began.
struct ScreenArea {
  std::int32_t left, top, width, height;
};

// The pixels of a selection as capture mode shows it, drawn over the desktop
// picture in pixels (32 bits each, rows of stride bytes) that hold the client
// area piece from piece.left, piece.top: a grey tint of alpha 100 of 255 and a
// dotted blue and white border one pixel wide, also at alpha 100, inside
// selection (client coordinates, right and bottom outside). Only the part
// inside the piece is touched.
void DrawSelection(std::uint8_t* pixels, std::int32_t stride, const platform::Rect& piece,
                   const platform::Rect& selection);
// Where the look of the full-screen window changes when the selection drawn
// on it goes from before to after (client coordinates, right and bottom
// outside; none for no selection): thin strips along the edges that moved,
// rather than the box around both.
std::vector<platform::Rect> SelectionChange(const std::optional<platform::Rect>& before,
                                            const std::optional<platform::Rect>& after);

// The two windows of capture mode and the only moves they make: nothing else
// shows, hides or places them. The selection is drawn on the full-screen
// window, from the desktop picture: a move repaints what changed and no more,
// and the selection window, made with the full-screen one, stays parked.
class CaptureWindows {
 public:
  void attach(platform::Hwnd main, platform::Hwnd selection) {
    main_ = main;
    selection_ = selection;
  }
  platform::Hwnd main() const { return main_; }
  platform::Hwnd selection() const { return selection_; }

  // The full-screen window over the virtual screen, above every other window,
  // with the keyboard: the hot key or the tray click that asked for it lets
  // this process take the foreground.
  void cover(const ScreenArea& screen);
  // The selection shown over the rectangle (virtual screen), both corner pixels inside.
  void showSelection(const platform::Rect& area);
  // The selection gone, the desktop picture below it painted again.
  void hideSelection();
  // The full-screen window brought to the top for the work on a selection,
  // without being hidden first: it is up already.
  void raiseForWork() const;
  // Both hidden, the selection window at (0, 0), 1 x 1.
  void park();
  // The selection as the full-screen window shows it: client coordinates,
  // right and bottom outside.
  const std::optional<platform::Rect>& shownSelection() const { return shown_; }

 private:
  platform::Hwnd main_ = nullptr;
  platform::Hwnd selection_ = nullptr;
  platform::Point origin_{};  // the virtual screen's, as covered
  std::optional<platform::Rect> shown_;
};

class MarkupSession;

// The one owner of capture mode's state: the state, the selection, the desktop
// snapshot, the grab and the request for a saved copy. Every event goes through
// handle(); the window procedures only decode messages and forward them.
class Capture {
 public:
  // The windows capture mode shows; set once at start-up.
  void attach(platform::Hwnd mainWindow, platform::Hwnd selectionWindow) { windows_.attach(mainWindow, selectionWindow); }
  // Drops everything and returns to Idle with no windows (a fresh start).
  void reset();
  // Start-up's last step before the loop: both windows hidden, the selection
  // window parked at (0, 0), 1 x 1. Idle only.
  void park() {
    if (state_ == CaptureState::Idle) teardown();
  }

  CaptureState state() const { return state_; }
  const Selection& selection() const { return selection_; }
  bool holdsSnapshot() const { return snapshot_.has_value(); }
  bool holdsGrab() const { return grab_.has_value(); }
  platform::Hdc snapshotDc() const { return snapshot_ ? snapshot_->dc.get() : nullptr; }

  // The transition function, the one gate of capture mode: every request,
  // every modal loop of ours and the session's end pass here. Returns false
  // when the event is not taken in this state: a mouse message or tray event
  // then goes to the default handling, and a loop that ModalBegin or TrayMenu
  // asked for does not run. A taken ModalBegin or TrayMenu is matched by one
  // ModalEnd.
  bool handle(CaptureEvent event, const CaptureInput& input);
  bool handle(CaptureEvent event, platform::Point point = {}) { return handle(event, CaptureInput{point}); }

  // WM_PAINT of the main window: true when it painted the desktop picture.
  bool paint(platform::Hwnd window) const;
  // The selection the full-screen window shows: virtual screen, both corners inside.
  std::optional<platform::Rect> selectionShown() const;

  // Whether the next upload keeps a copy in the save folder. "Upload && Save"
  // asks for one; a failed one leaves the request, so the next upload of a
  // file keeps a copy too.
  bool copyRequested() const { return copyRequested_; }
  // The copy step of an upload ran (written or not): the request is used up.
  void copyStepRan() { copyRequested_ = false; }

 private:
  // bench/release_steps_win32.cpp runs the private steps one at a time to time
  // them; the product itself carries no timing.
  friend struct CaptureSteps;
  using Action = void (Capture::*)(const CaptureInput&);
  struct Transition {
    CaptureState from;
    CaptureEvent event;
    Action action;
  };
  static const Transition kTransitions[];
  static constexpr std::int32_t kLabelPadding = 6;  // around the size label's text, inside its background
  static constexpr std::int32_t kLabelGap = 4;      // between the selection and the label

  // The mark-up of the selection (capture/markup_window.cpp): shown over the
  // frozen desktop until the user finishes it, which ends as a menu entry would.
 public:
  // How the user finished the mark-up: its marks are burned into the picture that leaves.
  void endMarkup(Choice choice);
  Capture();
  ~Capture();

 private:
  bool beginMarkup();
  void dropMarkup();
  std::unique_ptr<MarkupSession> markup_;

  // The desktop as it was when capture mode began: the main window paints it
  // (a shown window that paints nothing is black) and every picture of a
  // selection is read from its pixels in place. Members go in reverse: the
  // bitmap is put back out of the DC, the DC is deleted, then the bitmap.
  struct Snapshot {
    platform::UniqueBitmap bitmap;
    platform::UniqueMemoryDc dc;
    platform::Selected selected;
    std::uint8_t* pixels = nullptr;  // the bitmap's, 32 bits each, top row first
  };
  // One selection: the part of the snapshot it covers and the temporary file
  // an upload's picture goes to. Its pixels stay the snapshot's, which outlives it.
  struct Grab {
    platform::Rect area;  // virtual screen, both corners inside; zero from emplace(), which value-initialises
    TempJpegFile file;
  };

  // The actions of the transition table.
  void start(const CaptureInput&);
  void cancel(const CaptureInput&);
  void press(const CaptureInput&);
  void hover(const CaptureInput&);
  void drag(const CaptureInput&);
  void release(const CaptureInput&);
  void key(const CaptureInput&);
  void mouseLost(const CaptureInput&);
  void ignore(const CaptureInput&) {}
  void beginBusy(const CaptureInput& = {});
  void nestTrayMenu(const CaptureInput&) { ++busyDepth_; }
  void endBusy(const CaptureInput& = {});
  void endSession(const CaptureInput&);

  // Every way out of capture mode, the end of a selection and the session's
  // end meet here: nothing stays on screen, held, or taken from other
  // programs. While the post-selection menu or the work on a selection is
  // still on the stack (inUse), the pixels and the grab stay for it to unwind,
  // but the temporary file goes.
  void teardown(bool inUse = false);
  void dropQueuedRequests();
  // Runs the post-selection menu: its choice, nothing when it was dismissed.
  // Sets menuFailed when no menu could be made.
  std::optional<Choice> runMenu(bool& menuFailed);
  void finish(Choice choice);
  // The one place a picture of the selection leaves capture mode: the pixels
  // it is given go to the upload, the clipboard or a file, as chosen.
  void deliver(Choice choice, const PixelRows& pixels);
  void copyOrSave(Choice choice, const PixelRows& pixels);

  // The size label: placed beside the selection as it is dragged, dropped at the release.
  void placeLabel();
  void dropLabel();

  // The other programs' windows, listed as capture mode begins, and the one
  // under a point: a click without a drag takes its bounds.
  void listWindows();
  std::optional<platform::Rect> windowAt(platform::Point at) const;
  // The outline of the window under the cursor before the press; none to drop it.
  void setOutline(const std::optional<platform::Rect>& bounds);
  // The outline's four edges on the full-screen window (client coordinates); the outline must be there.
  std::array<platform::Rect, 4> outlineEdges() const;
  // The magnifier at the cursor (virtual screen), or gone.
  void placeLoupe(platform::Point at);
  void dropLoupe();
  void toggleMagnifier();
  // What capture mode draws over the desktop picture, where it meets part (client coordinates).
  void paintOverlays(platform::Hdc dc, const platform::Rect& part) const;
  // One part of the full-screen window (client coordinates) painted: the
  // desktop picture copied straight where nothing lies over it, and what does
  // lie over it put together in the canvas first, a piece at a time, so that
  // no half-drawn state reaches the screen.
  void paintPart(platform::Hdc dc, const platform::Rect& part) const;
  void composePiece(platform::Hdc dc, const platform::Rect& piece) const;
  void copyDesktop(platform::Hdc dc, const platform::Rect& part) const;
  void paintLoupe(platform::Hdc dc) const;
  // Lengths in physical pixels at the full-screen window's scale.
  std::int32_t scaled(std::int32_t length) const { return (length * dpi_ + 48) / 96; }

  bool takeSnapshot();
  void makeCanvas();
  void grabRegion();
  // The grab's pixels inside the snapshot; no pixels when the two do not meet.
  PixelRows grabRows() const;
  platform::Point onScreen(platform::Point client) const {
    return {client.x + screen_.left, client.y + screen_.top};
  }

  CaptureState state_ = CaptureState::Idle;
  CaptureWindows windows_;
  ScreenArea screen_{};
  Selection selection_{};
  bool copyRequested_ = false;
  std::optional<Snapshot> snapshot_;
  // Where a piece of the window is put together before it is copied to the
  // screen, kCanvasSide pixels square; made at the first press. Without
  // it the window still shows the desktop and what lies over it, drawn
  // straight, but not the selection's tint.
  static constexpr std::int32_t kCanvasSide = 512;
  std::optional<Snapshot> canvas_;
  std::optional<Grab> grab_;
  // The selection's size in pixels, "640 × 480", on a background of its own,
  // painted on the full-screen window beside the selection. It is never part
  // of a picture, which comes from the snapshot.
  struct Label {
    platform::Rect area{};  // client coordinates of the full-screen window, right and bottom outside
    char16_t text[32]{};
    std::int32_t length = 0;
  };
  std::optional<Label> label_;
  // The system's message font, made as capture mode begins.
  platform::UniqueGdiObject labelFont_;
  std::int32_t textHeight_ = 0;
  std::uint32_t dpi_ = 96;
  // Other programs' windows when capture mode began, the top one first: their
  // visible bounds on the virtual screen, right and bottom outside.
  std::vector<platform::Rect> windowsAtStart_;
  // The window outlined before the press (virtual screen, right and bottom
  // outside), and the one a press landed on: a release at the press point
  // without a drag in between takes it.
  std::optional<platform::Rect> outline_;
  std::optional<platform::Rect> pressedWindow_;
  bool dragged_ = false;
  // The magnifier: on unless the user turned it off; where it is drawn
  // (client coordinates, right and bottom outside) and the pixel it shows.
  bool magnifierOn_ = true;
  struct Loupe {
    platform::Rect area{};
    platform::Point at{};  // virtual screen
    char16_t text[32]{};
    std::int32_t length = 0;
  };
  std::optional<Loupe> loupe_;
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

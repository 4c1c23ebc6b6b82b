// The capture object: its transition function, entering and leaving capture
// mode, and the desktop snapshot it shows.
#include "capture/capture.h"
#include "platform/gdi32.h"
#include "platform/user32.h"

namespace corvane {

Capture& capture() {
  static Capture instance;
  return instance;
}

void Capture::attach(platform::Hwnd mainWindow, platform::Hwnd selectionWindow) {
  main_ = mainWindow;
  selectionWindow_ = selectionWindow;
}

void Capture::reset() {
  grab_.reset();
  snapshot_.reset();
  state_ = CaptureState::Idle;
  main_ = selectionWindow_ = nullptr;
  screen_ = {};
  selection_ = {};
  uploadChoice_ = 0;
}

// Every row of the table of states and events, in one place. Events a state
// does not list are not capture mode's: the caller gives them to the default
// handling, and nothing changes.
bool Capture::handle(CaptureEvent event, platform::Point point) {
  using E = CaptureEvent;
  switch (state_) {
    case CaptureState::Idle:
      if (event != E::Start) return false;
      start();
      return true;
    case CaptureState::Waiting:
      switch (event) {
        case E::Escape:
        case E::RightPress:
          leave();
          return true;
        case E::Press:
          press(onScreen(point));
          return true;
        case E::Move:
          return true;
        case E::Release:  // the press came before capture mode began
          release(onScreen(point));
          return true;
        case E::Start:
          return false;
      }
      return false;
    case CaptureState::Dragging:
      switch (event) {
        case E::Move:
          selection_.endX = onScreen(point).x;
          selection_.endY = onScreen(point).y;
          placeSelectionWindow(selection_, false);
          return true;
        case E::Press:
          press(onScreen(point));
          return true;
        case E::RightPress:  // a right click during a drag changes nothing
          return true;
        case E::Release:
          release(onScreen(point));
          return true;
        case E::Start:
        case E::Escape:
          return false;
      }
      return false;
    case CaptureState::MenuOpen:
    case CaptureState::Busy:
      // Nothing nests: a capture request while a menu, a dialog, a message box
      // or an upload runs is dropped, not queued.
      return false;
  }
  return false;
}

bool Capture::enterBusy() {
  if (state_ != CaptureState::Idle) return false;
  state_ = CaptureState::Busy;
  return true;
}

void Capture::leaveBusy() {
  if (state_ == CaptureState::Busy) state_ = CaptureState::Idle;
}

// The virtual screen is read afresh each time: monitors come, go and move while
// we run, and one left of or above the primary gives a negative origin.
void Capture::start() {
  using namespace platform;
  screen_ = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
             GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  if (!takeSnapshot()) {
    // Without a picture of the desktop the grab would have to copy the live
    // screen, where our own window lies: better no capture than a wrong one.
    state_ = CaptureState::Busy;
    MessageBoxW(nullptr, u"Could not capture the screen", u"Error", MB_ICONERROR);
    state_ = CaptureState::Idle;
    return;
  }
  MoveWindow(main_, screen_.left, screen_.top, screen_.width, screen_.height, 0);
  state_ = CaptureState::Waiting;
  ShowWindow(main_, SW_SHOW);
  UpdateWindow(main_);
  // Fails when another program holds Escape; the right button still leaves.
  RegisterHotKey(nullptr, HOTKEY_ESCAPE, 0, VK_ESCAPE);
}

// Every way out of capture mode comes here: nothing stays on screen, held, or
// taken from other programs.
void Capture::leave() {
  platform::ReleaseCapture();
  placeSelectionWindow({0, 0, 0, 0}, true);
  platform::ShowWindow(main_, platform::SW_HIDE);
  platform::UpdateWindow(main_);
  grab_.reset();
  snapshot_.reset();
  platform::UnregisterHotKey(nullptr, HOTKEY_ESCAPE);
  state_ = CaptureState::Idle;
}

void Capture::press(platform::Point at) {
  selection_.startX = at.x;
  selection_.startY = at.y;
  platform::SetCapture(main_);
  // From here Escape belongs to whatever program has the keyboard.
  platform::UnregisterHotKey(nullptr, HOTKEY_ESCAPE);
  state_ = CaptureState::Dragging;
}

// A shown window that paints nothing is black under desktop composition, and a
// copy of the screen taken while it is up copies that black. So the desktop is
// copied before the window comes up; the window shows the copy and the
// encoding of a selection reads it.
// A DIB section rather than a bitmap compatible with the screen: its pixels are
// a plain allocation of the process, given back whole when it is deleted, where
// a device bitmap's memory may stay with the graphics driver (under Wine 8 the
// freed 8 MB snapshot of a 1920x1080 screen stayed in the process), and the
// encoder can read them where they lie. Top-down, 32 bits a pixel, as the
// screen's pixels come: the copy converts nothing, and every row is aligned.
bool Capture::takeSnapshot() {
  using namespace platform;
  snapshot_.reset();
  WindowDc screen(nullptr);
  Snapshot shot;
  BitmapInfo info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = screen_.width;
  info.bmiHeader.biHeight = -screen_.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  shot.dc.reset(CreateCompatibleDC(screen.get()));
  shot.bitmap.reset(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  // Without memory for the picture the DC holds only its default 1 x 1 bitmap,
  // which would turn every grab black.
  if (!shot.dc || !shot.bitmap || bits == nullptr) return false;
  shot.pixels = static_cast<std::uint8_t*>(bits);
  shot.selected = Selected(shot.dc.get(), AsObject(shot.bitmap.get()));
  if (!shot.selected ||
      !BitBlt(shot.dc.get(), 0, 0, screen_.width, screen_.height, screen.get(), screen_.left, screen_.top, SRCCOPY))
    return false;
  snapshot_.emplace(std::move(shot));
  return true;
}

bool Capture::paint(platform::Hwnd window) const {
  if (!snapshot_) return false;
  platform::Painting paint(window);
  // The main window lies exactly over the virtual screen, as the snapshot does.
  if (paint.dc() != nullptr) {
    const platform::Rect& r = paint.area();
    platform::BitBlt(paint.dc(), r.left, r.top, r.right - r.left, r.bottom - r.top, snapshot_->dc.get(), r.left,
                     r.top, platform::SRCCOPY);
  }
  return true;
}

}  // namespace corvane

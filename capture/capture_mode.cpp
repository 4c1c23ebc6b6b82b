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
  busyDepth_ = 0;
  sessionEnded_ = false;
  escape_.reset();
  mouse_.reset();
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
  // In every state: what is held goes now, since the process may end as soon
  // as this returns.
  if (event == E::SessionEnd) {
    endSession();
    return true;
  }
  switch (state_) {
    case CaptureState::Idle:
      switch (event) {
        case E::Start:
          // Once the session has ended no capture starts, whatever comes after.
          if (!sessionEnded_) start();
          return true;
        case E::ModalBegin:
        case E::TrayMenu:
          beginBusy();
          return true;
        default:
          return false;
      }
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
        default:
          return false;
      }
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
        default:
          return false;
      }
    case CaptureState::MenuOpen:
      // Nothing nests in the post-selection menu.
      return false;
    case CaptureState::Busy:
      switch (event) {
        case E::TrayMenu:
          // Over a dialog or a message box of ours the tray menu still opens, so
          // that Exit is always in reach.
          ++busyDepth_;
          return true;
        case E::ModalEnd:
          endBusy();
          return true;
        default:
          // A capture request, a second dialog, mouse messages: dropped, not queued.
          return false;
      }
  }
  return false;
}

void Capture::beginBusy() {
  state_ = CaptureState::Busy;
  busyDepth_ = 1;
}

void Capture::endBusy() {
  if (--busyDepth_ > 0) return;
  busyDepth_ = 0;
  dropQueuedRequests();
  state_ = CaptureState::Idle;
}

// A request made while we were busy is dropped, not served once we are idle:
// a capture window that opens by itself after an upload, or a second click that
// uploads a picture nobody wanted, is worse than a click to repeat. While an
// upload runs, the thread reads no messages, so hot keys and tray clicks wait
// in the queue: they are taken out here, before the state is Idle again.
// Removal rather than comparing message times with the moment busy began: a
// tray callback the shell sends rather than posts has no time of its own (it
// is handled inside this very peek, meets Busy and is dropped), and message
// times are 32-bit ticks that wrap. Our private messages (the tray's callback
// and the hot keys' messages to the main window) are all requests; the tray
// menu's chosen command is WM_COMMAND and stays, being the answer of the loop
// that just ended.
void Capture::dropQueuedRequests() {
  using namespace platform;
  constexpr std::uint32_t kLastPrivateMessage = 0x7FFF;
  constexpr int kMostDropped = 256;  // bounded, whatever another program posts meanwhile
  Msg m{};
  for (int i = 0; i < kMostDropped && PeekMessageW(&m, nullptr, WM_HOTKEY, WM_HOTKEY, PM_REMOVE); ++i) {
  }
  if (main_ == nullptr) return;
  for (int i = 0; i < kMostDropped && PeekMessageW(&m, main_, WM_USER, kLastPrivateMessage, PM_REMOVE); ++i) {
  }
}

// Log-off or shutdown: the process may be ended as soon as the session-end
// message returns, so nothing is left to a later step. The post-selection menu
// or an upload may still be on the stack, where the process ends: what they
// hold that would outlive it (the temporary file, the Escape key) goes here and
// now, and should they unwind after all, they upload nothing more.
void Capture::endSession() {
  sessionEnded_ = true;
  switch (state_) {
    case CaptureState::Idle:
      return;
    case CaptureState::Waiting:
    case CaptureState::Dragging:
      leave();
      return;
    case CaptureState::MenuOpen:
    case CaptureState::Busy:
      escape_.reset();
      mouse_.reset();
      placeSelectionWindow({0, 0, 0, 0}, true);
      platform::ShowWindow(main_, platform::SW_HIDE);
      if (grab_) grab_->file.remove();
      return;
  }
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
    // The message box is one of our modal loops: nothing starts inside it.
    const ModalScope modal(*this);
    MessageBoxW(nullptr, u"Could not capture the screen", u"Error", MB_ICONERROR);
    return;
  }
  MoveWindow(main_, screen_.left, screen_.top, screen_.width, screen_.height, 0);
  state_ = CaptureState::Waiting;
  ShowWindow(main_, SW_SHOW);
  UpdateWindow(main_);
  // Fails when another program holds Escape; the right button still leaves.
  escape_ = HotKey(nullptr, HOTKEY_ESCAPE, 0, VK_ESCAPE);
}

// Every way out of capture mode comes here: nothing stays on screen, held, or
// taken from other programs.
void Capture::leave() {
  mouse_.reset();
  placeSelectionWindow({0, 0, 0, 0}, true);
  platform::ShowWindow(main_, platform::SW_HIDE);
  platform::UpdateWindow(main_);
  grab_.reset();
  snapshot_.reset();
  escape_.reset();
  state_ = CaptureState::Idle;
}

void Capture::press(platform::Point at) {
  selection_.startX = at.x;
  selection_.startY = at.y;
  mouse_.reset();  // a second press: the first one's capture goes before the new one is taken
  mouse_ = platform::MouseCapture(main_);
  // From here Escape belongs to whatever program has the keyboard.
  escape_.reset();
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
      !BitBlt(shot.dc.get(), 0, 0, screen_.width, screen_.height, screen.get(), screen_.left, screen_.top, SRCCOPY | CAPTUREBLT))
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

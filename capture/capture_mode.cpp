// The capture object: its table of states and events, entering and leaving
// capture mode, and the desktop snapshot it shows.
#include "capture/capture.h"
#include "capture/rects.h"
#include "capture/markup_session.h"
#include "platform/gdi32.h"
#include "platform/user32.h"
#include <string_view>

namespace corvane {

Capture& capture() {
  static Capture instance;
  return instance;
}

void Capture::reset() {
  markup_.reset();
  grab_.reset();
  canvas_.reset();
  snapshot_.reset();
  state_ = CaptureState::Idle;
  busyDepth_ = 0;
  sessionEnded_ = false;
  escape_.reset();
  mouse_.reset();
  windows_ = {};
  screen_ = {};
  selection_ = {};
  copyRequested_ = false;
  windowsAtStart_.clear();
  outline_.reset();
  pressedWindow_.reset();
  loupe_.reset();
  label_.reset();
}

// Every row of the table of states and events. An event a state does not list
// is not capture mode's: the caller gives it to the default handling, and
// nothing changes. In MenuOpen nothing nests; in Busy a capture request, a
// second dialog and mouse messages are dropped, not queued.
const Capture::Transition Capture::kTransitions[] = {
    {CaptureState::Idle, CaptureEvent::Start, &Capture::start},
    {CaptureState::Idle, CaptureEvent::ModalBegin, &Capture::beginBusy},
    {CaptureState::Idle, CaptureEvent::TrayMenu, &Capture::beginBusy},
    {CaptureState::Idle, CaptureEvent::SessionEnd, &Capture::endSession},

    {CaptureState::Waiting, CaptureEvent::Escape, &Capture::cancel},
    {CaptureState::Waiting, CaptureEvent::RightPress, &Capture::cancel},
    {CaptureState::Waiting, CaptureEvent::Press, &Capture::press},
    {CaptureState::Waiting, CaptureEvent::Move, &Capture::hover},
    {CaptureState::Waiting, CaptureEvent::Release, &Capture::release},  // the press came before capture mode began
    {CaptureState::Waiting, CaptureEvent::Key, &Capture::key},
    {CaptureState::Waiting, CaptureEvent::MouseLost, &Capture::cancel},
    {CaptureState::Waiting, CaptureEvent::DisplayChange, &Capture::cancel},
    {CaptureState::Waiting, CaptureEvent::SessionEnd, &Capture::endSession},

    {CaptureState::Dragging, CaptureEvent::Move, &Capture::drag},
    {CaptureState::Dragging, CaptureEvent::Press, &Capture::press},
    {CaptureState::Dragging, CaptureEvent::RightPress, &Capture::ignore},  // a right click during a drag changes nothing
    {CaptureState::Dragging, CaptureEvent::Release, &Capture::release},
    {CaptureState::Dragging, CaptureEvent::Key, &Capture::key},
    {CaptureState::Dragging, CaptureEvent::MouseLost, &Capture::mouseLost},
    {CaptureState::Dragging, CaptureEvent::DisplayChange, &Capture::cancel},
    {CaptureState::Dragging, CaptureEvent::SessionEnd, &Capture::endSession},

    {CaptureState::MenuOpen, CaptureEvent::SessionEnd, &Capture::endSession},

    // Over a dialog or a message box of ours the tray menu still opens, so that
    // Exit is always in reach.
    {CaptureState::Busy, CaptureEvent::TrayMenu, &Capture::nestTrayMenu},
    {CaptureState::Busy, CaptureEvent::ModalEnd, &Capture::endBusy},
    {CaptureState::Busy, CaptureEvent::SessionEnd, &Capture::endSession},

    // The mark-up's windows take its input; its question to the user is one of our modal loops.
    {CaptureState::MarkingUp, CaptureEvent::ModalBegin, &Capture::beginBusy},
    {CaptureState::MarkingUp, CaptureEvent::DisplayChange, &Capture::cancel},
    {CaptureState::MarkingUp, CaptureEvent::SessionEnd, &Capture::endSession},
};

bool Capture::handle(CaptureEvent event, const CaptureInput& input) {
  for (const Transition& t : kTransitions) {
    if (t.from == state_ && t.event == event) {
      (this->*t.action)(input);
      return true;
    }
  }
  return false;
}

void Capture::beginBusy(const CaptureInput&) {
  state_ = CaptureState::Busy;
  busyDepth_ = 1;
}

void Capture::endBusy(const CaptureInput&) {
  if (--busyDepth_ > 0) return;
  busyDepth_ = 0;
  dropQueuedRequests();
  state_ = markup_ && !sessionEnded_ ? CaptureState::MarkingUp : CaptureState::Idle;
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
  if (windows_.main() == nullptr) return;
  for (int i = 0; i < kMostDropped && PeekMessageW(&m, windows_.main(), WM_USER, kLastPrivateMessage, PM_REMOVE); ++i) {
  }
}

// Log-off or shutdown: the process may be ended as soon as the session-end
// message returns, so nothing is left to a later step. The post-selection menu
// or an upload may still be on the stack, where the process ends: what they
// hold that would outlive it (the temporary file, the Escape key) goes here and
// now, and should they unwind after all, they upload nothing more.
void Capture::endSession(const CaptureInput&) {
  sessionEnded_ = true;
  switch (state_) {
    case CaptureState::Idle:
      return;
    case CaptureState::Waiting:
    case CaptureState::Dragging:
    case CaptureState::MarkingUp:
      teardown();
      return;
    case CaptureState::MenuOpen:
    case CaptureState::Busy:
      teardown(/*inUse=*/true);
      return;
  }
}

// The virtual screen is read afresh each time: monitors come, go and move while
// we run, and one left of or above the primary gives a negative origin.
void Capture::start(const CaptureInput&) {
  using namespace platform;
  // Once the session has ended no capture starts, whatever comes after.
  if (sessionEnded_) return;
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
  NonClientMetrics metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    labelFont_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
  {
    const WindowDc dc(windows_.main());
    const Selected font(dc.get(), labelFont_.get());
    Size size{};
    textHeight_ = GetTextExtentPoint32W(dc.get(), u"0", 1, &size) ? size.cy : 16;
  }
  const std::uint32_t dpi = GetDpiForWindow(windows_.main());
  dpi_ = dpi != 0 ? dpi : 96;
  magnifierOn_ = ReadMagnifierSetting();
  listWindows();
  state_ = CaptureState::Waiting;
  // What the cursor is over is drawn with the first paint.
  Point cursor{};
  if (GetCursorPos(&cursor)) hover({{cursor.x - screen_.left, cursor.y - screen_.top}});
  windows_.cover(screen_);
  // Fails when another program holds Escape; the right button still leaves.
  escape_ = HotKey(nullptr, HOTKEY_ESCAPE, 0, VK_ESCAPE);
}

void Capture::cancel(const CaptureInput&) { teardown(); }

void Capture::teardown(bool inUse) {
  dropMarkup();
  mouse_.reset();
  escape_.reset();
  label_.reset();
  loupe_.reset();
  outline_.reset();
  pressedWindow_.reset();
  windows_.park();
  if (inUse) {
    if (grab_) grab_->file.remove();
    return;
  }
  grab_.reset();
  canvas_.reset();
  snapshot_.reset();
  labelFont_.reset();
  windowsAtStart_.clear();
  state_ = CaptureState::Idle;
}

void Capture::press(const CaptureInput& input) {
  const platform::Point at = onScreen(input.point);
  selection_.startX = at.x;
  selection_.startY = at.y;
  selection_.endX = at.x;
  selection_.endY = at.y;
  pressedWindow_ = windowAt(at);
  dragged_ = false;
  // Made here, off the way to the window's first showing: only the selection
  // needs its pixels put together; what lies over the desktop before the
  // press is opaque and drawn straight.
  if (!canvas_) makeCanvas();
  mouse_.reset();  // a second press: the first one's capture goes before the new one is taken
  mouse_ = platform::MouseCapture(windows_.main());
  // From here Escape belongs to whatever program has the keyboard.
  escape_.reset();
  state_ = CaptureState::Dragging;
}

// Before the press: the window under the cursor outlined, the magnifier beside it.
void Capture::hover(const CaptureInput& input) {
  const platform::Point at = onScreen(input.point);
  setOutline(windowAt(at));
  // Painted one at a time: a paint covers the box around what it repaints, and
  // the outline and the magnifier may lie far apart.
  platform::UpdateWindow(windows_.main());
  placeLoupe(at);
  platform::UpdateWindow(windows_.main());
}

// The outline stays while the button is down at the press point, where a
// release takes the window; the first move away makes it a drag.
void Capture::drag(const CaptureInput& input) {
  const platform::Point at = onScreen(input.point);
  selection_.endX = at.x;
  selection_.endY = at.y;
  if (at.x != selection_.startX || at.y != selection_.startY) dragged_ = true;
  if (!dragged_) {
    placeLoupe(at);
    platform::UpdateWindow(windows_.main());
    return;
  }
  setOutline(std::nullopt);
  windows_.showSelection(normalise(selection_.startX, selection_.startY, selection_.endX, selection_.endY));
  placeLabel();
  platform::UpdateWindow(windows_.main());
  placeLoupe(at);
  platform::UpdateWindow(windows_.main());
}

// The arrow keys move the cursor by one pixel, ten with Shift; during a drag
// the dragged corner goes with it, so a selection can end on the exact pixel.
// The move is handled here at once rather than left to the mouse message the
// platform may or may not make of it.
void Capture::key(const CaptureInput& input) {
  using namespace platform;
  if (input.key == VK_M) {
    toggleMagnifier();
    return;
  }
  const std::int32_t step = input.shift ? 10 : 1;
  Point delta{};
  switch (input.key) {
    case VK_LEFT: delta.x = -step; break;
    case VK_RIGHT: delta.x = step; break;
    case VK_UP: delta.y = -step; break;
    case VK_DOWN: delta.y = step; break;
    default: return;
  }
  Point cursor{};
  if (!GetCursorPos(&cursor)) return;
  // Kept on the virtual screen, where the full-screen window can see it.
  cursor.x = std::clamp(cursor.x + delta.x, screen_.left, screen_.left + screen_.width - 1);
  cursor.y = std::clamp(cursor.y + delta.y, screen_.top, screen_.top + screen_.height - 1);
  SetCursorPos(cursor.x, cursor.y);
  const CaptureInput moved{{cursor.x - screen_.left, cursor.y - screen_.top}};
  if (state_ == CaptureState::Dragging) drag(moved);
  else hover(moved);
}

// Another window took the mouse in the middle of a drag (the secure desktop of
// Ctrl+Alt+Del, an elevation prompt, the lock screen), or the system cancelled
// our mode: the release will never come, so capture mode ends here rather than
// leave the frozen desktop up with nothing to end it. Our own release of the
// mouse (at the button's release) gives the guard up first and is no loss.
void Capture::mouseLost(const CaptureInput&) {
  if (!mouse_) return;
  teardown();
}

// Below the selection's left edge, above it when the monitor ends there, and
// inside the monitor the cursor is on whatever the selection does.
void Capture::placeLabel() {
  using namespace platform;
  const Rect r = normalise(selection_.startX, selection_.startY, selection_.endX, selection_.endY);
  Label next;
  AppendNumber(next.text, next.length, r.right - r.left + 1);
  for (char16_t c : std::u16string_view(u" \u00D7 ")) next.text[next.length++] = c;
  AppendNumber(next.text, next.length, r.bottom - r.top + 1);
  Size size{};
  {
    const WindowDc dc(windows_.main());
    const Selected font(dc.get(), labelFont_.get());
    GetTextExtentPoint32W(dc.get(), next.text, next.length, &size);
  }
  const std::int32_t width = size.cx + 2 * kLabelPadding, height = size.cy + kLabelPadding;
  MonitorInfo monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromPoint({selection_.endX, selection_.endY}, MONITOR_DEFAULTTONEAREST), &monitor))
    monitor.rcMonitor = {screen_.left, screen_.top, screen_.left + screen_.width, screen_.top + screen_.height};
  const Rect& m = monitor.rcMonitor;
  std::int32_t y = r.bottom + 1 + kLabelGap;
  if (y + height > m.bottom) y = r.top - kLabelGap - height;
  if (y < m.top) y = std::min(std::max(r.top, m.top), m.bottom - height);
  const std::int32_t x = std::max(m.left, std::min(r.left, m.right - width));
  next.area = {x - screen_.left, y - screen_.top, x - screen_.left + width, y - screen_.top + height};
  if (label_) {
    const Rect was = label_->area;
    InvalidateRect(windows_.main(), &was, 0);
    // Painted apart when it jumps: one paint would cover the box around both.
    if (!meet(was, next.area)) {
      label_.reset();
      UpdateWindow(windows_.main());
    }
  }
  InvalidateRect(windows_.main(), &next.area, 0);
  label_ = next;
}

void Capture::dropLabel() {
  if (!label_) return;
  platform::InvalidateRect(windows_.main(), &label_->area, 0);
  label_.reset();
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
  const BitmapInfo info = TopDownRgb32(screen_.width, screen_.height);
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
  if (paint.dc() != nullptr) paintPart(paint.dc(), intersect(paint.area(), {0, 0, screen_.width, screen_.height}));
  return true;
}

}  // namespace corvane

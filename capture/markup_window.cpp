// The mark-up on the frozen desktop: its full-screen window, its toolbar, the
// keys and the mouse, and the capture object's way into it and out of it.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "capture/markup_session.h"
#include "platform/gdi32.h"
#include "platform/kernel32.h"
#include "platform/user32.h"

namespace corvane {
namespace {

using markup::Tool;
using platform::Point;
using platform::Rect;

constexpr char16_t kWindowClass[] = u"CorvaneMarkup";
constexpr char16_t kToolbarClass[] = u"CorvaneMarkupTools";

// The toolbar's actions.
enum Action : int {
  kToolFirst = 0,                // + the tool's number
  kColourFirst = 10,             // + the colour's number
  kThinner = 20, kThicker = 21, kWidthSample = 22,
  kUndo = 30, kRedo = 31,
  kUpload = 40, kUploadAndSave = 41, kCopy = 42, kSave = 43, kCancel = 44,
};

constexpr Tool kTools[] = {Tool::Rectangle, Tool::Arrow, Tool::Pen, Tool::Highlighter, Tool::Text, Tool::Redact};
// The keys of the tools, in the toolbar's order.
constexpr char16_t kToolKeys[] = u"RAPHTX";

struct TextButton {
  int action;
  const char16_t* label;
};
constexpr TextButton kTextButtons[] = {{kUndo, u"Undo"},   {kRedo, u"Redo"},
                                       {kUpload, u"Upload"}, {kUploadAndSave, u"Upload & Save"},
                                       {kCopy, u"Copy"},   {kSave, u"Save"},
                                       {kCancel, u"Cancel"}};

constexpr std::uint32_t kAccent = 0x2060E0;       // the selection's border, the chosen button
constexpr std::uint32_t kToolbarBack = 0xF0F0F0;  // as the system's buttons
constexpr std::uint32_t kChosenBack = 0xCCE0FF;
constexpr std::uint32_t kButtonText = 0x202020;

// The one session shown: its windows' procedures forward to it.
MarkupSession* active = nullptr;

Point pointOf(platform::Lparam lParam) { return clientPoint(lParam); }

bool inside(const Rect& r, Point p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// The same drawing as the marks' for everything the windows show of their own.
void fillBox(const markup::Canvas& c, const Rect& r, std::uint32_t colour) {
  markup::Mark m;
  m.tool = Tool::Redact;
  m.colour = colour;
  m.points = {{r.left, r.top}, {r.right - 1, r.bottom - 1}};
  markup::burn(m, c, r);
}

void outline(const markup::Canvas& c, const Rect& r, std::uint32_t colour, std::int32_t width) {
  markup::Mark m;
  m.tool = Tool::Rectangle;
  m.colour = colour;
  m.width = width;
  m.points = {{r.left, r.top}, {r.right - 1, r.bottom - 1}};
  markup::burn(m, c, {r.left, r.top, r.right, r.bottom});
}

// The desktop outside the selection at half its brightness.
void dim(const markup::Canvas& c, const Rect& r) {
  for (std::int32_t y = r.top; y < r.bottom; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(c.top + static_cast<std::ptrdiff_t>(y - c.origin.y) * c.stride) +
                (r.left - c.origin.x);
    for (std::int32_t x = 0; x < r.right - r.left; ++x) row[x] = (row[x] & 0xFF000000u) | ((row[x] >> 1) & 0x7F7F7F);
  }
}

void registerClasses(platform::Hinstance instance);
platform::Lresult markupWindowProc(platform::Hwnd, std::uint32_t, platform::Wparam, platform::Lparam);
platform::Lresult toolbarProc(platform::Hwnd, std::uint32_t, platform::Wparam, platform::Lparam);

void registerClasses(platform::Hinstance instance) {
  static bool registered = false;
  if (registered) return;
  platform::WndClass wc{};
  wc.lpfnWndProc = markupWindowProc;
  wc.hInstance = instance;
  wc.hCursor = platform::LoadCursorW(instance, platform::MakeIntResource(2002));  // the crosshair
  wc.lpszClassName = kWindowClass;
  const bool first = platform::RegisterClassW(&wc) != 0;
  wc.lpfnWndProc = toolbarProc;
  wc.hCursor = platform::LoadCursorW(nullptr, platform::MakeIntResource(platform::IDC_ARROW));
  wc.lpszClassName = kToolbarClass;
  registered = first && platform::RegisterClassW(&wc) != 0;
}

// Finishing destroys the session and its windows: nothing of it is touched after.
platform::Lresult finished(std::optional<Choice> choice) {
  if (choice) capture().endMarkup(*choice);
  return 0;
}

platform::Lresult markupWindowProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                   platform::Lparam lParam) {
  using namespace platform;
  MarkupSession* s = active;
  if (s == nullptr || s->window() != window) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: s->paint(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN: return finished(s->press(pointOf(lParam)));
    case WM_MOUSEMOVE: s->move(pointOf(lParam)); return 0;
    case WM_LBUTTONUP: s->release(pointOf(lParam)); return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<Hwnd>(lParam) != window) s->mouseLost();
      return 0;
    case WM_CANCELMODE: s->mouseLost(); break;
    case WM_KEYDOWN:
      return finished(s->key(static_cast<std::uint32_t>(wParam), GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0));
    case WM_CHAR: s->character(static_cast<char16_t>(wParam)); return 0;
    case WM_MOUSEWHEEL: s->wheel(static_cast<std::int16_t>((wParam >> 16) & 0xFFFF)); return 0;
    case WM_SETCURSOR:
      if ((lParam & 0xFFFF) == HTCLIENT) {
        Point p{};
        if (GetCursorPos(&p) && s->setCursor(p)) return 1;
      }
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

platform::Lresult toolbarProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                              platform::Lparam lParam) {
  using namespace platform;
  MarkupSession* s = active;
  if (s == nullptr || s->toolbar() != window) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: s->paintToolbar(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN: return finished(s->toolbarPress(pointOf(lParam)));
    // Not activated by a click: the keys stay with the full-screen window.
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

// ---- the capture object's way in and out ------------------------------------------

// Here, where the session is a complete type.
Capture::Capture() = default;
Capture::~Capture() = default;

bool Capture::beginMarkup() {
  if (!snapshot_ || !grab_ || snapshot_->pixels == nullptr) return false;
  markup_ = std::make_unique<MarkupSession>(windows_.main(), MarkupSession::Frozen{screen_, snapshot_->pixels},
                                            grab_->area);
  if (!markup_->shown()) {
    markup_.reset();
    // Said rather than ended in silence; the selection then ends as a cancel does.
    platform::MessageBoxW(windows_.main(), u"Could not start the mark-up", u"Error", platform::MB_ICONERROR);
    return false;
  }
  state_ = CaptureState::MarkingUp;
  return true;
}

void Capture::endMarkup(Choice choice) {
  if (state_ != CaptureState::MarkingUp || !markup_) return;
  if (choice == Choice::Cancel || choice == Choice::MarkUp) {
    copyRequested_ = false;
    teardown();
    return;
  }
  grab_->area = markup_->selection();
  markup_->burnIntoSnapshot();
  markup_.reset();
  finish(choice);
}

void Capture::dropMarkup() {
  if (!markup_) return;
  // A question of the mark-up's may still be on the stack: its windows go, the session stays for it to unwind.
  if (state_ == CaptureState::Busy) {
    markup_->hide();
    return;
  }
  markup_.reset();
}

// ---- the session ----------------------------------------------------------------------

MarkupSession::MarkupSession(platform::Hwnd owner, const Frozen& frozen, const Rect& selection)
    : frozen_(frozen),
      marks_({}, [this](const markup::Mark& m) {
        // Out of the history: into the desktop picture, inside the selection as it is now.
        markup::burn(m, snapshotCanvas(), area_);
      }) {
  using namespace platform;
  const ScreenArea& s = frozen.screen;
  area_ = {selection.left - s.left, selection.top - s.top, selection.right - s.left + 1, selection.bottom - s.top + 1};
  area_ = intersect(area_, {0, 0, s.width, s.height});
  if (isEmpty(area_)) return;
  const Hinstance instance = GetModuleHandleW(nullptr);
  registerClasses(instance);
  NonClientMetrics metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) textFont_ = metrics.lfMessageFont;
  active = this;
  // Owned by the full-screen window of capture mode, so above it; activated, so the keys come here.
  window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kWindowClass, u"Mark up", WS_POPUP, s.left, s.top,
                            s.width, s.height, owner, nullptr, instance, nullptr);
  if (window_ == nullptr) return;
  const std::uint32_t dpi = GetDpiForWindow(window_);
  dpi_ = dpi != 0 ? dpi : 96;
  if (textFont_.lfHeight != 0) {
    LogFont f = textFont_;
    const std::uint32_t systemDpi = GetDpiForSystem();
    if (systemDpi != 0) f.lfHeight = f.lfHeight * static_cast<std::int32_t>(dpi_) / static_cast<std::int32_t>(systemDpi);
    font_.reset(CreateFontIndirectW(&f));
  }
  textSize_ = scaled(markup::kDefaultTextSize) > markup::kMaxTextSize ? markup::kMaxTextSize : scaled(markup::kDefaultTextSize);
  toolbar_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kToolbarClass, u"Mark up tools",
                             WS_POPUP, 0, 0, 1, 1, window_, nullptr, instance, nullptr);
  if (toolbar_ == nullptr) return;
  layoutToolbar();
  // The toolbar first: it is small and says at once that the mark-up has begun,
  // while the screen-sized window takes its longer first paint. Owned by that
  // window, it stays above it once both are up.
  placeToolbar();
  SetWindowPos(window_, HWND_TOPMOST, s.left, s.top, s.width, s.height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  SetWindowPos(toolbar_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetForegroundWindow(window_);
  UpdateWindow(window_);
}

MarkupSession::~MarkupSession() {
  mouse_.reset();
  if (active == this) active = nullptr;
  if (toolbar_ != nullptr) platform::DestroyWindow(toolbar_);
  if (window_ != nullptr) platform::DestroyWindow(window_);
  scratch_.selected.reset();
  scratch_.dc.reset();
  scratch_.bitmap.reset();
}

void MarkupSession::hide() {
  mouse_.reset();
  if (toolbar_ != nullptr) platform::ShowWindow(toolbar_, platform::SW_HIDE);
  if (window_ != nullptr) platform::ShowWindow(window_, platform::SW_HIDE);
}

Rect MarkupSession::selection() const {
  const ScreenArea& s = frozen_.screen;
  return {area_.left + s.left, area_.top + s.top, area_.right - 1 + s.left, area_.bottom - 1 + s.top};
}

markup::Canvas MarkupSession::snapshotCanvas() const {
  const ScreenArea& s = frozen_.screen;
  return {s.width, s.height, s.width * 4, frozen_.pixels, {0, 0}};
}

void MarkupSession::burnIntoSnapshot() {
  endTyping();
  marks_.commit();
  // What GDI still holds back lands first; then the pixels are written where they lie.
  platform::GdiFlush();
  const markup::Canvas canvas = snapshotCanvas();
  marks_.each([&](const markup::Mark& m) { markup::burn(m, canvas, area_); });
}

// ---- drawing ------------------------------------------------------------------------------

bool MarkupSession::scratchFor(std::int32_t width, std::int32_t height) {
  using namespace platform;
  if (scratch_.pixels != nullptr && scratch_.width >= width && scratch_.height >= height) return true;
  width = std::max(width, scratch_.width);
  height = std::max(height, scratch_.height);
  scratch_.selected.reset();
  scratch_.dc.reset();
  scratch_.bitmap.reset();
  scratch_.pixels = nullptr;
  scratch_.width = scratch_.height = 0;
  const WindowDc screen(nullptr);
  const BitmapInfo info = TopDownRgb32(width, height);
  void* bits = nullptr;
  scratch_.dc.reset(CreateCompatibleDC(screen.get()));
  scratch_.bitmap.reset(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!scratch_.dc || !scratch_.bitmap || bits == nullptr) return false;
  scratch_.selected = Selected(scratch_.dc.get(), AsObject(scratch_.bitmap.get()));
  scratch_.pixels = static_cast<std::uint8_t*>(bits);
  scratch_.width = width;
  scratch_.height = height;
  return true;
}

// The selection's handles: its corners and the middles of its edges.
static void handleRects(const Rect& a, std::int32_t size, Rect (&out)[8]) {
  const std::int32_t cx = (a.left + a.right) / 2, cy = (a.top + a.bottom) / 2, h = size / 2;
  const Point at[8] = {{a.left, a.top}, {cx, a.top}, {a.right - 1, a.top}, {a.right - 1, cy},
                       {a.right - 1, a.bottom - 1}, {cx, a.bottom - 1}, {a.left, a.bottom - 1}, {a.left, cy}};
  for (int i = 0; i < 8; ++i) out[i] = {at[i].x - h, at[i].y - h, at[i].x - h + size, at[i].y - h + size};
}

void MarkupSession::paint() {
  using namespace platform;
  Painting painting(window_);
  if (painting.dc() == nullptr) return;
  const Rect r = intersect(painting.area(), {0, 0, frozen_.screen.width, frozen_.screen.height});
  if (isEmpty(r)) return;
  const std::int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (!scratchFor(w, h)) return;
  GdiFlush();
  const std::int32_t stride = frozen_.screen.width * 4;
  for (std::int32_t y = 0; y < h; ++y)
    std::memcpy(scratch_.pixels + static_cast<std::ptrdiff_t>(y) * scratch_.width * 4,
                frozen_.pixels + static_cast<std::ptrdiff_t>(r.top + y) * stride + static_cast<std::ptrdiff_t>(r.left) * 4,
                static_cast<std::size_t>(w) * 4);
  const markup::Canvas c{scratch_.width, scratch_.height, scratch_.width * 4, scratch_.pixels, {r.left, r.top}};
  // Outside the selection, dimmed: above, below, left and right of it.
  const Rect& a = area_;
  const Rect outside[4] = {{r.left, r.top, r.right, a.top}, {r.left, a.bottom, r.right, r.bottom},
                           {r.left, a.top, a.left, a.bottom}, {a.right, a.top, r.right, a.bottom}};
  for (const Rect& o : outside) {
    const Rect part = intersect(o, r);
    if (!isEmpty(part)) dim(c, part);
  }
  const Rect inner = intersect(a, r);
  if (!isEmpty(inner)) marks_.each([&](const markup::Mark& m) { markup::burn(m, c, inner); });
  if (typing_) {
    if (const markup::Mark* t = marks_.drawing()) {
      const Point at = t->points.front();
      const std::int32_t x = t->glyphs.area.right > t->glyphs.area.left ? t->glyphs.area.right : at.x;
      fillBox(c, intersect({x, at.y, x + std::max(1, scaled(2)), at.y + textSize_}, intersect(r, a)),
              markup::kColours[colour_]);
    }
  }
  // The border just outside the selection, and its handles.
  const std::int32_t border = std::max(1, scaled(1));
  const Rect frame = {a.left - border, a.top - border, a.right + border, a.bottom + border};
  markup::Mark edge;
  edge.tool = Tool::Rectangle;
  edge.colour = kAccent;
  edge.width = border;
  edge.points = {{frame.left, frame.top}, {frame.right - 1, frame.bottom - 1}};
  markup::burn(edge, c, r);
  Rect handles[8];
  handleRects(a, scaled(8), handles);
  for (const Rect& hr : handles) {
    fillBox(c, intersect(hr, r), 0xFFFFFF);
    const Rect clipped = intersect(hr, r);
    if (!isEmpty(clipped)) {
      markup::Mark m = edge;
      m.points = {{hr.left, hr.top}, {hr.right - 1, hr.bottom - 1}};
      markup::burn(m, c, r);
    }
  }
  BitBlt(painting.dc(), r.left, r.top, w, h, scratch_.dc.get(), 0, 0, SRCCOPY);
}

void MarkupSession::refresh(const Rect& clientArea) {
  if (isEmpty(clientArea)) return;
  platform::InvalidateRect(window_, &clientArea, 0);
  platform::UpdateWindow(window_);
}

// The selection's edges moved: its old and new frames, handles and all, are painted again.
void MarkupSession::refreshAround(const Rect& before) {
  const std::int32_t margin = scaled(8) + 2;
  const Rect a{before.left - margin, before.top - margin, before.right + margin, before.bottom + margin};
  const Rect b{area_.left - margin, area_.top - margin, area_.right + margin, area_.bottom + margin};
  refresh(unite(a, b));
  placeToolbar();
}

// ---- the toolbar ----------------------------------------------------------------------------

void MarkupSession::layoutToolbar() {
  using namespace platform;
  buttons_.clear();
  const std::int32_t cell = scaled(28), gap = scaled(8), pad = scaled(4);
  std::int32_t x = pad, y = pad;
  for (int i = 0; i < 6; ++i, x += cell) buttons_.push_back({{x, y, x + cell, y + cell}, kToolFirst + i});
  x += gap;
  for (int i = 0; i < markup::kColourCount; ++i, x += cell) buttons_.push_back({{x, y, x + cell, y + cell}, kColourFirst + i});
  x += gap;
  buttons_.push_back({{x, y, x + cell, y + cell}, kThinner});
  x += cell;
  buttons_.push_back({{x, y, x + cell * 2, y + cell}, kWidthSample});
  x += cell * 2;
  buttons_.push_back({{x, y, x + cell, y + cell}, kThicker});
  x += cell;
  const std::int32_t firstRow = x + pad;
  // The second row: text buttons as wide as their labels.
  x = pad;
  y += cell + pad;
  const WindowDc dc(toolbar_);
  const Selected font(dc.get(), font_.get());
  for (const TextButton& b : kTextButtons) {
    Size size{};
    const auto length = static_cast<std::int32_t>(std::u16string_view(b.label).size());
    GetTextExtentPoint32W(dc.get(), b.label, length, &size);
    const std::int32_t width = size.cx + scaled(16);
    if (b.action == kUpload) x += gap;
    buttons_.push_back({{x, y, x + width, y + cell}, b.action});
    x += width;
  }
  toolbarSize_ = {std::max(firstRow, x + pad), y + cell + pad};
}

// Beside the selection, never over it, inside the selection's monitor: below
// it, else above, right, left; a selection that leaves no room outside it on
// its monitor gets the toolbar inside its bottom right corner.
void MarkupSession::placeToolbar() {
  using namespace platform;
  const ScreenArea& s = frozen_.screen;
  const Rect sel = selection();  // virtual screen, inclusive
  MonitorInfo monitor{};
  monitor.cbSize = sizeof monitor;
  const Point middle{(sel.left + sel.right) / 2, (sel.top + sel.bottom) / 2};
  if (!GetMonitorInfoW(MonitorFromPoint(middle, MONITOR_DEFAULTTONEAREST), &monitor))
    monitor.rcWork = {s.left, s.top, s.left + s.width, s.top + s.height};
  const Rect& m = monitor.rcWork;
  const std::int32_t w = toolbarSize_.cx, h = toolbarSize_.cy, gap = scaled(12);
  const Rect outer{sel.left - gap, sel.top - gap, sel.right + 1 + gap, sel.bottom + 1 + gap};
  auto clampX = [&](std::int32_t x) { return std::clamp(x, m.left, std::max(m.left, m.right - w)); };
  auto clampY = [&](std::int32_t y) { return std::clamp(y, m.top, std::max(m.top, m.bottom - h)); };
  const Point candidates[4] = {{clampX(sel.left), outer.bottom}, {clampX(sel.left), outer.top - h},
                               {outer.right, clampY(sel.top)}, {outer.left - w, clampY(sel.top)}};
  Point at{std::max(m.left, std::min(sel.right + 1, m.right) - w - gap), std::max(m.top, std::min(sel.bottom + 1, m.bottom) - h - gap)};
  for (const Point& p : candidates) {
    const Rect t{p.x, p.y, p.x + w, p.y + h};
    const bool onMonitor = inside(t, m);
    const Rect selExclusive{sel.left, sel.top, sel.right + 1, sel.bottom + 1};
    if (onMonitor && isEmpty(intersect(t, selExclusive))) {
      at = p;
      break;
    }
  }
  SetWindowPos(toolbar_, HWND_TOPMOST, at.x, at.y, w, h, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  UpdateWindow(toolbar_);
}

void MarkupSession::paintToolbar() {
  using namespace platform;
  Painting painting(toolbar_);
  if (painting.dc() == nullptr) return;
  const std::int32_t w = toolbarSize_.cx, h = toolbarSize_.cy;
  if (!scratchFor(w, h)) return;
  GdiFlush();
  const markup::Canvas c{scratch_.width, scratch_.height, scratch_.width * 4, scratch_.pixels, {0, 0}};
  fillBox(c, {0, 0, w, h}, kToolbarBack);
  outline(c, {0, 0, w, h}, 0xA0A0A0, 1);
  const std::uint32_t ink = markup::kColours[colour_];
  std::vector<std::pair<Rect, const char16_t*>> labels;
  for (const Button& b : buttons_) {
    const Rect& r = b.area;
    const std::int32_t inset = scaled(7);
    const Rect icon{r.left + inset, r.top + inset, r.right - inset, r.bottom - inset};
    const bool chosen = (b.action >= kToolFirst && b.action < kToolFirst + 6 && kTools[b.action - kToolFirst] == tool_) ||
                        b.action == kColourFirst + colour_;
    if (chosen) {
      fillBox(c, r, kChosenBack);
      outline(c, r, kAccent, 1);
    }
    markup::Mark m;
    m.colour = ink;
    m.width = std::max(1, scaled(2));
    if (b.action >= kToolFirst && b.action < kToolFirst + 6) {
      switch (kTools[b.action - kToolFirst]) {
        case Tool::Rectangle:
          m.tool = Tool::Rectangle;
          m.points = {{icon.left, icon.top + scaled(2)}, {icon.right - 1, icon.bottom - 1 - scaled(2)}};
          break;
        case Tool::Arrow:
          m.tool = Tool::Arrow;
          m.points = {{icon.left, icon.bottom - 1}, {icon.right - 1, icon.top}};
          break;
        case Tool::Pen:
          m.tool = Tool::Pen;
          m.points = {{icon.left, icon.bottom - 3}, {icon.left + (icon.right - icon.left) / 3, icon.top + 2},
                      {icon.left + 2 * (icon.right - icon.left) / 3, icon.bottom - 3}, {icon.right - 1, icon.top + 2}};
          break;
        case Tool::Highlighter:
          m.tool = Tool::Highlighter;
          m.width = std::max(1, scaled(2));
          m.points = {{icon.left + 2, (icon.top + icon.bottom) / 2}, {icon.right - 3, (icon.top + icon.bottom) / 2}};
          break;
        case Tool::Redact:
          m.tool = Tool::Redact;
          m.colour = 0x000000;
          m.points = {{icon.left, icon.top + scaled(3)}, {icon.right - 1, icon.bottom - 1 - scaled(3)}};
          break;
        case Tool::Text:
          labels.push_back({r, u"T"});
          continue;
      }
      markup::burn(m, c, r);
    } else if (b.action >= kColourFirst && b.action < kColourFirst + markup::kColourCount) {
      fillBox(c, icon, markup::kColours[b.action - kColourFirst]);
      outline(c, icon, 0x606060, 1);
    } else if (b.action == kThinner || b.action == kThicker) {
      const std::int32_t cy = (r.top + r.bottom) / 2, bar = std::max(1, scaled(2));
      fillBox(c, {icon.left, cy - bar / 2, icon.right, cy - bar / 2 + bar}, kButtonText);
      if (b.action == kThicker) {
        const std::int32_t cx = (r.left + r.right) / 2;
        fillBox(c, {cx - bar / 2, icon.top, cx - bar / 2 + bar, icon.bottom}, kButtonText);
      }
    } else if (b.action == kWidthSample) {
      const std::int32_t shown = tool_ == Tool::Text ? std::max(1, textSize_ / 4) : std::min(width_, (r.bottom - r.top) - 4);
      const std::int32_t cy = (r.top + r.bottom) / 2;
      fillBox(c, {r.left + scaled(4), cy - shown / 2, r.right - scaled(4), cy - shown / 2 + std::max(1, shown)}, ink);
    } else {
      outline(c, {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, 0xB0B0B0, 1);
      for (const TextButton& t : kTextButtons)
        if (t.action == b.action) labels.push_back({r, t.label});
    }
  }
  // The labels in the system's font, centred in their buttons.
  {
    const Selected font(scratch_.dc.get(), font_.get());
    SetBkMode(scratch_.dc.get(), TRANSPARENT);
    SetTextColor(scratch_.dc.get(), Rgb(0x20, 0x20, 0x20));
    for (const auto& [r, text] : labels) {
      const auto length = static_cast<std::int32_t>(std::u16string_view(text).size());
      Size size{};
      GetTextExtentPoint32W(scratch_.dc.get(), text, length, &size);
      TextOutW(scratch_.dc.get(), (r.left + r.right - size.cx) / 2, (r.top + r.bottom - size.cy) / 2, text, length);
    }
  }
  BitBlt(painting.dc(), 0, 0, w, h, scratch_.dc.get(), 0, 0, SRCCOPY);
}

// ---- what the user does -----------------------------------------------------------------------

std::uint8_t MarkupSession::edgesAt(Point p) const {
  const std::int32_t reach = scaled(8) / 2 + scaled(3);
  const Rect& a = area_;
  auto near = [&](std::int32_t v, std::int32_t edge) { return v >= edge - reach && v <= edge + reach; };
  const bool withinX = p.x >= a.left - reach && p.x <= a.right - 1 + reach;
  const bool withinY = p.y >= a.top - reach && p.y <= a.bottom - 1 + reach;
  const std::int32_t cx = (a.left + a.right) / 2, cy = (a.top + a.bottom) / 2;
  std::uint8_t edges = 0;
  // Corners move two edges, the middles of the edges one.
  if (near(p.x, a.left) && withinY && (near(p.y, a.top) || near(p.y, a.bottom - 1) || near(p.y, cy)))
    edges |= static_cast<std::uint8_t>(Edge::Left);
  if (near(p.x, a.right - 1) && withinY && (near(p.y, a.top) || near(p.y, a.bottom - 1) || near(p.y, cy)))
    edges |= static_cast<std::uint8_t>(Edge::Right);
  if (near(p.y, a.top) && withinX && (near(p.x, a.left) || near(p.x, a.right - 1) || near(p.x, cx)))
    edges |= static_cast<std::uint8_t>(Edge::Top);
  if (near(p.y, a.bottom - 1) && withinX && (near(p.x, a.left) || near(p.x, a.right - 1) || near(p.x, cx)))
    edges |= static_cast<std::uint8_t>(Edge::Bottom);
  return edges;
}

std::optional<Choice> MarkupSession::press(Point p) {
  if (const std::uint8_t edges = edgesAt(p)) {
    endTyping();
    resizing_ = edges;
    mouse_ = platform::MouseCapture(window_);
    return std::nullopt;
  }
  if (!inside(area_, p)) return std::nullopt;
  if (tool_ == Tool::Text) {
    endTyping();
    refresh(marks_.begin(Tool::Text, markup::kColours[colour_], textSize_, p));
    typing_ = true;
    refresh({p.x, p.y, p.x + scaled(2) + 1, p.y + textSize_});
    return std::nullopt;
  }
  endTyping();
  refresh(marks_.begin(tool_, markup::kColours[colour_], width_, p));
  drawing_ = true;
  mouse_ = platform::MouseCapture(window_);
  return std::nullopt;
}

void MarkupSession::move(Point p) {
  if (resizing_ != 0) {
    const Rect before = area_;
    const ScreenArea& s = frozen_.screen;
    const std::int32_t x = std::clamp(p.x, 0, s.width - 1), y = std::clamp(p.y, 0, s.height - 1);
    Rect next = area_;
    if (resizing_ & static_cast<std::uint8_t>(Edge::Left)) next.left = std::min(x, next.right - 1);
    if (resizing_ & static_cast<std::uint8_t>(Edge::Right)) next.right = std::max(x + 1, next.left + 1);
    if (resizing_ & static_cast<std::uint8_t>(Edge::Top)) next.top = std::min(y, next.bottom - 1);
    if (resizing_ & static_cast<std::uint8_t>(Edge::Bottom)) next.bottom = std::max(y + 1, next.top + 1);
    if (std::memcmp(&next, &area_, sizeof next) == 0) return;
    area_ = next;
    refreshAround(before);
    return;
  }
  if (!drawing_) return;
  refresh(intersect(marks_.extend(p), area_));
}

void MarkupSession::release(Point p) {
  if (resizing_ != 0) {
    move(p);
    resizing_ = 0;
    mouse_.reset();
    return;
  }
  if (!drawing_) return;
  refresh(marks_.extend(p));
  drawing_ = false;
  mouse_.reset();
  refresh(marks_.commit());
}

void MarkupSession::mouseLost() {
  if (!mouse_) return;
  mouse_.reset();
  resizing_ = 0;
  if (drawing_) {
    drawing_ = false;
    refresh(marks_.commit());
  }
}

void MarkupSession::endTyping() {
  if (!typing_) return;
  typing_ = false;
  const markup::Mark* t = marks_.drawing();
  Rect caret{};
  if (t != nullptr) {
    const Point at = t->points.front();
    const std::int32_t x = std::max(t->glyphs.area.right, at.x);
    caret = {x, at.y, x + scaled(2) + 1, at.y + t->width};
  }
  refresh(unite(marks_.commit(), caret));
}

markup::Glyphs MarkupSession::renderText(const markup::Mark& m) const {
  using namespace platform;
  markup::Glyphs g;
  LogFont f = textFont_;
  f.lfHeight = -m.width;
  f.lfWidth = 0;
  f.lfQuality = ANTIALIASED_QUALITY;  // grey edges, no colour fringes of subpixel text, whatever the colour
  const UniqueGdiObject font(CreateFontIndirectW(&f));
  const WindowDc screen(nullptr);
  UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
  if (!dc || !font) return g;
  const auto length = static_cast<std::int32_t>(m.text.size());
  Size size{};
  {
    const Selected chosen(dc.get(), font.get());
    GetTextExtentPoint32W(dc.get(), m.text.c_str(), length, &size);
  }
  if (size.cx <= 0 || size.cy <= 0) return g;
  const std::int32_t w = size.cx + 2, h = size.cy;
  const BitmapInfo info = TopDownRgb32(w, h);
  void* bits = nullptr;
  const UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return g;
  std::memset(bits, 0, static_cast<std::size_t>(w) * h * 4);
  {
    const Selected picture(dc.get(), AsObject(bitmap.get()));
    const Selected chosen(dc.get(), font.get());
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextColor(dc.get(), Rgb(255, 255, 255));
    TextOutW(dc.get(), 0, 0, m.text.c_str(), length);
    GdiFlush();
  }
  // White on black: the brightness is how much of the pixel the text covers.
  g.coverage.resize(static_cast<std::size_t>(w) * h);
  const auto* px = static_cast<const std::uint8_t*>(bits);
  for (std::size_t i = 0; i < g.coverage.size(); ++i)
    g.coverage[i] = std::max({px[i * 4], px[i * 4 + 1], px[i * 4 + 2]});
  const Point at = m.points.front();
  g.area = {at.x, at.y, at.x + w, at.y + h};
  return g;
}

void MarkupSession::character(char16_t c) {
  if (!typing_) return;
  markup::Mark* t = marks_.drawing();
  if (t == nullptr) return;
  std::u16string text = t->text;
  if (c == u'\b') {
    if (text.empty()) return;
    text.pop_back();
    // The second half of a surrogate pair goes with its first.
    if (!text.empty() && text.back() >= 0xD800 && text.back() < 0xDC00) text.pop_back();
  } else if (c >= 0x20 && c != 0x7F) {
    text.push_back(c);
  } else {
    return;
  }
  const Rect before = markup::bounds(*t);
  const Rect changed = marks_.setText(std::move(text), [this](const markup::Mark& m) { return renderText(m); });
  const std::int32_t caret = scaled(2) + 1;
  refresh(unite(changed, {before.right, before.top, before.right + caret, before.top + textSize_ + 1}));
  if (const markup::Mark* now = marks_.drawing()) {
    const std::int32_t x = std::max(now->glyphs.area.right, now->points.front().x);
    refresh({x, now->points.front().y, x + caret, now->points.front().y + textSize_ + 1});
  }
}

// A notch of the wheel is 120; a precision touchpad sends less at a time, which adds up to notches.
void MarkupSession::wheel(std::int32_t delta) {
  constexpr std::int32_t kNotch = 120;
  wheelRest_ += delta;
  const std::int32_t steps = std::clamp(wheelRest_ / kNotch, -10, 10);
  wheelRest_ %= kNotch;
  if (steps == 0) return;
  if (tool_ == Tool::Text) {
    for (std::int32_t i = 0; i < (steps > 0 ? steps : -steps); ++i)
      textSize_ = std::clamp(textSize_ + (steps > 0 ? 1 : -1) * std::max(2, textSize_ / 8), markup::kMinTextSize,
                             markup::kMaxTextSize);
    if (markup::Mark* t = marks_.drawing(); typing_ && t != nullptr) {
      const Rect before = markup::bounds(*t);
      t->width = textSize_;
      const std::u16string text = t->text;
      const Rect changed = marks_.setText(text, [this](const markup::Mark& m) { return renderText(m); });
      refresh(unite(unite(before, changed), {before.left, before.top, before.right + scaled(4) + textSize_ * 20, before.top + textSize_ * 2}));
    }
  } else {
    changeWidth(steps);
  }
  platform::InvalidateRect(toolbar_, nullptr, 0);
}

void MarkupSession::changeWidth(std::int32_t by) {
  width_ = std::clamp(width_ + by, markup::kMinWidth, markup::kMaxWidth);
  platform::InvalidateRect(toolbar_, nullptr, 0);
}

void MarkupSession::select(Tool tool) {
  endTyping();
  tool_ = tool;
  platform::InvalidateRect(toolbar_, nullptr, 0);
}

void MarkupSession::setColour(int index) {
  colour_ = std::clamp(index, 0, markup::kColourCount - 1);
  // A text being typed takes the new colour.
  if (markup::Mark* t = marks_.drawing(); typing_ && t != nullptr) {
    t->colour = markup::kColours[colour_];
    refresh(markup::bounds(*t));
  }
  platform::InvalidateRect(toolbar_, nullptr, 0);
}

std::optional<Choice> MarkupSession::finishWith(Choice choice) {
  endTyping();
  if (choice != Choice::Cancel || !marks_.any()) return choice;
  // Leaving loses the marks: asked first, as one of our modal loops.
  const ModalScope modal(capture());
  if (!modal) return std::nullopt;
  const std::int32_t answer = platform::MessageBoxW(window_, u"Discard the marks and leave?", u"Corvane Tool",
                                                    platform::MB_YESNO | platform::MB_ICONQUESTION);
  return answer == platform::IDYES ? std::optional<Choice>(Choice::Cancel) : std::nullopt;
}

std::optional<Choice> MarkupSession::runAction(int action) {
  if (action >= kToolFirst && action < kToolFirst + 6) {
    select(kTools[action - kToolFirst]);
  } else if (action >= kColourFirst && action < kColourFirst + markup::kColourCount) {
    setColour(action - kColourFirst);
  } else {
    switch (action) {
      case kThinner: changeWidth(-1); break;
      case kThicker: changeWidth(+1); break;
      case kUndo:
        typing_ = false;
        refresh(marks_.undo());
        break;
      case kRedo: refresh(marks_.redo()); break;
      case kUpload: return finishWith(Choice::Upload);
      case kUploadAndSave: return finishWith(Choice::UploadAndSave);
      case kCopy: return finishWith(Choice::Copy);
      case kSave: return finishWith(Choice::Save);
      case kCancel: return finishWith(Choice::Cancel);
      default: break;
    }
  }
  return std::nullopt;
}

std::optional<Choice> MarkupSession::key(std::uint32_t vk, bool control, bool shift) {
  using namespace platform;
  if (vk == VK_ESCAPE) {
    if (typing_) {
      endTyping();
      return std::nullopt;
    }
    return finishWith(Choice::Cancel);
  }
  if (vk == VK_RETURN) {
    if (typing_) {
      endTyping();
      return std::nullopt;
    }
    return runAction(shift ? kUploadAndSave : kUpload);
  }
  if (control) {
    switch (vk) {
      case 'Z': return runAction(kUndo);
      case 'Y': return runAction(kRedo);
      case 'C': return runAction(kCopy);
      case 'S': return runAction(kSave);
      default: return std::nullopt;
    }
  }
  // Letters and digits are the text's while it is typed.
  if (typing_) return std::nullopt;
  for (int i = 0; i < 6; ++i)
    if (vk == static_cast<std::uint32_t>(kToolKeys[i])) return runAction(kToolFirst + i);
  if (vk >= '1' && vk < '1' + static_cast<std::uint32_t>(markup::kColourCount)) return runAction(kColourFirst + static_cast<int>(vk - '1'));
  return std::nullopt;
}

std::optional<Choice> MarkupSession::toolbarPress(Point p) {
  for (const Button& b : buttons_)
    if (inside(b.area, p)) return runAction(b.action);
  return std::nullopt;
}

bool MarkupSession::setCursor(Point onScreen) {
  using namespace platform;
  // The window lies over the virtual screen from its origin.
  const Point p{onScreen.x - frozen_.screen.left, onScreen.y - frozen_.screen.top};
  const std::uint8_t edges = resizing_ != 0 ? resizing_ : edgesAt(p);
  if (edges == 0) return false;
  const bool horizontal = edges & (static_cast<std::uint8_t>(Edge::Left) | static_cast<std::uint8_t>(Edge::Right));
  const bool vertical = edges & (static_cast<std::uint8_t>(Edge::Top) | static_cast<std::uint8_t>(Edge::Bottom));
  std::uintptr_t id = IDC_SIZEWE;
  if (horizontal && vertical) {
    const bool falling = edges == (static_cast<std::uint8_t>(Edge::Left) | static_cast<std::uint8_t>(Edge::Top)) ||
                         edges == (static_cast<std::uint8_t>(Edge::Right) | static_cast<std::uint8_t>(Edge::Bottom));
    id = falling ? IDC_SIZENWSE : IDC_SIZENESW;
  } else if (vertical) {
    id = IDC_SIZENS;
  }
  SetCursor(LoadCursorW(nullptr, MakeIntResource(id)));
  return true;
}

}  // namespace corvane

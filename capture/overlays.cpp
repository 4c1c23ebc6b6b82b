// What capture mode draws over the frozen desktop besides the size label: the
// outline of the window under the cursor and the magnifier. Both are painted on
// the full-screen window only; every picture comes from the snapshot, so
// neither is ever part of one. A move repaints only what changed.
#include <algorithm>
#include <array>
#include <string_view>

#include "capture/capture.h"
#include "capture/rects.h"
#include "platform/dwmapi.h"
#include "platform/gdi32.h"
#include "platform/kernel32.h"
#include "platform/user32.h"

namespace corvane {
namespace {
using platform::Point;
using platform::Rect;

constexpr std::int32_t kOutlineWidth = 3;   // at 96 DPI, drawn inside the window's bounds
constexpr std::int32_t kLoupeCells = 15;    // pixels across, odd: the cursor's pixel in the middle
constexpr std::int32_t kLoupeZoom = 8;      // at 96 DPI
constexpr std::int32_t kLoupeGap = 20;      // from the cursor's pixel, clear of the crosshair's arms
constexpr std::int32_t kLoupePadding = 6;   // around the text line
constexpr std::size_t kMostWindows = 1024;  // listed, whatever else runs
constexpr std::uint32_t kOutlineColour = platform::Rgb(0, 120, 215);
constexpr std::uint32_t kLoupeBackground = platform::Rgb(32, 32, 32);
constexpr std::uint32_t kGridColour = platform::Rgb(80, 80, 80);

Rect shifted(const Rect& r, std::int32_t dx, std::int32_t dy) {
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}
// The four edges of r, each width wide, inside r.
std::array<Rect, 4> edges(const Rect& r, std::int32_t width) {
  const std::int32_t w = std::min({width, (r.right - r.left + 1) / 2, (r.bottom - r.top + 1) / 2});
  return {Rect{r.left, r.top, r.right, r.top + w}, Rect{r.left, r.bottom - w, r.right, r.bottom},
          Rect{r.left, r.top + w, r.left + w, r.bottom - w}, Rect{r.right - w, r.top + w, r.right, r.bottom - w}};
}
void fill(platform::Hdc dc, const Rect& r, platform::Hgdiobj brush) {
  if (!isEmpty(r)) platform::FillRect(dc, &r, brush);
}
bool same(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct Listing {
  std::vector<Rect>* windows;
  Rect screen;
  std::uint32_t ourProcess;
  platform::Hwnd shell;
};

// Another program's window that a user sees and can click: not ours, shown,
// not minimised, not hidden by the window manager (another virtual desktop),
// not a click-through overlay, not the desktop itself.
platform::Bool listOne(platform::Hwnd window, platform::Lparam lParam) {
  using namespace platform;
  auto& listing = *reinterpret_cast<Listing*>(lParam);
  if (listing.windows->size() >= kMostWindows) return 0;
  std::uint32_t process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == listing.ourProcess || window == listing.shell || !IsWindowVisible(window) || IsIconic(window) ||
      (static_cast<std::uint32_t>(GetWindowLongW(window, GWL_EXSTYLE)) & WS_EX_TRANSPARENT) != 0)
    return 1;
  std::uint32_t cloaked = 0;
  if (DwmGetWindowAttribute(window, DWMWA_CLOAKED, &cloaked, sizeof cloaked) == 0 && cloaked != 0) return 1;
  // The frame as drawn: GetWindowRect adds the invisible resize borders of
  // Windows 10 and later, which would put a strip of the desktop around the picture.
  Rect r{};
  if (DwmGetWindowAttribute(window, DWMWA_EXTENDED_FRAME_BOUNDS, &r, sizeof r) != 0 && !GetWindowRect(window, &r))
    return 1;
  const Rect clipped = intersect(r, listing.screen);
  if (!isEmpty(clipped)) listing.windows->push_back(clipped);
  return 1;
}
}  // namespace

void AppendNumber(char16_t* text, std::int32_t& length, std::int32_t value) {
  if (value < 0) text[length++] = u'-';
  char16_t digits[12];
  int count = 0;
  auto v = static_cast<std::uint32_t>(value < 0 ? -static_cast<std::int64_t>(value) : value);
  do {
    digits[count++] = static_cast<char16_t>(u'0' + v % 10);
    v /= 10;
  } while (v != 0 && count < 12);
  while (count > 0) text[length++] = digits[--count];
}

// Listed once, as the snapshot is taken: the outline and the click then match
// the frozen picture, whatever moves on the live desktop meanwhile, and the
// window under the cursor is found although our own window covers them all.
void Capture::listWindows() {
  windowsAtStart_.clear();
  Listing listing{&windowsAtStart_,
                  {screen_.left, screen_.top, screen_.left + screen_.width, screen_.top + screen_.height},
                  platform::GetCurrentProcessId(),
                  platform::GetShellWindow()};
  platform::EnumWindows(&listOne, reinterpret_cast<platform::Lparam>(&listing));
}

std::optional<Rect> Capture::windowAt(Point at) const {
  for (const Rect& r : windowsAtStart_)
    if (at.x >= r.left && at.x < r.right && at.y >= r.top && at.y < r.bottom) return r;
  return std::nullopt;
}

// Each edge where it was and where it goes painted on its own: one paint
// covers the box around all it repaints, here both windows whole.
void Capture::setOutline(const std::optional<Rect>& bounds) {
  if (bounds.has_value() == outline_.has_value() && (!bounds || same(*bounds, *outline_))) return;
  const std::int32_t width = scaled(kOutlineWidth);
  std::vector<Rect> changed;
  for (const std::optional<Rect>& r : {outline_, bounds})
    if (r)
      for (const Rect& e : edges(shifted(*r, -screen_.left, -screen_.top), width)) changed.push_back(e);
  outline_ = bounds;
  for (const Rect& e : changed) {
    platform::InvalidateRect(windows_.main(), &e, 0);
    platform::UpdateWindow(windows_.main());
  }
}

// Beside the cursor, away from the selection as it grows, clear of the size
// label where there is room, and always inside the cursor's monitor: of the
// four corners around the cursor the first that fits. None of them covers the
// cursor's pixel.
void Capture::placeLoupe(Point at) {
  using namespace platform;
  if (!magnifierOn_) return;
  Loupe next;
  next.at = at;
  AppendNumber(next.text, next.length, at.x);
  for (char16_t c : std::u16string_view(u", ")) next.text[next.length++] = c;
  AppendNumber(next.text, next.length, at.y);
  const std::int32_t side = kLoupeCells * scaled(kLoupeZoom) + 2;
  const std::int32_t width = side, height = side + textHeight_ + scaled(kLoupePadding);
  const std::int32_t gap = scaled(kLoupeGap);
  MonitorInfo monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &monitor))
    monitor.rcMonitor = {screen_.left, screen_.top, screen_.left + screen_.width, screen_.top + screen_.height};
  const Rect& m = monitor.rcMonitor;
  const bool dragging = state_ == CaptureState::Dragging;
  const bool right = !dragging || selection_.endX >= selection_.startX;
  const bool below = !dragging || selection_.endY >= selection_.startY;
  auto corner = [&](bool r, bool b) {
    const std::int32_t x = r ? at.x + gap : at.x - gap - width + 1;
    const std::int32_t y = b ? at.y + gap : at.y - gap - height + 1;
    return Rect{x, y, x + width, y + height};
  };
  const Rect corners[] = {corner(right, below), corner(!right, below), corner(right, !below), corner(!right, !below)};
  const Rect* label = label_ ? &label_->area : nullptr;
  const Rect* chosen = nullptr;
  for (const Rect& c : corners)
    if (inside(c, m) && (label == nullptr || !meet(shifted(c, -screen_.left, -screen_.top), *label))) {
      chosen = &c;
      break;
    }
  for (const Rect& c : corners)
    if (chosen == nullptr && inside(c, m)) chosen = &c;
  Rect area = chosen != nullptr ? *chosen : corners[0];
  if (chosen == nullptr) {  // a monitor smaller than the magnifier's room: kept on it
    area = shifted(area, std::max(m.left - area.left, std::min(0, m.right - area.right)),
                   std::max(m.top - area.top, std::min(0, m.bottom - area.bottom)));
  }
  next.area = shifted(area, -screen_.left, -screen_.top);
  // Where it was and where it goes, painted apart when they lie apart: one
  // paint would cover the box around both.
  const bool apart = loupe_ && !meet(loupe_->area, next.area);
  dropLoupe();
  if (apart) UpdateWindow(windows_.main());
  InvalidateRect(windows_.main(), &next.area, 0);
  loupe_ = next;
}

void Capture::dropLoupe() {
  if (!loupe_) return;
  platform::InvalidateRect(windows_.main(), &loupe_->area, 0);
  loupe_.reset();
}

// M in capture mode: the magnifier goes or comes at once, and the choice is
// kept for the next capture and the next run.
void Capture::toggleMagnifier() {
  magnifierOn_ = !magnifierOn_;
  StoreMagnifierSetting(magnifierOn_);
  if (!magnifierOn_) {
    dropLoupe();
  } else {
    platform::Point cursor{};
    if (platform::GetCursorPos(&cursor)) placeLoupe(cursor);
  }
  platform::UpdateWindow(windows_.main());
}

std::array<Rect, 4> Capture::outlineEdges() const {
  return edges(shifted(*outline_, -screen_.left, -screen_.top), scaled(kOutlineWidth));
}

void Capture::paintOverlays(platform::Hdc dc, const Rect& part) const {
  using namespace platform;
  if (outline_) {
    const std::array<Rect, 4> edges = outlineEdges();
    if (std::any_of(edges.begin(), edges.end(), [&](const Rect& e) { return meet(e, part); })) {
      const UniqueGdiObject brush(CreateSolidBrush(kOutlineColour));
      for (const Rect& e : edges) fill(dc, e, brush.get());
    }
  }
  if (label_ && meet(label_->area, part)) {
    const UniqueGdiObject background(CreateSolidBrush(kLoupeBackground));
    FillRect(dc, &label_->area, background.get());
    const Selected font(dc, labelFont_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Rgb(255, 255, 255));
    TextOutW(dc, label_->area.left + kLabelPadding, label_->area.top + kLabelPadding / 2, label_->text,
             label_->length);
  }
  if (loupe_ && meet(loupe_->area, part)) paintLoupe(dc);
}

// The pixels around the cursor from the snapshot, each a square of the zoom's
// size on a grid, the cursor's own outlined, and its position below them.
// Where the cells reach past the virtual screen they stay the background.
void Capture::paintLoupe(platform::Hdc dc) const {
  using namespace platform;
  const Loupe& l = *loupe_;
  const std::int32_t cell = scaled(kLoupeZoom), half = kLoupeCells / 2;
  const UniqueGdiObject background(CreateSolidBrush(kLoupeBackground));
  FillRect(dc, &l.area, background.get());
  const Rect image{l.area.left + 1, l.area.top + 1, l.area.left + 1 + kLoupeCells * cell,
                   l.area.top + 1 + kLoupeCells * cell};
  // The cells' source in the snapshot, cut to it.
  const std::int32_t firstX = l.at.x - half - screen_.left, firstY = l.at.y - half - screen_.top;
  const std::int32_t left = std::max(firstX, 0), top = std::max(firstY, 0);
  const std::int32_t right = std::min(firstX + kLoupeCells, screen_.width);
  const std::int32_t bottom = std::min(firstY + kLoupeCells, screen_.height);
  if (left < right && top < bottom && snapshot_) {
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, image.left + (left - firstX) * cell, image.top + (top - firstY) * cell, (right - left) * cell,
               (bottom - top) * cell, snapshot_->dc.get(), left, top, right - left, bottom - top, SRCCOPY);
  }
  const UniqueGdiObject grid(CreateSolidBrush(kGridColour));
  for (std::int32_t i = 1; i < kLoupeCells; ++i) {
    fill(dc, {image.left + i * cell, image.top, image.left + i * cell + 1, image.bottom}, grid.get());
    fill(dc, {image.left, image.top + i * cell, image.right, image.top + i * cell + 1}, grid.get());
  }
  // The cursor's pixel: black inside white, so it shows on any colour.
  const Rect pixel{image.left + half * cell, image.top + half * cell, image.left + (half + 1) * cell + 1,
                   image.top + (half + 1) * cell + 1};
  const UniqueGdiObject white(CreateSolidBrush(Rgb(255, 255, 255))), black(CreateSolidBrush(Rgb(0, 0, 0)));
  for (const Rect& e : edges({pixel.left - 1, pixel.top - 1, pixel.right + 1, pixel.bottom + 1}, 1))
    fill(dc, e, white.get());
  for (const Rect& e : edges(pixel, 1)) fill(dc, e, black.get());
  const Selected font(dc, labelFont_.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Rgb(255, 255, 255));
  TextOutW(dc, image.left + kLoupePadding, image.bottom + 1 + scaled(kLoupePadding) / 2, l.text, l.length);
}

}  // namespace corvane

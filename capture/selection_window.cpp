// The two windows of capture mode and their moves, and the selection as the
// full-screen window draws it: from the desktop picture, a few strips a move.
#include <algorithm>
#include <array>
#include <cstring>

#include "capture/capture.h"
#include "capture/rects.h"
#include "platform/gdi32.h"
#include "platform/guards.h"
#include "platform/user32.h"

namespace corvane {
namespace {
using platform::Rect;

constexpr std::uint32_t kAlpha = 100;  // of 255, for the tint and the border alike
constexpr std::uint8_t kTint = 100;    // grey
constexpr std::int32_t kDot = 3;       // pixels of each colour along the border
struct Colour {
  std::uint8_t blue, green, red;
};
constexpr Colour kBorderDot{255, 10, 0};
constexpr Colour kBorderGap{255, 255, 255};

constexpr std::uint8_t blend(std::uint32_t over, std::uint32_t under) {
  return static_cast<std::uint8_t>((over * kAlpha + under * (255 - kAlpha) + 127) / 255);
}
constexpr std::array<std::uint8_t, 256> kTinted = [] {
  std::array<std::uint8_t, 256> t{};
  for (std::uint32_t i = 0; i < 256; ++i) t[i] = blend(kTint, i);
  return t;
}();

}  // namespace

void DrawSelection(std::uint8_t* pixels, std::int32_t stride, const Rect& piece, const Rect& s) {
  const Rect part = intersect(piece, s);
  if (isEmpty(part)) return;
  auto border = [](const Colour& c, std::uint8_t* p) {
    p[0] = blend(c.blue, p[0]);
    p[1] = blend(c.green, p[1]);
    p[2] = blend(c.red, p[2]);
  };
  // The dots keep their place on the screen as the selection grows.
  auto dot = [](std::int32_t along) { return (along / kDot) % 2 == 0 ? kBorderDot : kBorderGap; };
  for (std::int32_t y = part.top; y < part.bottom; ++y) {
    std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y - piece.top) * stride;
    const bool edgeRow = y == s.top || y == s.bottom - 1;
    for (std::int32_t x = part.left; x < part.right; ++x) {
      std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x - piece.left) * 4;
      if (edgeRow) {
        border(dot(x), p);
      } else if (x == s.left || x == s.right - 1) {
        border(dot(y), p);
      } else {
        p[0] = kTinted[p[0]];
        p[1] = kTinted[p[1]];
        p[2] = kTinted[p[2]];
      }
    }
  }
}

// A pixel looks different only where it lies between an edge's old and new
// place, the edge pixels included: elsewhere it is inside both rectangles or
// outside both, at the same distance from the same edges. So: one strip for
// the top edge and one for the bottom edge where they moved, across both
// rectangles, and between them one for each side edge that moved; strips that
// meet become one, so that no pixel is painted twice.
std::vector<Rect> SelectionChange(const std::optional<Rect>& before, const std::optional<Rect>& after) {
  if (!before && !after) return {};
  if (!before || !after) return {before ? *before : *after};
  const Rect& a = *before;
  const Rect& b = *after;
  if (!meet(a, b)) return {a, b};
  const std::int32_t left = std::min(a.left, b.left), right = std::max(a.right, b.right);
  const std::int32_t top = std::min(a.top, b.top), bottom = std::max(a.bottom, b.bottom);
  // Rows [first, last) of each strip across, or columns of each strip along the sides.
  struct Span {
    std::int32_t first, last;
  };
  auto spans = [](std::int32_t lowA, std::int32_t lowB, std::int32_t highA, std::int32_t highB) {
    std::vector<Span> s;
    if (lowA != lowB) s.push_back({std::min(lowA, lowB), std::max(lowA, lowB) + 1});
    if (highA != highB) {
      const Span high{std::min(highA, highB) - 1, std::max(highA, highB)};
      if (!s.empty() && s.back().last >= high.first) s.back().last = high.last;
      else s.push_back(high);
    }
    return s;
  };
  std::vector<Rect> strips;
  const std::vector<Span> across = spans(a.top, b.top, a.bottom, b.bottom);
  for (const Span& s : across) strips.push_back({left, s.first, right, s.last});
  // The side strips take the rows the strips across leave.
  const std::int32_t sideTop = a.top != b.top ? across.front().last : top;
  const std::int32_t sideBottom = a.bottom != b.bottom ? across.back().first : bottom;
  if (sideTop < sideBottom)
    for (const Span& s : spans(a.left, b.left, a.right, b.right)) strips.push_back({s.first, sideTop, s.last, sideBottom});
  return strips;
}

// Topmost, so that the taskbar and other topmost windows do not lie over the
// frozen desktop, and activated, so that the keys of capture mode reach it:
// the hot key or tray click that began capture mode lets us take the foreground.
void CaptureWindows::cover(const ScreenArea& s) {
  using namespace platform;
  origin_ = {s.left, s.top};
  shown_.reset();
  SetWindowPos(main_, HWND_TOPMOST, s.left, s.top, s.width, s.height, SWP_SHOWWINDOW);
  SetForegroundWindow(main_);
  UpdateWindow(main_);
}

// Each strip is painted on its own: a paint covers the box around all that is
// to be painted, which for two edges of a large selection is all of it.
void CaptureWindows::showSelection(const platform::Rect& r) {
  const std::optional<Rect> next = Rect{r.left - origin_.x, r.top - origin_.y, r.right + 1 - origin_.x,
                                        r.bottom + 1 - origin_.y};
  const std::vector<Rect> strips = SelectionChange(shown_, next);
  shown_ = next;
  for (const Rect& strip : strips) {
    platform::InvalidateRect(main_, &strip, 0);
    platform::UpdateWindow(main_);
  }
}

void CaptureWindows::hideSelection() {
  if (!shown_) return;
  const Rect gone = *shown_;
  shown_.reset();
  platform::InvalidateRect(main_, &gone, 0);
  platform::UpdateWindow(main_);
}

namespace {

struct Above {
  platform::Hwnd window;
  platform::Rect area;
  bool covered = false;
};

// Top of the Z order first, until the window itself: whether a visible window
// over part of it lies above it.
platform::Bool stopAtWindow(platform::Hwnd other, platform::Lparam lParam) {
  using namespace platform;
  auto& above = *reinterpret_cast<Above*>(lParam);
  if (other == above.window) return 0;
  Rect r{};
  if (!IsWindowVisible(other) || !GetWindowRect(other, &r)) return 1;
  above.covered = meet(r, above.area);
  return above.covered ? 0 : 1;
}

bool coveredByAnother(platform::Hwnd window) {
  using namespace platform;
  Above above{window, {}};
  if (!GetWindowRect(window, &above.area)) return true;
  EnumWindows(&stopAtWindow, reinterpret_cast<Lparam>(&above));
  return above.covered;
}

}  // namespace

// Up already, and painted but for what changed meanwhile: brought to the top
// only when a window shown meanwhile lies over it (under Wine even
// a placement that changes nothing costs the release a few milliseconds), and
// the rest painted, without the unmapping and mapping of a hide and a show.
// Not activated: it has been the active window since capture mode began.
void CaptureWindows::raiseForWork() const {
  using namespace platform;
  if (!IsWindowVisible(main_) || coveredByAnother(main_))
    SetWindowPos(main_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
  UpdateWindow(main_);
}

void CaptureWindows::park() {
  using namespace platform;
  shown_.reset();
  SetWindowPos(selection_, nullptr, 0, 0, 1, 1, SWP_HIDEWINDOW | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(main_, SW_HIDE);
}

std::optional<Rect> Capture::selectionShown() const {
  const auto& s = windows_.shownSelection();
  if (!s) return std::nullopt;
  return Rect{s->left + screen_.left, s->top + screen_.top, s->right - 1 + screen_.left, s->bottom - 1 + screen_.top};
}

// The selection window is never shown: the full-screen window draws the
// selection. Its class stays the one it was made with.
platform::Lresult selectionWindowProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                      platform::Lparam lParam) {
  return platform::DefWindowProcW(window, message, wParam, lParam);
}

// ---- painting the full-screen window ---------------------------------------------

void Capture::makeCanvas() {
  using namespace platform;
  canvas_.reset();
  const WindowDc screen(nullptr);
  Snapshot canvas;
  const BitmapInfo info = TopDownRgb32(kCanvasSide, kCanvasSide);
  void* bits = nullptr;
  canvas.dc.reset(CreateCompatibleDC(screen.get()));
  canvas.bitmap.reset(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!canvas.dc || !canvas.bitmap || bits == nullptr) return;
  canvas.pixels = static_cast<std::uint8_t*>(bits);
  canvas.selected = Selected(canvas.dc.get(), AsObject(canvas.bitmap.get()));
  if (canvas.selected) canvas_.emplace(std::move(canvas));
}

void Capture::copyDesktop(platform::Hdc dc, const Rect& r) const {
  if (!isEmpty(r))
    platform::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, snapshot_->dc.get(), r.left, r.top,
                     platform::SRCCOPY);
}

void Capture::paintPart(platform::Hdc dc, const Rect& part) const {
  // What may lie over the desktop picture here: the selection, the outline's
  // edges, the size label, the magnifier.
  std::array<Rect, 7> over{};
  std::size_t count = 0;
  auto add = [&](const Rect& r) {
    const Rect c = intersect(r, part);
    if (!isEmpty(c)) over[count++] = c;
  };
  if (windows_.shownSelection()) add(*windows_.shownSelection());
  if (outline_)
    for (const Rect& e : outlineEdges()) add(e);
  if (label_) add(label_->area);
  if (loupe_) add(loupe_->area);
  if (count == 0) {
    copyDesktop(dc, part);
    return;
  }
  Rect box = over[0];
  for (std::size_t i = 1; i < count; ++i) box = unite(box, over[i]);
  // Around the box, the desktop as it was.
  copyDesktop(dc, {part.left, part.top, part.right, box.top});
  copyDesktop(dc, {part.left, box.bottom, part.right, part.bottom});
  copyDesktop(dc, {part.left, box.top, box.left, box.bottom});
  copyDesktop(dc, {box.right, box.top, part.right, box.bottom});
  if (box.right - box.left <= kCanvasSide && box.bottom - box.top <= kCanvasSide) {
    composePiece(dc, box);
    return;
  }
  // Too large for the canvas at once: a piece at a time, each as small as what lies over it there.
  for (std::int32_t y = box.top; y < box.bottom; y += kCanvasSide)
    for (std::int32_t x = box.left; x < box.right; x += kCanvasSide)
      paintPart(dc, {x, y, std::min(x + kCanvasSide, box.right), std::min(y + kCanvasSide, box.bottom)});
}

void Capture::composePiece(platform::Hdc dc, const Rect& piece) const {
  using namespace platform;
  if (!canvas_ || snapshot_->pixels == nullptr) {
    copyDesktop(dc, piece);
    paintOverlays(dc, piece);
    return;
  }
  const Snapshot& c = *canvas_;
  const std::int32_t width = piece.right - piece.left, stride = kCanvasSide * 4;
  // What GDI drew into the canvas for the last piece is done before its pixels are written.
  GdiFlush();
  const std::int32_t screenStride = screen_.width * 4;
  for (std::int32_t y = piece.top; y < piece.bottom; ++y)
    std::memcpy(c.pixels + static_cast<std::ptrdiff_t>(y - piece.top) * stride,
                snapshot_->pixels + static_cast<std::ptrdiff_t>(y) * screenStride + static_cast<std::ptrdiff_t>(piece.left) * 4,
                static_cast<std::size_t>(width) * 4);
  if (windows_.shownSelection()) DrawSelection(c.pixels, stride, piece, *windows_.shownSelection());
  // The canvas holds the piece at its place on the window: the overlays draw
  // in the window's coordinates, and the copy reads the canvas in them too.
  SetViewportOrgEx(c.dc.get(), -piece.left, -piece.top, nullptr);
  paintOverlays(c.dc.get(), piece);
  BitBlt(dc, piece.left, piece.top, width, piece.bottom - piece.top, c.dc.get(), piece.left, piece.top, SRCCOPY);
}

}  // namespace corvane

// The marks' geometry, their burning into pixels, and the undo history.
#include "capture/markup.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace corvane::markup {
namespace {

using platform::Point;
using platform::Rect;

// Inclusive corners to a rectangle with right and bottom outside.
Rect box(Point a, Point b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
}

Rect grow(const Rect& r, std::int32_t by) { return {r.left - by, r.top - by, r.right + by, r.bottom + by}; }

// The clip inside the canvas, in mark coordinates.
Rect onCanvas(const Canvas& c, const Rect& clip) {
  return intersect(clip, {c.origin.x, c.origin.y, c.origin.x + c.width, c.origin.y + c.height});
}

std::uint32_t* pixel(const Canvas& c, std::int32_t x, std::int32_t y) {
  return reinterpret_cast<std::uint32_t*>(c.top + static_cast<std::ptrdiff_t>(y - c.origin.y) * c.stride) +
         (x - c.origin.x);
}

void put(std::uint32_t* p, std::uint32_t colour) { *p = (*p & 0xFF000000u) | colour; }

void blend(std::uint32_t* p, std::uint32_t colour, std::uint32_t alpha) {
  if (alpha == 0) return;
  if (alpha >= 255) return put(p, colour);
  std::uint32_t out = *p & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const std::uint32_t under = (*p >> shift) & 0xFF, over = (colour >> shift) & 0xFF;
    out |= ((over * alpha + under * (255 - alpha) + 127) / 255) << shift;
  }
  *p = out;
}

void fill(const Canvas& c, const Rect& area, std::uint32_t colour) {
  for (std::int32_t y = area.top; y < area.bottom; ++y) {
    std::uint32_t* row = pixel(c, area.left, y);
    for (std::int32_t x = 0; x < area.right - area.left; ++x) put(row + x, colour);
  }
}

// Half the line's width: a pixel belongs to a stroke when its centre lies this
// close to it. A one-pixel line so keeps one pixel per column or row, without gaps.
double radiusOf(std::int32_t width) { return std::max(0.5, width / 2.0); }

std::int32_t strokeWidth(const Mark& m) { return m.tool == Tool::Highlighter ? m.width * kHighlighterScale : m.width; }

// Coverage of one area: set where any segment of the stroke passes within r.
// A mask rather than drawing segment by segment, so that a translucent stroke
// is blended once where its segments overlap.
class Mask {
 public:
  explicit Mask(const Rect& area)
      : area_(area), width_(area.right - area.left),
        bits_(static_cast<std::size_t>(std::max(0, width_)) * std::max(0, area.bottom - area.top)) {}

  void segment(Point a, Point b, double r) {
    const auto reach = static_cast<std::int32_t>(std::ceil(r));
    const Rect near = intersect(grow(box(a, b), reach), area_);
    const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy, r2 = r * r;
    for (std::int32_t y = near.top; y < near.bottom; ++y) {
      for (std::int32_t x = near.left; x < near.right; ++x) {
        double t = length2 > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / length2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        const double ex = x - (a.x + t * dx), ey = y - (a.y + t * dy);
        if (ex * ex + ey * ey <= r2) bits_[index(x, y)] = 1;
      }
    }
  }

  // A filled triangle, edges included.
  void triangle(const double (&px)[3], const double (&py)[3]) {
    const Rect near = intersect(
        {static_cast<std::int32_t>(std::floor(std::min({px[0], px[1], px[2]}))),
         static_cast<std::int32_t>(std::floor(std::min({py[0], py[1], py[2]}))),
         static_cast<std::int32_t>(std::ceil(std::max({px[0], px[1], px[2]}))) + 1,
         static_cast<std::int32_t>(std::ceil(std::max({py[0], py[1], py[2]}))) + 1},
        area_);
    auto side = [&](int i, int j, double x, double y) {
      return (px[j] - px[i]) * (y - py[i]) - (py[j] - py[i]) * (x - px[i]);
    };
    const double area = side(0, 1, px[2], py[2]);
    if (area == 0) return;
    const double eps = 1e-9;
    for (std::int32_t y = near.top; y < near.bottom; ++y) {
      for (std::int32_t x = near.left; x < near.right; ++x) {
        const double s0 = side(0, 1, x, y) / area, s1 = side(1, 2, x, y) / area, s2 = side(2, 0, x, y) / area;
        if (s0 >= -eps && s1 >= -eps && s2 >= -eps) bits_[index(x, y)] = 1;
      }
    }
  }

  void paint(const Canvas& c, std::uint32_t colour, std::uint32_t alpha) const {
    for (std::int32_t y = area_.top; y < area_.bottom; ++y) {
      const std::uint8_t* bits = &bits_[index(area_.left, y)];
      std::uint32_t* row = pixel(c, area_.left, y);
      for (std::int32_t x = 0; x < width_; ++x)
        if (bits[x]) blend(row + x, colour, alpha);
    }
  }

 private:
  std::size_t index(std::int32_t x, std::int32_t y) const {
    return static_cast<std::size_t>(y - area_.top) * width_ + (x - area_.left);
  }
  Rect area_;
  std::int32_t width_;
  std::vector<std::uint8_t> bits_;
};

// The arrow's head: tip at the end, its length three line widths and more,
// never longer than the arrow itself. Gives the three corners and the point
// the shaft ends at.
struct Head {
  double x[3], y[3];
  Point shaftEnd;
};

Head headOf(const Mark& m) {
  const Point from = m.points.front(), to = m.points.back();
  const double dx = to.x - from.x, dy = to.y - from.y, length = std::sqrt(dx * dx + dy * dy);
  Head h{};
  if (length == 0) {
    for (int i = 0; i < 3; ++i) h.x[i] = to.x, h.y[i] = to.y;
    h.shaftEnd = to;
    return h;
  }
  const double size = std::min(length, 3.0 * m.width + 8.0), ux = dx / length, uy = dy / length;
  const double baseX = to.x - ux * size, baseY = to.y - uy * size, half = size * 0.5;
  h.x[0] = to.x, h.y[0] = to.y;
  h.x[1] = baseX - uy * half, h.y[1] = baseY + ux * half;
  h.x[2] = baseX + uy * half, h.y[2] = baseY - ux * half;
  // Into the head a little, so no seam shows between the two.
  h.shaftEnd = {static_cast<std::int32_t>(std::lround(baseX + ux * size * 0.3)),
                static_cast<std::int32_t>(std::lround(baseY + uy * size * 0.3))};
  return h;
}

}  // namespace

Rect bounds(const Mark& m) {
  if (m.points.empty()) return {};
  switch (m.tool) {
    case Tool::Rectangle:
    case Tool::Redact:
      return box(m.points.front(), m.points.back());
    case Tool::Pen:
    case Tool::Highlighter: {
      Rect r = box(m.points.front(), m.points.front());
      for (const Point& p : m.points) r = unite(r, box(p, p));
      return grow(r, static_cast<std::int32_t>(std::ceil(radiusOf(strokeWidth(m)))));
    }
    case Tool::Arrow: {
      const Head h = headOf(m);
      Rect r = box(m.points.front(), m.points.back());
      for (int i = 0; i < 3; ++i) {
        const Point corner{static_cast<std::int32_t>(std::floor(h.x[i])), static_cast<std::int32_t>(std::floor(h.y[i]))};
        r = unite(r, grow(box(corner, corner), 1));
      }
      return grow(r, static_cast<std::int32_t>(std::ceil(radiusOf(m.width))));
    }
    case Tool::Text:
      return m.glyphs.area;
  }
  return {};
}

void burn(const Mark& m, const Canvas& c, const Rect& clip) {
  const Rect area = intersect(bounds(m), onCanvas(c, clip));
  if (isEmpty(area) || c.top == nullptr) return;
  switch (m.tool) {
    case Tool::Redact:
      fill(c, area, m.colour);
      return;
    case Tool::Rectangle: {
      const Rect outer = box(m.points.front(), m.points.back());
      const Rect inner = grow(outer, -m.width);
      if (isEmpty(inner)) return fill(c, area, m.colour);
      // The four bands of the outline, each clipped.
      fill(c, intersect(area, {outer.left, outer.top, outer.right, inner.top}), m.colour);
      fill(c, intersect(area, {outer.left, inner.bottom, outer.right, outer.bottom}), m.colour);
      fill(c, intersect(area, {outer.left, inner.top, inner.left, inner.bottom}), m.colour);
      fill(c, intersect(area, {inner.right, inner.top, outer.right, inner.bottom}), m.colour);
      return;
    }
    case Tool::Pen:
    case Tool::Highlighter: {
      Mask mask(area);
      const double r = radiusOf(strokeWidth(m));
      if (m.points.size() == 1) mask.segment(m.points[0], m.points[0], r);
      for (std::size_t i = 1; i < m.points.size(); ++i) mask.segment(m.points[i - 1], m.points[i], r);
      mask.paint(c, m.colour, m.tool == Tool::Highlighter ? kHighlighterAlpha : 255);
      return;
    }
    case Tool::Arrow: {
      Mask mask(area);
      const Head h = headOf(m);
      mask.segment(m.points.front(), h.shaftEnd, radiusOf(m.width));
      mask.triangle(h.x, h.y);
      mask.paint(c, m.colour, 255);
      return;
    }
    case Tool::Text: {
      const Glyphs& g = m.glyphs;
      const std::int32_t gw = g.area.right - g.area.left;
      if (g.coverage.size() < static_cast<std::size_t>(gw) * (g.area.bottom - g.area.top)) return;
      for (std::int32_t y = area.top; y < area.bottom; ++y) {
        std::uint32_t* row = pixel(c, area.left, y);
        const std::uint8_t* cover = &g.coverage[static_cast<std::size_t>(y - g.area.top) * gw + (area.left - g.area.left)];
        for (std::int32_t x = 0; x < area.right - area.left; ++x) blend(row + x, m.colour, cover[x]);
      }
      return;
    }
  }
}

std::size_t footprint(const Mark& m) {
  return sizeof(Mark) + m.points.capacity() * sizeof(Point) + m.text.capacity() * sizeof(char16_t) +
         m.glyphs.coverage.capacity();
}

// ---- the history ---------------------------------------------------------------

Rect Marks::begin(Tool tool, std::uint32_t colour, std::int32_t width, Point at) {
  Rect changed = commit();
  Mark m;
  m.tool = tool;
  m.colour = colour;
  m.width = width;
  m.points.push_back(at);
  if (tool != Tool::Pen && tool != Tool::Highlighter && tool != Tool::Text) m.points.push_back(at);
  drawing_ = std::move(m);
  return unite(changed, bounds(*drawing_));
}

Rect Marks::extend(Point to) {
  if (!drawing_ || drawing_->tool == Tool::Text) return {};
  Mark& m = *drawing_;
  if (m.tool == Tool::Pen || m.tool == Tool::Highlighter) {
    const Point last = m.points.back();
    if (last.x == to.x && last.y == to.y) return {};
    if (m.points.size() >= limits_.pointsPerStroke) return {};
    m.points.push_back(to);
    // Only the new segment's pixels change.
    return grow(box(last, to), static_cast<std::int32_t>(std::ceil(radiusOf(strokeWidth(m)))));
  }
  const Rect before = bounds(m);
  m.points.back() = to;
  return unite(before, bounds(m));
}

Rect Marks::setText(std::u16string text, const std::function<Glyphs(const Mark&)>& render) {
  if (!drawing_ || drawing_->tool != Tool::Text) return {};
  if (text.size() > kMostTextLength) text.resize(kMostTextLength);
  const Rect before = bounds(*drawing_);
  drawing_->text = std::move(text);
  drawing_->glyphs = drawing_->text.empty() ? Glyphs{} : render(*drawing_);
  return unite(before, bounds(*drawing_));
}

Rect Marks::commit() {
  if (!drawing_) return {};
  Mark m = std::move(*drawing_);
  drawing_.reset();
  const Rect area = bounds(m);
  if (m.tool == Tool::Text && m.text.empty()) return area;
  m.points.shrink_to_fit();
  undone_.clear();
  done_.push_back(std::move(m));
  keepWithinLimits();
  return area;
}

Rect Marks::undo() {
  if (drawing_) {
    // Undo while drawing drops the mark in hand.
    const Rect area = bounds(*drawing_);
    drawing_.reset();
    return area;
  }
  if (done_.empty()) return {};
  undone_.push_back(std::move(done_.back()));
  done_.pop_back();
  return bounds(undone_.back());
}

Rect Marks::redo() {
  if (drawing_ || undone_.empty()) return {};
  done_.push_back(std::move(undone_.back()));
  undone_.pop_back();
  return bounds(done_.back());
}

std::size_t Marks::bytes() const {
  std::size_t total = 0;
  for (const Mark& m : done_) total += footprint(m);
  for (const Mark& m : undone_) total += footprint(m);
  if (drawing_) total += footprint(*drawing_);
  return total;
}

// Over the bound, what was undone goes first (it is not seen), then the oldest marks
// are flattened into the picture.
void Marks::keepWithinLimits() {
  while (!undone_.empty() && bytes() > limits_.bytes) undone_.erase(undone_.begin());
  while (!done_.empty() && (done_.size() > limits_.steps || bytes() > limits_.bytes)) {
    if (flatten_) flatten_(done_.front());
    done_.erase(done_.begin());
    ++flattened_;
  }
}

}  // namespace corvane::markup

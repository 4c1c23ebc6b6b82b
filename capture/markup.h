// The marks a user draws over a selection before it leaves: their geometry,
// how they are burned into 32-bit pixels, and their undo history with its
// memory bound. Portable: the mark-up window (capture/markup_session.h) shows
// them, and the picture that leaves has them burned in.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "capture/rects.h"
#include "platform/types.h"

namespace corvane::markup {

enum class Tool { Rectangle, Arrow, Pen, Highlighter, Text, Redact };

// Colours as 32-bit pixels hold them (0x00RRGGBB: blue in the lowest byte).
// Red first: the colour a mark-up starts with.
inline constexpr std::uint32_t kColours[] = {0xE02020, 0xFFD000, 0x20A040, 0x2060E0, 0x000000, 0xFFFFFF};
inline constexpr int kColourCount = static_cast<int>(sizeof kColours / sizeof kColours[0]);

// Line widths in pixels, and text heights in pixels.
inline constexpr std::int32_t kMinWidth = 1, kMaxWidth = 40, kDefaultWidth = 4;
inline constexpr std::int32_t kMinTextSize = 8, kMaxTextSize = 160, kDefaultTextSize = 28;
// A highlighter stroke is this many times as wide as the line width, and this opaque (of 255).
inline constexpr std::int32_t kHighlighterScale = 4;
inline constexpr std::uint32_t kHighlighterAlpha = 96;
inline constexpr std::size_t kMostTextLength = 256;

// A text's pixels as the system's font drew them: coverage 0..255 per pixel
// over area (mark coordinates, right and bottom outside).
struct Glyphs {
  platform::Rect area{};
  std::vector<std::uint8_t> coverage;
};

struct Mark {
  Tool tool = Tool::Rectangle;
  std::uint32_t colour = kColours[0];
  std::int32_t width = kDefaultWidth;  // line width; for text its height
  // The press point first. Rectangle, redact and arrow: the press and the
  // current end (both corner pixels inside); pen and highlighter: every point
  // of the stroke; text: where it begins (its top left).
  std::vector<platform::Point> points;
  std::u16string text;
  Glyphs glyphs;
};

// 32-bit pixels, top row first; pixel (0, 0) lies at mark coordinate origin.
struct Canvas {
  std::int32_t width = 0, height = 0, stride = 0;
  std::uint8_t* top = nullptr;
  platform::Point origin{};
};

// Every pixel the mark may change, in mark coordinates; empty for a mark with no points.
platform::Rect bounds(const Mark& mark);
// Draws the mark over the canvas, only inside clip (mark coordinates). Redact
// replaces pixels with its colour; the highlighter and text blend theirs in.
// A pixel's highest byte is left as it was.
void burn(const Mark& mark, const Canvas& canvas, const platform::Rect& clip);
// The memory a mark holds, counted against the history's bound.
std::size_t footprint(const Mark& mark);

struct Limits {
  std::size_t steps = 100;            // marks that can be undone, at least
  std::size_t bytes = 8u << 20;       // all marks, undone ones included
  std::size_t pointsPerStroke = 16384;  // a longer stroke stops growing
};

// The marks of one selection, oldest first, and the mark being drawn. Marks
// that fall out of the history (beyond its steps or its memory) are handed to
// flatten, which burns them into the picture below: still seen, no longer undone.
class Marks {
 public:
  using Flatten = std::function<void(const Mark&)>;
  explicit Marks(Limits limits = {}, Flatten flatten = {}) : limits_(limits), flatten_(std::move(flatten)) {}

  // A new mark at its press point; a mark still being drawn is committed first.
  // Each returns the area whose pixels changed (mark coordinates), possibly empty.
  platform::Rect begin(Tool tool, std::uint32_t colour, std::int32_t width, platform::Point at);
  // The mouse moved with the button down: the end moves, a stroke grows.
  platform::Rect extend(platform::Point to);
  // The text being typed is now this (bounded); glyphs are made by render.
  platform::Rect setText(std::u16string text, const std::function<Glyphs(const Mark&)>& render);
  // The mark being drawn joins the history; the marks undone are dropped.
  // A mark that shows nothing (an empty text) is dropped instead.
  platform::Rect commit();
  platform::Rect undo();
  platform::Rect redo();

  const std::vector<Mark>& done() const { return done_; }
  const Mark* drawing() const { return drawing_ ? &*drawing_ : nullptr; }
  Mark* drawing() { return drawing_ ? &*drawing_ : nullptr; }
  std::size_t undoable() const { return done_.size(); }
  std::size_t redoable() const { return undone_.size(); }
  // Whether anything is drawn, flattened marks included: leaving then loses work.
  bool any() const { return !done_.empty() || drawing_.has_value() || flattened_ > 0; }
  std::size_t bytes() const;

  // Every mark to show, oldest first.
  template <typename F>
  void each(F&& f) const {
    for (const Mark& m : done_) f(m);
    if (drawing_) f(*drawing_);
  }

 private:
  void keepWithinLimits();

  Limits limits_;
  Flatten flatten_;
  std::vector<Mark> done_;
  std::vector<Mark> undone_;  // the last undone at the back
  std::optional<Mark> drawing_;
  std::size_t flattened_ = 0;
};

}  // namespace corvane::markup

// The marks over a selection: where each lies, what it does to the pixels
// below, undo and redo, and the bound on what the history holds.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "capture/markup.h"

namespace corvane::markup {
namespace {

using platform::Point;
using platform::Rect;

constexpr std::uint32_t kGrey = 0x808080, kInk = 0x102030;

// A small picture of grey pixels whose top byte is set, so a burn that
// touches it shows.
struct Picture {
  std::int32_t width, height;
  std::vector<std::uint32_t> pixels;
  Picture(std::int32_t w, std::int32_t h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, 0xFF000000u | kGrey) {}
  Canvas canvas(Point origin = {}) {
    return {width, height, width * 4, reinterpret_cast<std::uint8_t*>(pixels.data()), origin};
  }
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // '.' untouched, '#' exactly the ink, '+' anything else; the top byte must survive.
  std::string art() const {
    std::string out;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint32_t p = at(x, y);
        if ((p >> 24) != 0xFF) return "top byte lost";
        out += (p & 0xFFFFFF) == kGrey ? '.' : (p & 0xFFFFFF) == kInk ? '#' : '+';
      }
      out += '\n';
    }
    return out;
  }
};

// A text whose glyphs cover, row by row: '#' fully, '+' half, '.' not at all.
Mark text(Point at, std::initializer_list<const char*> rows) {
  Mark m;
  m.tool = Tool::Text;
  m.colour = kInk;
  m.points = {at};
  m.text = u"x";
  const auto w = static_cast<std::int32_t>(std::string(*rows.begin()).size());
  m.glyphs.area = {at.x, at.y, at.x + w, at.y + static_cast<std::int32_t>(rows.size())};
  for (const char* r : rows)
    for (const char* c = r; *c; ++c) m.glyphs.coverage.push_back(*c == '#' ? 255 : *c == '+' ? 128 : 0);
  return m;
}

Mark mark(Tool tool, std::vector<Point> points, std::int32_t width = 1) {
  Mark m;
  m.tool = tool;
  m.colour = kInk;
  m.width = width;
  m.points = std::move(points);
  return m;
}

std::string lines(std::initializer_list<const char*> rows) {
  std::string out;
  for (const char* r : rows) out += std::string(r) + "\n";
  return out;
}

TEST(Marks, BurnedIntoPixelsExactlyWhereTheyLie) {
  struct Row {
    const char* name;
    Mark mark;
    Rect clip;
    Point origin;
    std::string expected;
  };
  const Rect all{-100, -100, 100, 100};
  const Row rows[] = {
      {"redact replaces every pixel of its box, both corners inside", mark(Tool::Redact, {{6, 4}, {2, 1}}), all, {},
       lines({"..........", "..#####...", "..#####...", "..#####...", "..#####...", "..........", ".........."})},
      {"rectangle: an outline of its width on the dragged box", mark(Tool::Rectangle, {{1, 1}, {8, 5}}, 2), all, {},
       lines({"..........", ".########.", ".########.", ".##....##.", ".########.", ".########.", ".........."})},
      {"a rectangle narrower than its outline is filled", mark(Tool::Rectangle, {{3, 2}, {5, 3}}, 3), all, {},
       lines({"..........", "..........", "...###....", "...###....", "..........", "..........", ".........."})},
      {"pen: a one-pixel line has no gaps on a diagonal", mark(Tool::Pen, {{1, 1}, {5, 5}, {8, 5}}), all, {},
       lines({"..........", ".#........", "..#.......", "...#......", "....#.....", ".....####.", ".........."})},
      {"pen: a wide stroke is a band of its width, its ends round", mark(Tool::Pen, {{2, 3}, {7, 3}}, 3), all, {},
       lines({"..........", "..........", ".########.", ".########.", ".########.", "..........", ".........."})},
      {"only inside the clip", mark(Tool::Redact, {{0, 0}, {9, 6}}), {3, 2, 6, 4}, {},
       lines({"..........", "..........", "...###....", "...###....", "..........", "..........", ".........."})},
      {"mark coordinates shifted by the canvas's origin", mark(Tool::Redact, {{101, 51}, {102, 52}}), {0, 0, 200, 200},
       {100, 50}, lines({"..........", ".##.......", ".##.......", "..........", "..........", "..........", ".........."})},
      {"highlighter: blended, never the ink itself, once where it runs back over itself",
       mark(Tool::Highlighter, {{1, 3}, {8, 3}, {1, 3}}, 1), all, {},
       lines({"..........", ".++++++++.", "++++++++++", "++++++++++", "++++++++++", ".++++++++.", ".........."})},
      {"text: its glyphs blended where they cover, clipped", text({6, 1}, {"#+.#", ".##.", "#..#"}), {0, 0, 9, 10}, {},
       lines({"..........", "......#+..", ".......##.", "......#...", "..........", "..........", ".........."})},
      {"far off the canvas: nothing", mark(Tool::Redact, {{50, 50}, {60, 60}}), all, {},
       lines({"..........", "..........", "..........", "..........", "..........", "..........", ".........."})},
  };
  for (const Row& row : rows) {
    Picture picture(10, 7);
    burn(row.mark, picture.canvas(row.origin), row.clip);
    EXPECT_EQ(picture.art(), row.expected) << row.name;
    // Everything changed lies inside the mark's bounds.
    const Rect b = bounds(row.mark);
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x)
        if ((picture.at(x, y) & 0xFFFFFF) != kGrey) {
          const int mx = x + row.origin.x, my = y + row.origin.y;
          EXPECT_TRUE(mx >= b.left && mx < b.right && my >= b.top && my < b.bottom) << row.name << " at " << x << "," << y;
        }
  }
}

TEST(Marks, ArrowHasItsHeadAtTheEnd) {
  struct Row {
    Point from, to;
    std::int32_t width;
  };
  const Row rows[] = {{{2, 10}, {30, 10}, 2}, {{30, 20}, {4, 4}, 3}, {{10, 2}, {10, 24}, 1}};
  for (const Row& row : rows) {
    Picture picture(34, 28);
    const Mark m = mark(Tool::Arrow, {row.from, row.to}, row.width);
    burn(m, picture.canvas(), {0, 0, 34, 28});
    EXPECT_EQ(picture.at(row.to.x, row.to.y) & 0xFFFFFF, kInk) << "the tip";
    EXPECT_EQ(picture.at(row.from.x, row.from.y) & 0xFFFFFF, kInk) << "the tail";
    // The head is wider than the shaft: count inked pixels across the arrow near each end.
    auto across = [&](double t) {
      const double cx = row.from.x + (row.to.x - row.from.x) * t, cy = row.from.y + (row.to.y - row.from.y) * t;
      const double dx = row.to.x - row.from.x, dy = row.to.y - row.from.y, len = std::sqrt(dx * dx + dy * dy);
      int inked = 0;
      for (int s = -12; s <= 12; ++s) {
        const int x = static_cast<int>(std::lround(cx - dy / len * s)), y = static_cast<int>(std::lround(cy + dx / len * s));
        if (x >= 0 && y >= 0 && x < 34 && y < 28 && (picture.at(x, y) & 0xFFFFFF) == kInk) ++inked;
      }
      return inked;
    };
    EXPECT_GT(across(0.6), across(0.2) + 2) << "no head at the end from " << row.from.x << "," << row.from.y;
  }
}

std::vector<int> corners(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

TEST(Marks, UndoAndRedoChangeWhatIsShownAndThePixelsBelow) {
  // Each step, then the marks shown (their tools in order), how many can be
  // redone, and the shown marks burned into an untouched picture: an undone
  // redact box leaves the original pixels.
  enum Op { Box, Line, Undo, Redo, Extend };
  struct Row {
    std::vector<Op> ops;
    std::string shown;
    std::size_t redoable;
    std::string art;
  };
  const std::string none = lines({"......", "......", "......", "......", "......", "......"});
  const std::string box = lines({"......", ".####.", ".####.", ".####.", "......", "......"});
  const std::string both = lines({"......", ".####.", ".####.", ".####.", "......", "#####."});
  const std::string line = lines({"......", "......", "......", "......", "......", "#####."});
  const Row rows[] = {
      {{Box, Line}, "RP", 0, both},
      {{Box, Line, Undo}, "R", 1, box},
      {{Box, Line, Undo, Undo, Undo}, "", 2, none},
      {{Box, Line, Undo, Undo, Redo}, "R", 1, box},
      {{Box, Line, Undo, Redo, Redo}, "RP", 0, both},
      {{Box, Undo, Line}, "P", 0, line},  // a new mark drops what was undone
      {{Box, Line, Extend}, "RP", 1, both},  // a stroke of many points is one step
  };
  for (const Row& row : rows) {
    Marks marks;
    for (Op op : row.ops) {
      switch (op) {
        case Box:
          marks.begin(Tool::Redact, kInk, 1, {1, 1});
          EXPECT_EQ(corners(marks.extend({4, 3})), (std::vector<int>{1, 1, 5, 4})) << "the area to repaint";
          marks.commit();
          break;
        case Line: marks.begin(Tool::Pen, kInk, 1, {0, 5}), marks.extend({4, 5}), marks.commit(); break;
        case Extend: marks.begin(Tool::Pen, kInk, 1, {0, 4}), marks.extend({3, 4}), marks.extend({5, 4}), marks.commit(); marks.undo(); break;
        case Undo: {
          const Rect gone = marks.undoable() > 0 ? bounds(marks.done().back()) : Rect{};
          EXPECT_EQ(corners(marks.undo()), corners(gone)) << "the area to repaint";
          break;
        }
        case Redo: {
          const Rect back = marks.redo();
          if (!isEmpty(back)) {
            EXPECT_EQ(corners(back), corners(bounds(marks.done().back())));
          }
          break;
        }
      }
    }
    std::string shown;
    marks.each([&](const Mark& m) { shown += m.tool == Tool::Redact ? 'R' : 'P'; });
    EXPECT_EQ(shown, row.shown);
    EXPECT_EQ(marks.redoable(), row.redoable);
    EXPECT_EQ(marks.any(), !row.shown.empty());
    Picture picture(6, 6);
    marks.each([&](const Mark& m) { burn(m, picture.canvas(), {0, 0, 6, 6}); });
    EXPECT_EQ(picture.art(), row.art) << row.shown;
  }
}

TEST(Marks, TheHistoryKeepsItsBoundAndFlattensWhatFallsOut) {
  struct Row {
    const char* name;
    Limits limits;
    int strokes;
    int pointsEach;
    std::size_t undoable;  // at least
  };
  const Row rows[] = {
      {"more steps than kept: the oldest flattened", {.steps = 60, .bytes = 64u << 20, .pointsPerStroke = 1000}, 80, 10, 60},
      {"long strokes beyond the memory: still 50 steps", {.steps = 100, .bytes = 8u << 20, .pointsPerStroke = 16384}, 90, 20000, 50},
      {"defaults", {}, 120, 500, 100},
  };
  for (const Row& row : rows) {
    Picture base(64, 64);
    int flattened = 0;
    Marks marks(row.limits, [&](const Mark& m) {
      ++flattened;
      burn(m, base.canvas(), {0, 0, 64, 64});
    });
    for (int s = 0; s < row.strokes; ++s) {
      marks.begin(Tool::Pen, kInk, 1, {0, s % 64});
      for (int p = 1; p < row.pointsEach; ++p) marks.extend({p % 2 == 0 ? 0 : 3, s % 64 + (p % 3)});
      marks.commit();
      ASSERT_LE(marks.bytes(), row.limits.bytes) << row.name;
    }
    EXPECT_GE(marks.undoable(), row.undoable) << row.name;
    EXPECT_EQ(marks.undoable() + static_cast<std::size_t>(flattened), static_cast<std::size_t>(row.strokes)) << row.name;
    for (const Mark& m : marks.done()) EXPECT_LE(m.points.size(), row.limits.pointsPerStroke) << row.name;
    if (flattened > 0) {
      EXPECT_EQ(base.at(1, 0) & 0xFFFFFF, kInk) << row.name << ": the first stroke is gone from the picture";
    }
    EXPECT_TRUE(marks.any()) << row.name;
    // Undo reaches back to what was kept, no further.
    while (!isEmpty(marks.undo())) {
    }
    EXPECT_EQ(marks.undoable(), 0u) << row.name;
    EXPECT_TRUE(marks.any() == (flattened > 0)) << row.name;
  }
}

}  // namespace
}  // namespace corvane::markup

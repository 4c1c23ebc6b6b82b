// The mark-up of one selection on the frozen desktop: a full-screen window
// that shows the selection with its marks and handles over the dimmed
// desktop, and a toolbar beside the selection. Owned by the capture object,
// which creates it when "&Mark up" is chosen and takes the marked picture from it.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "capture/capture.h"
#include "capture/markup.h"
#include "platform/guards.h"
#include "platform/types.h"

namespace corvane {

class MarkupSession {
 public:
  // The desktop snapshot as capture mode holds it: 32-bit pixels, top row
  // first, one row of the virtual screen's width each; it outlives the session.
  struct Frozen {
    ScreenArea screen;
    std::uint8_t* pixels;
  };
  // selection: virtual screen, both corners inside. Shows the windows at once.
  MarkupSession(platform::Hwnd owner, const Frozen& frozen, const platform::Rect& selection);
  ~MarkupSession();
  MarkupSession(const MarkupSession&) = delete;
  MarkupSession& operator=(const MarkupSession&) = delete;

  // Whether its windows were made: without them there is no mark-up.
  bool shown() const { return window_ != nullptr && toolbar_ != nullptr; }
  // The selection now (its edges may have moved): virtual screen, both corners inside.
  platform::Rect selection() const;
  bool hasMarks() const { return marks_.any(); }
  // Every mark burned into the snapshot's pixels inside the selection: the
  // picture that leaves, with nothing of what a redact box covers left in it.
  void burnIntoSnapshot();
  // Both windows hidden (the session's end while a question of ours is up).
  void hide();

  platform::Hwnd window() const { return window_; }
  platform::Hwnd toolbar() const { return toolbar_; }

  // The windows' events; each returns how the user finished, when they did.
  std::optional<Choice> press(platform::Point client);
  void move(platform::Point client);
  void release(platform::Point client);
  void mouseLost();
  std::optional<Choice> key(std::uint32_t virtualKey, bool control, bool shift);
  void character(char16_t c);
  void wheel(std::int32_t delta);
  std::optional<Choice> toolbarPress(platform::Point client);
  // The cursor over a handle, for the cursor's point on the screen; false elsewhere.
  bool setCursor(platform::Point onScreen);
  void paint();
  void paintToolbar();

 private:
  enum class Edge : std::uint8_t { None = 0, Left = 1, Top = 2, Right = 4, Bottom = 8 };
  struct Button {
    platform::Rect area;  // toolbar client coordinates
    int action;
  };

  // The selection in client coordinates of the full-screen window, right and bottom outside.
  platform::Rect area() const { return area_; }
  std::uint8_t edgesAt(platform::Point client) const;
  std::optional<Choice> finishWith(Choice choice);
  std::optional<Choice> runAction(int action);
  void select(markup::Tool tool);
  void setColour(int index);
  void changeWidth(std::int32_t by);
  void endTyping();
  void refresh(const platform::Rect& clientArea);
  void refreshAround(const platform::Rect& selectionBefore);
  markup::Glyphs renderText(const markup::Mark& mark) const;
  void layoutToolbar();
  void placeToolbar();
  std::int32_t scaled(std::int32_t pixels) const { return pixels * static_cast<std::int32_t>(dpi_) / 96; }
  // Makes the scratch picture at least this large; false without memory.
  bool scratchFor(std::int32_t width, std::int32_t height);
  markup::Canvas snapshotCanvas() const;

  Frozen frozen_;
  platform::Hwnd window_ = nullptr;
  platform::Hwnd toolbar_ = nullptr;
  std::uint32_t dpi_ = 96;
  platform::Rect area_{};
  markup::Marks marks_;
  markup::Tool tool_ = markup::Tool::Rectangle;
  int colour_ = 0;
  std::int32_t width_ = markup::kDefaultWidth;
  std::int32_t textSize_ = markup::kDefaultTextSize;
  std::int32_t wheelRest_ = 0;  // wheel movement short of a notch
  bool typing_ = false;
  bool drawing_ = false;
  std::uint8_t resizing_ = 0;  // the edges a handle drag moves
  platform::MouseCapture mouse_;
  platform::UniqueGdiObject font_;  // the toolbar's: the system's message font at the window's DPI
  platform::LogFont textFont_{};    // the face text marks are typed in
  std::vector<Button> buttons_;
  platform::Size toolbarSize_{};
  // The picture a paint composes before it goes to the screen in one copy.
  struct Scratch {
    platform::UniqueBitmap bitmap;
    platform::UniqueMemoryDc dc;
    platform::Selected selected;
    std::uint8_t* pixels = nullptr;
    std::int32_t width = 0, height = 0;
  } scratch_;
};

}  // namespace corvane

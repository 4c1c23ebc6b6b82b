// Helpers for the tests of the shell and of capture mode: a fresh simulation
// with both windows made as at start-up, and the main window's state read back.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "app/shell.h"
#include "app/state.h"
#include "capture/capture.h"
#include "picture/jpeg.h"
#include "platform/user32.h"
#include "settings/settings.h"
#include "tests/sim/sim.h"

namespace corvane::testing {

using State = CaptureState;

// What a shell of version 4 sends for the tray menu (a right click or the
// keyboard's menu key): the event in LOWORD, the icon's id in HIWORD.
inline constexpr platform::Lparam kTrayMenuEvent = platform::WM_CONTEXTMENU | (platform::Lparam{kTrayIconId} << 16);

inline State stateOf() { return capture().state(); }

inline const char* nameOf(State s) {
  switch (s) {
    case State::Idle: return "Idle";
    case State::Waiting: return "Waiting";
    case State::Dragging: return "Dragging";
    case State::MenuOpen: return "MenuOpen";
    case State::Busy: return "Busy";
    case State::MarkingUp: return "MarkingUp";
  }
  return "?";
}

inline platform::Lparam point(int x, int y) { return (static_cast<platform::Lparam>(y) << 16) | (x & 0xFFFF); }

inline platform::Lresult send(std::uint32_t message, platform::Wparam wParam = 0, platform::Lparam lParam = 0) {
  return mainWindowProc(app.mainWindow, message, wParam, lParam);
}

// A fresh simulation with the windows made and parked as start-up leaves them.
inline void startIdle() {
  sim::reset();
  auto instance = sim::handle<platform::Hinstance>();
  registerWindowClasses(instance);
  ASSERT_TRUE(createWindows(instance));
  capture().park();
  sim::log().clear();
}

// Drives the main window from Idle into the given state. Busy stands for one
// of our modal loops running; the post-selection menu lasts only inside the
// release, so MenuOpen is met through messages queued for its loop.
inline void reach(State target) {
  if (target == State::Idle) return;
  if (target == State::Busy) {
    capture().handle(CaptureEvent::ModalBegin);
    return;
  }
  send(UM_CAPTURE);
  if (target == State::Waiting) return;
  send(platform::WM_LBUTTONDOWN, 0, point(100, 50));
}

// Calls whose names are in the list, in order.
inline std::vector<std::string> callsOf(std::initializer_list<const char*> wanted) {
  std::vector<std::string> out;
  for (const auto& c : sim::log())
    for (const char* w : wanted)
      if (c.name == w) out.push_back(c.text());
  return out;
}

inline bool called(const std::string& text) {
  for (const auto& c : sim::log())
    if (c.text() == text) return true;
  return false;
}

inline std::string h(const void* handle) { return sim::arg(handle); }

}  // namespace corvane::testing

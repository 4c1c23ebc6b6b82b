#include <gtest/gtest.h>
#include "platform/user32.h"
#include "tests/sim/sim.h"

// The call log is what every other test reads: it must keep order and arguments.
TEST(Simulation, LogsCallsInOrderWithArguments) {
  sim::reset();
  platform::MessageBoxW(nullptr, u"Could not upload", u"Error", platform::MB_ICONERROR);
  platform::UnregisterHotKey(nullptr, 4);
  ASSERT_EQ(sim::names(), (std::vector<std::string>{"MessageBoxW", "UnregisterHotKey"}));
  EXPECT_EQ(sim::log()[0].text(), "MessageBoxW(null, \"Could not upload\", \"Error\", 16)");
}

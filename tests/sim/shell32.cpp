// Simulated shell32 and the COM apartment calls.
#include "platform/shell32.h"
#include "tests/sim/sim.h"

namespace {
std::vector<sim::Balloon> g_balloons;
const bool g_registered = (sim::onReset([] { g_balloons.clear(); }), true);
}  // namespace

namespace sim {
const std::vector<Balloon>& balloons() { return g_balloons; }
}  // namespace sim

namespace platform {
using sim::record;
using sim::result;

Bool Shell_NotifyIconW(std::uint32_t message, NotifyIconData* data) {
  record("Shell_NotifyIconW", message, data->cbSize, data->hWnd, data->uID, data->uFlags, data->uCallbackMessage,
         data->szTip);
  if (message == NIM_MODIFY && (data->uFlags & NIF_INFO) != 0)
    g_balloons.push_back({data->szInfoTitle, data->szInfo, data->dwInfoFlags});
  return 1;
}

}  // namespace platform

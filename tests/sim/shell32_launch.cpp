// Simulated URL launch (shell32): every launch is kept for the tests.
#include "platform/shell32.h"
#include "tests/sim/sim.h"

namespace {
std::vector<sim::Launch> g_launches;
const bool g_registered = (sim::onReset([] { g_launches.clear(); }), true);
std::u16string copy(const char16_t* s) { return s ? std::u16string(s) : std::u16string(); }
}  // namespace

namespace sim {
const std::vector<Launch>& launches() { return g_launches; }
}  // namespace sim

namespace platform {
using sim::record;
using sim::result;

Bool ShellExecuteExW(ShellExecuteInfo* info) {
  record("ShellExecuteExW", info->cbSize, info->fMask, info->lpVerb, info->lpFile, info->nShow);
  sim::Launch launch{copy(info->lpVerb), copy(info->lpFile), *info};
  launch.info.lpVerb = launch.info.lpFile = nullptr;  // the caller frees them; the copies above stay
  g_launches.push_back(launch);
  return result<Bool>("ShellExecuteExW", 1);
}

}  // namespace platform

// Simulated URL launch (shell32).
#include "platform/shell32.h"
#include <cstdlib>
#include <cstring>
#include "tests/sim/sim.h"

namespace platform {
using sim::record;
using sim::result;

Bool ShellExecuteExW(ShellExecuteInfo* info) {
  record("ShellExecuteExW", info->cbSize, info->fMask, info->lpVerb, info->lpFile, info->nShow);
  return 1;
}

}  // namespace platform

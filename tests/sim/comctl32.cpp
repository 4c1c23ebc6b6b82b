// Simulated common controls: the classes are always there.
#include "platform/comctl32.h"
#include "tests/sim/sim.h"

namespace platform {
using sim::record;

Bool InitCommonControlsEx(const InitCommonControlsRecord* r) {
  record("InitCommonControlsEx", r->dwICC);
  return 1;
}

}  // namespace platform

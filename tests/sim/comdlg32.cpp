// Simulated common dialogs.
#include "platform/comdlg32.h"
#include "tests/sim/sim.h"

namespace platform {
using sim::record;
using sim::result;

Bool GetOpenFileNameW(OpenFileName* ofn) {
  record("GetOpenFileNameW", ofn->lStructSize, ofn->hwndOwner, ofn->nMaxFile, ofn->lpstrTitle, ofn->Flags);
  return result<Bool>("GetOpenFileNameW", 0);
}

}  // namespace platform

// Simulated shell32 and the COM apartment calls.
#include "platform/shell32.h"
#include "tests/sim/sim.h"

namespace platform {
using sim::record;
using sim::result;

Bool Shell_NotifyIconW(std::uint32_t message, NotifyIconData* data) {
  record("Shell_NotifyIconW", message, data->cbSize, data->hWnd, data->uID, data->uFlags, data->uCallbackMessage,
         data->szTip);
  return 1;
}

}  // namespace platform

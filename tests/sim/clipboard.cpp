// Simulated clipboard (user32).
#include "platform/user32.h"
#include <cstdlib>
#include <cstring>
#include "tests/sim/sim.h"

namespace platform {
using sim::record;
using sim::result;

Bool OpenClipboard(Hwnd owner) { record("OpenClipboard", owner); return result<Bool>("OpenClipboard", 1); }
Bool EmptyClipboard() { record("EmptyClipboard"); return 1; }
Handle SetClipboardData(std::uint32_t format, Hglobal block) {
  record("SetClipboardData", format, block);
  return reinterpret_cast<Handle>(block);
}
Bool CloseClipboard() { record("CloseClipboard"); return 1; }

}  // namespace platform

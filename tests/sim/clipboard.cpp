// Simulated clipboard (user32): holds the CF_TEXT block handed to it.
#include "platform/user32.h"
#include <cstdlib>
#include <cstring>
#include "tests/sim/sim.h"

namespace {
bool g_open = false;
platform::Hglobal g_text = nullptr;  // owned by the clipboard, calloc'd by the simulated GlobalAlloc
void release() {
  std::free(g_text);
  g_text = nullptr;
}
const bool g_registered = (sim::onReset([] {
                             release();
                             g_open = false;
                           }),
                           true);
}  // namespace

namespace sim {
bool clipboardHasText() { return g_text != nullptr; }
std::string clipboardText() { return g_text ? std::string(reinterpret_cast<const char*>(g_text)) : std::string(); }
}  // namespace sim

namespace platform {
using sim::record;
using sim::result;

Bool OpenClipboard(Hwnd owner) {
  record("OpenClipboard", owner);
  g_open = result<Bool>("OpenClipboard", 1) != 0;
  return g_open;
}
Bool EmptyClipboard() {
  record("EmptyClipboard");
  if (!g_open) return 0;
  release();
  return 1;
}
Handle SetClipboardData(std::uint32_t format, Hglobal block) {
  record("SetClipboardData", format, block);
  if (!g_open || result<int>("SetClipboardData", 1) == 0) return nullptr;
  if (format == CF_TEXT) {
    release();
    g_text = block;
  }
  return reinterpret_cast<Handle>(block);
}
Bool CloseClipboard() {
  record("CloseClipboard");
  bool was = g_open;
  g_open = false;
  return was;
}

}  // namespace platform

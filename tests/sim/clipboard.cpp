// Simulated clipboard (user32): keeps the bytes of every format put on it, and
// can be held by "another program" for a while, as clipboard managers do.
#include "platform/user32.h"
#include <map>
#include <string>
#include "platform/kernel32.h"
#include "tests/sim/sim.h"

namespace {
bool g_open = false;
platform::Hwnd g_owner = nullptr;
std::uint64_t g_heldUntil = 0;                  // simulated tick until which another program holds it
std::map<std::uint32_t, std::string> g_data;    // format -> the block's bytes
std::map<std::u16string, std::uint32_t> g_formats;
const bool g_registered = (sim::onReset([] {
                             g_open = false;
                             g_owner = nullptr;
                             g_heldUntil = 0;
                             g_data.clear();
                             g_formats.clear();
                           }),
                           true);
}  // namespace

namespace sim {
bool clipboardHasText() { return g_data.count(platform::CF_TEXT) != 0; }
std::string clipboardText() {
  auto it = g_data.find(platform::CF_TEXT);
  return it == g_data.end() ? std::string() : std::string(it->second.c_str());
}
std::optional<std::string> clipboardData(std::uint32_t format) {
  auto it = g_data.find(format);
  if (it == g_data.end()) return std::nullopt;
  return it->second;
}
platform::Hwnd clipboardOwner() { return g_owner; }
void holdClipboard(std::uint64_t ms) { g_heldUntil = platform::GetTickCount64() + ms; }
}  // namespace sim

namespace platform {
using sim::record;
using sim::result;

Bool OpenClipboard(Hwnd owner) {
  record("OpenClipboard", owner);
  if (GetTickCount64() < g_heldUntil) return 0;
  g_open = result<Bool>("OpenClipboard", 1) != 0;
  if (g_open) g_owner = owner;
  return g_open;
}
Bool EmptyClipboard() {
  record("EmptyClipboard");
  if (!g_open) return 0;
  g_data.clear();
  return 1;
}
// Windows refuses data from a clipboard opened with no owner once it was emptied.
Handle SetClipboardData(std::uint32_t format, Hglobal block) {
  record("SetClipboardData", format, block);
  if (!g_open || g_owner == nullptr || result<int>("SetClipboardData", 1) == 0) return nullptr;
  // The clipboard owns the block from here on: its bytes are kept, the block goes.
  g_data[format] = std::string(reinterpret_cast<const char*>(block), sim::globalSize(block));
  sim::freeGlobal(block);
  return reinterpret_cast<Handle>(block);
}
Bool CloseClipboard() {
  record("CloseClipboard");
  bool was = g_open;
  g_open = false;
  return was;
}
std::uint32_t RegisterClipboardFormatW(const char16_t* name) {
  record("RegisterClipboardFormatW", name);
  auto [it, added] = g_formats.try_emplace(name, 0xC000u + static_cast<std::uint32_t>(g_formats.size()));
  return it->second;
}

}  // namespace platform

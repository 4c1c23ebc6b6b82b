// Simulated folder browser and COM apartment (shell32).
#include <map>
#include "platform/shell32.h"
#include "tests/sim/sim.h"

namespace {
struct Choice {
  bool chosen = false;     // false: the user cancels
  bool hasPath = false;    // false: a virtual folder
  std::u16string path;
};
Choice g_next;
std::map<platform::ItemIdList, Choice> g_items;  // returned and not yet freed
std::u16string g_title;
sim::ComApartment g_com;

const bool g_registered = (sim::onReset([] {
                             g_next = {};
                             g_com = {};
                             g_items.clear();
                             g_title.clear();
                           }),
                           true);
}  // namespace

namespace platform {
using sim::record;
using sim::result;

ItemIdList SHBrowseForFolderW(const BrowseInfo* info) {
  record("SHBrowseForFolderW", info->hwndOwner, info->pidlRoot, info->pszDisplayName, info->lpszTitle,
         info->ulFlags, info->lpfn);
  g_title = info->lpszTitle ? info->lpszTitle : u"";
  sim::runModalLoop();
  if (!g_next.chosen) return nullptr;
  auto item = sim::handle<ItemIdList>();
  g_items[item] = g_next;
  return item;
}
Bool SHGetPathFromIDListW(ItemIdList item, char16_t* path) {
  record("SHGetPathFromIDListW", item);
  path[0] = 0;
  auto it = g_items.find(item);
  if (it == g_items.end() || !it->second.hasPath) return 0;
  return sim::copyOut(it->second.path, path, MAX_PATH) < MAX_PATH ? 1 : 0;
}
// A scripted 0 stands for an allocator that could not be had: the item stays held.
Bool SHFreeItemIdList(ItemIdList item) {
  record("SHFreeItemIdList", item);
  if (!result<Bool>("SHFreeItemIdList", 1)) return 0;
  g_items.erase(item);
  return 1;
}
std::int32_t CoInitializeEx(void* reserved, std::uint32_t flags) {
  record("CoInitializeEx", reserved, flags);
  const auto hr = result<std::int32_t>("CoInitializeEx", 0);
  if (hr < 0) return hr;
  if (!g_com.trayIconsAtLoad) g_com.trayIconsAtLoad = sim::trayIcons().size();
  ++g_com.entered;
  g_com.flags = flags;
  return hr;
}
void CoUninitialize() {
  record("CoUninitialize");
  --g_com.entered;
}

}  // namespace platform

namespace sim {
ComApartment comApartment() { return g_com; }
void browseCancels() { g_next = {}; }
void browseChooses(std::u16string_view path) { g_next = {true, true, std::u16string(path)}; }
void browseChoosesVirtual() { g_next = {true, false, {}}; }
std::u16string browseTitle() { return g_title; }
int browseItemsHeld() { return static_cast<int>(g_items.size()); }
}  // namespace sim

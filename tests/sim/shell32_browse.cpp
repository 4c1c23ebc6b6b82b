// Simulated folder browser and COM apartment (shell32).
#include "platform/shell32.h"
#include <cstdlib>
#include <cstring>
#include "tests/sim/sim.h"

namespace platform {
using sim::record;
using sim::result;

ItemIdList SHBrowseForFolderW(const BrowseInfo* info) {
  record("SHBrowseForFolderW", info->hwndOwner, info->lpszTitle, info->ulFlags);
  return nullptr;
}
Bool SHGetPathFromIDListW(ItemIdList item, char16_t* path) {
  record("SHGetPathFromIDListW", item);
  path[0] = 0;
  return 0;
}
Bool SHFreeItemIdList(ItemIdList item) { record("SHFreeItemIdList", item); return 1; }
std::int32_t CoInitializeEx(void* reserved, std::uint32_t flags) {
  record("CoInitializeEx", reserved, flags);
  return 0;
}
void CoUninitialize() { record("CoUninitialize"); }

}  // namespace platform

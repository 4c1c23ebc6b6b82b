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
Bool ShellExecuteExW(ShellExecuteInfo* info) {
  record("ShellExecuteExW", info->cbSize, info->fMask, info->lpVerb, info->lpFile, info->nShow);
  return 1;
}
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
Bool GetCommandLineArgs(std::int32_t* count, char16_t*** args) {
  record("GetCommandLineArgs");
  *count = 0;
  *args = nullptr;
  return 0;
}
void FreeCommandLineArgs(char16_t**) { record("FreeCommandLineArgs"); }
std::int32_t CoInitializeEx(void* reserved, std::uint32_t flags) {
  record("CoInitializeEx", reserved, flags);
  return 0;
}
void CoUninitialize() { record("CoUninitialize"); }

}  // namespace platform

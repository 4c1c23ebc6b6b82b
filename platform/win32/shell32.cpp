#include "platform/shell32.h"
#include "platform/win32/win.h"
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace platform {
using namespace win32;

CORVANE_SAME_LAYOUT(NotifyIconData, NOTIFYICONDATAW);
CORVANE_SAME_OFFSET(NotifyIconData, NOTIFYICONDATAW, guidItem, guidItem);
CORVANE_SAME_OFFSET(NotifyIconData, NOTIFYICONDATAW, hBalloonIcon, hBalloonIcon);
CORVANE_SAME_LAYOUT(BrowseInfo, BROWSEINFOW);
CORVANE_SAME_LAYOUT(ShellExecuteInfo, SHELLEXECUTEINFOW);
CORVANE_SAME_OFFSET(ShellExecuteInfo, SHELLEXECUTEINFOW, hProcess, hProcess);

Bool Shell_NotifyIconW(std::uint32_t message, NotifyIconData* data) {
  return ::Shell_NotifyIconW(message, As<NOTIFYICONDATAW*>(data));
}
Bool ShellExecuteExW(ShellExecuteInfo* info) { return ::ShellExecuteExW(As<SHELLEXECUTEINFOW*>(info)); }
ItemIdList SHBrowseForFolderW(const BrowseInfo* info) {
  return As<ItemIdList>(::SHBrowseForFolderW(As<BROWSEINFOW*>(const_cast<BrowseInfo*>(info))));
}
Bool SHGetPathFromIDListW(ItemIdList item, char16_t* path) {
  return ::SHGetPathFromIDListW(As<PCIDLIST_ABSOLUTE>(item), W(path));
}
Bool SHFreeItemIdList(ItemIdList item) {
  IMalloc* allocator = nullptr;
  if (FAILED(::SHGetMalloc(&allocator)) || allocator == nullptr) return FALSE;
  allocator->Free(item);
  allocator->Release();
  return TRUE;
}
std::int32_t CoInitializeEx(void* reserved, std::uint32_t flags) { return ::CoInitializeEx(reserved, flags); }
void CoUninitialize() { ::CoUninitialize(); }

}  // namespace platform

#include "platform/shell32.h"
#include "platform/win32/system_dll.h"
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
// COM is loaded at the first apartment and kept.
namespace {
constexpr SystemDll ole32(L"ole32.dll");
constexpr HRESULT kNotLoaded = static_cast<HRESULT>(0x8007007EL);  // HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)
}  // namespace

std::int32_t CoInitializeEx(void* reserved, std::uint32_t flags) {
  if (!ole32.Acquire()) return kNotLoaded;
  HRESULT result = ole32.Call<decltype(&::CoInitializeEx)>("CoInitializeEx", kNotLoaded, reserved, DWORD{flags});
  return result;
}
void CoUninitialize() {
  ole32.CallVoid<decltype(&::CoUninitialize)>("CoUninitialize");
}

}  // namespace platform

// Windows shell: tray icon, argument parsing, folder browser, launching a URL,
// and the COM apartment these shell services need on their thread.
#pragma once
#include "platform/types.h"

namespace platform {

Bool Shell_NotifyIconW(std::uint32_t message, NotifyIconData* data);
Bool ShellExecuteExW(ShellExecuteInfo* info);
ItemIdList SHBrowseForFolderW(const BrowseInfo* info);
Bool SHGetPathFromIDListW(ItemIdList item, char16_t* path);  // path holds MAX_PATH characters
// SHGetMalloc, then Free of the item through the shell's allocator and Release.
// Returns 0 when the allocator could not be had (the item is then not freed).
Bool SHFreeItemIdList(ItemIdList item);

std::int32_t CoInitializeEx(void* reserved, std::uint32_t flags);  // HRESULT
void CoUninitialize();

}  // namespace platform

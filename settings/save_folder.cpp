// The save folder: its default under the user's profile, the user's choice in
// the folder browser, its stored form ("ReDoda") and its creation on disk.
#include "desktop/balloon.h"
#include "platform/advapi32.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/user32.h"
#include "settings/settings.h"
#include "settings/settings_registry.h"
#include "settings/stored_folder.h"

namespace corvane {
using namespace settings_detail;

namespace {

constexpr char16_t kDefaultSuffix[] = u"\\ReDoda\\";
constexpr std::uint32_t kDefaultSuffixLength = 8;
constexpr char16_t kTitlePrefix[] = u"Current save path: ";
constexpr std::uint32_t kTitleCapacity = 780;
constexpr std::uint32_t kTitleFolderCharacters = 260;
// What one read of the stored folder may bring: 1023 characters and the terminator.
constexpr std::uint32_t kStoredFolderBytes = 2048;

void showError(const char16_t* text) {
  platform::MessageBoxW(nullptr, text, u"Error", platform::MB_OK | platform::MB_ICONERROR);
}

// Copies at most count characters of from into to (capacity characters) and
// terminates; returns the characters copied.
std::uint32_t copyBounded(char16_t* to, std::uint32_t capacity, const char16_t* from, std::uint32_t count) {
  std::uint32_t n = 0;
  while (n < count && n + 1 < capacity && from[n] != 0) {
    to[n] = from[n];
    ++n;
  }
  to[n] = 0;
  return n;
}

void storeText(const RegKey& key) {
  writeText(key, kSaveFolderValue, settings.saveFolder, textLength(settings.saveFolder, kSaveFolderCapacity));
}

// The stored folder that was not used this run, as the user wrote it, until
// the user has been told; empty otherwise.
std::u16string g_refusedFolder;

// One attempt, last component only: a missing parent is the user's to fix and
// is the only failure worth a message.
void createSaveFolder() {
  if (platform::CreateDirectoryW(settings.saveFolder, nullptr)) return;
  if (platform::GetLastError() == static_cast<std::uint32_t>(platform::ERROR_PATH_NOT_FOUND))
    showError(u"Could not create save path");
}

// The profile folder, or else the executable's path without its ".exe", into
// saveFolder; its length, or 0 (folder empty) when neither gives a base.
std::uint32_t defaultBase(const char16_t* exePath, std::uint32_t exeLength) {
  char16_t* folder = settings.saveFolder;
  const std::uint32_t profile = platform::GetEnvironmentVariableW(u"USERPROFILE", folder, kSaveFolderCapacity);
  if (profile != 0 && profile < kSaveFolderCapacity) {
    folder[profile] = 0;
    return profile;
  }
  if (exeLength <= 4) {  // no path, or nothing left once ".exe" is cut
    folder[0] = 0;
    return 0;
  }
  return copyBounded(folder, kSaveFolderCapacity, exePath, exeLength - 4);
}

// The default folder into saveFolder; false (folder empty, the user told)
// when it cannot be had.
bool fillDefaultSaveFolder() {
  char16_t exePath[kPathCapacity];
  const std::uint32_t exeLength = executablePath(exePath, kPathCapacity);
  const std::uint32_t base = defaultBase(exePath, exeLength);
  if (base == 0 || base + kDefaultSuffixLength + 1 > kSaveFolderCapacity) {
    settings.saveFolder[0] = 0;
    showError(u"Error in save path");
    return false;
  }
  copyBounded(settings.saveFolder + base, kSaveFolderCapacity - base, kDefaultSuffix, kDefaultSuffixLength);
  return true;
}

// A stored REG_EXPAND_SZ folder with its variables replaced; empty when the
// result does not fit.
std::u16string expanded(const std::u16string& folder) {
  char16_t out[kSaveFolderCapacity];
  const std::uint32_t count = platform::ExpandEnvironmentStringsW(folder.c_str(), out, kSaveFolderCapacity);
  if (count == 0 || count > kSaveFolderCapacity) return {};
  return std::u16string(out, textLength(out, count));
}

}  // namespace

void SetDefaultSaveFolder() {
  RegKey key;
  createKey(kSettingsKey, key);
  // An empty value stored now would stop the default from coming back at the
  // next start, and an empty folder name means the current drive's root:
  // neither is written nor made.
  if (!fillDefaultSaveFolder()) return;
  if (key) storeText(key);
  key.reset();
  createSaveFolder();
}

void TellRefusedSaveFolder(platform::Hwnd owner, platform::Hwnd trayWindow) {
  if (g_refusedFolder.empty()) return;
  const std::u16string text = u"The save folder \"" + g_refusedFolder +
                              u"\" is not a full path and is not used.\nPictures are kept in " +
                              std::u16string(SaveFolderPath()) + u" instead.";
  g_refusedFolder.clear();
  // A balloon cuts its text: both paths must be read whole, or the box says it.
  if (text.size() <= kBalloonTextLength &&
      ShowBalloon(trayWindow, u"Save folder not used", text, BalloonIcon::Warning))
    return;
  platform::MessageBoxW(owner, text.c_str(), u"Error", platform::MB_OK | platform::MB_ICONERROR);
}

void StoreSaveFolder() {
  RegKey key;
  // An existing key only: if the settings key has gone, the choice holds for this run alone.
  if (!openKey(kSettingsKey, platform::KEY_SET_VALUE, key)) return;
  storeText(key);
  createSaveFolder();
}

void ChooseSaveFolder() {
  char16_t title[kTitleCapacity];
  const std::uint32_t prefix = copyBounded(title, kTitleCapacity, kTitlePrefix, sizeof kTitlePrefix / 2 - 1);
  copyBounded(title + prefix, kTitleCapacity - prefix, settings.saveFolder, kTitleFolderCharacters);

  platform::BrowseInfo info{};
  info.lpszTitle = title;
  // The browser needs a COM apartment on this thread. Start-up enters one once on
  // the user-interface thread before any command can run; it is not entered here.
  const platform::UniqueItemIdList item(platform::SHBrowseForFolderW(&info));
  if (!item) return;  // cancelled

  char16_t path[platform::MAX_PATH] = {};
  // A virtual folder (the computer, the network) has no path: nothing changes, silently.
  if (platform::SHGetPathFromIDListW(item.get(), path) && path[0] != 0) {
    copyBounded(settings.saveFolder, kSaveFolderCapacity, path, platform::MAX_PATH - 1);
    g_refusedFolder.clear();  // nothing to tell about a folder the user has replaced
    StoreSaveFolder();
  }
}

namespace settings_detail {

std::int32_t readSaveFolder(const RegKey& key) {
  settings.saveFolder[0] = 0;
  char16_t data[kStoredFolderBytes / 2];
  std::uint32_t type = 0;
  std::uint32_t size = kStoredFolderBytes;
  const std::int32_t read = platform::RegQueryValueExW(key.get(), kSaveFolderValue, nullptr, &type,
                                                       reinterpret_cast<std::uint8_t*>(data), &size);
  if (read != platform::ERROR_SUCCESS) return read;
  if (size > kStoredFolderBytes) return read;
  std::u16string folder =
      StoredSaveFolder(type, std::string_view(reinterpret_cast<const char*>(data), size), kSaveFolderCapacity);
  if (type == platform::REG_EXPAND_SZ && !folder.empty()) {
    std::u16string full = expanded(folder);
    if (full.empty()) return read;  // too long once expanded: unreadable, and the user's, left alone
    folder = std::move(full);
  }
  if (!folder.empty() && !IsFullPath(folder)) {
    // Taken as it stands it would land beside the program, where no one looks
    // for it. The default stands in for this run; the stored value is the
    // user's and stays as written.
    if (fillDefaultSaveFolder()) {
      g_refusedFolder = folder;
      createSaveFolder();
    }
    return read;
  }
  copyBounded(settings.saveFolder, kSaveFolderCapacity, folder.c_str(), static_cast<std::uint32_t>(folder.size()));
  return read;
}

}  // namespace settings_detail
}  // namespace corvane

#include "settings/settings_registry.h"
#include "platform/advapi32.h"
#include "platform/kernel32.h"

namespace corvane::settings_detail {

bool openKey(const char16_t* subKey, std::uint32_t access, RegKey& key) {
  platform::Hkey opened = nullptr;
  if (platform::RegOpenKeyExW(platform::HKEY_CURRENT_USER, subKey, 0, access, &opened) != platform::ERROR_SUCCESS)
    return false;
  key.reset(opened);
  return true;
}

bool createKey(const char16_t* subKey, RegKey& key) {
  platform::Hkey created = nullptr;
  // The platform leaves the handle undefined on failure: only a success hands one over.
  if (platform::RegCreateKeyExW(platform::HKEY_CURRENT_USER, subKey, 0, nullptr, platform::REG_OPTION_NON_VOLATILE,
                                platform::KEY_ALL_ACCESS, nullptr, &created, nullptr) != platform::ERROR_SUCCESS)
    return false;
  key.reset(created);
  return true;
}

void writeOne(const RegKey& key, const char16_t* name) {
  const std::uint8_t one[4] = {1, 0, 0, 0};  // REG_DWORD is little-endian
  platform::RegSetValueExW(key.get(), name, 0, platform::REG_DWORD, one, sizeof one);
}

void writeText(const RegKey& key, const char16_t* name, const char16_t* text, std::uint32_t length) {
  // The stored string keeps its terminator: 2 x length + 2 bytes.
  platform::RegSetValueExW(key.get(), name, 0, platform::REG_SZ, reinterpret_cast<const std::uint8_t*>(text),
                           2 * length + 2);
}

bool writeWholeText(const RegKey& key, const char16_t* name, std::u16string_view text) {
  const std::u16string terminated(text);
  return platform::RegSetValueExW(key.get(), name, 0, platform::REG_SZ,
                                  reinterpret_cast<const std::uint8_t*>(terminated.c_str()),
                                  static_cast<std::uint32_t>(2 * terminated.size() + 2)) == platform::ERROR_SUCCESS;
}

std::optional<TextRead> readText(const RegKey& key, const char16_t* name, std::uint32_t capacity) {
  std::u16string data(capacity, u'\0');
  std::uint32_t type = 0;
  std::uint32_t size = capacity * 2;
  // A value too long for the buffer fails the read (ERROR_MORE_DATA): never cut to fit.
  const std::int32_t read = platform::RegQueryValueExW(key.get(), name, nullptr, &type,
                                                       reinterpret_cast<std::uint8_t*>(data.data()), &size);
  if (read == platform::ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (read != platform::ERROR_SUCCESS || type != platform::REG_SZ || size % 2 != 0 || size > capacity * 2)
    return TextRead{{}, true};
  data.resize(size / 2);
  return TextRead{data.substr(0, data.find(u'\0')), false};  // stored data need not end in a terminator
}

void deleteValue(const RegKey& key, const char16_t* name) { platform::RegDeleteValueW(key.get(), name); }

bool valueExists(const RegKey& key, const char16_t* name) {
  return platform::RegQueryValueExW(key.get(), name, nullptr, nullptr, nullptr, nullptr) !=
         platform::ERROR_FILE_NOT_FOUND;
}

std::uint32_t executablePath(char16_t* path, std::uint32_t capacity) {
  const std::uint32_t length = platform::GetModuleFileNameW(nullptr, path, capacity);
  // A path that fills the buffer was cut: neither the Run value nor a folder may be made from it.
  if (length == 0 || length >= capacity) {
    path[0] = 0;
    return 0;
  }
  path[length] = 0;
  return length;
}

// Length of a text in a buffer of capacity characters, leaving room for the
// terminator that the value's byte count includes.
std::uint32_t textLength(const char16_t* text, std::uint32_t capacity) {
  std::uint32_t n = 0;
  while (n + 1 < capacity && text[n] != 0) ++n;
  return n;
}

}  // namespace corvane::settings_detail

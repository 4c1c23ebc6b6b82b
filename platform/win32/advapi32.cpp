#include "platform/advapi32.h"
#include "platform/win32/win.h"

namespace platform {
using namespace win32;

std::int32_t RegOpenKeyExW(Hkey root, const char16_t* subKey, std::uint32_t options, std::uint32_t access,
                           Hkey* result) {
  return ::RegOpenKeyExW(As<HKEY>(root), W(subKey), options, access, As<PHKEY>(result));
}
std::int32_t RegCreateKeyExW(Hkey root, const char16_t* subKey, std::uint32_t reserved, char16_t* keyClass,
                             std::uint32_t options, std::uint32_t access, void* security, Hkey* result,
                             std::uint32_t* disposition) {
  return ::RegCreateKeyExW(As<HKEY>(root), W(subKey), reserved, W(keyClass), options, access,
                           As<LPSECURITY_ATTRIBUTES>(security), As<PHKEY>(result), As<LPDWORD>(disposition));
}
std::int32_t RegQueryValueExW(Hkey key, const char16_t* name, std::uint32_t* reserved, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* size) {
  return ::RegQueryValueExW(As<HKEY>(key), W(name), As<LPDWORD>(reserved), As<LPDWORD>(type), data,
                            As<LPDWORD>(size));
}
std::int32_t RegSetValueExW(Hkey key, const char16_t* name, std::uint32_t reserved, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t size) {
  return ::RegSetValueExW(As<HKEY>(key), W(name), reserved, type, data, size);
}
std::int32_t RegDeleteValueW(Hkey key, const char16_t* name) { return ::RegDeleteValueW(As<HKEY>(key), W(name)); }
std::int32_t RegCloseKey(Hkey key) { return ::RegCloseKey(As<HKEY>(key)); }

}  // namespace platform

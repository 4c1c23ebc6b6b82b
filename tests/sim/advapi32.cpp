// Simulated registry.
#include "platform/advapi32.h"
#include "tests/sim/sim.h"

namespace platform {
using sim::record;
using sim::result;

std::int32_t RegOpenKeyExW(Hkey root, const char16_t* subKey, std::uint32_t options, std::uint32_t access,
                           Hkey* result_) {
  record("RegOpenKeyExW", root, subKey, options, access);
  *result_ = nullptr;
  return result<std::int32_t>("RegOpenKeyExW", ERROR_FILE_NOT_FOUND);
}
std::int32_t RegCreateKeyExW(Hkey root, const char16_t* subKey, std::uint32_t, char16_t*, std::uint32_t options,
                             std::uint32_t access, void*, Hkey* result_, std::uint32_t*) {
  record("RegCreateKeyExW", root, subKey, options, access);
  *result_ = sim::handle<Hkey>();
  return result<std::int32_t>("RegCreateKeyExW", ERROR_SUCCESS);
}
std::int32_t RegQueryValueExW(Hkey key, const char16_t* name, std::uint32_t*, std::uint32_t*, std::uint8_t*,
                              std::uint32_t*) {
  record("RegQueryValueExW", key, name);
  return result<std::int32_t>("RegQueryValueExW", ERROR_FILE_NOT_FOUND);
}
std::int32_t RegSetValueExW(Hkey key, const char16_t* name, std::uint32_t, std::uint32_t type, const std::uint8_t*,
                            std::uint32_t size) {
  record("RegSetValueExW", key, name, type, size);
  return ERROR_SUCCESS;
}
std::int32_t RegDeleteValueW(Hkey key, const char16_t* name) { record("RegDeleteValueW", key, name); return 0; }
std::int32_t RegCloseKey(Hkey key) { record("RegCloseKey", key); return 0; }

}  // namespace platform

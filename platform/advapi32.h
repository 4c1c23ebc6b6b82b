// Registry. Every function returns the platform's error code (0 = ERROR_SUCCESS).
#pragma once
#include "platform/types.h"

namespace platform {

std::int32_t RegOpenKeyExW(Hkey root, const char16_t* subKey, std::uint32_t options, std::uint32_t access,
                           Hkey* result);
std::int32_t RegCreateKeyExW(Hkey root, const char16_t* subKey, std::uint32_t reserved, char16_t* keyClass,
                             std::uint32_t options, std::uint32_t access, void* security, Hkey* result,
                             std::uint32_t* disposition);
// type, data and size may each be null (an existence test passes all three null).
std::int32_t RegQueryValueExW(Hkey key, const char16_t* name, std::uint32_t* reserved, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* size);
std::int32_t RegSetValueExW(Hkey key, const char16_t* name, std::uint32_t reserved, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t size);
std::int32_t RegDeleteValueW(Hkey key, const char16_t* name);
std::int32_t RegCloseKey(Hkey key);

}  // namespace platform

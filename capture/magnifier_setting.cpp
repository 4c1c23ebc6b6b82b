// Whether capture mode shows the magnifier: the value "magnifier" of the
// settings key, REG_DWORD, 0 for off. Absent, or of another kind, it is on: a
// user who never pressed M sees it.
#include "capture/capture.h"
#include "platform/advapi32.h"
#include "platform/guards.h"
#include "settings/settings.h"

namespace corvane {
namespace {
constexpr char16_t kMagnifierValue[] = u"magnifier";
}  // namespace

bool ReadMagnifierSetting() {
  using namespace platform;
  Hkey opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return true;
  const UniqueHkey key(opened);
  std::uint32_t type = 0, value = 1, size = sizeof value;
  if (RegQueryValueExW(key.get(), kMagnifierValue, nullptr, &type, reinterpret_cast<std::uint8_t*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return true;
  return value != 0;
}

// Fire and forget, as the tray's switches: a failed write keeps the choice for this run.
void StoreMagnifierSetting(bool on) {
  using namespace platform;
  Hkey created = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                      &created, nullptr) != ERROR_SUCCESS)
    return;
  const UniqueHkey key(created);
  const std::uint32_t value = on ? 1 : 0;
  RegSetValueExW(key.get(), kMagnifierValue, 0, REG_DWORD, reinterpret_cast<const std::uint8_t*>(&value), sizeof value);
}

}  // namespace corvane

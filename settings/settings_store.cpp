// The settings store: the switches live in the registry as presence flags (a
// value exists = on), and autostart is the executable's entry in the Run key.
#include "platform/advapi32.h"
#include "settings/autostart.h"
#include "settings/settings.h"
#include "settings/settings_registry.h"

namespace corvane {
using namespace settings_detail;

Settings settings{};

namespace {

// Writes the running executable's path, quoted, as the autostart value. A path
// that could not be had whole is not written: a cut path would start nothing at logon.
void writeAutostartValue(const RegKey& runKey) {
  char16_t path[kPathCapacity];
  const std::uint32_t length = executablePath(path, kPathCapacity);
  if (length == 0) return;
  const std::u16string command = AutostartCommand(std::u16string_view(path, length));
  writeText(runKey, kAutostartValue, command.c_str(), static_cast<std::uint32_t>(command.size()));
}

// True when the user turned our entry off in Windows' startup settings: the
// shell then skips the Run value at logon, and the menu shows it unchecked.
bool disabledAtLogon() {
  RegKey key;
  if (!openKey(kStartupApprovedKey, platform::KEY_QUERY_VALUE, key)) return false;
  std::uint8_t data[16] = {};
  std::uint32_t type = 0;
  std::uint32_t size = sizeof data;
  if (platform::RegQueryValueExW(key.get(), kAutostartValue, nullptr, &type, data, &size) != platform::ERROR_SUCCESS ||
      type != platform::REG_BINARY || size > sizeof data)
    return false;
  return StartupDisabledBy(std::string_view(reinterpret_cast<const char*>(data), size));
}

// A choice made in our menu is the user's latest word: Windows' own switch for
// the entry is cleared, so that it runs (or is gone) as the menu now shows.
void forgetStartupApproval() {
  RegKey key;
  if (openKey(kStartupApprovedKey, platform::KEY_SET_VALUE, key)) deleteValue(key, kAutostartValue);
}

// A presence flag of the settings key, read for itself with its own key.
void loadSwitch(const char16_t* name, bool& field) {
  RegKey key;
  if (openKey(kSettingsKey, platform::KEY_QUERY_VALUE, key)) field = valueExists(key, name);
}

void loadFirstStart() {
  RegKey key;
  if (!createKey(kSettingsKey, key)) return;  // everything stays off; the Run key is left alone
  writeOne(key, kFirstStartValue);
  writeOne(key, kVersionCheckValue);
  settings.quickCapture = false;
  settings.versionCheck = true;
  const bool haveSaveFolder = valueExists(key, kSaveFolderValue);
  key.reset();
  if (!haveSaveFolder) SetDefaultSaveFolder();

  RegKey runKey;
  if (createKey(kRunKey, runKey)) writeAutostartValue(runKey);
  settings.autostart = true;
}

void loadLaterStart() {
  {
    RegKey runKey;
    bool present = false;
    if (openKey(kRunKey, platform::KEY_QUERY_VALUE, runKey)) {
      present = valueExists(runKey, kAutostartValue);
      runKey.reset();
    }
    if (present) {
      // Rewritten on every start, so that a moved executable is still found at the next logon.
      // A bare value of an earlier build comes back quoted.
      if (createKey(kRunKey, runKey)) writeAutostartValue(runKey);
      runKey.reset();
      settings.autostart = !disabledAtLogon();
    }
  }
  {
    RegKey key;
    if (openKey(kSettingsKey, platform::KEY_QUERY_VALUE, key)) {
      const std::int32_t read = readSaveFolder(key);
      key.reset();
      // Only a missing value brings the default back; a value that is there but
      // unreadable is the user's and is not overwritten.
      if (read == platform::ERROR_FILE_NOT_FOUND) SetDefaultSaveFolder();
    }
  }
  loadSwitch(kQuickCaptureValue, settings.quickCapture);
  loadSwitch(kVersionCheckValue, settings.versionCheck);
}

void setSwitch(const char16_t* name, bool on, bool& field) {
  RegKey key;
  if (on) {
    if (createKey(kSettingsKey, key)) writeOne(key, name);
  } else {
    if (openKey(kSettingsKey, platform::KEY_SET_VALUE, key)) deleteValue(key, name);
  }
  // The menu shows the choice even when the registry refused it.
  field = on;
}

}  // namespace

void LoadSettings() {
  // A key that can be opened for writing marks a later start.
  RegKey probe;
  const bool later = openKey(kSettingsKey, platform::KEY_SET_VALUE, probe);
  probe.reset();
  if (later)
    loadLaterStart();
  else
    loadFirstStart();
}

namespace {

// A REG_SZ value that fits kServiceSettingCapacity, else empty.
std::u16string readServiceText(const RegKey& key, const char16_t* name) {
  char16_t data[kServiceSettingCapacity];
  std::uint32_t type = 0;
  std::uint32_t size = sizeof data;
  // A value too long for the buffer fails the read (ERROR_MORE_DATA): never cut to fit.
  if (platform::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<std::uint8_t*>(data),
                                 &size) != platform::ERROR_SUCCESS)
    return {};
  if (type != platform::REG_SZ || size % 2 != 0 || size > sizeof data) return {};
  std::u16string text(data, size / 2);
  return text.substr(0, text.find(u'\0'));  // stored data need not end in a terminator
}

}  // namespace

ServiceSetting ReadServiceSetting() {
  RegKey key;
  if (!openKey(kSettingsKey, platform::KEY_QUERY_VALUE, key)) return {};
  return {readServiceText(key, kServiceValue), readServiceText(key, kServiceKeyValue)};
}

namespace {

void readHotKey(const RegKey& key, const char16_t* name, HotKeyChord& chord, bool& unreadable,
                std::u16string& text) {
  const std::optional<TextRead> read = readText(key, name, kHotKeyTextMaxLength + 1);
  if (!read) return;  // absent: the default
  const std::optional<HotKeyChord> parsed = read->failed ? std::nullopt : ParseHotKeyText(read->text);
  if (parsed) {
    chord = *parsed;
    return;
  }
  unreadable = true;
  text = read->text;
}

}  // namespace

HotKeySettings ReadHotKeySettings() {
  HotKeySettings keys;
  RegKey key;
  if (!openKey(kSettingsKey, platform::KEY_QUERY_VALUE, key)) return keys;
  readHotKey(key, kHotKeyCaptureValue, keys.capture, keys.captureUnreadable, keys.unreadableCapture);
  readHotKey(key, kHotKeyFileValue, keys.fileUpload, keys.fileUnreadable, keys.unreadableFile);
  return keys;
}

bool StoreServiceAndKeys(const ServiceAndKeys& values) {
  RegKey key;
  if (!createKey(kSettingsKey, key)) return false;
  bool ok = true;
  // An empty address or key is no value at all: the built-in host, no key sent.
  const std::pair<const char16_t*, const std::u16string*> texts[] = {{kServiceValue, &values.address},
                                                                     {kServiceKeyValue, &values.key}};
  for (const auto& [name, text] : texts) {
    if (text->empty())
      deleteValue(key, name);
    else
      ok = writeWholeText(key, name, *text) && ok;
  }
  ok = writeWholeText(key, kHotKeyCaptureValue, HotKeyText(values.capture)) && ok;
  ok = writeWholeText(key, kHotKeyFileValue, HotKeyText(values.fileUpload)) && ok;
  return ok;
}

void SetVersionCheck(bool on) { setSwitch(kVersionCheckValue, on, settings.versionCheck); }
void SetQuickCapture(bool on) { setSwitch(kQuickCaptureValue, on, settings.quickCapture); }

void SetAutostart(bool on) {
  RegKey runKey;
  if (on) {
    if (createKey(kRunKey, runKey)) writeAutostartValue(runKey);
  } else {
    if (openKey(kRunKey, platform::KEY_SET_VALUE, runKey)) deleteValue(runKey, kAutostartValue);
  }
  runKey.reset();
  forgetStartupApproval();
  settings.autostart = on;
}

}  // namespace corvane

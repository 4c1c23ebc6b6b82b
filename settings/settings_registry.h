// Registry and module-path helpers shared by the settings store and the save
// folder. Internal to settings/.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include "platform/guards.h"
#include "platform/types.h"

namespace corvane::settings_detail {

// Room for the executable's path; a longer one counts as not had at all.
inline constexpr std::uint32_t kPathCapacity = 2048;

inline constexpr char16_t kVersionCheckValue[] = u"versioncheck";
inline constexpr char16_t kQuickCaptureValue[] = u"simplemode";
inline constexpr char16_t kFirstStartValue[] = u"set";
inline constexpr char16_t kSaveFolderValue[] = u"ReDoda";
inline constexpr char16_t kServiceValue[] = u"service";
inline constexpr char16_t kServiceKeyValue[] = u"key";
inline constexpr char16_t kHotKeyCaptureValue[] = u"hotkeyCapture";
inline constexpr char16_t kHotKeyFileValue[] = u"hotkeyFile";

// One key below HKEY_CURRENT_USER. It is closed at the latest when it leaves
// scope; reset() releases it earlier where the order of the steps asks for it.
using RegKey = platform::UniqueHkey;

// An existing key only; false (key untouched) when it cannot be opened.
bool openKey(const char16_t* subKey, std::uint32_t access, RegKey& key);
// Opens the key or makes it, with full access; false (key untouched) on failure.
bool createKey(const char16_t* subKey, RegKey& key);

// Writes are fire-and-forget: a failed write keeps the change in memory only.
void writeOne(const RegKey& key, const char16_t* name);  // REG_DWORD 1
void writeText(const RegKey& key, const char16_t* name, const char16_t* text, std::uint32_t length);
// The same for a whole text, terminator added; true when the platform took it.
bool writeWholeText(const RegKey& key, const char16_t* name, std::u16string_view text);
void deleteValue(const RegKey& key, const char16_t* name);
// Only "not found" means absent: any other answer, of any type and data, is present.
bool valueExists(const RegKey& key, const char16_t* name);

// A REG_SZ value of at most capacity characters (terminator included): its
// text up to the first NUL. nullopt when it is absent; read as failed (empty
// text, failed true) when it is of another type, too long or unreadable.
struct TextRead {
  std::u16string text;
  bool failed = false;
};
std::optional<TextRead> readText(const RegKey& key, const char16_t* name, std::uint32_t capacity);

// Full path of the running executable into path; its length in characters, or
// 0 (path empty) when the platform failed or cut it short.
std::uint32_t executablePath(char16_t* path, std::uint32_t capacity);

// Length of a terminated text, never counting past capacity.
std::uint32_t textLength(const char16_t* text, std::uint32_t capacity);

// Reads the stored save folder into settings.saveFolder. Returns the read's
// result; the folder stays empty unless it was a string that fits.
std::int32_t readSaveFolder(const RegKey& key);

}  // namespace corvane::settings_detail

// The user's settings: one record, loaded once at start-up and changed by the
// tray menu's commands, which write the registry at once.
#pragma once
#include <cstdint>

namespace corvane {

inline constexpr std::uint32_t kSaveFolderCapacity = 2048;  // characters, terminator included

struct Settings {
  char16_t saveFolder[kSaveFolderCapacity];
  bool versionCheck;
  bool quickCapture;
  bool autostart;
};

extern Settings settings;

inline constexpr char16_t kSettingsKey[] = u"SOFTWARE\\Corvane\\Corvane1";
inline constexpr char16_t kRunKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char16_t kAutostartValue[] = u"corvane.exe";

void LoadSettings();
void SetVersionCheck(bool on);
void SetQuickCapture(bool on);
void SetAutostart(bool on);

// Save folder.
void SetDefaultSaveFolder();
void StoreSaveFolder();
void ChooseSaveFolder();

}  // namespace corvane

// The user's settings: one record, loaded once at start-up and changed by the
// tray menu's commands, which write the registry at once.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include "platform/types.h"
#include "settings/hotkey_text.h"

namespace corvane {

inline constexpr std::uint32_t kSaveFolderCapacity = 2048;  // characters, terminator included

struct Settings {
  char16_t saveFolder[kSaveFolderCapacity];
  bool versionCheck;
  bool quickCapture;
  bool autostart;
};

extern Settings settings;

// The save folder as text: its buffer up to the terminator.
inline std::u16string_view SaveFolderPath() {
  const std::u16string_view folder(settings.saveFolder, kSaveFolderCapacity);
  return folder.substr(0, folder.find(u'\0'));
}

inline constexpr char16_t kSettingsKey[] = u"SOFTWARE\\Corvane\\Corvane1";
inline constexpr char16_t kRunKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char16_t kAutostartValue[] = u"corvane.exe";
// Where Windows' startup settings keep, under the Run value's name, whether the
// user turned the entry off; the Run value itself stays when they do.
inline constexpr char16_t kStartupApprovedKey[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

// The optional "service" value of the settings key, the base address of an own
// web service, and "key" beside it, that service's upload key. Each is its
// text, or empty when it is absent, not a REG_SZ, or longer than
// kServiceSettingCapacity allows; the net side judges the texts itself.
// Read on both start-up paths, so that a dropped file goes where captures go.
inline constexpr std::uint32_t kServiceSettingCapacity = 256;  // characters, terminator included
struct ServiceSetting {
  std::u16string address;
  std::u16string key;
};
ServiceSetting ReadServiceSetting();

// The two hot keys, from the text values "hotkeyCapture" and "hotkeyFile".
// An absent value is the default (Alt+C, Alt+F), an empty one is none; one that
// is not a REG_SZ or does not parse is the default too, and is named in
// unreadable so that the user can be told.
struct HotKeySettings {
  HotKeyChord capture = kDefaultCaptureKey;
  HotKeyChord fileUpload = kDefaultFileUploadKey;
  std::u16string unreadableCapture, unreadableFile;  // the stored text that did not parse, else empty
  bool captureUnreadable = false, fileUnreadable = false;
};
HotKeySettings ReadHotKeySettings();

// What the settings dialog writes: the service's address and key (an empty
// text removes the value: the built-in host, no key) and both hot keys as
// text. False when the settings key could not be opened or a value not written.
struct ServiceAndKeys {
  std::u16string address, key;
  HotKeyChord capture, fileUpload;
};
bool StoreServiceAndKeys(const ServiceAndKeys& values);

void LoadSettings();
void SetVersionCheck(bool on);
void SetQuickCapture(bool on);
void SetAutostart(bool on);

// Save folder. A stored folder that names no full path ("Shots\", "C:Shots")
// is never taken relative to the program's folder: the default stands in for
// this run and the stored value is left as written. TellRefusedSaveFolder
// then tells the user so, once per run: in a balloon of the tray icon on
// trayWindow, which asks for no answer, or, when there is no icon to show it
// (a dropped file's run) or the text does not fit one, in a message owned by
// owner. It does nothing when the stored folder was used.
void SetDefaultSaveFolder();
void TellRefusedSaveFolder(platform::Hwnd owner, platform::Hwnd trayWindow);
void StoreSaveFolder();
void ChooseSaveFolder();

}  // namespace corvane

// The settings dialog: the own service's address and upload key, with a test
// of the address, and the two hot keys, written to the registry on OK and put
// to use at once.
#pragma once
#include <cstdint>
#include <string>
#include "platform/types.h"
#include "settings/hotkey_text.h"

namespace corvane {

// Shows the dialog, owned by the main window, inside the program's modal gate;
// does nothing while capture mode or another of our loops runs.
void runSettingsDialog();

// The hot-key control documents no notification: it tells of a typed key
// (EN_CHANGE) where the system sends one, and of a key cleared with Backspace
// nowhere. Every change comes from a key the dialog's loop has handled, after
// which the loop goes idle and tells its owner, the main window, which calls
// this: the Print Screen note is put in step with the fields.
void settingsDialogIdle(platform::Hwnd dialog);

// What the dialog's fields hold when OK is pressed; texts with the blanks
// around them already taken off.
struct SettingsEntries {
  std::u16string address, key;
  HotKeyChord capture, fileUpload;
};

// Why the entries cannot be stored, and the field to put right (its control
// id); an empty reason when they can. Judged without the platform: whether
// another program holds a hot key is found when it is taken.
struct EntriesVerdict {
  std::u16string reason;
  std::int32_t field = 0;
};
EntriesVerdict CheckSettingsEntries(const SettingsEntries& entries);

// The hot-key control's value (virtual key in the low byte, HOTKEYF_* in the
// high byte) for a chord, and back. The control has no Win key: a field left
// as it was opened gives back the chord it was opened with (shown), Win and all.
std::uint16_t HotKeyControlValue(HotKeyChord chord);
HotKeyChord ChordFromHotKeyControl(std::uint16_t value, HotKeyChord shown);

// Whether the note about Windows 11 and the Print Screen key belongs under the fields.
bool TakesPrintScreen(HotKeyChord capture, HotKeyChord fileUpload);

// The dialog's private message: a test of the address has its answer.
inline constexpr std::uint32_t UM_SERVICE_TESTED = 0x8000 + 1;  // WM_APP + 1

}  // namespace corvane

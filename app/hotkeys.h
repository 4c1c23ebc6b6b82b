// The two global hot keys of the resident run: capture (id 1) and file upload
// (id 3), registered for the thread with MOD_NOREPEAT, so that a held key
// starts one capture, not one per auto-repeat.
#pragma once
#include <string>
#include "settings/settings.h"

namespace corvane {

// Registers the stored hot keys at start-up. A key another program holds, and
// a stored text that does not parse, are told once, in one tray balloon that
// names the key and what still works.
void registerHotKeys(const HotKeySettings& stored);

// Puts new hot keys in place of the held ones. When one of them cannot be had
// (another program holds it), the ones held before are held again and the
// reason is returned ("Alt+C is used by another program"); empty on success.
std::u16string changeHotKeys(HotKeyChord capture, HotKeyChord fileUpload);

// While the settings dialog is open, its hot-key fields must see every
// combination, ours too: pauseHotKeys lets both go and keeps what they were;
// resumeHotKeys holds them again (or what changeHotKeys put in their place) and
// tells in a balloon one that another program took meanwhile.
void pauseHotKeys();
void resumeHotKeys();

// Lets both go: the resident run's end.
void releaseHotKeys();

// What is held (or was asked for, if another program has it), for the tray menu's labels.
HotKeyChord captureHotKey();
HotKeyChord fileUploadHotKey();

// The notice for keys another program holds and stored texts that do not
// parse; empty when there is nothing to tell.
std::u16string hotKeyNotice(const HotKeySettings& stored, bool captureHeld, bool fileHeld);

}  // namespace corvane

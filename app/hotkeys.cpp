#include "app/hotkeys.h"
#include "app/shell.h"
#include "app/state.h"
#include "desktop/balloon.h"
#include "platform/guards.h"

namespace corvane {
namespace {

struct HeldKeys {
  HotKeyChord captureChord = kDefaultCaptureKey, fileChord = kDefaultFileUploadKey;
  platform::HotKey capture, fileUpload;
};

HeldKeys& held() {
  static HeldKeys keys;
  return keys;
}

// None is had at once: there is nothing to register.
platform::HotKey take(std::int32_t id, HotKeyChord chord) {
  if (chord.none()) return {};
  return platform::HotKey(nullptr, id, chord.modifiers | platform::MOD_NOREPEAT, chord.key);
}

bool had(const platform::HotKey& key, HotKeyChord chord) { return chord.none() || static_cast<bool>(key); }

std::u16string heldByOther(HotKeyChord chord) { return HotKeyText(chord) + u" is used by another program."; }

}  // namespace

std::u16string hotKeyNotice(const HotKeySettings& stored, bool captureHeld, bool fileHeld) {
  std::u16string notice;
  auto line = [&notice](const std::u16string& text) {
    if (!notice.empty()) notice += u'\n';
    notice += text;
  };
  if (stored.captureUnreadable)
    line(u"The capture hot key \"" + stored.unreadableCapture + u"\" is not understood; " +
         HotKeyText(stored.capture) + u" is used.");
  if (stored.fileUnreadable)
    line(u"The file-upload hot key \"" + stored.unreadableFile + u"\" is not understood; " +
         HotKeyText(stored.fileUpload) + u" is used.");
  if (!captureHeld) line(heldByOther(stored.capture) + u" A click on the tray icon still captures.");
  if (!fileHeld) line(heldByOther(stored.fileUpload) + u" File upload is still in the tray menu.");
  return notice;
}

void registerHotKeys(const HotKeySettings& stored) {
  HeldKeys& keys = held();
  keys.captureChord = stored.capture;
  keys.fileChord = stored.fileUpload;
  keys.capture = take(HOTKEY_CAPTURE, stored.capture);
  keys.fileUpload = take(HOTKEY_FILEUPLOAD, stored.fileUpload);
  const std::u16string notice =
      hotKeyNotice(stored, had(keys.capture, stored.capture), had(keys.fileUpload, stored.fileUpload));
  if (!notice.empty()) ShowBalloon(app.mainWindow, u"Corvane Tool hot keys", notice, BalloonIcon::Warning);
}

std::u16string changeHotKeys(HotKeyChord capture, HotKeyChord fileUpload) {
  HeldKeys& keys = held();
  if (!capture.none() && capture == fileUpload) return HotKeyText(capture) + u" cannot start both commands.";
  const bool captureChanges = capture != keys.captureChord || !had(keys.capture, keys.captureChord);
  const bool fileChanges = fileUpload != keys.fileChord || !had(keys.fileUpload, keys.fileChord);
  // Both let go first: the new capture key may be the old file key.
  if (captureChanges) keys.capture.reset();
  if (fileChanges) keys.fileUpload.reset();
  platform::HotKey newCapture = captureChanges ? take(HOTKEY_CAPTURE, capture) : std::move(keys.capture);
  platform::HotKey newFile = fileChanges ? take(HOTKEY_FILEUPLOAD, fileUpload) : std::move(keys.fileUpload);
  std::u16string refusal;
  if (!had(newCapture, capture))
    refusal = heldByOther(capture);
  else if (!had(newFile, fileUpload))
    refusal = heldByOther(fileUpload);
  if (!refusal.empty()) {
    // Back to what was held: a refused change leaves the keys as they were.
    newCapture.reset();
    newFile.reset();
    keys.capture = take(HOTKEY_CAPTURE, keys.captureChord);
    keys.fileUpload = take(HOTKEY_FILEUPLOAD, keys.fileChord);
    return refusal;
  }
  keys.capture = std::move(newCapture);
  keys.fileUpload = std::move(newFile);
  keys.captureChord = capture;
  keys.fileChord = fileUpload;
  return {};
}

void pauseHotKeys() {
  held().capture.reset();
  held().fileUpload.reset();
}

void resumeHotKeys() {
  HeldKeys& keys = held();
  const bool captureWasFree = !keys.capture, fileWasFree = !keys.fileUpload;
  if (captureWasFree) keys.capture = take(HOTKEY_CAPTURE, keys.captureChord);
  if (fileWasFree) keys.fileUpload = take(HOTKEY_FILEUPLOAD, keys.fileChord);
  HotKeySettings now;
  now.capture = keys.captureChord;
  now.fileUpload = keys.fileChord;
  const std::u16string notice = hotKeyNotice(now, !captureWasFree || had(keys.capture, keys.captureChord),
                                             !fileWasFree || had(keys.fileUpload, keys.fileChord));
  if (!notice.empty()) ShowBalloon(app.mainWindow, u"Corvane Tool hot keys", notice, BalloonIcon::Warning);
}

void releaseHotKeys() {
  held().fileUpload.reset();
  held().capture.reset();
}

HotKeyChord captureHotKey() { return held().captureChord; }
HotKeyChord fileUploadHotKey() { return held().fileChord; }

}  // namespace corvane

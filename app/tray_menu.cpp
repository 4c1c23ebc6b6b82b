// The tray menu and its commands.
#include "app/hotkeys.h"
#include "app/recent_menu.h"
#include "app/settings_dialog.h"
#include "app/shell.h"
#include "app/state.h"
#include "capture/capture.h"
#include "desktop/balloon.h"
#include "net/upload.h"
#include "picture/file_upload.h"
#include "platform/guards.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/user32.h"
#include "settings/settings.h"

namespace corvane {
namespace {

struct TrayEntry {
  std::uint32_t id;
  const char16_t* label;  // null: a separator
  const bool* checkedBy;  // null: never checked
  platform::Hmenu submenu = nullptr;  // the entry opens it; id unused
};

// A command's label names the hot key it has; the defaults keep their own spelling.
std::u16string withHotKey(const char16_t* label, HotKeyChord chord, HotKeyChord fallback,
                          const char16_t* defaultLabel) {
  if (chord == fallback) return defaultLabel;
  if (chord.none()) return label;
  return std::u16string(label) + u" (" + HotKeyText(chord) + u")";
}

}  // namespace

bool showTrayMenu(const platform::Point* anchor) {
  // The menu runs its own loop: a tray click meanwhile starts no capture in it.
  // Over a dialog or a message box of ours it opens all the same; over capture
  // mode, which has the mouse, it does not.
  const ModalScope modal(capture(), CaptureEvent::TrayMenu);
  if (!modal) return false;
  platform::UniqueMenu menu(platform::CreatePopupMenu());
  if (!menu) return true;
  platform::Point point{};
  if (anchor != nullptr)
    point = *anchor;
  else
    platform::GetCursorPos(&point);
  // Check marks are read afresh each time, so a changed setting shows in the next menu.
  const std::u16string fileLabel = withHotKey(u"&File upload", fileUploadHotKey(), kDefaultFileUploadKey,
                                              u"&File upload      (ALT+ F)");
  const std::u16string captureLabel =
      withHotKey(u"&Capture mode", captureHotKey(), kDefaultCaptureKey, u"&Capture mode (ALT+ C)");
  const TrayEntry entries[] = {
      {IDM_AUTOUPDATE, u"Autoupdate", &settings.versionCheck},
      {IDM_AUTOSTART, u"&Autostart", &settings.autostart},
      {IDM_QUICKCAPTURE, u"&Quick capture", &settings.quickCapture},
      {IDM_SAVEPATH, u"&Set save path", nullptr},
      {IDM_SETTINGS, u"Se&ttings...", nullptr},
      {0, nullptr, nullptr},
      {IDM_FILEUPLOAD, fileLabel.c_str(), nullptr},
      {IDM_CAPTURE, captureLabel.c_str(), nullptr},
      {0, u"Recent &uploads", nullptr, buildRecentMenu()},
      {0, nullptr, nullptr},
      {IDM_EXIT, u"&Exit", nullptr},
  };
  for (const TrayEntry& e : entries) {
    if (e.label == nullptr) {
      platform::InsertMenuW(menu.get(), static_cast<std::uint32_t>(-1), platform::MF_SEPARATOR, 0, nullptr);
      continue;
    }
    if (e.submenu != nullptr) {
      // Owned by the menu once in it.
      if (!platform::InsertMenuW(menu.get(), static_cast<std::uint32_t>(-1),
                                 platform::MF_BYPOSITION | platform::MF_POPUP,
                                 reinterpret_cast<std::uintptr_t>(e.submenu), e.label))
        platform::DestroyMenu(e.submenu);
      continue;
    }
    std::uint32_t flags = platform::MF_BYPOSITION;
    if (e.checkedBy != nullptr && *e.checkedBy) flags |= platform::MF_CHECKED;
    platform::InsertMenuW(menu.get(), static_cast<std::uint32_t>(-1), flags, e.id, e.label);
  }
  // A balloon of ours lies over the icon, where the menu opens, and over its
  // top entries. None can start while the menu is open: every balloon is
  // raised on this thread, which the menu's loop holds until it closes, so
  // the menu's submenus are clear too.
  HideBalloon(app.mainWindow);
  // The menu only closes on a click elsewhere when our window is in the foreground.
  platform::SetForegroundWindow(app.mainWindow);
  // The chosen command arrives later as WM_COMMAND; the menu itself is done with.
  platform::TrackPopupMenu(menu.get(), platform::TPM_BOTTOMALIGN, point.x, point.y, 0, app.mainWindow, nullptr);
  // Without a message after it, the next open of the menu closes at once
  // or will not close on a click elsewhere.
  platform::PostMessageW(app.mainWindow, platform::WM_NULL, 0, 0);
  return true;
}

void runFileUpload() {
  // No second dialog inside the first, and none over capture mode.
  const ModalScope modal(capture());
  if (!modal) return;
  // A failed "Upload && Save" left its request for a copy; this upload honours it.
  const UploadOutcome outcome =
      FileUploadCommand({capture().copyRequested(), SaveFolderPath(), app.mainWindow}, app.mainWindow);
  if (outcome.copyStepRan) capture().copyStepRan();
}

void runTrayCommand(std::uint32_t id) {
  switch (id) {
    case IDM_EXIT:
      // Safe in any state: what a running upload or dialog holds is released on
      // its way out, and the quit message the window's destruction posts ends
      // its loop and then ours.
      // The icon goes first: a tray icon whose window is gone lingers until hovered.
      trayIcon().reset();
      platform::DestroyWindow(app.mainWindow);
      break;
    case IDM_CAPTURE:
      capture().handle(CaptureEvent::Start);
      break;
    case IDM_FILEUPLOAD:
      runFileUpload();
      break;
    case IDM_SAVEPATH:
      if (const ModalScope modal(capture()); modal) ChooseSaveFolder();
      break;
    case IDM_SETTINGS:
      runSettingsDialog();
      break;
    case IDM_QUICKCAPTURE:
      SetQuickCapture(!settings.quickCapture);
      break;
    case IDM_AUTOSTART:
      SetAutostart(!settings.autostart);
      break;
    case IDM_AUTOUPDATE:
      SetVersionCheck(!settings.versionCheck);
      break;
    default:
      runRecentCommand(id);
      break;
  }
}

void endSession() {
  capture().handle(CaptureEvent::SessionEnd);
  trayIcon().reset();
  // The system ends the process at any moment once this message returns, and
  // a restart manager closing us expects us gone. Ended here and now: an upload
  // or a menu still on the stack would otherwise go on to a message box that
  // nobody answers (a quit message does not end every nested loop: Wine's
  // message box and menu loops take it and stay), and the session waits.
  platform::ExitProcess(0);
}

}  // namespace corvane

// The tray menu and its commands.
#include "app/shell.h"
#include "app/state.h"
#include "capture/capture.h"
#include "picture/file_upload.h"
#include "platform/shell32.h"
#include "platform/user32.h"
#include "settings/settings.h"

namespace corvane {
namespace {

struct TrayEntry {
  std::uint32_t id;
  const char16_t* label;  // null: a separator
  const bool* checkedBy;  // null: never checked
};

}  // namespace

void showTrayMenu() {
  platform::Hmenu menu = platform::CreatePopupMenu();
  if (menu == nullptr) return;
  platform::Point point{};
  platform::GetCursorPos(&point);
  // Check marks are read afresh each time, so a changed setting shows in the next menu.
  const TrayEntry entries[] = {
      {IDM_AUTOUPDATE, u"Autoupdate", &settings.versionCheck},
      {IDM_AUTOSTART, u"&Autostart", &settings.autostart},
      {IDM_QUICKCAPTURE, u"&Quick capture", &settings.quickCapture},
      {IDM_SAVEPATH, u"&Set save path", nullptr},
      {0, nullptr, nullptr},
      {IDM_FILEUPLOAD, u"&File upload      (ALT+ F)", nullptr},
      {IDM_CAPTURE, u"&Capture mode (ALT+ C)", nullptr},
      {0, nullptr, nullptr},
      {IDM_EXIT, u"&Exit", nullptr},
  };
  for (const TrayEntry& e : entries) {
    if (e.label == nullptr) {
      platform::InsertMenuW(menu, static_cast<std::uint32_t>(-1), platform::MF_SEPARATOR, 0, nullptr);
      continue;
    }
    std::uint32_t flags = platform::MF_BYPOSITION;
    if (e.checkedBy != nullptr && *e.checkedBy) flags |= platform::MF_CHECKED;
    platform::InsertMenuW(menu, static_cast<std::uint32_t>(-1), flags, e.id, e.label);
  }
  // The menu only closes on a click elsewhere when our window is in the foreground.
  platform::SetForegroundWindow(app.mainWindow);
  // The chosen command arrives later as WM_COMMAND; the menu itself is done with.
  platform::TrackPopupMenu(menu, platform::TPM_BOTTOMALIGN, point.x, point.y, 0, app.mainWindow, nullptr);
  platform::DestroyMenu(menu);
}

void runTrayCommand(std::uint32_t id) {
  switch (id) {
    case IDM_EXIT:
      // The icon goes first: a tray icon whose window is gone lingers until hovered.
      platform::Shell_NotifyIconW(platform::NIM_DELETE, &app.trayIcon);
      releaseCaptureResources();
      platform::DestroyWindow(app.mainWindow);
      platform::PostQuitMessage(0);
      break;
    case IDM_CAPTURE:
      enterCaptureMode(app.mainWindow);
      break;
    case IDM_FILEUPLOAD:
      FileUploadCommand();
      break;
    case IDM_SAVEPATH:
      ChooseSaveFolder();
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
      break;
  }
}

}  // namespace corvane

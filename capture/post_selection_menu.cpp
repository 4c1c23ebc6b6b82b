// The post-selection menu and the branch of the main window procedure that
// takes the first message after it closed.
#include "app/state.h"
#include "capture/capture.h"
#include "platform/user32.h"

namespace corvane {

bool showPostSelectionMenu() {
  platform::Hmenu menu = platform::CreatePopupMenu();
  if (menu == nullptr) return false;
  platform::Point point{};
  platform::GetCursorPos(&point);
  constexpr auto end = static_cast<std::uint32_t>(-1);
  platform::InsertMenuW(menu, end, platform::MF_BYPOSITION, IDM_CANCEL, u"Cancel");
  platform::InsertMenuW(menu, end, platform::MF_SEPARATOR, 0, nullptr);
  platform::InsertMenuW(menu, end, platform::MF_BYPOSITION, IDM_UPLOADSAVE, u"Upload && Save");
  platform::InsertMenuW(menu, end, platform::MF_BYPOSITION, IDM_UPLOAD, u"Upload");
  platform::SetForegroundWindow(app.mainWindow);
  // Opens above the cursor, so "Upload", the last entry, is nearest to it. The
  // choice comes back later as WM_COMMAND.
  platform::TrackPopupMenu(menu, platform::TPM_BOTTOMALIGN, point.x, point.y, 0, app.mainWindow, nullptr);
  platform::DestroyMenu(menu);
  // A chosen entry is already queued as WM_COMMAND; this empty message comes after
  // it. When the menu was dismissed it is the first message, so capture mode ends
  // at once instead of leaving the frozen desktop up until the mouse next moves.
  platform::PostMessageW(app.mainWindow, platform::WM_NULL, 0, 0);
  return true;
}

// Whatever message comes first decides, and is consumed.
platform::Lresult postSelectionBranch(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                      platform::Lparam) {
  // The work below sends messages to this same window (showing and hiding it,
  // message boxes): they must not come back into this branch. During an upload
  // the window is in the passage a quick capture has: capture mode, button up,
  // so it still paints the desktop picture and ignores tray clicks.
  app.menuPending = false;
  if (message == platform::WM_COMMAND) {
    const auto id = static_cast<std::uint32_t>(wParam & 0xFFFF);
    if (id == IDM_UPLOAD || id == IDM_UPLOADSAVE) {
      app.uploadChoice = id == IDM_UPLOADSAVE ? 1 : 0;
      app.captureMode = true;
      finishSelection(app.mainWindow);
    } else if (id == IDM_CANCEL) {
      app.uploadChoice = 0;
      leaveCaptureMode(app.mainWindow);
    }
  } else if (message != platform::WM_DESTROY) {
    // The menu was dismissed. A mouse button pressed first leaves too: otherwise
    // the full-screen window would stay up and swallow every click.
    leaveCaptureMode(app.mainWindow);
    // A paint that is not validated would come back for ever.
    if (message == platform::WM_PAINT) paintSnapshot(window);
  }
  // Escape is still registered when the button went down before capture mode
  // began (no press reached us); whatever the menu's outcome, it goes back.
  platform::UnregisterHotKey(nullptr, HOTKEY_ESCAPE);
  app.captureMode = false;
  return 0;
}

}  // namespace corvane

// The message loop: global hot keys become private messages to the main window.
#include "app/shell.h"
#include "app/state.h"
#include "platform/user32.h"

namespace corvane {
namespace {

// A hot key is judged against the state when the loop reads it: one that does
// not fit the state is dropped, never queued for later. The flags are cleared
// before sending, so the main window handles the message in its idle branch.
void judgeHotKey(platform::Wparam id) {
  if (id == HOTKEY_CAPTURE && !app.menuPending && !app.captureMode) {
    app.captureMode = app.menuPending = false;
    platform::SendMessageW(app.mainWindow, UM_CAPTURE, 0, 0);
  } else if (id == HOTKEY_FILEUPLOAD && !app.captureMode && !app.menuPending) {
    app.captureMode = app.menuPending = false;
    platform::SendMessageW(app.mainWindow, UM_FILEUPLOAD, 0, 0);
  } else if (id == HOTKEY_ESCAPE && app.captureMode) {
    app.captureMode = app.menuPending = false;
    platform::SendMessageW(app.mainWindow, UM_CANCELCAPTURE, 0, 0);
    platform::UnregisterHotKey(nullptr, HOTKEY_ESCAPE);
  }
}

}  // namespace

int runMessageLoop() {
  platform::Msg msg{};
  for (;;) {
    platform::Bool got = platform::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    // -1: the platform cannot deliver messages; waiting on would spin for ever.
    if (got < 0) return 1;
    // Thread hot keys have no window: they are never dispatched.
    if (msg.message == platform::WM_HOTKEY) {
      judgeHotKey(msg.wParam);
      continue;
    }
    platform::TranslateMessage(&msg);
    platform::DispatchMessageW(&msg);
  }
}

}  // namespace corvane

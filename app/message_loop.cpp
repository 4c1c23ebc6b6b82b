// The message loop: global hot keys become private messages to the main window.
#include "app/shell.h"
#include "app/state.h"
#include "capture/capture.h"
#include "platform/user32.h"

namespace corvane {
namespace {

// A hot key becomes its private message to the main window, whatever the
// state: the capture object judges it there (one that does not fit is dropped,
// never queued for later).
void forwardHotKey(platform::Wparam id) {
  if (id == HOTKEY_CAPTURE) {
    platform::SendMessageW(app.mainWindow, UM_CAPTURE, 0, 0);
  } else if (id == HOTKEY_FILEUPLOAD) {
    platform::SendMessageW(app.mainWindow, UM_FILEUPLOAD, 0, 0);
  } else if (id == HOTKEY_ESCAPE) {
    platform::SendMessageW(app.mainWindow, UM_CANCELCAPTURE, 0, 0);
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
      forwardHotKey(msg.wParam);
      continue;
    }
    platform::TranslateMessage(&msg);
    platform::DispatchMessageW(&msg);
  }
}

}  // namespace corvane

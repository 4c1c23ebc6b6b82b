// The post-selection menu: built at the cursor, and its command returned
// rather than posted, so that no id of it can ever reach the tray menu's
// command handler.
#include "capture/capture.h"
#include "platform/guards.h"
#include "platform/user32.h"

namespace corvane {

int Capture::runMenu() {
  using namespace platform;
  UniqueMenu menu(CreatePopupMenu());
  if (!menu) return -1;
  Point point{};
  GetCursorPos(&point);
  constexpr auto end = static_cast<std::uint32_t>(-1);
  InsertMenuW(menu.get(), end, MF_BYPOSITION, IDM_CANCEL, u"Cancel");
  InsertMenuW(menu.get(), end, MF_SEPARATOR, 0, nullptr);
  InsertMenuW(menu.get(), end, MF_BYPOSITION, IDM_UPLOADSAVE, u"Upload && Save");
  InsertMenuW(menu.get(), end, MF_BYPOSITION, IDM_UPLOAD, u"Upload");
  // The menu only closes on a click elsewhere when our window is in the foreground.
  SetForegroundWindow(main_);
  state_ = CaptureState::MenuOpen;
  // Opens above the cursor, so "Upload", the last entry, is nearest to it.
  // Messages that arrive while it runs meet MenuOpen, which takes nothing.
  return TrackPopupMenu(menu.get(), TPM_BOTTOMALIGN | TPM_RETURNCMD | TPM_NONOTIFY, point.x, point.y, 0, main_,
                        nullptr);
}

}  // namespace corvane

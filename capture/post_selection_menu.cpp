// The post-selection menu: built at the cursor, and its command returned
// rather than posted, so that no id of it can ever reach the tray menu's
// command handler.
#include "capture/capture.h"
#include "platform/guards.h"
#include "platform/user32.h"

namespace corvane {
namespace {

struct Entry {
  std::uint32_t id;  // 0: a separator
  const char16_t* label;
  Choice choice;
};

// From the top. The menu opens above the cursor, so the last entries are
// nearest to it: "Upload" and "Upload && Save" keep their places there, and the
// keys that reached an entry from the bottom reach it still.
constexpr Entry kEntries[] = {
    {IDM_CANCEL, u"Cancel", Choice::Cancel},
    {0, nullptr, Choice::Cancel},
    {IDM_MARKUP, u"&Mark up", Choice::MarkUp},
    {IDM_SAVE, u"&Save", Choice::Save},
    {IDM_COPY, u"&Copy", Choice::Copy},
    {0, nullptr, Choice::Cancel},
    {IDM_UPLOADSAVE, u"Upload && Save", Choice::UploadAndSave},
    {IDM_UPLOAD, u"Upload", Choice::Upload},
};

}  // namespace

std::optional<Choice> Capture::runMenu(bool& menuFailed) {
  using namespace platform;
  menuFailed = false;
  UniqueMenu menu(CreatePopupMenu());
  if (!menu) {
    menuFailed = true;
    return std::nullopt;
  }
  Point point{};
  GetCursorPos(&point);
  constexpr auto end = static_cast<std::uint32_t>(-1);
  for (const Entry& e : kEntries) {
    if (e.id == 0) InsertMenuW(menu.get(), end, MF_SEPARATOR, 0, nullptr);
    else InsertMenuW(menu.get(), end, MF_BYPOSITION, e.id, e.label);
  }
  // The menu only closes on a click elsewhere when our window is in the foreground.
  SetForegroundWindow(windows_.main());
  state_ = CaptureState::MenuOpen;
  // Messages that arrive while it runs meet MenuOpen, which takes nothing.
  const auto command = static_cast<std::uint32_t>(TrackPopupMenu(
      menu.get(), TPM_BOTTOMALIGN | TPM_RETURNCMD | TPM_NONOTIFY, point.x, point.y, 0, windows_.main(), nullptr));
  for (const Entry& e : kEntries)
    if (e.id != 0 && e.id == command) return e.choice;
  return std::nullopt;  // dismissed
}

}  // namespace corvane

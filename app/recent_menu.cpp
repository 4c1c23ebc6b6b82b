#include "app/recent_menu.h"
#include <string>
#include "app/state.h"
#include "capture/capture.h"
#include "desktop/balloon.h"
#include "desktop/clipboard.h"
#include "net/delete.h"
#include "net/upload.h"
#include "platform/user32.h"
#include "settings/recent.h"

namespace corvane {
namespace {

// Long names are cut: a menu as wide as the screen helps nobody.
constexpr std::size_t kShownNameLength = 40;

void append(platform::Hmenu menu, std::uint32_t flags, std::uintptr_t id, const char16_t* label) {
  platform::InsertMenuW(menu, static_cast<std::uint32_t>(-1), platform::MF_BYPOSITION | flags, id, label);
}

// "2026-12-09 10:41  name": the minute is enough to tell the uploads apart.
std::u16string entryLabel(const RecentUpload& entry) {
  std::u16string label(entry.time.begin(), entry.time.begin() + 16);
  label += u"  ";
  const std::string_view name = RecentName(entry);
  for (std::size_t i = 0; i < name.size() && i < kShownNameLength; ++i) {
    if (name[i] == '&') label += u'&';  // a menu takes "&" for a mnemonic
    label += static_cast<char16_t>(name[i]);
  }
  if (name.size() > kShownNameLength) label += u"...";
  return label;
}

std::u16string widen(std::string_view text) { return std::u16string(text.begin(), text.end()); }

// Asks, then sends the delete request until it is answered or the user gives up.
void deleteFromService(const RecentUpload& entry) {
  const std::u16string link = widen(entry.link);
  const std::u16string question = u"Delete this picture from the service?\n\n" + link;
  if (platform::MessageBoxW(app.mainWindow, question.c_str(), u"Corvane Tool",
                            platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES)
    return;
  // The entry was checked as a link of this service when it was read.
  const std::optional<ServiceAddress> service = ParseServiceAddress(widen(entry.service));
  if (!service) return;
  for (;;) {
    const DeleteResult result = DeleteFromService(*service, RecentName(entry), entry.deleteKey);
    if (result.answer == DeleteAnswer::Deleted) {
      ForgetUpload(entry);
      ShowBalloon(app.mainWindow, u"Deleted", link);
      return;
    }
    if (result.answer == DeleteAnswer::Gone) {
      ForgetUpload(entry);
      ShowBalloon(app.mainWindow, u"The service no longer has this picture", link);
      return;
    }
    const std::u16string text = u"Could not delete the picture\n" + ExchangeFailureReason(result.exchange);
    if (platform::MessageBoxW(app.mainWindow, text.c_str(), u"Error",
                              platform::MB_RETRYCANCEL | platform::MB_ICONERROR) != platform::IDRETRY)
      return;
  }
}

}  // namespace

platform::Hmenu buildRecentMenu() {
  platform::Hmenu menu = platform::CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  const std::vector<RecentUpload> entries = ReadRecentUploads();
  if (entries.empty()) append(menu, platform::MF_GRAYED, 0, u"No uploads yet");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    platform::Hmenu actions = platform::CreatePopupMenu();
    if (actions == nullptr) continue;
    const std::uintptr_t first = IDM_RECENT_FIRST + 4 * i;
    append(actions, 0, first + RecentCopyLink, u"&Copy link");
    append(actions, 0, first + RecentOpen, u"&Open");
    if (!entries[i].deleteKey.empty()) append(actions, 0, first + RecentDelete, u"&Delete from service");
    const std::u16string label = entryLabel(entries[i]);
    // The menu owns its submenus once they are in it, and destroys them with itself.
    if (!platform::InsertMenuW(menu, static_cast<std::uint32_t>(-1), platform::MF_BYPOSITION | platform::MF_POPUP,
                               reinterpret_cast<std::uintptr_t>(actions), label.c_str()))
      platform::DestroyMenu(actions);
  }
  append(menu, platform::MF_SEPARATOR, 0, nullptr);
  append(menu, entries.empty() ? platform::MF_GRAYED : 0, IDM_CLEAR_RECENT, u"C&lear recent uploads");
  return menu;
}

bool runRecentCommand(std::uint32_t id) {
  if (id == IDM_CLEAR_RECENT) {
    ClearRecentUploads();
    return true;
  }
  if (id < IDM_RECENT_FIRST || id >= IDM_RECENT_FIRST + 4 * kRecentUploadsKept) return false;
  const std::size_t index = (id - IDM_RECENT_FIRST) / 4;
  const std::uint32_t action = (id - IDM_RECENT_FIRST) % 4;
  // Read again: only what still holds up now is copied, opened or deleted.
  const std::vector<RecentUpload> entries = ReadRecentUploads();
  if (index >= entries.size()) return true;
  const RecentUpload& entry = entries[index];
  if (action == RecentCopyLink) {
    CopyTextToClipboard(app.mainWindow, entry.link);
  } else if (action == RecentOpen) {
    OpenLink(entry.link.c_str());
  } else if (action == RecentDelete && !entry.deleteKey.empty()) {
    const ModalScope modal(capture());
    if (modal) deleteFromService(entry);
  }
  return true;
}

}  // namespace corvane

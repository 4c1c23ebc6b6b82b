// Simulated common dialogs: the open dialog keeps what it was given and, when
// scripted to confirm, writes the chosen path into the caller's buffer.
#include "platform/comdlg32.h"
#include "tests/sim/sim.h"

namespace {
sim::OpenDialogSeen g_seen;
std::u16string g_chosen;
const bool g_registered = (sim::onReset([] {
                             g_seen = {};
                             g_chosen.clear();
                           }),
                           true);

std::u16string doubleTerminated(const char16_t* list) {
  std::u16string out;
  if (list == nullptr) return out;
  for (const char16_t* p = list; *p; p += std::char_traits<char16_t>::length(p) + 1)
    out.append(p, std::char_traits<char16_t>::length(p) + 1);
  return out + u'\0';
}
}  // namespace

namespace sim {
void setChosenFile(std::u16string path) { g_chosen = std::move(path); }
const OpenDialogSeen& openDialog() { return g_seen; }
}  // namespace sim

namespace platform {
using sim::record;
using sim::result;

Bool GetOpenFileNameW(OpenFileName* ofn) {
  record("GetOpenFileNameW", ofn->lStructSize, ofn->hwndOwner, ofn->nMaxFile, ofn->lpstrTitle, ofn->Flags);
  g_seen.record = *ofn;
  g_seen.filter = doubleTerminated(ofn->lpstrFilter);
  g_seen.title = ofn->lpstrTitle ? ofn->lpstrTitle : u"";
  g_seen.fileAtOpen = ofn->lpstrFile ? ofn->lpstrFile : u"";
  sim::runModalLoop();
  Bool confirmed = result<Bool>("GetOpenFileNameW", 0);
  if (!confirmed) return 0;
  if (ofn->lpstrFile == nullptr || g_chosen.size() + 1 > ofn->nMaxFile) return 0;  // buffer too small
  sim::copyOut(g_chosen, ofn->lpstrFile, ofn->nMaxFile);
  return confirmed;
}

}  // namespace platform

// Simulated shell32 and the COM apartment calls.
#include "platform/shell32.h"
#include <map>
#include "tests/sim/sim.h"

namespace {
std::vector<sim::Balloon> g_balloons;
std::map<std::pair<platform::Hwnd, std::uint32_t>, sim::TrayIconShown> g_icons;  // shown icons, by window and id
const bool g_registered = (sim::onReset([] {
                             g_balloons.clear();
                             g_icons.clear();
                           }),
                           true);
}  // namespace

namespace sim {
const std::vector<Balloon>& balloons() { return g_balloons; }
int trayIconVersion(platform::Hwnd window, std::uint32_t id) {
  auto it = g_icons.find({window, id});
  return it == g_icons.end() ? -1 : it->second.version;
}
std::vector<TrayIconShown> trayIcons() {
  std::vector<TrayIconShown> out;
  for (const auto& [key, icon] : g_icons) out.push_back(icon);
  return out;
}
void restartShell() { g_icons.clear(); }
void showTrayIcon(platform::Hwnd window, std::uint32_t id) {
  g_icons.emplace(std::make_pair(window, id), TrayIconShown{window, id, 0, 0, 0, nullptr, {}, 4});
}
}  // namespace sim

namespace platform {
using sim::record;
using sim::result;

Bool Shell_NotifyIconW(std::uint32_t message, NotifyIconData* data) {
  record("Shell_NotifyIconW", message, data->cbSize, data->hWnd, data->uID, data->uFlags, data->uCallbackMessage,
         data->szTip);
  // A shell not ready yet (scripted 0) takes nothing and shows nothing.
  if (!result<Bool>("Shell_NotifyIconW", 1)) return 0;
  const std::pair<Hwnd, std::uint32_t> icon{data->hWnd, data->uID};
  if (message == NIM_ADD)
    return g_icons
        .emplace(icon, sim::TrayIconShown{data->hWnd, data->uID, data->cbSize, data->uFlags, data->uCallbackMessage,
                                          data->hIcon, data->szTip, 0})
        .second;
  if (message == NIM_DELETE) return g_icons.erase(icon) != 0;
  // An icon that is not shown can be neither changed nor made to speak.
  if (!g_icons.count(icon)) return 0;
  // An empty text takes a balloon away and shows none.
  if (message == NIM_MODIFY && (data->uFlags & NIF_INFO) != 0 && data->szInfo[0] != 0)
    g_balloons.push_back({data->szInfoTitle, data->szInfo, data->dwInfoFlags});
  if (message == NIM_SETVERSION) g_icons[icon].version = static_cast<int>(data->uTimeoutOrVersion);
  return 1;
}

}  // namespace platform

// Simulated user32: windows, messages, hot keys, menus, cursors, message boxes.
// State is kept where the logic depends on it: windows (procedure, visibility,
// rectangle, pending paint), the thread's message queue, hot keys and mouse capture.
#include "platform/user32.h"
#include "platform/dwmapi.h"
#include <algorithm>
#include <iterator>
#include <map>
#include <ostream>
#include "platform/kernel32.h"
#include <set>
#include <utility>
#include "tests/sim/gdi_objects.h"
#include "tests/sim/sim.h"

namespace {
using platform::Hwnd;
struct Window {
  platform::WindowProc proc;
  Hwnd owner;
  bool visible;
  bool needsPaint;
  platform::Rect rect;
  bool topmost = false;
  // What the next paint covers: the union of the invalidated parts, or all of it.
  platform::Rect dirty{};
  bool dirtyAll = false, hasDirty = false;
  sim::WindowMade made{};
};
// Other programs' top-level windows, below ours, the top one first.
struct OtherWindow {
  Hwnd handle;
  sim::OtherWindow is;
};
std::vector<OtherWindow> g_others;
const std::vector<platform::Rect> kOneMonitor{{0, 0, 1920, 1080}};
std::vector<platform::Rect> g_monitors = kOneMonitor;
std::map<std::u16string, sim::WindowClass> g_classes;
std::map<Hwnd, Window> g_windows;
std::deque<platform::Msg> g_queue;
std::set<std::int32_t> g_hotKeys;
std::map<std::int32_t, std::pair<std::uint32_t, std::uint32_t>> g_hotKeyChords;  // id -> modifiers, key
std::set<std::pair<std::uint32_t, std::uint32_t>> g_heldElsewhere;           // without MOD_NOREPEAT
std::map<platform::Hmenu, std::vector<sim::MenuItem>> g_menus;
std::set<platform::Hmenu> g_liveMenus;
std::vector<sim::ShownMenu> g_shownMenus;
std::set<std::int32_t> g_repeating;  // hot keys registered without MOD_NOREPEAT
std::map<const void*, sim::Image> g_images;  // icons and cursors loaded, while they live
std::set<platform::Hicon> g_ownedIcons;      // of those, the ones LoadImageW made
std::function<void()> g_waiting;
Hwnd g_capture = nullptr;
std::map<Hwnd, std::set<std::uintptr_t>> g_timers;
Hwnd g_foreground = nullptr;
platform::Point g_cursor{400, 300};
std::vector<sim::Box> g_boxes;

const bool g_registered = (sim::onReset([] {
                             g_classes.clear();
                             g_windows.clear();
                             g_queue.clear();
                             g_hotKeys.clear();
                             g_boxes.clear();
                             g_hotKeyChords.clear();
                             g_heldElsewhere.clear();
                             g_menus.clear();
                             g_liveMenus.clear();
                             g_shownMenus.clear();
                             g_repeating.clear();
                             g_images.clear();
                             g_ownedIcons.clear();
                             g_waiting = nullptr;
                             g_capture = nullptr;
                             g_timers.clear();
                             g_foreground = nullptr;
                             g_cursor = {400, 300};
                             g_others.clear();
                             g_monitors = kOneMonitor;
                           }),
                           true);

Window* find(Hwnd window) {
  auto it = g_windows.find(window);
  return it == g_windows.end() ? nullptr : &it->second;
}
const sim::OtherWindow* findOther(Hwnd window) {
  for (const auto& o : g_others)
    if (o.handle == window) return &o.is;
  return nullptr;
}
bool forgetMenu(platform::Hmenu menu) {
  if (!g_liveMenus.erase(menu)) return false;
  for (const sim::MenuItem& item : g_menus[menu])
    if (item.flags & platform::MF_POPUP) forgetMenu(reinterpret_cast<platform::Hmenu>(item.id));
  return true;
}
void invalidateAll(Window& w) {
  w.needsPaint = true;
  w.dirtyAll = true;
}
// Sent messages run the window procedure at once, as on the platform.
platform::Lresult deliver(Hwnd window, std::uint32_t message, platform::Wparam wParam, platform::Lparam lParam) {
  Window* w = find(window);
  return w != nullptr && w->proc != nullptr ? w->proc(window, message, wParam, lParam) : 0;
}
void post(Hwnd window, std::uint32_t message, platform::Wparam wParam, platform::Lparam lParam) {
  platform::Msg m{};
  m.hwnd = window;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  g_queue.push_back(m);
}
}  // namespace

namespace sim {
bool windowVisible(platform::Hwnd window) {
  Window* w = find(window);
  return w != nullptr && w->visible;
}
platform::Rect windowRect(platform::Hwnd window) {
  Window* w = find(window);
  return w != nullptr ? w->rect : platform::Rect{};
}
bool windowExists(platform::Hwnd window) { return find(window) != nullptr; }
std::optional<WindowClass> windowClass(std::u16string_view name) {
  auto it = g_classes.find(std::u16string(name));
  if (it == g_classes.end()) return std::nullopt;
  return it->second;
}
std::vector<WindowMade> windows() {
  std::vector<WindowMade> out;
  for (const auto& [h, w] : g_windows) out.push_back(w.made);
  return out;
}
std::optional<Image> imageOf(const void* iconOrCursor) {
  auto it = g_images.find(iconOrCursor);
  if (it == g_images.end()) return std::nullopt;
  return it->second;
}
std::vector<platform::Hicon> iconsHeld() { return {g_ownedIcons.begin(), g_ownedIcons.end()}; }
void whileWaiting(std::function<void()> fn) { g_waiting = std::move(fn); }
bool hotKeyRepeats(std::int32_t id) { return g_repeating.count(id) != 0; }
const std::vector<ShownMenu>& shownMenus() { return g_shownMenus; }
int menusHeld() { return static_cast<int>(g_liveMenus.size()); }
bool hotKeyRegistered(std::int32_t id) { return g_hotKeys.count(id) != 0; }
bool timerRunning(platform::Hwnd window, std::uintptr_t id) { return g_timers[window].count(id) != 0; }
std::optional<std::pair<std::uint32_t, std::uint32_t>> hotKeyOf(std::int32_t id) {
  auto it = g_hotKeyChords.find(id);
  if (it == g_hotKeyChords.end()) return std::nullopt;
  return it->second;
}
void holdHotKeyElsewhere(std::uint32_t modifiers, std::uint32_t key) { g_heldElsewhere.insert({modifiers, key}); }
const std::vector<MenuItem>& menuItems(platform::Hmenu menu) { return g_menus[menu]; }
platform::Hwnd capturedWindow() { return g_capture; }
platform::Hwnd foregroundWindow() { return g_foreground; }
bool windowTopmost(platform::Hwnd window) {
  Window* w = find(window);
  return w != nullptr && w->topmost;
}
platform::Point cursorPos() { return g_cursor; }
void setCursorPos(platform::Point at) { g_cursor = at; }
void takeCapture(platform::Hwnd other) {
  Hwnd was = g_capture;
  g_capture = other;
  if (was != nullptr && was != other) deliver(was, platform::WM_CAPTURECHANGED, 0, reinterpret_cast<platform::Lparam>(other));
}
void queueMessage(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam, platform::Lparam lParam) {
  post(window, message, wParam, lParam);
}
std::size_t queuedMessages(bool countNull) {
  std::size_t n = 0;
  for (const auto& m : g_queue) n += countNull || m.message != platform::WM_NULL;
  return n;
}
void dropQueuedMessages() { g_queue.clear(); }
platform::Hwnd putOtherWindow(const OtherWindow& window) {
  const auto h = sim::handle<Hwnd>();
  g_others.insert(g_others.begin(), ::OtherWindow{h, window});
  return h;
}
void setMonitors(std::vector<platform::Rect> monitors) { g_monitors = std::move(monitors); }
std::vector<platform::Rect> paintAreas(platform::Hdc source) {
  std::vector<platform::Rect> areas;
  for (const auto& c : log())
    if (c.name == "BitBlt" && c.args[5] == arg(static_cast<const void*>(source))) {
      const int x = std::stoi(c.args[1]), y = std::stoi(c.args[2]);
      areas.push_back({x, y, x + std::stoi(c.args[3]), y + std::stoi(c.args[4])});
    }
  return areas;
}
void runModalLoop() {
  while (!g_queue.empty() && g_queue.front().message != platform::WM_QUIT) {
    platform::Msg m = g_queue.front();
    g_queue.pop_front();
    deliver(m.hwnd, m.message, m.wParam, m.lParam);
  }
}
}  // namespace sim

namespace platform {
using sim::record;
using sim::result;

std::uint16_t RegisterClassW(const WndClass* wc) {
  record("RegisterClassW", wc->lpszClassName, wc->style, wc->hIcon, wc->hCursor, wc->hbrBackground,
         wc->lpszMenuName, wc->cbClsExtra, wc->cbWndExtra);
  auto atom = result<std::uint16_t>("RegisterClassW", 0xC001);
  if (atom != 0)
    g_classes[wc->lpszClassName] = {wc->lpfnWndProc, wc->style, wc->hInstance, wc->hIcon, wc->hCursor, wc->hbrBackground};
  return atom;
}
Hwnd CreateWindowExW(std::uint32_t exStyle, const char16_t* className, const char16_t* title, std::uint32_t style,
                     std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Hwnd parent, Hmenu menu,
                     Hinstance instance, void* param) {
  record("CreateWindowExW", exStyle, className, title, style, x, y, width, height, parent, menu, instance, param);
  std::int64_t r;
  if (sim::scripted("CreateWindowExW", &r)) return reinterpret_cast<Hwnd>(r);
  auto cls = g_classes.find(className);
  // The system's own classes need no registering; their windows answer nothing here.
  const bool system = std::u16string_view(className) == u"Static";
  if (cls == g_classes.end() && !system) return nullptr;  // class not registered
  auto h = sim::handle<Hwnd>();
  Window& w = g_windows[h] = {system ? nullptr : cls->second.proc, parent, false, false, {x, y, x + width, y + height}};
  w.made = {h, className, exStyle, style, w.rect, parent, instance};
  return h;
}
Bool DestroyWindow(Hwnd window) {
  record("DestroyWindow", window);
  if (find(window) == nullptr) return 0;
  for (auto it = g_windows.begin(); it != g_windows.end();)  // owned windows go first
    it = it->second.owner == window ? g_windows.erase(it) : std::next(it);
  deliver(window, WM_DESTROY, 0, 0);
  g_windows.erase(window);
  if (g_capture == window) g_capture = nullptr;
  return 1;
}
Bool MoveWindow(Hwnd window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Bool repaint) {
  record("MoveWindow", window, x, y, width, height, repaint);
  Window* w = find(window);
  if (w == nullptr) return 0;
  w->rect = {x, y, x + width, y + height};
  return 1;
}
Bool ShowWindow(Hwnd window, std::int32_t command) {
  record("ShowWindow", window, command);
  Window* w = find(window);
  if (w == nullptr) return 0;
  bool was = w->visible;
  w->visible = command != SW_HIDE;
  // SW_SHOW activates the window: it takes the keyboard (SW_SHOWNA does not).
  if (command == SW_SHOW) g_foreground = window;
  if (w->visible && !was) invalidateAll(*w);
  return was ? 1 : 0;
}
// Place, size, showing and hiding; a window is topmost once placed there.
Bool SetWindowPos(Hwnd window, Hwnd insertAfter, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height, std::uint32_t flags) {
  record("SetWindowPos", window, insertAfter, x, y, width, height, flags);
  Window* w = find(window);
  if (w == nullptr) return 0;
  if (!(flags & SWP_NOMOVE)) w->rect = {x, y, x + (w->rect.right - w->rect.left), y + (w->rect.bottom - w->rect.top)};
  if (!(flags & SWP_NOSIZE)) w->rect = {w->rect.left, w->rect.top, w->rect.left + width, w->rect.top + height};
  if (!(flags & SWP_NOZORDER) && insertAfter == HWND_TOPMOST) w->topmost = true;
  if (flags & SWP_HIDEWINDOW) w->visible = false;
  if ((flags & SWP_SHOWWINDOW) && !w->visible) {
    w->visible = true;
    invalidateAll(*w);
  }
  if ((flags & SWP_SHOWWINDOW) && !(flags & SWP_NOACTIVATE)) g_foreground = window;
  return 1;
}
Bool UpdateWindow(Hwnd window) {
  record("UpdateWindow", window);
  Window* w = find(window);
  if (w == nullptr) return 0;
  if (w->visible && w->needsPaint) {
    w->needsPaint = false;
    deliver(window, WM_PAINT, 0, 0);
  }
  return 1;
}
Bool SetLayeredWindowAttributes(Hwnd window, std::uint32_t colorKey, std::uint8_t alpha, std::uint32_t flags) {
  record("SetLayeredWindowAttributes", window, colorKey, alpha, flags);
  if (Window* w = find(window)) {
    w->made.colorKey = colorKey;
    w->made.alpha = alpha;
    w->made.layeredFlags = flags;
  }
  return 1;
}
std::int32_t GetSystemMetrics(std::int32_t index) {
  record("GetSystemMetrics", index);
  std::int32_t fallback = index == SM_CXVIRTUALSCREEN ? 1920 : index == SM_CYVIRTUALSCREEN ? 1080 : 0;
  return result<std::int32_t>("GetSystemMetrics", fallback);
}
Bool GetClientRect(Hwnd window, Rect* rect) {
  record("GetClientRect", window);
  Window* w = find(window);
  *rect = w != nullptr ? Rect{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top} : Rect{0, 0, 300, 300};
  return 1;
}
Hicon LoadIconW(Hinstance instance, const char16_t* name) {
  record("LoadIconW", instance, name);
  auto icon = sim::handle<Hicon>();
  g_images[icon] = {instance, reinterpret_cast<std::uintptr_t>(name), 0};
  return icon;
}
Hcursor LoadCursorW(Hinstance instance, const char16_t* name) {
  record("LoadCursorW", instance, name);
  auto cursor = sim::handle<Hcursor>();
  g_images[cursor] = {instance, reinterpret_cast<std::uintptr_t>(name), 0};
  return cursor;
}
Hicon LoadImageIconW(Hinstance instance, const char16_t* name, std::uint32_t type, std::int32_t cx, std::int32_t cy,
                     std::uint32_t flags) {
  record("LoadImageW", instance, name, type, cx, cy, flags);
  auto icon = sim::handle<Hicon>();
  g_images[icon] = {instance, reinterpret_cast<std::uintptr_t>(name), cx};
  g_ownedIcons.insert(icon);
  return icon;
}
Lresult DefWindowProcW(Hwnd window, std::uint32_t message, Wparam wParam, Lparam lParam) {
  record("DefWindowProcW", window, message, static_cast<std::uint64_t>(wParam), static_cast<std::int64_t>(lParam));
  return 0;
}
// Takes the queued messages in order; an empty queue reads as WM_QUIT with code 0.
Bool GetMessageW(Msg* msg, Hwnd window, std::uint32_t first, std::uint32_t last) {
  record("GetMessageW", window, first, last);
  std::int64_t r;
  if (sim::scripted("GetMessageW", &r)) return static_cast<Bool>(r);
  *msg = {};
  msg->message = WM_QUIT;
  if (g_queue.empty() && g_waiting) g_waiting();
  if (!g_queue.empty()) {
    *msg = g_queue.front();
    g_queue.pop_front();
  }
  return msg->message == WM_QUIT ? 0 : 1;
}
// A key that types a character posts it, as WM_CHAR: letters (unshifted), digits and the space here.
Bool TranslateMessage(const Msg* msg) {
  record("TranslateMessage", msg->message);
  if (msg->message != WM_KEYDOWN) return 0;
  const auto key = msg->wParam;
  const bool letter = key >= 'A' && key <= 'Z', typed = letter || (key >= '0' && key <= '9') || key == ' ';
  if (typed) post(msg->hwnd, WM_CHAR, letter ? key - 'A' + 'a' : key, msg->lParam);
  return typed ? 1 : 0;
}
Lresult DispatchMessageW(const Msg* msg) {
  record("DispatchMessageW", msg->hwnd, msg->message);
  return deliver(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}
Lresult SendMessageW(Hwnd window, std::uint32_t message, Wparam wParam, Lparam lParam) {
  record("SendMessageW", window, message, static_cast<std::uint64_t>(wParam), static_cast<std::int64_t>(lParam));
  return deliver(window, message, wParam, lParam);
}
Bool PostMessageW(Hwnd window, std::uint32_t message, Wparam wParam, Lparam lParam) {
  record("PostMessageW", window, message, static_cast<std::uint64_t>(wParam), static_cast<std::int64_t>(lParam));
  post(window, message, wParam, lParam);
  return 1;
}
// Takes (or reads) the first queued message in the range for the window (null:
// any, thread messages included); a range of 0, 0 is every message.
Bool PeekMessageW(Msg* msg, Hwnd window, std::uint32_t first, std::uint32_t last, std::uint32_t remove) {
  record("PeekMessageW", window, first, last, remove);
  for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
    const bool inRange = (first == 0 && last == 0) || (it->message >= first && it->message <= last);
    if (!inRange || (window != nullptr && it->hwnd != window)) continue;
    *msg = *it;
    if (remove & PM_REMOVE) g_queue.erase(it);
    return 1;
  }
  return 0;
}
// No other thread sends us messages here: the wait is the thread's alone.
std::uint32_t MsgWaitForMultipleObjects(std::uint32_t count, const Handle* handles, Bool, std::uint32_t ms,
                                        std::uint32_t wakeMask) {
  record("MsgWaitForMultipleObjects", count, ms, wakeMask);
  return count == 1 ? WaitForSingleObject(handles[0], ms) : 0xFFFFFFFFu;
}
std::uint32_t RegisterWindowMessageW(const char16_t* name) {
  record("RegisterWindowMessageW", name);
  return result<std::uint32_t>("RegisterWindowMessageW", 0xC0DE);
}
Bool DestroyIcon(Hicon icon) {
  record("DestroyIcon", icon);
  g_ownedIcons.erase(icon);
  return g_images.erase(icon) != 0;
}
void PostQuitMessage(std::int32_t exitCode) {
  record("PostQuitMessage", exitCode);
  post(nullptr, WM_QUIT, static_cast<Wparam>(exitCode), 0);
}
// A key combination held already cannot be registered again.
Bool RegisterHotKey(Hwnd window, std::int32_t id, std::uint32_t modifiers, std::uint32_t key) {
  record("RegisterHotKey", window, id, modifiers, key);
  if (!result<Bool>("RegisterHotKey", 1) || g_hotKeys.count(id)) return 0;
  const std::pair<std::uint32_t, std::uint32_t> chord{modifiers & ~MOD_NOREPEAT, key};
  if (g_heldElsewhere.count(chord)) return 0;
  for (const auto& [other, held] : g_hotKeyChords)
    if (held == chord) return 0;
  g_hotKeys.insert(id);
  g_hotKeyChords[id] = chord;
  if (!(modifiers & MOD_NOREPEAT)) g_repeating.insert(id);
  return 1;
}
Bool UnregisterHotKey(Hwnd window, std::int32_t id) {
  record("UnregisterHotKey", window, id);
  g_hotKeyChords.erase(id);
  g_repeating.erase(id);
  return g_hotKeys.erase(id) ? 1 : 0;
}
Hmenu CreatePopupMenu() {
  record("CreatePopupMenu");
  std::int64_t r;
  if (sim::scripted("CreatePopupMenu", &r)) return reinterpret_cast<Hmenu>(r);
  return *g_liveMenus.insert(sim::handle<Hmenu>()).first;
}
// The entries stay readable (menuItems); the menu and its submenus are gone.
Bool DestroyMenu(Hmenu menu) {
  record("DestroyMenu", menu);
  return forgetMenu(menu) ? 1 : 0;
}
Bool InsertMenuW(Hmenu menu, std::uint32_t position, std::uint32_t flags, std::uintptr_t id, const char16_t* label) {
  record("InsertMenuW", menu, position, flags, static_cast<std::uint64_t>(id), label);
  g_menus[menu].push_back({flags, id, label != nullptr ? std::u16string(label) : std::u16string()});
  return 1;
}
// A menu runs its own loop while it is up: queued messages are dispatched. A
// scripted result is the entry the user picks (unscripted: dismissed): returned
// with TPM_RETURNCMD, else posted to the window as WM_COMMAND, as the platform
// does once the menu has closed.
Bool TrackPopupMenu(Hmenu menu, std::uint32_t flags, std::int32_t x, std::int32_t y, std::int32_t reserved,
                    Hwnd window, const Rect*) {
  record("TrackPopupMenu", menu, flags, x, y, reserved, window);
  if (!g_liveMenus.count(menu)) return 0;
  g_shownMenus.push_back({g_menus[menu], {x, y}, flags, window, g_foreground});
  sim::runModalLoop();
  std::int64_t chosen = 0;
  const bool picked = sim::scripted("TrackPopupMenu", &chosen);
  if (flags & TPM_RETURNCMD) return static_cast<Bool>(chosen);
  if (picked) post(window, WM_COMMAND, static_cast<Wparam>(chosen), 0);
  return 1;
}
Bool SetForegroundWindow(Hwnd window) {
  record("SetForegroundWindow", window);
  g_foreground = window;
  return 1;
}
Bool GetCursorPos(Point* point) {
  record("GetCursorPos");
  *point = g_cursor;
  return 1;
}
Bool SetCursorPos(std::int32_t x, std::int32_t y) {
  record("SetCursorPos", x, y);
  g_cursor = {x, y};
  return 1;
}
std::int16_t GetKeyState(std::int32_t key) {
  record("GetKeyState", key);
  return result<std::int16_t>("GetKeyState", 0);
}
// The window that loses the mouse is told, as the platform tells it, before the call returns.
Hwnd SetCapture(Hwnd window) {
  record("SetCapture", window);
  Hwnd previous = g_capture;
  g_capture = window;
  if (previous != nullptr && previous != window)
    deliver(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<Lparam>(window));
  return previous;
}
Bool ReleaseCapture() {
  record("ReleaseCapture");
  Hwnd previous = std::exchange(g_capture, nullptr);
  if (previous != nullptr) deliver(previous, WM_CAPTURECHANGED, 0, 0);
  return 1;
}
Hcursor SetCursor(Hcursor cursor) { record("SetCursor", cursor); return nullptr; }
std::int32_t ShowCursor(Bool show) { record("ShowCursor", show); return 0; }
// A message box runs its own loop while it is up: queued messages are dispatched.
std::int32_t MessageBoxW(Hwnd owner, const char16_t* text, const char16_t* caption, std::uint32_t type) {
  record("MessageBoxW", owner, text, caption, type);
  g_boxes.push_back({owner, text ? text : u"", caption ? caption : u"", type});
  sim::runModalLoop();
  if (g_waiting) g_waiting();
  return result<std::int32_t>("MessageBoxW", 1);
}
Bool InvalidateRect(Hwnd window, const Rect* rect, Bool erase) {
  record("InvalidateRect", window, rect ? rect->left : -1, rect ? rect->top : -1, rect ? rect->right : -1,
         rect ? rect->bottom : -1, erase);
  if (Window* w = find(window)) {
    if (rect == nullptr) {
      invalidateAll(*w);
    } else if (!w->hasDirty) {
      w->dirty = *rect;
    } else {
      w->dirty = {std::min(w->dirty.left, rect->left), std::min(w->dirty.top, rect->top),
                  std::max(w->dirty.right, rect->right), std::max(w->dirty.bottom, rect->bottom)};
    }
    w->hasDirty = rect != nullptr || w->hasDirty;
    w->needsPaint = true;
  }
  return 1;
}
std::int32_t FillRect(Hdc dc, const Rect* rect, Hgdiobj brush) {
  record("FillRect", dc, rect->left, rect->top, rect->right, rect->bottom, brush);
  return 1;
}
Bool SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* value, std::uint32_t winIni) {
  record("SystemParametersInfoW", action, param, winIni);
  if (action != SPI_GETNONCLIENTMETRICS || value == nullptr) return 0;
  auto* metrics = static_cast<NonClientMetrics*>(value);
  if (metrics->cbSize != sizeof *metrics) return 0;
  const char16_t face[] = u"Message Font";
  std::copy(std::begin(face), std::end(face), metrics->lfMessageFont.lfFaceName);
  metrics->lfMessageFont.lfHeight = -12;
  return 1;
}
// One monitor, the 1920 x 1080 screen at (0, 0), unless a test says otherwise.
// The monitor that holds the point, else the nearest (by the distance to its rectangle).
Hmonitor MonitorFromPoint(Point point, std::uint32_t flags) {
  record("MonitorFromPoint", point.x, point.y, flags);
  std::size_t best = 0;
  std::int64_t bestDistance = -1;
  for (std::size_t i = 0; i < g_monitors.size(); ++i) {
    const Rect& m = g_monitors[i];
    const std::int64_t dx = point.x < m.left ? m.left - point.x : point.x >= m.right ? point.x - m.right + 1 : 0;
    const std::int64_t dy = point.y < m.top ? m.top - point.y : point.y >= m.bottom ? point.y - m.bottom + 1 : 0;
    if (bestDistance < 0 || dx * dx + dy * dy < bestDistance) {
      best = i;
      bestDistance = dx * dx + dy * dy;
    }
  }
  return reinterpret_cast<Hmonitor>(best + 1);
}
Bool GetMonitorInfoW(Hmonitor monitor, MonitorInfo* info) {
  record("GetMonitorInfoW", static_cast<const void*>(monitor));
  const auto index = reinterpret_cast<std::uintptr_t>(monitor);
  if (info->cbSize != sizeof *info || index == 0 || index > g_monitors.size()) return 0;
  info->rcMonitor = info->rcWork = g_monitors[index - 1];
  info->dwFlags = index == 1 ? 1 : 0;
  return 1;
}
Hdc GetDC(Hwnd window) {
  record("GetDC", window);
  auto dc = sim::handle<Hdc>();
  sim::gdi::made(dc, window == nullptr ? sim::gdi::Kind::ScreenDc : sim::gdi::Kind::WindowDc, window);
  return dc;
}
std::int32_t ReleaseDC(Hwnd window, Hdc dc) {
  record("ReleaseDC", window, dc);
  auto kind = window == nullptr ? sim::gdi::Kind::ScreenDc : sim::gdi::Kind::WindowDc;
  return sim::gdi::releaseDc(dc, kind, window) ? 1 : 0;
}
Hdc BeginPaint(Hwnd window, PaintStruct* paint) {
  record("BeginPaint", window);
  *paint = {};
  if (Window* w = find(window)) {
    const Rect all{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    paint->rcPaint = w->dirtyAll || !w->hasDirty ? all : w->dirty;
    w->needsPaint = false;
    w->dirtyAll = w->hasDirty = false;
  }
  paint->hdc = sim::handle<Hdc>();
  sim::gdi::made(paint->hdc, sim::gdi::Kind::PaintDc, window);
  return paint->hdc;
}
Bool EndPaint(Hwnd window, const PaintStruct* paint) {
  record("EndPaint", window);
  return sim::gdi::releaseDc(paint->hdc, sim::gdi::Kind::PaintDc, window) ? 1 : 0;
}

Hwnd FindWindowW(const char16_t* className, const char16_t* title) {
  record("FindWindowW", className, title);
  std::int64_t found = 0;
  return sim::scripted("FindWindowW", &found) ? reinterpret_cast<Hwnd>(found) : nullptr;
}
// 96 DPI (100 %) unless a test scripts another; metrics at a DPI scale the 96-DPI ones.
std::uint32_t GetDpiForWindow(Hwnd window) {
  record("GetDpiForWindow", window);
  return result<std::uint32_t>("GetDpiForWindow", 96);
}
std::uint32_t GetDpiForSystem() {
  record("GetDpiForSystem");
  return result<std::uint32_t>("GetDpiForSystem", 96);
}
std::int32_t GetSystemMetricsForDpi(std::int32_t index, std::uint32_t dpi) {
  record("GetSystemMetricsForDpi", index, dpi);
  const std::int32_t at96 = index == SM_CXSMICON ? 16 : 0;
  return static_cast<std::int32_t>(at96 * dpi / 96);
}
std::uintptr_t SetTimer(Hwnd window, std::uintptr_t id, std::uint32_t elapseMs, void*) {
  record("SetTimer", window, static_cast<std::uint64_t>(id), elapseMs);
  g_timers[window].insert(id);
  return id;
}
Bool KillTimer(Hwnd window, std::uintptr_t id) {
  record("KillTimer", window, static_cast<std::uint64_t>(id));
  return g_timers[window].erase(id) != 0;
}
Bool ChangeWindowMessageFilterEx(Hwnd window, std::uint32_t message, std::uint32_t action, void*) {
  record("ChangeWindowMessageFilterEx", window, message, action);
  Window* w = find(window);
  if (w == nullptr) return 0;
  auto& through = w->made.letThrough;
  std::erase(through, message);
  if (action == MSGFLT_ALLOW) through.push_back(message);
  return 1;
}

// Dialogs: the dialog manager's own loop is not simulated; a dialog answers
// what the test scripted (Cancel by default) without running its procedure.
std::intptr_t DialogBoxParamW(Hinstance, const char16_t* templateName, Hwnd owner, DialogProc, Lparam) {
  record("DialogBoxParamW", static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(templateName)), owner);
  return result<std::intptr_t>("DialogBoxParamW", IDCANCEL);
}
std::intptr_t DialogBoxIndirectParamW(Hinstance, const void*, Hwnd owner, DialogProc, Lparam) {
  record("DialogBoxIndirectParamW", owner);
  return result<std::intptr_t>("DialogBoxIndirectParamW", IDCANCEL);
}
Bool EndDialog(Hwnd dialog, std::intptr_t answer) {
  record("EndDialog", dialog, static_cast<std::int64_t>(answer));
  return 1;
}
Hwnd GetDlgItem(Hwnd dialog, std::int32_t id) {
  record("GetDlgItem", dialog, id);
  return nullptr;
}
Bool SetDlgItemTextW(Hwnd dialog, std::int32_t id, const char16_t* text) {
  record("SetDlgItemTextW", dialog, id, text);
  return 1;
}
std::uint32_t GetDlgItemTextW(Hwnd dialog, std::int32_t id, char16_t* text, std::int32_t capacity) {
  record("GetDlgItemTextW", dialog, id);
  if (capacity > 0) text[0] = 0;
  return 0;
}
Lresult SendDlgItemMessageW(Hwnd dialog, std::int32_t id, std::uint32_t message, Wparam, Lparam) {
  record("SendDlgItemMessageW", dialog, id, message);
  return 0;
}
Bool EnableWindow(Hwnd window, Bool enable) {
  record("EnableWindow", window, enable);
  return 0;
}
Hwnd SetFocus(Hwnd window) {
  record("SetFocus", window);
  return nullptr;
}
// Ours first, as they lie above the others (capture mode's are topmost), then
// the other programs' from the top.
Bool EnumWindows(WindowEnumProc proc, Lparam lParam) {
  record("EnumWindows");
  std::vector<Hwnd> order;
  for (const auto& [h, w] : g_windows) order.push_back(h);
  for (const auto& o : g_others) order.push_back(o.handle);
  for (Hwnd h : order)
    if (!proc(h, lParam)) break;
  return 1;
}
Bool IsWindowVisible(Hwnd window) {
  if (const auto* o = findOther(window)) return o->visible;
  return sim::windowVisible(window);
}
Bool IsIconic(Hwnd window) {
  const auto* o = findOther(window);
  return o != nullptr && o->minimised;
}
Bool GetWindowRect(Hwnd window, Rect* rect) {
  if (const auto* o = findOther(window)) {
    *rect = o->rect;
    return 1;
  }
  if (Window* w = find(window)) {
    *rect = w->rect;
    return 1;
  }
  return 0;
}
std::int32_t GetWindowLongW(Hwnd window, std::int32_t index) {
  const auto* o = findOther(window);
  return o != nullptr && index == GWL_EXSTYLE ? static_cast<std::int32_t>(o->exStyle) : 0;
}
std::uint32_t GetWindowThreadProcessId(Hwnd window, std::uint32_t* processId) {
  const std::uint32_t process = findOther(window) != nullptr ? sim::kOtherProcessId : sim::kOurProcessId;
  if (processId != nullptr) *processId = process;
  return 1;
}
Hwnd GetShellWindow() {
  for (const auto& o : g_others)
    if (o.is.shell) return o.handle;
  return nullptr;
}
// The desktop window manager, here for the windows it describes: a script of
// "DwmGetWindowAttribute" is the HRESULT of the next call (none: composition is off).
std::int32_t DwmGetWindowAttribute(Hwnd window, std::uint32_t attribute, void* value, std::uint32_t size) {
  record("DwmGetWindowAttribute", window, attribute, size);
  const auto failed = result<std::int32_t>("DwmGetWindowAttribute", 0);
  const auto* o = findOther(window);
  if (failed != 0 || o == nullptr) return failed != 0 ? failed : static_cast<std::int32_t>(0x80070057);  // E_INVALIDARG
  if (attribute == DWMWA_EXTENDED_FRAME_BOUNDS && size == sizeof(Rect)) {
    *static_cast<Rect*>(value) = o->frame;
    return 0;
  }
  if (attribute == DWMWA_CLOAKED && size == sizeof(std::uint32_t)) {
    *static_cast<std::uint32_t*>(value) = o->cloaked ? 1 : 0;
    return 0;
  }
  return static_cast<std::int32_t>(0x80070057);
}

}  // namespace platform

namespace sim {
const std::vector<Box>& boxes() { return g_boxes; }
void PrintTo(const Box& box, std::ostream* out) {
  *out << "Box(" << arg(static_cast<const void*>(box.owner)) << ", \"" << utf8(box.text) << "\", \""
       << utf8(box.caption) << "\", " << box.type << ")";
}
}  // namespace sim

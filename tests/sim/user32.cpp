// Simulated user32: windows, messages, hot keys, menus, cursors, message boxes, clipboard.
#include "platform/user32.h"
#include "tests/sim/sim.h"

namespace platform {
using sim::record;
using sim::result;

std::uint16_t RegisterClassW(const WndClass* wc) {
  record("RegisterClassW", wc->lpszClassName, wc->style);
  return result<std::uint16_t>("RegisterClassW", 0xC001);
}
Hwnd CreateWindowExW(std::uint32_t exStyle, const char16_t* className, const char16_t* title, std::uint32_t style,
                     std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Hwnd parent, Hmenu menu,
                     Hinstance instance, void* param) {
  record("CreateWindowExW", exStyle, className, title, style, x, y, width, height, parent, menu, instance, param);
  std::int64_t r;
  if (sim::scripted("CreateWindowExW", &r)) return reinterpret_cast<Hwnd>(r);
  return sim::handle<Hwnd>();
}
Bool DestroyWindow(Hwnd window) { record("DestroyWindow", window); return 1; }
Bool MoveWindow(Hwnd window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Bool repaint) {
  record("MoveWindow", window, x, y, width, height, repaint);
  return 1;
}
Bool ShowWindow(Hwnd window, std::int32_t command) { record("ShowWindow", window, command); return 0; }
Bool UpdateWindow(Hwnd window) { record("UpdateWindow", window); return 1; }
Bool InvalidateRect(Hwnd window, const Rect*, Bool erase) { record("InvalidateRect", window, erase); return 1; }
Bool SetLayeredWindowAttributes(Hwnd window, std::uint32_t colorKey, std::uint8_t alpha, std::uint32_t flags) {
  record("SetLayeredWindowAttributes", window, colorKey, alpha, flags);
  return 1;
}
std::int32_t GetSystemMetrics(std::int32_t index) {
  record("GetSystemMetrics", index);
  std::int32_t fallback = index == SM_CXVIRTUALSCREEN ? 1920 : index == SM_CYVIRTUALSCREEN ? 1080 : 0;
  return result<std::int32_t>("GetSystemMetrics", fallback);
}
Bool GetClientRect(Hwnd window, Rect* rect) {
  record("GetClientRect", window);
  *rect = {0, 0, 300, 300};
  return 1;
}
Hicon LoadIconW(Hinstance instance, const char16_t* name) { record("LoadIconW", instance, name); return sim::handle<Hicon>(); }
Hcursor LoadCursorW(Hinstance instance, const char16_t* name) {
  record("LoadCursorW", instance, name);
  return sim::handle<Hcursor>();
}
Hicon LoadImageIconW(Hinstance instance, const char16_t* name, std::uint32_t type, std::int32_t cx, std::int32_t cy,
                     std::uint32_t flags) {
  record("LoadImageW", instance, name, type, cx, cy, flags);
  return sim::handle<Hicon>();
}
Lresult DefWindowProcW(Hwnd window, std::uint32_t message, Wparam wParam, Lparam lParam) {
  record("DefWindowProcW", window, message, static_cast<std::uint64_t>(wParam), static_cast<std::int64_t>(lParam));
  return 0;
}
Bool GetMessageW(Msg* msg, Hwnd window, std::uint32_t first, std::uint32_t last) {
  record("GetMessageW", window, first, last);
  *msg = {};
  msg->message = WM_QUIT;
  return 0;
}
Bool TranslateMessage(const Msg* msg) { record("TranslateMessage", msg->message); return 0; }
Lresult DispatchMessageW(const Msg* msg) { record("DispatchMessageW", msg->message); return 0; }
Lresult SendMessageW(Hwnd window, std::uint32_t message, Wparam wParam, Lparam lParam) {
  record("SendMessageW", window, message, static_cast<std::uint64_t>(wParam), static_cast<std::int64_t>(lParam));
  return 0;
}
Bool PostMessageW(Hwnd window, std::uint32_t message, Wparam wParam, Lparam lParam) {
  record("PostMessageW", window, message, static_cast<std::uint64_t>(wParam), static_cast<std::int64_t>(lParam));
  return 1;
}
void PostQuitMessage(std::int32_t exitCode) { record("PostQuitMessage", exitCode); }
Bool RegisterHotKey(Hwnd window, std::int32_t id, std::uint32_t modifiers, std::uint32_t key) {
  record("RegisterHotKey", window, id, modifiers, key);
  return result<Bool>("RegisterHotKey", 1);
}
Bool UnregisterHotKey(Hwnd window, std::int32_t id) { record("UnregisterHotKey", window, id); return 1; }
Hmenu CreatePopupMenu() {
  record("CreatePopupMenu");
  std::int64_t r;
  if (sim::scripted("CreatePopupMenu", &r)) return reinterpret_cast<Hmenu>(r);
  return sim::handle<Hmenu>();
}
Bool DestroyMenu(Hmenu menu) { record("DestroyMenu", menu); return 1; }
Bool InsertMenuW(Hmenu menu, std::uint32_t position, std::uint32_t flags, std::uintptr_t id, const char16_t* label) {
  record("InsertMenuW", menu, position, flags, static_cast<std::uint64_t>(id), label);
  return 1;
}
Bool TrackPopupMenu(Hmenu menu, std::uint32_t flags, std::int32_t x, std::int32_t y, std::int32_t reserved,
                    Hwnd window, const Rect*) {
  record("TrackPopupMenu", menu, flags, x, y, reserved, window);
  return 1;
}
Bool SetForegroundWindow(Hwnd window) { record("SetForegroundWindow", window); return 1; }
Bool GetCursorPos(Point* point) {
  record("GetCursorPos");
  *point = {400, 300};
  return 1;
}
Hwnd SetCapture(Hwnd window) { record("SetCapture", window); return nullptr; }
Bool ReleaseCapture() { record("ReleaseCapture"); return 1; }
Hcursor SetCursor(Hcursor cursor) { record("SetCursor", cursor); return nullptr; }
std::int32_t ShowCursor(Bool show) { record("ShowCursor", show); return 0; }
std::int32_t MessageBoxW(Hwnd owner, const char16_t* text, const char16_t* caption, std::uint32_t type) {
  record("MessageBoxW", owner, text, caption, type);
  return result<std::int32_t>("MessageBoxW", 1);
}
Hdc GetDC(Hwnd window) { record("GetDC", window); return sim::handle<Hdc>(); }
std::int32_t ReleaseDC(Hwnd window, Hdc dc) { record("ReleaseDC", window, dc); return 1; }
Hdc BeginPaint(Hwnd window, PaintStruct* paint) {
  record("BeginPaint", window);
  *paint = {};
  paint->hdc = sim::handle<Hdc>();
  return paint->hdc;
}
Bool EndPaint(Hwnd window, const PaintStruct*) { record("EndPaint", window); return 1; }

}  // namespace platform

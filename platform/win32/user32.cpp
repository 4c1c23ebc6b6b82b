#include "platform/user32.h"
#include "platform/win32/win.h"

namespace platform {
using namespace win32;

CORVANE_SAME_LAYOUT(WndClass, WNDCLASSW);
CORVANE_SAME_OFFSET(WndClass, WNDCLASSW, lpszClassName, lpszClassName);
CORVANE_SAME_LAYOUT(Msg, MSG);
CORVANE_SAME_OFFSET(Msg, MSG, pt, pt);
CORVANE_SAME_LAYOUT(PaintStruct, PAINTSTRUCT);
CORVANE_SAME_LAYOUT(Rect, RECT);
CORVANE_SAME_LAYOUT(Point, POINT);

std::uint16_t RegisterClassW(const WndClass* wc) { return ::RegisterClassW(As<const WNDCLASSW*>(wc)); }
Hwnd CreateWindowExW(std::uint32_t exStyle, const char16_t* className, const char16_t* title, std::uint32_t style,
                     std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Hwnd parent, Hmenu menu,
                     Hinstance instance, void* param) {
  return As<Hwnd>(::CreateWindowExW(exStyle, W(className), W(title), style, x, y, width, height, As<HWND>(parent),
                                    As<HMENU>(menu), As<HINSTANCE>(instance), param));
}
Bool DestroyWindow(Hwnd window) { return ::DestroyWindow(As<HWND>(window)); }
Bool MoveWindow(Hwnd window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Bool repaint) {
  return ::MoveWindow(As<HWND>(window), x, y, width, height, repaint);
}
Bool ShowWindow(Hwnd window, std::int32_t command) { return ::ShowWindow(As<HWND>(window), command); }
Bool SetWindowPos(Hwnd window, Hwnd insertAfter, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height, std::uint32_t flags) {
  return ::SetWindowPos(As<HWND>(window), As<HWND>(insertAfter), x, y, width, height, flags);
}
Bool UpdateWindow(Hwnd window) { return ::UpdateWindow(As<HWND>(window)); }
Bool SetLayeredWindowAttributes(Hwnd window, std::uint32_t colorKey, std::uint8_t alpha, std::uint32_t flags) {
  return ::SetLayeredWindowAttributes(As<HWND>(window), colorKey, alpha, flags);
}
std::int32_t GetSystemMetrics(std::int32_t index) { return ::GetSystemMetrics(index); }
Bool GetClientRect(Hwnd window, Rect* rect) { return ::GetClientRect(As<HWND>(window), As<RECT*>(rect)); }
Hicon LoadIconW(Hinstance instance, const char16_t* name) {
  return As<Hicon>(::LoadIconW(As<HINSTANCE>(instance), W(name)));
}
Hcursor LoadCursorW(Hinstance instance, const char16_t* name) {
  return As<Hcursor>(::LoadCursorW(As<HINSTANCE>(instance), W(name)));
}
Hicon LoadImageIconW(Hinstance instance, const char16_t* name, std::uint32_t type, std::int32_t cx, std::int32_t cy,
                     std::uint32_t flags) {
  return As<Hicon>(::LoadImageW(As<HINSTANCE>(instance), W(name), type, cx, cy, flags));
}
Bool DestroyIcon(Hicon icon) { return ::DestroyIcon(As<HICON>(icon)); }
Lresult DefWindowProcW(Hwnd window, std::uint32_t message, Wparam wParam, Lparam lParam) {
  return ::DefWindowProcW(As<HWND>(window), message, wParam, lParam);
}
Bool GetMessageW(Msg* msg, Hwnd window, std::uint32_t first, std::uint32_t last) {
  return ::GetMessageW(As<MSG*>(msg), As<HWND>(window), first, last);
}
Bool TranslateMessage(const Msg* msg) { return ::TranslateMessage(As<const MSG*>(msg)); }
Lresult DispatchMessageW(const Msg* msg) { return ::DispatchMessageW(As<const MSG*>(msg)); }
Lresult SendMessageW(Hwnd window, std::uint32_t message, Wparam wParam, Lparam lParam) {
  return ::SendMessageW(As<HWND>(window), message, wParam, lParam);
}
Bool PostMessageW(Hwnd window, std::uint32_t message, Wparam wParam, Lparam lParam) {
  return ::PostMessageW(As<HWND>(window), message, wParam, lParam);
}
Bool PeekMessageW(Msg* msg, Hwnd window, std::uint32_t first, std::uint32_t last, std::uint32_t remove) {
  return ::PeekMessageW(As<MSG*>(msg), As<HWND>(window), first, last, remove);
}
std::uint32_t MsgWaitForMultipleObjects(std::uint32_t count, const Handle* handles, Bool waitAll, std::uint32_t ms,
                                        std::uint32_t wakeMask) {
  return ::MsgWaitForMultipleObjects(count, As<const HANDLE*>(handles), waitAll, ms, wakeMask);
}
std::uint32_t RegisterWindowMessageW(const char16_t* name) { return ::RegisterWindowMessageW(W(name)); }
void PostQuitMessage(std::int32_t exitCode) { ::PostQuitMessage(exitCode); }
Bool RegisterHotKey(Hwnd window, std::int32_t id, std::uint32_t modifiers, std::uint32_t key) {
  return ::RegisterHotKey(As<HWND>(window), id, modifiers, key);
}
Bool UnregisterHotKey(Hwnd window, std::int32_t id) { return ::UnregisterHotKey(As<HWND>(window), id); }
Hmenu CreatePopupMenu() { return As<Hmenu>(::CreatePopupMenu()); }
Bool DestroyMenu(Hmenu menu) { return ::DestroyMenu(As<HMENU>(menu)); }
Bool InsertMenuW(Hmenu menu, std::uint32_t position, std::uint32_t flags, std::uintptr_t id, const char16_t* label) {
  return ::InsertMenuW(As<HMENU>(menu), position, flags, id, W(label));
}
Bool TrackPopupMenu(Hmenu menu, std::uint32_t flags, std::int32_t x, std::int32_t y, std::int32_t reserved,
                    Hwnd window, const Rect* rect) {
  return ::TrackPopupMenu(As<HMENU>(menu), flags, x, y, reserved, As<HWND>(window), As<const RECT*>(rect));
}
Bool SetForegroundWindow(Hwnd window) { return ::SetForegroundWindow(As<HWND>(window)); }
Bool GetCursorPos(Point* point) { return ::GetCursorPos(As<POINT*>(point)); }
Bool SetCursorPos(std::int32_t x, std::int32_t y) { return ::SetCursorPos(x, y); }
std::int16_t GetKeyState(std::int32_t key) { return ::GetKeyState(key); }
Hwnd SetCapture(Hwnd window) { return As<Hwnd>(::SetCapture(As<HWND>(window))); }
Bool ReleaseCapture() { return ::ReleaseCapture(); }
Hcursor SetCursor(Hcursor cursor) { return As<Hcursor>(::SetCursor(As<HCURSOR>(cursor))); }
std::int32_t ShowCursor(Bool show) { return ::ShowCursor(show); }
std::int32_t MessageBoxW(Hwnd owner, const char16_t* text, const char16_t* caption, std::uint32_t type) {
  return ::MessageBoxW(As<HWND>(owner), W(text), W(caption), type);
}
CORVANE_SAME_LAYOUT(NonClientMetrics, NONCLIENTMETRICSW);
CORVANE_SAME_OFFSET(NonClientMetrics, NONCLIENTMETRICSW, lfMessageFont, lfMessageFont);
CORVANE_SAME_LAYOUT(MonitorInfo, MONITORINFO);
Bool InvalidateRect(Hwnd window, const Rect* rect, Bool erase) {
  return ::InvalidateRect(As<HWND>(window), As<const RECT*>(rect), erase);
}
std::int32_t FillRect(Hdc dc, const Rect* rect, Hgdiobj brush) {
  return ::FillRect(As<HDC>(dc), As<const RECT*>(rect), As<HBRUSH>(brush));
}
Bool SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* value, std::uint32_t winIni) {
  return ::SystemParametersInfoW(action, param, value, winIni);
}
Hmonitor MonitorFromPoint(Point point, std::uint32_t flags) {
  return As<Hmonitor>(::MonitorFromPoint(POINT{point.x, point.y}, flags));
}
Bool GetMonitorInfoW(Hmonitor monitor, MonitorInfo* info) {
  return ::GetMonitorInfoW(As<HMONITOR>(monitor), As<MONITORINFO*>(info));
}
Hdc GetDC(Hwnd window) { return As<Hdc>(::GetDC(As<HWND>(window))); }
std::int32_t ReleaseDC(Hwnd window, Hdc dc) { return ::ReleaseDC(As<HWND>(window), As<HDC>(dc)); }
Hdc BeginPaint(Hwnd window, PaintStruct* paint) {
  return As<Hdc>(::BeginPaint(As<HWND>(window), As<PAINTSTRUCT*>(paint)));
}
Bool EndPaint(Hwnd window, const PaintStruct* paint) {
  return ::EndPaint(As<HWND>(window), As<const PAINTSTRUCT*>(paint));
}
Bool OpenClipboard(Hwnd owner) { return ::OpenClipboard(As<HWND>(owner)); }
Bool EmptyClipboard() { return ::EmptyClipboard(); }
Handle SetClipboardData(std::uint32_t format, Hglobal block) {
  return As<Handle>(::SetClipboardData(format, As<HANDLE>(block)));
}
Bool CloseClipboard() { return ::CloseClipboard(); }
std::uint32_t RegisterClipboardFormatW(const char16_t* name) { return ::RegisterClipboardFormatW(W(name)); }

Hwnd FindWindowW(const char16_t* className, const char16_t* title) {
  return As<Hwnd>(::FindWindowW(W(className), W(title)));
}
std::uint32_t GetDpiForWindow(Hwnd window) { return ::GetDpiForWindow(As<HWND>(window)); }
std::uint32_t GetDpiForSystem() { return ::GetDpiForSystem(); }
std::int32_t GetSystemMetricsForDpi(std::int32_t index, std::uint32_t dpi) {
  return ::GetSystemMetricsForDpi(index, dpi);
}
std::uintptr_t SetTimer(Hwnd window, std::uintptr_t id, std::uint32_t elapseMs, void* callback) {
  return ::SetTimer(As<HWND>(window), id, elapseMs, reinterpret_cast<TIMERPROC>(callback));
}
Bool KillTimer(Hwnd window, std::uintptr_t id) { return ::KillTimer(As<HWND>(window), id); }
Bool ChangeWindowMessageFilterEx(Hwnd window, std::uint32_t message, std::uint32_t action, void* filterStatus) {
  return ::ChangeWindowMessageFilterEx(As<HWND>(window), message, action,
                                       static_cast<PCHANGEFILTERSTRUCT>(filterStatus));
}

std::intptr_t DialogBoxParamW(Hinstance instance, const char16_t* templateName, Hwnd owner, DialogProc proc,
                              Lparam initParam) {
  return ::DialogBoxParamW(As<HINSTANCE>(instance), W(templateName), As<HWND>(owner), reinterpret_cast<DLGPROC>(proc),
                           initParam);
}
std::intptr_t DialogBoxIndirectParamW(Hinstance instance, const void* dialogTemplate, Hwnd owner, DialogProc proc,
                                      Lparam initParam) {
  return ::DialogBoxIndirectParamW(As<HINSTANCE>(instance), static_cast<const DLGTEMPLATE*>(dialogTemplate),
                                   As<HWND>(owner), reinterpret_cast<DLGPROC>(proc), initParam);
}
Bool EndDialog(Hwnd dialog, std::intptr_t result) { return ::EndDialog(As<HWND>(dialog), result); }
Hwnd GetDlgItem(Hwnd dialog, std::int32_t id) { return As<Hwnd>(::GetDlgItem(As<HWND>(dialog), id)); }
Bool SetDlgItemTextW(Hwnd dialog, std::int32_t id, const char16_t* text) {
  return ::SetDlgItemTextW(As<HWND>(dialog), id, W(text));
}
std::uint32_t GetDlgItemTextW(Hwnd dialog, std::int32_t id, char16_t* text, std::int32_t capacity) {
  return ::GetDlgItemTextW(As<HWND>(dialog), id, W(text), capacity);
}
Lresult SendDlgItemMessageW(Hwnd dialog, std::int32_t id, std::uint32_t message, Wparam wParam, Lparam lParam) {
  return ::SendDlgItemMessageW(As<HWND>(dialog), id, message, wParam, lParam);
}
Bool EnableWindow(Hwnd window, Bool enable) { return ::EnableWindow(As<HWND>(window), enable); }
Hwnd SetFocus(Hwnd window) { return As<Hwnd>(::SetFocus(As<HWND>(window))); }
// On x64 there is one calling convention: the portable callback is WNDENUMPROC's.
Bool EnumWindows(WindowEnumProc proc, Lparam lParam) { return ::EnumWindows(As<WNDENUMPROC>(proc), lParam); }
Bool IsWindowVisible(Hwnd window) { return ::IsWindowVisible(As<HWND>(window)); }
Bool IsIconic(Hwnd window) { return ::IsIconic(As<HWND>(window)); }
Bool GetWindowRect(Hwnd window, Rect* rect) { return ::GetWindowRect(As<HWND>(window), As<RECT*>(rect)); }
std::int32_t GetWindowLongW(Hwnd window, std::int32_t index) { return ::GetWindowLongW(As<HWND>(window), index); }
std::uint32_t GetWindowThreadProcessId(Hwnd window, std::uint32_t* processId) {
  static_assert(sizeof(DWORD) == sizeof(std::uint32_t));
  return ::GetWindowThreadProcessId(As<HWND>(window), reinterpret_cast<DWORD*>(processId));
}
Hwnd GetShellWindow() { return As<Hwnd>(::GetShellWindow()); }

}  // namespace platform

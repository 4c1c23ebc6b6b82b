// Windows user interface: windows, messages, hot keys, menus, cursors,
// message boxes and the clipboard. Thin forwards; see platform/types.h.
#pragma once
#include "platform/types.h"

namespace platform {

std::uint16_t RegisterClassW(const WndClass* wc);  // 0 on failure
Hwnd CreateWindowExW(std::uint32_t exStyle, const char16_t* className, const char16_t* title,
                     std::uint32_t style, std::int32_t x, std::int32_t y, std::int32_t width,
                     std::int32_t height, Hwnd parent, Hmenu menu, Hinstance instance, void* param);
Bool DestroyWindow(Hwnd window);
Bool MoveWindow(Hwnd window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                Bool repaint);
Bool ShowWindow(Hwnd window, std::int32_t command);
Bool SetWindowPos(Hwnd window, Hwnd insertAfter, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height, std::uint32_t flags);
Bool UpdateWindow(Hwnd window);
Bool SetLayeredWindowAttributes(Hwnd window, std::uint32_t colorKey, std::uint8_t alpha,
                                std::uint32_t flags);
std::int32_t GetSystemMetrics(std::int32_t index);
Bool GetClientRect(Hwnd window, Rect* rect);
Hicon LoadIconW(Hinstance instance, const char16_t* name);
Hcursor LoadCursorW(Hinstance instance, const char16_t* name);
Hicon LoadImageIconW(Hinstance instance, const char16_t* name, std::uint32_t type, std::int32_t cx,
                     std::int32_t cy, std::uint32_t flags);  // LoadImageW for IMAGE_ICON
Bool DestroyIcon(Hicon icon);
Lresult DefWindowProcW(Hwnd window, std::uint32_t message, Wparam wParam, Lparam lParam);

Bool GetMessageW(Msg* msg, Hwnd window, std::uint32_t first, std::uint32_t last);  // 0 on WM_QUIT, -1 on error
Bool TranslateMessage(const Msg* msg);
Lresult DispatchMessageW(const Msg* msg);
Lresult SendMessageW(Hwnd window, std::uint32_t message, Wparam wParam, Lparam lParam);
Bool PostMessageW(Hwnd window, std::uint32_t message, Wparam wParam, Lparam lParam);
Bool PeekMessageW(Msg* msg, Hwnd window, std::uint32_t first, std::uint32_t last, std::uint32_t remove);
// WAIT_OBJECT_0 when the handle is signalled, WAIT_OBJECT_0 + count when a message of wakeMask came.
std::uint32_t MsgWaitForMultipleObjects(std::uint32_t count, const Handle* handles, Bool waitAll, std::uint32_t ms,
                                        std::uint32_t wakeMask);
std::uint32_t RegisterWindowMessageW(const char16_t* name);  // 0 on failure
void PostQuitMessage(std::int32_t exitCode);

Bool RegisterHotKey(Hwnd window, std::int32_t id, std::uint32_t modifiers, std::uint32_t key);
Bool UnregisterHotKey(Hwnd window, std::int32_t id);

Hmenu CreatePopupMenu();
Bool DestroyMenu(Hmenu menu);
Bool InsertMenuW(Hmenu menu, std::uint32_t position, std::uint32_t flags, std::uintptr_t id,
                 const char16_t* label);
Bool TrackPopupMenu(Hmenu menu, std::uint32_t flags, std::int32_t x, std::int32_t y,
                    std::int32_t reserved, Hwnd window, const Rect* rect);
Bool SetForegroundWindow(Hwnd window);
Bool GetCursorPos(Point* point);
Bool SetCursorPos(std::int32_t x, std::int32_t y);
// Negative while the key is down.
std::int16_t GetKeyState(std::int32_t key);
Hwnd SetCapture(Hwnd window);
Bool ReleaseCapture();
Hcursor SetCursor(Hcursor cursor);
std::int32_t ShowCursor(Bool show);

std::int32_t MessageBoxW(Hwnd owner, const char16_t* text, const char16_t* caption, std::uint32_t type);

Bool InvalidateRect(Hwnd window, const Rect* rect, Bool erase);
std::int32_t FillRect(Hdc dc, const Rect* rect, Hgdiobj brush);
Bool SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* value, std::uint32_t winIni);
Hmonitor MonitorFromPoint(Point point, std::uint32_t flags);
Bool GetMonitorInfoW(Hmonitor monitor, MonitorInfo* info);
Hdc GetDC(Hwnd window);  // null window: the whole screen
std::int32_t ReleaseDC(Hwnd window, Hdc dc);
Hdc BeginPaint(Hwnd window, PaintStruct* paint);
Bool EndPaint(Hwnd window, const PaintStruct* paint);

Bool OpenClipboard(Hwnd owner);
Bool EmptyClipboard();
Handle SetClipboardData(std::uint32_t format, Hglobal block);
Bool CloseClipboard();
// The number of a named clipboard format, the same for every program; 0 on failure.
std::uint32_t RegisterClipboardFormatW(const char16_t* name);

// The tray's shell and its scale: the taskbar's window by class, a window's DPI,
// the system's, and a metric at a given DPI.
Hwnd FindWindowW(const char16_t* className, const char16_t* title);
std::uint32_t GetDpiForWindow(Hwnd window);
std::uint32_t GetDpiForSystem();
std::int32_t GetSystemMetricsForDpi(std::int32_t index, std::uint32_t dpi);
// A timer of the window: WM_TIMER with id every elapse ms until KillTimer.
std::uintptr_t SetTimer(Hwnd window, std::uintptr_t id, std::uint32_t elapseMs, void* callback);
Bool KillTimer(Hwnd window, std::uintptr_t id);
// Lets message through to window from less privileged processes (an elevated run).
Bool ChangeWindowMessageFilterEx(Hwnd window, std::uint32_t message, std::uint32_t action, void* filterStatus);

// Dialogs from the executable's templates, run modally by the dialog manager,
// and their controls.
std::intptr_t DialogBoxParamW(Hinstance instance, const char16_t* templateName, Hwnd owner, DialogProc proc,
                              Lparam initParam);  // -1 on failure, else what EndDialog was given
// The same from a template in memory (a DLGTEMPLATEEX, DWORD-aligned).
std::intptr_t DialogBoxIndirectParamW(Hinstance instance, const void* dialogTemplate, Hwnd owner, DialogProc proc,
                                      Lparam initParam);
Bool EndDialog(Hwnd dialog, std::intptr_t result);
Hwnd GetDlgItem(Hwnd dialog, std::int32_t id);
Bool SetDlgItemTextW(Hwnd dialog, std::int32_t id, const char16_t* text);
// Characters copied, without the terminator; text cut to fit capacity (terminator included).
std::uint32_t GetDlgItemTextW(Hwnd dialog, std::int32_t id, char16_t* text, std::int32_t capacity);
Lresult SendDlgItemMessageW(Hwnd dialog, std::int32_t id, std::uint32_t message, Wparam wParam, Lparam lParam);
Bool EnableWindow(Hwnd window, Bool enable);
Hwnd SetFocus(Hwnd window);
// The top-level windows, for the window under the cursor: EnumWindows calls
// proc for each, top of the Z order first, until proc returns 0.
using WindowEnumProc = Bool (*)(Hwnd window, Lparam lParam);
Bool EnumWindows(WindowEnumProc proc, Lparam lParam);
Bool IsWindowVisible(Hwnd window);
Bool IsIconic(Hwnd window);
Bool GetWindowRect(Hwnd window, Rect* rect);
std::int32_t GetWindowLongW(Hwnd window, std::int32_t index);
// The process that made the window; processId may be null.
std::uint32_t GetWindowThreadProcessId(Hwnd window, std::uint32_t* processId);
// The shell's desktop window, null when no shell runs.
Hwnd GetShellWindow();

}  // namespace platform

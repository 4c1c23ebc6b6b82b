// The yardstick for bench/footprint.sh: the least a tray program of this kind
// must have. An icon in the tray, a hidden window over the whole virtual screen,
// Alt+C to show that window (Escape, registered while it shows, hides it again),
// and a message loop. Built with the same toolchain, flags and resources as
// corvane.exe and measured the same way, so that the difference is ours.
#include <windows.h>
#include <shellapi.h>

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;
constexpr int kHotKeyShow = 1, kHotKeyHide = 4;
constexpr UINT_PTR kIconId = 132;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    // Paints something, as a capture window must: a window that paints nothing is black.
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

DWORD WINAPI idleThread(void*) { return 0; }

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // With CORVANE_BENCH_THREAD set, one thread runs and ends at start, as
  // corvane.exe's version check does: what an ended thread leaves is the
  // platform's, not the program's.
  if (GetEnvironmentVariableW(L"CORVANE_BENCH_THREAD", nullptr, 0) != 0) {
    HANDLE thread = CreateThread(nullptr, 0, idleThread, nullptr, 0, nullptr);
    if (thread != nullptr) {
      WaitForSingleObject(thread, INFINITE);
      CloseHandle(thread);
    }
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32515));  // IDC_CROSS
  wc.lpszClassName = L"CorvaneBenchBareTray";
  if (!RegisterClassW(&wc)) return 1;
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, nullptr,
                                WS_POPUP, x, y, width, height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;

  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = window;
  icon.uID = 1;
  icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  icon.uCallbackMessage = kTrayMessage;
  icon.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, 32, 32, 0));
  lstrcpynW(icon.szTip, L"bare tray program", ARRAYSIZE(icon.szTip));
  Shell_NotifyIconW(NIM_ADD, &icon);
  RegisterHotKey(nullptr, kHotKeyShow, MOD_ALT, 'C');

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_HOTKEY && msg.wParam == kHotKeyShow && !IsWindowVisible(window)) {
      ShowWindow(window, SW_SHOW);
      UpdateWindow(window);
      RegisterHotKey(nullptr, kHotKeyHide, 0, VK_ESCAPE);
      continue;
    }
    if (msg.message == WM_HOTKEY && msg.wParam == kHotKeyHide) {
      UnregisterHotKey(nullptr, kHotKeyHide);
      ShowWindow(window, SW_HIDE);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  Shell_NotifyIconW(NIM_DELETE, &icon);
  return 0;
}

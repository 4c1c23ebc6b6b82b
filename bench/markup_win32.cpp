// The mark-up on screen, timed with QueryPerformanceCounter around the
// product's own session (the shipped corvane.exe carries no timing), over a
// desktop picture of the whole virtual screen:
//   - the choice of "Mark up" to the toolbar's first paint, and to the mark-up shown (the session made, its
//     toolbar placed and painted first, then its full-screen window painted),
//     beside a bare full-screen window made and shown;
//   - one segment of a pen stroke to its pixels on screen (the mouse move,
//     the changed area composed and painted);
//   - 50 undos, one after another, each painted;
// and, as a yardstick of the machine in the same run, one screen-sized copy
// from a memory DC to the window.
//
//   markup_win32.exe [RUNS [WIDTH HEIGHT]]
// Prints "screen=WxH at X,Y" and one "step=<name> ms=<median> max=<max>" line per step.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

#include "capture/markup_session.h"

// After the product's headers: its constants bear the platform's names, which
// <windows.h> defines as macros.
#include <windows.h>

namespace {

double now() {
  static LARGE_INTEGER frequency{};
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void report(const char* name, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("step=%s ms=%.3f max=%.3f runs=%zu\n", name, ms[ms.size() / 2], ms.back(), ms.size());
}

// What is queued for the session's windows (their first paints, the toolbar's) is handled
// before the next measurement.
void drain() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

// When the toolbar's first paint returned: seen by a hook of this thread on the
// messages its windows were sent (UpdateWindow sends WM_PAINT), outside the product.
double toolbarPainted = 0;

LRESULT CALLBACK afterMessage(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && toolbarPainted == 0) {
    const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    wchar_t name[64];
    if (m->message == WM_PAINT && GetClassNameW(m->hwnd, name, 64) > 0 && std::wcscmp(name, L"CorvaneMarkupTools") == 0)
      toolbarPainted = now();
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  using corvane::MarkupSession;
  const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  corvane::ScreenArea screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                             GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  // Another size of desktop picture than the screen's (a wider window than the screen).
  if (argc > 3) {
    screen.width = std::max(640, std::atoi(argv[2]));
    screen.height = std::max(480, std::atoi(argv[3]));
  }
  std::printf("screen=%dx%d at %d,%d\n", screen.width, screen.height, screen.left, screen.top);
  // A desktop picture with some detail in it.
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(screen.width) * screen.height);
  for (int y = 0; y < screen.height; ++y)
    for (int x = 0; x < screen.width; ++x)
      pixels[static_cast<std::size_t>(y) * screen.width + x] = ((x / 64 + y / 64) % 2 ? 0x203040u : 0x8090A0u) ^ (x & 0x1F);
  const MarkupSession::Frozen frozen{screen, reinterpret_cast<std::uint8_t*>(pixels.data())};
  // Most of the primary monitor, as a user would select a window or a page.
  const platform::Rect selection{screen.left + 100, screen.top + 80, screen.left + screen.width - 300,
                                 screen.top + screen.height - 200};

  std::vector<double> shown, toolbar, segment, undo, yardstick, bare;
  SetWindowsHookExW(WH_CALLWNDPROCRET, afterMessage, nullptr, GetCurrentThreadId());
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"BareFullScreen";
  RegisterClassW(&wc);
  for (int run = 0; run < runs; ++run) {
    // The floor of the mark-up's start: a bare topmost window over the virtual screen, made and shown.
    {
      const double b0 = now();
      HWND w = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"BareFullScreen", L"", WS_POPUP, screen.left,
                               screen.top, screen.width, screen.height, nullptr, nullptr, wc.hInstance, nullptr);
      ShowWindow(w, SW_SHOW);
      UpdateWindow(w);
      bare.push_back(now() - b0);
      DestroyWindow(w);
      drain();
    }
    toolbarPainted = 0;
    const double t0 = now();
    MarkupSession session(nullptr, frozen, selection);
    const double t1 = now();
    if (!session.shown()) {
      std::printf("no mark-up window\n");
      return 1;
    }
    shown.push_back(t1 - t0);
    if (toolbarPainted > 0) toolbar.push_back(toolbarPainted - t0);
    drain();
    // A pen stroke across the selection, 200 segments of a few pixels each.
    session.key('P', false, false);
    const platform::Point from{400, 300};
    session.press(from);
    for (int i = 1; i <= 200; ++i) {
      const platform::Point to{from.x + i * 5, from.y + (i % 20) * 3};
      const double s0 = now();
      session.move(to);
      segment.push_back(now() - s0);
    }
    session.release({from.x + 1000, from.y});
    // 50 marks of every kind, then 50 undos.
    const char tools[] = {'R', 'A', 'P', 'H', 'X'};
    for (int i = 0; i < 50; ++i) {
      session.key(static_cast<std::uint32_t>(tools[i % 5]), false, false);
      const platform::Point a{200 + (i * 23) % 900, 150 + (i * 37) % 500};
      session.press(a);
      session.move({a.x + 60, a.y + 40});
      session.move({a.x + 160, a.y + 90});
      session.release({a.x + 160, a.y + 90});
    }
    drain();
    const double u0 = now();
    for (int i = 0; i < 50; ++i) session.key('Z', true, false);
    undo.push_back(now() - u0);
    // The floor of any full repaint: one copy of the whole screen to the window.
    {
      HDC window = GetDC(reinterpret_cast<HWND>(session.window()));
      HDC memory = CreateCompatibleDC(window);
      HBITMAP bitmap = CreateCompatibleBitmap(window, screen.width, screen.height);
      HGDIOBJ old = SelectObject(memory, bitmap);
      const double b0 = now();
      BitBlt(window, 0, 0, screen.width, screen.height, memory, 0, 0, SRCCOPY);
      GdiFlush();
      yardstick.push_back(now() - b0);
      SelectObject(memory, old);
      DeleteObject(bitmap);
      DeleteDC(memory);
      ReleaseDC(reinterpret_cast<HWND>(session.window()), window);
    }
  }
  if (!toolbar.empty()) report("toolbar-shown", toolbar);
  report("markup-shown", shown);
  report("yardstick-bare-window-shown", bare);
  report("pen-segment", segment);
  report("undo-50", undo);
  report("yardstick-screen-blit", yardstick);
  return 0;
}

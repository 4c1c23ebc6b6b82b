// Measures a tray program from inside the Wine prefix, for bench/footprint.sh.
// Hot keys only fire for input that goes through the Windows input queue, and
// a window's visibility is best watched from the same side, so the timings are
// taken here with QueryPerformanceCounter.
//
//   footprint_probe.exe start EXE            starts EXE, waits for the tray icon to
//                                            show: "ms=<start to icon> pid=<id>"
//   footprint_probe.exe hotkey N CLASS       N times Alt+C, waits for the window of
//                                            CLASS to show, Escape: "ms=<median> ..."
//   footprint_probe.exe gui PID              "gdi=<objects> user=<objects> how=<source>
//                                            types=<table type>:<objects>,..." (types only from the table)
//   footprint_probe.exe captures N CLASS L T R B
//                                            N quick captures of the rectangle, each
//                                            waited for until its link reached the
//                                            clipboard and the window went
//   footprint_probe.exe hold                 stays until ended, so the prefix's tray stays up
//   footprint_probe.exe stop PID             ends the process, waits for its tray icon to go
// Exit code 0 when the figure was taken, 1 when it could not be, 2 on a usage error.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kTrayTitle[] = L"Wine System Tray";

double now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart * 1000.0 / frequency.QuadPart;
}

// Polls until done() or the time is up; true when done() came true.
template <typename F>
bool waitFor(F done, double milliseconds) {
  const double end = now() + milliseconds;
  while (!done()) {
    if (now() > end) return false;
    Sleep(1);
  }
  return true;
}

bool trayShown() {
  HWND tray = FindWindowW(nullptr, kTrayTitle);
  return tray != nullptr && IsWindowVisible(tray);
}

INPUT key(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return in;
}

bool sendKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD vk : keys) inputs.push_back(key(vk, false));
  for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) inputs.push_back(key(*it, true));
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

void mouse(int x, int y, DWORD buttons) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = static_cast<LONG>((x * 65535LL) / std::max(1, width - 1));
  in.mi.dy = static_cast<LONG>((y * 65535LL) / std::max(1, height - 1));
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
  SendInput(1, &in, sizeof in);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int start(const wchar_t* exe) {
  if (trayShown()) {
    std::fprintf(stderr, "a tray icon shows already: the start cannot be timed\n");
    return 1;
  }
  std::wstring commandLine = L"\"" + std::wstring(exe) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const double t0 = now();
  if (!CreateProcessW(exe, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "CreateProcessW failed: %lu\n", GetLastError());
    return 1;
  }
  const bool shown = waitFor(trayShown, 30000);
  const double t1 = now();
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!shown) {
    std::fprintf(stderr, "no tray icon within 30 s\n");
    return 1;
  }
  std::printf("ms=%.2f pid=%lu\n", t1 - t0, process.dwProcessId);
  return 0;
}

// Escape, again while the window stays: an Escape that arrives before the
// program has taken it as its hot key goes to whichever window has the keyboard.
template <typename F>
bool hide(F hidden) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    Sleep(50);
    sendKeys({VK_ESCAPE});
    if (waitFor(hidden, 250)) return true;
  }
  return false;
}

int hotkey(int runs, const wchar_t* windowClass) {
  HWND window = FindWindowW(windowClass, nullptr);
  if (window == nullptr) {
    std::fprintf(stderr, "no window of class %ls\n", windowClass);
    return 1;
  }
  auto shown = [&] { return IsWindowVisible(window) != FALSE; };
  auto hidden = [&] { return IsWindowVisible(window) == FALSE; };
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    Sleep(150);  // let the program settle in its message loop
    const double t0 = now();
    if (!sendKeys({VK_MENU, 'C'})) return std::fprintf(stderr, "SendInput failed\n"), 1;
    if (!waitFor(shown, 5000)) return std::fprintf(stderr, "Alt+C did not show the window\n"), 1;
    times.push_back(now() - t0);
    if (!hide(hidden)) return std::fprintf(stderr, "Escape did not hide the window\n"), 1;
  }
  std::printf("ms=%.2f min=%.2f max=%.2f runs=%d\n", median(times), *std::min_element(times.begin(), times.end()),
              *std::max_element(times.begin(), times.end()), runs);
  return 0;
}

// GetGuiResources is a stub under Wine (ERROR_CALL_NOT_IMPLEMENTED). GDI
// objects are then counted in the process's GDI handle table, which the PEB
// points to as on Windows: live entries have a type, stock objects carry a flag.
// USER objects are then counted as the process's windows, top-level and child.
struct GdiHandleEntry {
  UINT64 object;
  ULONG owner;
  UCHAR extType;  // bit 7: stock object
  UCHAR generation;
  UCHAR type;
  UCHAR flags;
  UINT64 userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr size_t kGdiHandles = 0x10000;
constexpr size_t kPebGdiHandleTable = 0xF8;

bool countGdiInTable(HANDLE process, DWORD* count, std::string* types) {
  PROCESS_BASIC_INFORMATION basic{};
  ULONG length = 0;
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, &length) != 0) return false;
  UINT64 table = 0;
  auto* field = reinterpret_cast<const char*>(basic.PebBaseAddress) + kPebGdiHandleTable;
  if (!ReadProcessMemory(process, field, &table, sizeof table, nullptr) || table == 0) return false;
  std::vector<GdiHandleEntry> entries(kGdiHandles);
  if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(),
                         entries.size() * sizeof(GdiHandleEntry), nullptr))
    return false;
  *count = static_cast<DWORD>(std::count_if(entries.begin(), entries.end(), [](const GdiHandleEntry& e) {
    return e.type != 0 && !(e.extType & 0x80);
  }));
  // By the table's type number, so that what a capture leaves can be named.
  DWORD byType[256] = {};
  for (const GdiHandleEntry& e : entries)
    if (e.type != 0 && !(e.extType & 0x80)) ++byType[e.type];
  for (int type = 0; type < 256; ++type)
    if (byType[type] != 0)
      *types += (types->empty() ? "" : ",") + std::to_string(type) + ":" + std::to_string(byType[type]);
  return true;
}

DWORD countWindows(DWORD pid) {
  struct Walk {
    DWORD pid;
    DWORD count;
  } walk{pid, 0};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* w = reinterpret_cast<Walk*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != w->pid) return TRUE;
        ++w->count;
        EnumChildWindows(
            window, [](HWND, LPARAM p) -> BOOL { return ++*reinterpret_cast<DWORD*>(p), TRUE; },
            reinterpret_cast<LPARAM>(&w->count));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&walk));
  return walk.count;
}

int gui(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (process == nullptr) return std::fprintf(stderr, "no process %lu\n", pid), 1;
  DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
  DWORD user = GetGuiResources(process, GR_USEROBJECTS);
  const char* how = "GetGuiResources";
  std::string types = "-";
  if (gdi == 0 && user == 0) {
    how = "handle-table";
    user = countWindows(pid);
    types.clear();
    if (!countGdiInTable(process, &gdi, &types)) {
      CloseHandle(process);
      return std::fprintf(stderr, "no GDI object count: GetGuiResources is missing and the handle table unreadable\n"), 1;
    }
  }
  CloseHandle(process);
  std::printf("gdi=%lu user=%lu how=%s types=%s\n", gdi, user, how, types.c_str());
  return 0;
}

// Keeps a process alive in the prefix: without one, the prefix's desktop and
// tray process ends with the last program and each start would pay for its return.
int hold() {
  Sleep(INFINITE);
  return 0;
}

int captures(int count, const wchar_t* windowClass, int left, int top, int right, int bottom) {
  HWND window = FindWindowW(windowClass, nullptr);
  if (window == nullptr) return std::fprintf(stderr, "no window of class %ls\n", windowClass), 1;
  auto shown = [&] { return IsWindowVisible(window) != FALSE; };
  auto hidden = [&] { return IsWindowVisible(window) == FALSE; };
  int lostHotKeys = 0;
  const double t0 = now();
  for (int i = 0; i < count; ++i) {
    const DWORD clipboard = GetClipboardSequenceNumber();
    if (!waitFor(hidden, 5000)) return std::fprintf(stderr, "capture %d: the window stays shown\n", i), 1;
    // Now and then an Alt+C sent just after a capture never shows the window
    // (under Wine; the cause is not known): it is sent again, and a capture
    // mode that a late one started is left with Escape first.
    bool entered = false;
    for (int attempt = 0; attempt < 3 && !entered; ++attempt) {
      if (attempt > 0) {
        ++lostHotKeys;
        if (shown() && !hide(hidden)) break;
      }
      sendKeys({VK_MENU, 'C'});
      entered = waitFor(shown, 3000);
    }
    if (!entered) return std::fprintf(stderr, "capture %d: Alt+C did not show the window\n", i), 1;
    mouse(left, top, 0);
    Sleep(5);
    mouse(left, top, MOUSEEVENTF_LEFTDOWN);
    Sleep(5);
    mouse((left + right) / 2, (top + bottom) / 2, 0);
    Sleep(5);
    mouse(right, bottom, 0);
    Sleep(5);
    mouse(right, bottom, MOUSEEVENTF_LEFTUP);
    // The link on the clipboard says the upload is over; the window goes after
    // it, and stays gone (it is hidden for an instant as the upload begins, and
    // the clipboard's number may move again when the desktop takes the text).
    auto uploaded = [&] {
      return GetClipboardSequenceNumber() != clipboard && hidden() && !waitFor(shown, 100);
    };
    if (!waitFor(uploaded, 30000)) return std::fprintf(stderr, "capture %d: no link on the clipboard\n", i), 1;
  }
  std::printf("captures=%d ms_per_capture=%.1f lost_hot_keys=%d\n", count, (now() - t0) / count, lostHotKeys);
  return 0;
}

int stop(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  if (process == nullptr) return std::fprintf(stderr, "no process %lu\n", pid), 1;
  TerminateProcess(process, 0);
  WaitForSingleObject(process, 10000);
  CloseHandle(process);
  if (!waitFor([] { return !trayShown(); }, 10000)) return std::fprintf(stderr, "the tray icon stays\n"), 1;
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"start" && argc == 3) return start(argv[2]);
  if (command == L"hotkey" && argc == 4) return hotkey(std::max(1, _wtoi(argv[2])), argv[3]);
  if (command == L"gui" && argc == 3) return gui(wcstoul(argv[2], nullptr, 10));
  if (command == L"captures" && argc == 8)
    return captures(std::max(1, _wtoi(argv[2])), argv[3], _wtoi(argv[4]), _wtoi(argv[5]), _wtoi(argv[6]),
                    _wtoi(argv[7]));
  if (command == L"hold" && argc == 2) return hold();
  if (command == L"stop" && argc == 3) return stop(wcstoul(argv[2], nullptr, 10));
  std::fputs("usage: footprint_probe.exe start EXE | hotkey N CLASS | gui PID | captures N CLASS L T R B | stop PID\n",
             stderr);
  return 2;
}

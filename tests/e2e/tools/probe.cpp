// Looks at and operates the windows of the desktop for the end-to-end tests.
//
//   probe.exe list                   one JSON object per top-level window: handle, process,
//                                    class, visible, rect, title, and for dialogs their controls
//                                    (with their rects) and the id of the one with the focus
//   probe.exe press LABEL [TITLE]    press the button LABEL (text without '&', or a numeric id)
//                                    of a shown dialog, optionally the one titled TITLE
//   probe.exe openfile PATH [TITLE]  type PATH into a shown file dialog's name field and confirm
//   probe.exe tip                    the texts of the tooltips of every process, one per line
//   probe.exe move TITLE X Y         move the shown top-level window titled TITLE to (X, Y)
//   probe.exe launch COMMANDLINE     start COMMANDLINE whole, as the shell starts a Run value
//                                    (CreateProcessW without an application name); wait for
//                                    it and end with its exit code
//   probe.exe close CLASS            post WM_CLOSE to the window of class CLASS, as taskkill does
//   probe.exe escapebox TITLE        show a message box of this process titled TITLE; exit code 0
//                                    once Escape closes it (the key reached this program)
//   probe.exe clipdib PATH           the clipboard's CF_DIB written to PATH as a .bmp file; prints
//                                    its compression and bits per pixel
//   probe.exe cancelmode CLASS       what the system sends a window whose mode it cancels
//   probe.exe window X Y W H COLOUR  a plain window of that colour (0xRRGGBB) at that place until killed
//
//   probe.exe answers CLASS SECONDS  for SECONDS, ask the window of class CLASS for an answer
//                                    (WM_NULL by SendMessageTimeout, 2 s each) every 100 ms; exit
//                                    code 0 when every one came and Windows never took it to hang;
//                                    prints the longest wait in ms
//   probe.exe holdclipboard MS       open the clipboard as another program would and keep it
//                                    open for MS ms; prints "held" once it is open
//   probe.exe trayicon CLASS ID      the screen rectangle of the tray icon ID of the window of
//                                    class CLASS: "left top right bottom how=shell", or under a
//                                    shell without Shell_NotifyIconGetRect the leftmost icon window
//                                    of Wine's tray window, "... how=tray-child"
//
// Exit code 0 on success, 1 when nothing matched, 2 on a usage error.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                 nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::string json(const std::wstring& text) {
  std::string out = "\"";
  for (unsigned char c : utf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buffer[8];
      snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::wstring windowText(HWND window) {
  // WM_GETTEXT rather than GetWindowTextW: the latter does not ask other processes' controls.
  wchar_t buffer[2048] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                           &length))
    return {};
  return std::wstring(buffer, wcsnlen(buffer, 2048));
}

std::wstring className(HWND window) {
  wchar_t buffer[256] = {};
  GetClassNameW(window, buffer, 256);
  return buffer;
}

std::wstring processName(HWND window, DWORD* pid) {
  GetWindowThreadProcessId(window, pid);
  std::wstring name;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, *pid);
  if (process) {
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (QueryFullProcessImageNameW(process, 0, path, &size)) {
      name = path;
      size_t slash = name.find_last_of(L"\\/");
      if (slash != std::wstring::npos) name = name.substr(slash + 1);
    }
    CloseHandle(process);
  }
  return name;
}

std::string rectJson(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  char buffer[96];
  snprintf(buffer, sizeof buffer, "[%ld, %ld, %ld, %ld]", r.left, r.top, r.right, r.bottom);
  return buffer;
}

std::vector<HWND> children(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> topLevelWindows() {
  std::vector<HWND> found;
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

bool isDialog(HWND window) { return className(window) == L"#32770"; }

int list() {
  for (HWND window : topLevelWindows()) {
    DWORD pid = 0;
    std::wstring process = processName(window, &pid);
    std::string line = "{\"hwnd\": " + std::to_string(reinterpret_cast<uintptr_t>(window)) +
                       ", \"pid\": " + std::to_string(pid) + ", \"process\": " + json(process) +
                       ", \"class\": " + json(className(window)) +
                       ", \"visible\": " + (IsWindowVisible(window) ? "true" : "false") +
                       ", \"rect\": " + rectJson(window) + ", \"title\": " + json(windowText(window)) +
                       ", \"owner\": " +
                       std::to_string(reinterpret_cast<uintptr_t>(GetWindow(window, GW_OWNER)));
    if (isDialog(window)) {
      line += ", \"controls\": [";
      bool first = true;
      for (HWND child : children(window)) {
        if (!first) line += ", ";
        first = false;
        line += "{\"class\": " + json(className(child)) + ", \"id\": " + std::to_string(GetDlgCtrlID(child)) +
                ", \"visible\": " + (IsWindowVisible(child) ? "true" : "false") +
                ", \"text\": " + json(windowText(child)) + ", \"rect\": " + rectJson(child) + "}";
      }
      line += "]";
      // The control with the keyboard focus in the dialog's thread (its id; 0: none of the dialog's).
      GUITHREADINFO gui{};
      gui.cbSize = sizeof gui;
      int focus = 0;
      if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui) && gui.hwndFocus &&
          GetParent(gui.hwndFocus) == window)
        focus = GetDlgCtrlID(gui.hwndFocus);
      line += ", \"focus\": " + std::to_string(focus);
    }
    line += "}\n";
    fputs(line.c_str(), stdout);
  }
  return 0;
}

std::wstring withoutMnemonic(const std::wstring& label) {
  std::wstring out;
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] == L'&' && i + 1 < label.size()) ++i;
    out += static_cast<wchar_t>(std::towlower(label[i]));
  }
  return out;
}

std::wstring lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::vector<HWND> shownDialogs(const wchar_t* title) {
  std::vector<HWND> found;
  for (HWND window : topLevelWindows()) {
    if (!isDialog(window) || !IsWindowVisible(window)) continue;
    if (title && windowText(window) != title) continue;
    found.push_back(window);
  }
  return found;
}

int press(const wchar_t* label, const wchar_t* title) {
  wchar_t* end = nullptr;
  long id = wcstol(label, &end, 10);
  bool numeric = end && *end == 0 && *label != 0;
  std::wstring wanted = withoutMnemonic(label);
  for (HWND dialog : shownDialogs(title)) {
    for (HWND child : children(dialog)) {
      if (lower(className(child)) != L"button" || !IsWindowVisible(child)) continue;
      int childId = GetDlgCtrlID(child);
      if (numeric ? childId == id : withoutMnemonic(windowText(child)) == wanted) {
        // What a click on the button sends its dialog; works across processes. The
        // title is read first: the press may close the dialog at once.
        std::string title = utf8(windowText(dialog));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(childId, BN_CLICKED), reinterpret_cast<LPARAM>(child));
        printf("%s\n", title.c_str());
        return 0;
      }
    }
  }
  return 1;
}

// The name field of the open dialog: an edit box, in newer layouts inside a combo box.
HWND fileNameField(HWND dialog) {
  HWND combo = GetDlgItem(dialog, 0x47c);  // cmb13
  if (combo) {
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    if (edit) return edit;
  }
  HWND edit = GetDlgItem(dialog, 0x480);  // edt1
  if (edit) return edit;
  for (HWND child : children(dialog))
    if (lower(className(child)) == L"edit" && IsWindowVisible(child)) return child;
  return nullptr;
}

int openFile(const wchar_t* path, const wchar_t* title) {
  for (HWND dialog : shownDialogs(title)) {
    HWND field = fileNameField(dialog);
    if (!field) continue;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path), SMTO_ABORTIFHUNG, 2000, &ignored);
    std::string title = utf8(windowText(dialog));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    printf("%s\n", title.c_str());
    return 0;
  }
  return 1;
}

// Tooltip texts live in the memory of the process that shows them: ask for them
// through a buffer made inside that process.
int tips() {
  for (HWND window : topLevelWindows()) {
    if (className(window) != TOOLTIPS_CLASSW) continue;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) continue;
    const SIZE_T textBytes = 1024 * sizeof(wchar_t);
    auto* remote = static_cast<unsigned char*>(
        VirtualAllocEx(process, nullptr, sizeof(TTTOOLINFOW) + textBytes, MEM_COMMIT, PAGE_READWRITE));
    if (remote) {
      DWORD_PTR count = 0;
      SendMessageTimeoutW(window, TTM_GETTOOLCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
      for (DWORD_PTR i = 0; i < count; ++i) {
        TTTOOLINFOW info{};
        info.cbSize = sizeof info;
        info.lpszText = reinterpret_cast<wchar_t*>(remote + sizeof info);
        std::vector<wchar_t> empty(1024, 0);
        WriteProcessMemory(process, remote, &info, sizeof info, nullptr);
        WriteProcessMemory(process, remote + sizeof info, empty.data(), textBytes, nullptr);
        DWORD_PTR ok = 0;
        SendMessageTimeoutW(window, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 2000,
                            &ok);
        if (!ok) continue;
        std::vector<wchar_t> text(1024, 0);
        ReadProcessMemory(process, remote + sizeof info, text.data(), textBytes - sizeof(wchar_t), nullptr);
        std::wstring tip(text.data());
        if (!tip.empty()) printf("%s\n", utf8(tip).c_str());
      }
      VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
  }
  return 0;
}

int moveWindow(const wchar_t* title, int x, int y) {
  for (HWND window : topLevelWindows()) {
    if (!IsWindowVisible(window) || windowText(window) != title) continue;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  return 1;
}

int escapeBox(const wchar_t* title) {
  // Escape answers a box with a Cancel button with IDCANCEL; nothing else here does.
  int answer = MessageBoxW(nullptr, L"Press Escape", title, MB_OKCANCEL | MB_TOPMOST | MB_SETFOREGROUND);
  return answer == IDCANCEL ? 0 : 1;
}

// What a shell restart looks like to a tray program: the icon of windowClass's
// window is gone (the new shell knows none), then the shell's announcement.
int trayRemove(const wchar_t* windowClass, UINT id) {
  HWND owner = FindWindowW(windowClass, nullptr);
  if (!owner) return 1;
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = owner;
  icon.uID = id;
  return Shell_NotifyIconW(NIM_DELETE, &icon) ? 0 : 1;
}

int taskbarCreated() {
  UINT message = RegisterWindowMessageW(L"TaskbarCreated");
  return message != 0 && PostMessageW(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
}

// What the system asks a program's windows when the session ends; prints the answer to the question.
int endSession(const wchar_t* windowClass) {
  HWND window = FindWindowW(windowClass, nullptr);
  if (!window) return 1;
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer))
    return 1;
  printf("%d\n", static_cast<int>(answer));
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_ENDSESSION, answer != 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &ignored);
  return 0;
}

// What Windows does before it ghosts a window: ask it, and judge it hung.
int answers(const wchar_t* windowClass, int seconds) {
  HWND window = FindWindowW(windowClass, nullptr);
  if (!window) return 1;
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
  ULONGLONG longest = 0;
  int result = 0;
  while (GetTickCount64() < end) {
    const ULONGLONG asked = GetTickCount64();
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored)) {
      printf("no answer after %llu ms\n", GetTickCount64() - asked);
      result = 1;
    }
    if (IsHungAppWindow(window)) {
      printf("taken to hang\n");
      result = 1;
    }
    if (GetTickCount64() - asked > longest) longest = GetTickCount64() - asked;
    Sleep(100);
  }
  printf("%llu\n", longest);
  return result;
}

// A clipboard manager or a remote session at work: the clipboard is open, and
// no other program can open it until it is closed again.
int holdClipboard(DWORD ms) {
  HWND window = CreateWindowExW(0, L"STATIC", L"holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (!OpenClipboard(window)) return 1;
  printf("held\n");
  fflush(stdout);
  Sleep(ms);
  CloseClipboard();
  if (window) DestroyWindow(window);
  return 0;
}

int launch(const wchar_t* commandLine) {
  std::wstring line(commandLine);  // CreateProcessW may write into its command line
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 2;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 2;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

int closeWindow(const wchar_t* windowClass) {
  HWND window = FindWindowW(windowClass, nullptr);
  return window && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
}

int clipDib(const wchar_t* path) {
  if (!OpenClipboard(nullptr)) return 1;
  int code = 1;
  if (HANDLE block = GetClipboardData(CF_DIB)) {
    const auto* info = static_cast<const BITMAPINFOHEADER*>(GlobalLock(block));
    const SIZE_T size = GlobalSize(block);
    if (info && size >= sizeof *info) {
      BITMAPFILEHEADER file{};
      file.bfType = 0x4D42;
      file.bfSize = static_cast<DWORD>(sizeof file + size);
      file.bfOffBits = static_cast<DWORD>(sizeof file + info->biSize + (info->biCompression == BI_BITFIELDS ? 12 : 0) +
                                          info->biClrUsed * 4);
      if (FILE* out = _wfopen(path, L"wb")) {
        fwrite(&file, sizeof file, 1, out);
        fwrite(info, size, 1, out);
        fclose(out);
        printf("%lu %u\n", info->biCompression, info->biBitCount);
        code = 0;
      }
    }
    GlobalUnlock(block);
  }
  CloseClipboard();
  return code;
}

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT r;
    GetClientRect(window, &r);
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrW(window, GWLP_USERDATA)));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND plainWindow(int x, int y, int width, int height, COLORREF colour, const wchar_t* title) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = plainProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ProbePlain";
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"ProbePlain", title, WS_POPUP | WS_VISIBLE, x, y, width, height,
                                nullptr, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrW(window, GWLP_USERDATA, colour);
  InvalidateRect(window, nullptr, TRUE);
  return window;
}

void pump(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  while (GetTickCount() < end) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

int cancelMode(const wchar_t* windowClass) {
  HWND window = FindWindowW(windowClass, nullptr);
  if (!window) return 1;
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(window, WM_CANCELMODE, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) ? 0 : 1;
}

int showWindow(int x, int y, int width, int height, COLORREF rgb) {
  const COLORREF colour = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
  HWND window = plainWindow(x, y, width, height, colour, L"Probe window");
  if (!window) return 1;
  for (;;) pump(1000);
}

// The icon's place as the shell tells it; Wine's shell does not (E_NOTIMPL), and
// its stand-alone tray window holds one child window per icon, filled from the left.
int trayIcon(const wchar_t* windowClass, UINT id) {
  HWND owner = FindWindowW(windowClass, nullptr);
  if (!owner) return 1;
  NOTIFYICONIDENTIFIER icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = owner;
  icon.uID = id;
  RECT rect{};
  const char* how = "shell";
  if (FAILED(Shell_NotifyIconGetRect(&icon, &rect)) || IsRectEmpty(&rect)) {
    HWND tray = FindWindowW(nullptr, L"Wine System Tray");
    bool found = false;
    for (HWND child = tray ? GetWindow(tray, GW_CHILD) : nullptr; child; child = GetWindow(child, GW_HWNDNEXT)) {
      RECT r{};
      if (IsWindowVisible(child) && GetWindowRect(child, &r) && !IsRectEmpty(&r) && (!found || r.left < rect.left))
        rect = r, found = true;
    }
    if (!found) return 1;
    how = "tray-child";
  }
  printf("%ld %ld %ld %ld how=%s\n", rect.left, rect.top, rect.right, rect.bottom, how);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"list") return list();
  if (command == L"tip") return tips();
  if (command == L"press" && argc >= 3) return press(argv[2], argc > 3 ? argv[3] : nullptr);
  if (command == L"openfile" && argc >= 3) return openFile(argv[2], argc > 3 ? argv[3] : nullptr);
  if (command == L"move" && argc >= 5) return moveWindow(argv[2], _wtoi(argv[3]), _wtoi(argv[4]));
  if (command == L"escapebox" && argc >= 3) return escapeBox(argv[2]);
  if (command == L"trayremove" && argc >= 4) return trayRemove(argv[2], _wtoi(argv[3]));
  if (command == L"taskbarcreated") return taskbarCreated();
  if (command == L"launch" && argc >= 3) return launch(argv[2]);
  if (command == L"close" && argc >= 3) return closeWindow(argv[2]);
  if (command == L"endsession" && argc >= 3) return endSession(argv[2]);
  if (command == L"answers" && argc >= 4) return answers(argv[2], _wtoi(argv[3]));
  if (command == L"holdclipboard" && argc >= 3) return holdClipboard(static_cast<DWORD>(_wtoi(argv[2])));
  if (command == L"clipdib" && argc >= 3) return clipDib(argv[2]);
  if (command == L"cancelmode" && argc >= 3) return cancelMode(argv[2]);
  if (command == L"trayicon" && argc >= 4) return trayIcon(argv[2], _wtoi(argv[3]));
  if (command == L"window" && argc >= 7)
    return showWindow(_wtoi(argv[2]), _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]),
                      static_cast<COLORREF>(wcstoul(argv[6], nullptr, 16)));
  fputs("usage: probe.exe list | tip | press LABEL [TITLE] | openfile PATH [TITLE] | move TITLE X Y | escapebox TITLE"
        " | trayremove CLASS ID | taskbarcreated | launch COMMANDLINE | close CLASS | endsession CLASS"
        " | answers CLASS SECONDS | holdclipboard MS | clipdib PATH | cancelmode CLASS | window X Y W H COLOUR"
        " | trayicon CLASS ID\n",
        stderr);
  return 2;
}

// The simulated Windows: each platform call appends a record to the call log
// and returns a scripted result (or a plain default). State is kept only where
// the system's behaviour depends on it. Tests call sim::reset() first.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include "platform/types.h"

namespace sim {

struct Call {
  std::string name;
  std::vector<std::string> args;
  std::string text() const;  // "Name(a, b, c)"
};

// Renders one argument for the log: integers in decimal, text as UTF-8 in
// quotes, null text as null, handles as h<N>.
std::string arg(std::int64_t v);
std::string arg(std::uint64_t v);
std::string arg(std::int32_t v);
std::string arg(std::uint32_t v);
std::string arg(std::uint16_t v);
std::string arg(std::uint8_t v);
std::string arg(bool v);
std::string arg(const char16_t* text);
std::string arg(const char* text);
std::string arg(const void* handle);

template <typename... A>
void record(const char* name, const A&... a) {
  extern std::vector<Call>& log();
  log().push_back(Call{name, {arg(a)...}});
}

std::vector<Call>& log();
std::vector<std::string> names();                 // the names of all calls, in order
std::vector<std::string> names(std::string_view prefixFilter);
int count(std::string_view name);                 // how often name was called
const Call* last(std::string_view name);          // the last call of that name, or null

// Scripted results: queued per function name, used in order; once a queue is
// empty the function returns its default.
void script(const std::string& name, std::int64_t result);
bool scripted(const std::string& name, std::int64_t* result);
template <typename T>
T result(const std::string& name, T fallback) {
  std::int64_t v;
  return scripted(name, &v) ? static_cast<T>(v) : fallback;
}

// Fresh fake handles, never null, never reused within a test.
template <typename H>
H handle() {
  extern std::uintptr_t nextHandle();
  return reinterpret_cast<H>(nextHandle());
}
std::uintptr_t nextHandle();

std::string utf8(std::u16string_view text);
std::u16string utf16(std::string_view text);

// Hooks that tests (or the simulation's stateful parts) may set; cleared by reset().
using ResetHook = void (*)();
void onReset(ResetHook hook);  // registered once per stateful part, run by every reset()

// Copies s with its terminator into out when it fits: returns its length; else
// returns the capacity it needs (length + 1), as the platform's string getters do.
std::uint32_t copyOut(std::u16string_view s, char16_t* out, std::uint32_t capacity);

// Simulated files (kernel32_files.cpp): path -> bytes, names compared without
// regard to letter case, as on Windows.
void putFile(std::u16string_view path, std::string bytes);
bool hasFile(std::u16string_view path);
std::string fileBytes(std::u16string_view path);   // empty when missing
std::vector<std::u16string> filesIn(std::u16string_view folder);  // full paths directly in folder
void putFolder(std::u16string_view path);         // with its parents; putFile adds its folder too
bool hasFolder(std::u16string_view path);         // a drive root always exists
void setLastError(std::uint32_t code);            // kernel32_env.cpp
void advanceClock(std::uint64_t ms);              // what GetTickCount64 reports
void setClock(std::uint64_t tick);
void setLocalTime(const platform::SystemTime& time);  // GetLocalTime; after reset 2026-03-09 07:05:04.321

// Simulated WinINet (wininet.cpp): the exchange the next request meets.
struct HttpExchange {
  std::u16string status = u"200";   // what HttpQueryInfoW writes, if the caller's buffer holds it
  std::vector<std::string> chunks = {};  // the reply; each read takes at most what the caller asks of one chunk
  bool readFails = false;           // after the chunks a read fails instead of reporting 0 bytes
  std::uint64_t msPerChunk = 0;     // the clock moves on this much before each chunk is available
  // Inside HttpSendRequestW, the clock moves on msToSend while the body goes
  // out, then msToStatus until the status and headers are in. The request
  // sent is reported between the two when a callback and a context are set.
  std::uint64_t msToSend = 0, msToStatus = 0;
  std::u16string location = {};     // the Location header of the reply; empty: none
  std::u16string statusOnResend = {};  // the status of every send after the first; empty: status again
  // The last-error code a call scripted to fail leaves (sim::script("HttpSendRequestW", 0)).
  std::uint32_t failError = platform::ERROR_INTERNET_CANNOT_CONNECT;
  std::map<std::u16string, std::u16string> headers = {};  // what HTTP_QUERY_CUSTOM finds, by exact name
};
struct HttpSent {
  std::u16string headers;  // the first headerLength units handed over
  std::uint32_t headerLength = 0;
  std::string body;
};
void scriptHttp(HttpExchange exchange);
const HttpSent& lastHttpSend();
int internetHandlesOpen();  // opened and not yet closed
// The DWORD options set on a handle, by option number.
std::map<std::uint32_t, std::uint32_t> internetOptions(platform::Hinternet handle);

// Simulated clipboard (clipboard.cpp). clipboardText() is CF_TEXT up to its
// first NUL; clipboardData(format) the whole block put under that format.
bool clipboardHasText();
std::string clipboardText();
std::optional<std::string> clipboardData(std::uint32_t format);
platform::Hwnd clipboardOwner();
// Another program holds the clipboard open for ms simulated milliseconds.
void holdClipboard(std::uint64_t ms);
// Global blocks (kernel32_memory.cpp): a live block's size, and freeing one
// that the simulated system took over.
std::size_t globalSize(platform::Hglobal block);
void freeGlobal(platform::Hglobal block);

// Balloons the tray icon showed (shell32.cpp), in order.
struct Balloon {
  std::u16string title, text;
  std::uint32_t icon;
};
const std::vector<Balloon>& balloons();
// The version of the tray icon (window, id) as the shell holds it: 0 before NIM_SETVERSION, -1 when not shown.
int trayIconVersion(platform::Hwnd window, std::uint32_t id);
// The tray icons the shell shows, as their record was when added.
struct TrayIconShown {
  platform::Hwnd window;
  std::uint32_t id, recordSize, flags, callbackMessage;
  platform::Hicon image;
  std::u16string tip;
  int version;
};
std::vector<TrayIconShown> trayIcons();
void restartShell();  // a shell that starts afresh shows no icons
// This thread's COM apartment (shell32_browse.cpp): entries not yet left, the
// flags of the last, and the tray icons shown when COM was first loaded into
// the process (none: never loaded; once loaded it stays, as its libraries do).
struct ComApartment {
  int entered;
  std::uint32_t flags;
  std::optional<std::size_t> trayIconsAtLoad;
};
ComApartment comApartment();

// Simulated launches (shell32_launch.cpp), in order; lpVerb and lpFile are
// nulled in info, their text is kept in verb and file.
struct Launch {
  std::u16string verb, file;
  platform::ShellExecuteInfo info;
};
const std::vector<Launch>& launches();
// Module path and environment (kernel32_env.cpp). After reset the executable is
// C:\Tools\corvane.exe and USERPROFILE is C:\Users\user1, a folder that exists.
// CreateDirectoryW works on the file store above; sim::script("CreateDirectoryW",
// code) makes its next call fail with that last-error code.
std::u16string currentDirectory();                 // the working folder: C:\Windows\System32 after reset, as at logon
// Threads made (kernel32_memory.cpp), in order, and whether their handle is still open.
struct ThreadMade {
  platform::ThreadProc start;
  void* parameter;
  bool handleOpen;
};
std::vector<ThreadMade> threads();
void setCommandLine(std::u16string_view line);     // GetCommandLineW; after reset the module path quoted
void holdMutexElsewhere(std::u16string_view name); // CreateMutexW of that name then reports ERROR_ALREADY_EXISTS
void setModulePath(std::u16string_view path);     // GetModuleFileNameW cuts it as the platform does, unterminated
void setEnv(std::u16string_view name, std::u16string_view value);
void unsetEnv(std::u16string_view name);

// Registry (advapi32.cpp): keys below HKEY_CURRENT_USER by path, values of any
// type as raw bytes. Handles check the rights they were opened with; a key
// deleted while open answers ERROR_KEY_DELETED. The log names keys by path.
struct RegValue {
  std::uint32_t type;
  std::string bytes;
};
void regPutKey(std::u16string_view key);          // with its parents
void regPut(std::u16string_view key, std::u16string_view name, std::uint32_t type, std::string bytes);
void regPutDword(std::u16string_view key, std::u16string_view name, std::uint32_t value);
void regPutString(std::u16string_view key, std::u16string_view name, std::u16string_view text);  // REG_SZ, terminated
bool regHasKey(std::u16string_view key);
std::optional<RegValue> regGet(std::u16string_view key, std::u16string_view name);
std::vector<std::u16string> regValueNames(std::u16string_view key);
std::u16string regString(std::u16string_view key, std::u16string_view name);  // text up to the first null
void regDeleteKey(std::u16string_view key);       // with its subkeys, as another program would
// Every later call of op ("RegOpenKeyExW", "RegCreateKeyExW", "RegQueryValueExW",
// "RegSetValueExW", "RegDeleteValueW") on key fails with error; for the opening
// calls, access narrows it to one access right (0: any).
void regFail(std::string_view op, std::u16string_view key, std::int32_t error, std::uint32_t access = 0);
int regKeysOpen();                                // opened or created and not yet closed
int regBadCloses();                               // RegCloseKey of a handle that was not open
std::string utf16le(std::u16string_view text, bool terminator);  // raw bytes of a UTF-16 string

// Folder browser (shell32_browse.cpp): what the user does in the next browser shown.
void browseCancels();                             // the default after reset
void browseChooses(std::u16string_view path);     // an item with a file-system path
void browseChoosesVirtual();                      // an item without one (the computer, the network)
std::u16string browseTitle();                     // the title of the last browser shown
int browseItemsHeld();                            // items returned and not freed

// Simulated GDI+ (gdiplus.cpp). The encoder list starts as the platform's own
// (bmp, jpeg, gif, tiff, png: "image/jpeg" at position 1). Scripts:
// "GdiplusStartup", "GdipCreateBitmapFromHBITMAP", "GdipLoadImageFromFile",
// "GdipSaveImageToFile" (statuses), "GdipGetImageEncoders" (a status other than
// 0 leaves stale records that would match "image/jpeg"), "GdipAlloc" (0: no memory).
// A file loads when it exists and begins like a PNG, BMP, GIF, JPEG or TIFF file;
// a save writes savedJpeg(origin), origin being the loaded file's bytes or
// "bitmap h<N>" for an image made from a bitmap handle.
struct Encoder {
  platform::Guid clsid;
  std::u16string mimeType;
};
std::vector<Encoder> defaultEncoders();
void setEncoders(std::vector<Encoder> list);
std::string guidText(const platform::Guid& guid);  // "{1d5be4b5-fa4a-452d-9cdd-5db35105e7eb}"
std::string savedJpeg(std::string_view origin);
struct GdiplusCounts {
  int startups, shutdowns;
  int badShutdowns;       // with a token that no running start-up handed out
  int callsWhileStopped;  // Gdip* calls made while GDI+ was not running
  int imagesAtShutdown;   // images still alive when GDI+ last stopped
  int liveBlocks;         // GdipAlloc blocks not given back through GdipFree
  int liveImages;         // native images not disposed of
};
GdiplusCounts gdiplus();

// Temporary folder (kernel32_files.cpp): "C:\Temp\" by default, a folder that
// exists; a "GetTempPathW" script of 0 makes the call fail. A "GetTempFileNameW"
// script of 0 makes no name, and neither does a missing folder.
void setTempPath(std::u16string path);
// A folder in which no file can be made, renamed or deleted any more (files
// already there can still be written), as a read-only or immutable folder.
void lockFolder(std::u16string_view path);
bool folderLocked(std::u16string_view path);
// Deletes a folder with everything in it, as another program would.
void removeFolder(std::u16string_view path);
// Once `bytes` more bytes have been read (from any file), ReadFile fails where a
// file goes on; the read that meets the limit returns short and succeeds.
void failReadsAfter(std::size_t bytes);
int fileHandlesOpen();  // CreateFileW handles not yet closed

// The open dialog (comdlg32.cpp): what the last GetOpenFileNameW was given, and the
// path a confirmed dialog writes into lpstrFile. Script "GetOpenFileNameW" 1 to
// confirm (default 0: cancelled); a path longer than nMaxFile fails the dialog.
struct OpenDialogSeen {
  platform::OpenFileName record;  // its pointers are not valid after the call
  std::u16string filter;          // the whole double-terminated list, terminators included
  std::u16string title;
  std::u16string fileAtOpen;      // lpstrFile's content when the dialog opened
};
void setChosenFile(std::u16string path);
const OpenDialogSeen& openDialog();
// Windows (user32.cpp). Sent and dispatched messages run the window procedure
// of the window's registered class; UpdateWindow sends WM_PAINT to a window
// shown since its last paint. TrackPopupMenu picks the id scripted for
// "TrackPopupMenu" (none scripted: the menu was dismissed), returned with
// TPM_RETURNCMD, else posted as WM_COMMAND. Message boxes, menus, the open
// dialog and the folder browser dispatch the queued messages, as their own
// loops would (runModalLoop).
bool windowVisible(platform::Hwnd window);
bool windowExists(platform::Hwnd window);
// A window class as registered, and the windows that exist, in the order made.
struct WindowClass {
  platform::WindowProc proc;
  std::uint32_t style;
  platform::Hinstance instance;
  platform::Hicon icon;
  platform::Hcursor cursor;
  platform::Hgdiobj background;
};
std::optional<WindowClass> windowClass(std::u16string_view name);
struct WindowMade {
  platform::Hwnd handle;
  std::u16string className;
  std::uint32_t exStyle, style;
  platform::Rect rect;  // as made
  platform::Hwnd owner;
  platform::Hinstance instance;
  std::uint32_t colorKey = 0, alpha = 0, layeredFlags = 0;  // SetLayeredWindowAttributes
  std::vector<std::uint32_t> letThrough = {};                // messages let through to it from less privileged programs
};
std::vector<WindowMade> windows();
// An icon or cursor loaded: the module and resource it came from and its size
// (0: the system's default); none once destroyed.
struct Image {
  platform::Hinstance module;
  std::uintptr_t resource;
  std::int32_t size;
  bool operator==(const Image&) const = default;
};
std::optional<Image> imageOf(const void* iconOrCursor);
std::vector<platform::Hicon> iconsHeld();  // loaded with LoadImageW and not yet destroyed
// Runs fn each time the program waits for the user: its message loop with
// nothing queued, or a message box up (after the box's own loop has run).
void whileWaiting(std::function<void()> fn);
platform::Rect windowRect(platform::Hwnd window);   // screen rectangle
bool hotKeyRegistered(std::int32_t id);
bool timerRunning(platform::Hwnd window, std::uintptr_t id);
// The modifiers (without MOD_NOREPEAT) and key held under id, if any.
std::optional<std::pair<std::uint32_t, std::uint32_t>> hotKeyOf(std::int32_t id);
void holdHotKeyElsewhere(std::uint32_t modifiers, std::uint32_t key);  // another program has it
bool hotKeyRepeats(std::int32_t id);  // held down, the keys send it again and again (no MOD_NOREPEAT)
// The entries put into a menu, in order (a submenu's id is its handle).
struct MenuItem {
  std::uint32_t flags;
  std::uintptr_t id;
  std::u16string label;
};
const std::vector<MenuItem>& menuItems(platform::Hmenu menu);
// The menus shown, in order: the entries then, where, how aligned, the window
// that hears of the choice and the window in the foreground as it opened.
struct ShownMenu {
  std::vector<MenuItem> items;
  platform::Point at;
  std::uint32_t flags;
  platform::Hwnd owner, foreground;
};
const std::vector<ShownMenu>& shownMenus();
int menusHeld();  // made and not yet destroyed; a submenu goes with the menu it is in
platform::Hwnd capturedWindow();                    // null when the mouse is not captured
// Another program's window takes the mouse: the window that held it is told.
void takeCapture(platform::Hwnd other);
platform::Hwnd foregroundWindow();                  // the last window activated
bool windowTopmost(platform::Hwnd window);          // placed above the windows that are not topmost
platform::Point cursorPos();                        // (400, 300) after reset; SetCursorPos moves it
void setCursorPos(platform::Point at);
// Queues a message for GetMessageW; an empty queue reads as WM_QUIT with code 0.
void queueMessage(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam, platform::Lparam lParam);
std::size_t queuedMessages(bool countNull = true);  // countNull false: WM_NULL, which nothing acts on, left out
void dropQueuedMessages();
void runModalLoop();  // dispatches queued messages up to the quit message

// Another program's top-level window (user32.cpp), put above the other
// programs' windows and below ours. frame is what the desktop window manager
// reports as drawn (DWMWA_EXTENDED_FRAME_BOUNDS), rect what GetWindowRect does.
struct OtherWindow {
  platform::Rect rect, frame;
  bool visible = true, minimised = false, cloaked = false;
  std::uint32_t exStyle = 0;
  bool shell = false;  // the shell's desktop window
};
platform::Hwnd putOtherWindow(const OtherWindow& window);
inline constexpr std::uint32_t kOurProcessId = 1000, kOtherProcessId = 2000;
// The monitors, the primary first; after reset one of 1920 x 1080 at (0, 0).
// GetSystemMetrics' virtual screen is scripted apart.
void setMonitors(std::vector<platform::Rect> monitors);
// The areas that BitBlt copies from source covered, in the order of the log:
// what the paints that draw from it repainted.
std::vector<platform::Rect> paintAreas(platform::Hdc source);

// GDI objects (gdi32.cpp) made and not yet released, as "kind h<N>": memory,
// screen, window and paint DCs, bitmaps, pens and brushes. A bitmap, pen or
// brush deleted while still selected into a DC stays live, as on the platform.
std::vector<std::string> liveGdiObjects();
// The pixels of the last DIB section made, top row first whatever the header
// says: pixel (x, y) holds dibPixel(x, y), blue in the low byte, the fourth byte 0.
void* lastDibBits();
// The pixels of the DIB section selected into a memory DC; null when none is.
void* dibBitsIn(platform::Hdc dc);
inline std::uint32_t dibPixel(std::int32_t x, std::int32_t y) {
  return static_cast<std::uint32_t>((x * 7 + y) & 0xFF) | static_cast<std::uint32_t>((y * 3) & 0xFF) << 8 |
         static_cast<std::uint32_t>((x ^ y) & 0xFF) << 16;
}

// Message boxes shown (user32.cpp), in order: what the user read and was asked.
struct Box {
  platform::Hwnd owner;
  std::u16string text, caption;
  std::uint32_t type;
  bool operator==(const Box&) const = default;
};
const std::vector<Box>& boxes();
// A tray icon (window, id) the shell shows, as if the program had added it (shell32.cpp).
void showTrayIcon(platform::Hwnd window, std::uint32_t id);
void PrintTo(const Box& box, std::ostream* out);  // for test failures

void reset();

}  // namespace sim

// Owning guards over the platform's handles: one small type per handle family,
// each releasing its handle with the matching platform call when it leaves
// scope. Non-copyable; movable where a holder must hand one on. The release
// functions come from the family's own header, so a guard costs nothing but the
// call it stands for.
#pragma once
#include <utility>
#include "platform/advapi32.h"
#include "platform/gdi32.h"
#include "platform/gdiplus.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/types.h"
#include "platform/user32.h"
#include "platform/wininet.h"

// The constants used below keep the platform's names, which <windows.h> defines as macros
// of its own types: set aside here, given back at the end (see platform/types.h).
// <windows.h> names hidden (scripts/windows_names.py): begin
#pragma push_macro("NOTIFYICON_VERSION_4")
#undef NOTIFYICON_VERSION_4
#pragma push_macro("NIM_ADD")
#undef NIM_ADD
#pragma push_macro("NIM_DELETE")
#undef NIM_DELETE
#pragma push_macro("NIM_SETVERSION")
#undef NIM_SETVERSION
#pragma push_macro("IDC_ARROW")
#undef IDC_ARROW
#pragma push_macro("IDC_WAIT")
#undef IDC_WAIT
#pragma push_macro("INVALID_HANDLE_VALUE")
#undef INVALID_HANDLE_VALUE
// <windows.h> names hidden: end

namespace platform {

// A handle released by one call on it alone. Traits give the type, the value
// that means "none" and the release.
template <typename Traits>
class Unique {
 public:
  using Handle = typename Traits::Handle;
  Unique() = default;
  explicit Unique(Handle handle) : handle_(handle) {}
  Unique(Unique&& other) noexcept : handle_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  ~Unique() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return Traits::valid(handle_); }
  // Gives the handle up without releasing it (the clipboard takes a block, say).
  Handle release() { return std::exchange(handle_, Traits::none()); }
  void reset(Handle handle = Traits::none()) {
    Handle old = std::exchange(handle_, handle);
    if (Traits::valid(old)) Traits::close(old);
  }

 private:
  Handle handle_ = Traits::none();
};

template <typename H, auto Close>
struct NullIsNone {
  using Handle = H;
  static Handle none() { return nullptr; }
  static bool valid(Handle h) { return h != nullptr; }
  static void close(Handle h) { Close(h); }
};

using UniqueMenu = Unique<NullIsNone<Hmenu, &DestroyMenu>>;
using UniqueMemoryDc = Unique<NullIsNone<Hdc, &DeleteDC>>;
using UniqueInternet = Unique<NullIsNone<Hinternet, &InternetCloseHandle>>;
using UniqueGlobal = Unique<NullIsNone<Hglobal, &GlobalFree>>;
using UniqueHkey = Unique<NullIsNone<Hkey, &RegCloseKey>>;
// An item list the shell handed out, freed through the shell's allocator.
using UniqueItemIdList = Unique<NullIsNone<ItemIdList, &SHFreeItemIdList>>;

// Pens and brushes.
using UniqueGdiObject = Unique<NullIsNone<Hgdiobj, &DeleteObject>>;

inline Bool DeleteBitmap(Hbitmap bitmap) { return DeleteObject(AsObject(bitmap)); }
using UniqueBitmap = Unique<NullIsNone<Hbitmap, &DeleteBitmap>>;

// Kernel objects (files, threads): CreateFileW reports failure as
// INVALID_HANDLE_VALUE, CreateThread as null; neither is closed.
struct KernelTraits {
  using Handle = platform::Handle;
  static Handle none() { return INVALID_HANDLE_VALUE; }
  static bool valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(Handle h) { CloseHandle(h); }
};
using UniqueHandle = Unique<KernelTraits>;

// A release that needs two values: the second is the handle, the first what
// it belongs to. Nothing is released while the handle is null.
template <typename First, typename Second, auto Release>
class UniquePair {
 public:
  UniquePair() = default;
  UniquePair(First first, Second second) : first_(first), second_(second) {}
  UniquePair(UniquePair&& other) noexcept
      : first_(std::exchange(other.first_, First{})), second_(std::exchange(other.second_, Second{})) {}
  UniquePair& operator=(UniquePair&& other) noexcept {
    if (this != &other) {
      reset();
      first_ = std::exchange(other.first_, First{});
      second_ = std::exchange(other.second_, Second{});
    }
    return *this;
  }
  UniquePair(const UniquePair&) = delete;
  UniquePair& operator=(const UniquePair&) = delete;
  ~UniquePair() { reset(); }

  explicit operator bool() const { return second_ != Second{}; }
  void reset() {
    if (second_ != Second{}) Release(first_, second_);
    first_ = First{};
    second_ = Second{};
  }

 protected:
  First first_{};
  Second second_{};
};

inline void ReleaseWindowDc(Hwnd window, Hdc dc) { ReleaseDC(window, dc); }
inline void RestoreObject(Hdc dc, Hgdiobj previous) { SelectObject(dc, previous); }

// A DC had from GetDC, given back with ReleaseDC for the same window (null:
// the whole screen).
class WindowDc : public UniquePair<Hwnd, Hdc, &ReleaseWindowDc> {
 public:
  WindowDc() = default;
  explicit WindowDc(Hwnd window) : UniquePair(window, GetDC(window)) {}
  Hdc get() const { return second_; }
};

// An object selected into a DC; the DC's previous object goes back when this
// ends, because an object still selected cannot be deleted. False when the
// platform refused the selection.
class Selected : public UniquePair<Hdc, Hgdiobj, &RestoreObject> {
 public:
  Selected() = default;
  Selected(Hdc dc, Hgdiobj object) : UniquePair(dc, dc != nullptr ? SelectObject(dc, object) : nullptr) {}
};

// A global hot key of this thread: given back only when it was had. A key that
// another program holds is not ours, and taking it back is not ours to do.
class HotKey {
 public:
  HotKey() = default;
  HotKey(Hwnd window, std::int32_t id, std::uint32_t modifiers, std::uint32_t key)
      : window_(window), id_(id), held_(RegisterHotKey(window, id, modifiers, key) != 0) {}
  HotKey(HotKey&& other) noexcept
      : window_(other.window_), id_(other.id_), held_(std::exchange(other.held_, false)) {}
  HotKey& operator=(HotKey&& other) noexcept {
    if (this != &other) {
      reset();
      window_ = other.window_;
      id_ = other.id_;
      held_ = std::exchange(other.held_, false);
    }
    return *this;
  }
  HotKey(const HotKey&) = delete;
  HotKey& operator=(const HotKey&) = delete;
  ~HotKey() { reset(); }

  explicit operator bool() const { return held_; }
  void reset() {
    if (std::exchange(held_, false)) UnregisterHotKey(window_, id_);
  }

 private:
  Hwnd window_ = nullptr;
  std::int32_t id_ = 0;
  bool held_ = false;
};

// The mouse captured for a window of this thread until this ends. The platform
// may take it away earlier (another window grabs it); giving it back then is harmless.
class MouseCapture {
 public:
  MouseCapture() = default;
  explicit MouseCapture(Hwnd window) : held_(true) { SetCapture(window); }
  MouseCapture(MouseCapture&& other) noexcept : held_(std::exchange(other.held_, false)) {}
  MouseCapture& operator=(MouseCapture&& other) noexcept {
    if (this != &other) {
      reset();
      held_ = std::exchange(other.held_, false);
    }
    return *this;
  }
  MouseCapture(const MouseCapture&) = delete;
  MouseCapture& operator=(const MouseCapture&) = delete;
  ~MouseCapture() { reset(); }

  // Still ours as far as this guard knows: given up by reset() before the
  // platform is told, so the capture-changed message of our own release finds it false.
  explicit operator bool() const { return held_; }

  void reset() {
    if (std::exchange(held_, false)) ReleaseCapture();
  }

 private:
  bool held_ = false;
};

// The wait cursor, shown for as long as work holds up the thread. ShowCursor
// keeps a count: every show is matched by one hide, whichever way the work ends.
class WaitCursor {
 public:
  WaitCursor() {
    SetCursor(LoadCursorW(nullptr, MakeIntResource(IDC_WAIT)));
    ShowCursor(1);
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() {
    SetCursor(LoadCursorW(nullptr, MakeIntResource(IDC_ARROW)));
    ShowCursor(0);
  }
};

// The tray icon and the icon image it shows. The record's hIcon is owned: it
// was loaded for this icon alone and is destroyed after the icon is removed.
class TrayIcon {
 public:
  TrayIcon() = default;
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;
  ~TrayIcon() { reset(); }

  // Takes the record (and its icon image) and shows it; false when the shell
  // did not take it (none runs yet: show() again when one announces itself).
  bool add(const NotifyIconData& record) {
    reset();
    record_ = record;
    held_ = true;
    return show();
  }
  // Shows the record again, as a shell that started afresh knows no icons, and
  // asks for the shell's current behaviour (version 4), which it forgets with
  // the icon: asked after every add.
  bool show() {
    if (!held_ || Shell_NotifyIconW(NIM_ADD, &record_) == 0) return false;
    NotifyIconData version = record_;
    version.uTimeoutOrVersion = NOTIFYICON_VERSION_4;
    version4_ = Shell_NotifyIconW(NIM_SETVERSION, &version) != 0;
    return true;
  }
  // True when the shell speaks version 4 to this icon: events in LOWORD of the
  // callback's lParam, WM_CONTEXTMENU for the menu, the anchor point in wParam.
  bool version4() const { return held_ && version4_; }
  // Removes the icon from the shell, then destroys its image.
  void reset() {
    if (!std::exchange(held_, false)) return;
    Shell_NotifyIconW(NIM_DELETE, &record_);
    if (record_.hIcon != nullptr) DestroyIcon(record_.hIcon);
    record_ = {};
  }
  explicit operator bool() const { return held_; }
  const NotifyIconData& record() const { return record_; }

 private:
  NotifyIconData record_{};
  bool held_ = false;
  bool version4_ = false;
};

// BeginPaint and EndPaint of one WM_PAINT.
class Painting {
 public:
  explicit Painting(Hwnd window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  Painting(const Painting&) = delete;
  Painting& operator=(const Painting&) = delete;
  ~Painting() { EndPaint(window_, &paint_); }

  Hdc dc() const { return dc_; }
  const Rect& area() const { return paint_.rcPaint; }

 private:
  Hwnd window_;
  PaintStruct paint_{};
  Hdc dc_ = nullptr;
};

// The COM apartment of this thread: left again only when entering it succeeded.
class ComApartment {
 public:
  explicit ComApartment(std::uint32_t flags) : entered_(CoInitializeEx(nullptr, flags) >= 0) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (entered_) CoUninitialize();
  }

 private:
  bool entered_;
};

// One GDI+ session: shut down only with the token a successful start-up gave.
class GdiplusSession {
 public:
  GdiplusSession() {
    const GdiplusStartupInput input{1, nullptr, 0, 0};
    started_ = GdiplusStartup(&token_, &input, nullptr) == 0;
  }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  ~GdiplusSession() {
    if (started_) GdiplusShutdown(token_);
  }

  explicit operator bool() const { return started_; }

 private:
  std::uintptr_t token_ = 0;
  bool started_ = false;
};

}  // namespace platform

// <windows.h> names restored: begin
#pragma pop_macro("NOTIFYICON_VERSION_4")
#pragma pop_macro("NIM_ADD")
#pragma pop_macro("NIM_DELETE")
#pragma pop_macro("NIM_SETVERSION")
#pragma pop_macro("IDC_ARROW")
#pragma pop_macro("IDC_WAIT")
#pragma pop_macro("INVALID_HANDLE_VALUE")
// <windows.h> names restored: end

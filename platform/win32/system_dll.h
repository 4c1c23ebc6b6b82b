// System libraries that the resident program at rest never calls (GDI+,
// WinINet, the common dialogs) are not imported: an idle tray program would
// carry them, and what they load in turn, for its whole life. They are loaded
// when an operation needs them and let go when it ends.
//
// Ownership: an operation takes one reference on the library when it begins
// (Acquire, in the forward that opens it: GdiplusStartup, InternetOpenW, the
// dialog call) and gives it back when it ends (Release, in the forward that
// closes it). The loader's own reference count lets operations overlap, on one
// thread or several (an upload and the version check). A forward called
// outside any operation loads its library for good rather than fail.
#pragma once
#include "platform/win32/win.h"

namespace platform::win32 {

class SystemDll {
 public:
  explicit constexpr SystemDll(const wchar_t* name) : name_(name) {}
  SystemDll(const SystemDll&) = delete;
  SystemDll& operator=(const SystemDll&) = delete;

  // One reference for the length of an operation. False when the library
  // cannot be loaded; nothing is then to be released.
  bool Acquire() const { return Load() != nullptr; }
  // Gives back the reference Acquire took.
  void Release() const {
    if (HMODULE module = ::GetModuleHandleW(name_)) ::FreeLibrary(module);
  }

  // Calls the export `proc` of type Fn with args, or returns `failure` when the
  // library or the export is missing.
  template <typename Fn, typename Result, typename... Args>
  Result Call(const char* proc, Result failure, Args... args) const {
    Fn fn = Find<Fn>(proc);
    return fn ? fn(args...) : failure;
  }
  // The same for an export that returns nothing.
  template <typename Fn, typename... Args>
  void CallVoid(const char* proc, Args... args) const {
    if (Fn fn = Find<Fn>(proc)) fn(args...);
  }

 private:
  // Only from the system folder: a library of that name beside the executable
  // or in the working directory is never the one meant.
  HMODULE Load() const { return ::LoadLibraryExW(name_, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32); }

  template <typename Fn>
  Fn Find(const char* proc) const {
    HMODULE module = ::GetModuleHandleW(name_);
    if (module == nullptr) module = Load();  // outside any operation: kept for good
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, proc)));
  }

  const wchar_t* name_;
};

}  // namespace platform::win32

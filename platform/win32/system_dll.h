// System libraries that the resident program at rest never calls (GDI+,
// WinINet, the common dialogs, COM) are not imported: they are loaded when an
// operation first needs them, from the system folder only, and kept for the
// rest of the run. Never freed: shell extensions, GDI+ and WinINet leave
// threads and callbacks running inside themselves after an operation ends,
// and a library unloaded under them takes the process down.
#pragma once
#include "platform/win32/win.h"

namespace platform::win32 {

class SystemDll {
 public:
  explicit constexpr SystemDll(const wchar_t* name) : name_(name) {}
  SystemDll(const SystemDll&) = delete;
  SystemDll& operator=(const SystemDll&) = delete;

  // Loads the library for good at the first operation. False when it cannot be loaded.
  bool Acquire() const { return Module() != nullptr; }

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
  // Loaded once: a second load would only add a reference nobody gives back.
  HMODULE Module() const {
    HMODULE module = ::GetModuleHandleW(name_);
    return module != nullptr ? module : Load();
  }

  template <typename Fn>
  Fn Find(const char* proc) const {
    HMODULE module = Module();
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, proc)));
  }

  const wchar_t* name_;
};

}  // namespace platform::win32

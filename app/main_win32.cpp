// The Windows entry point: hands the parsed arguments to the portable start-up.
#include "app/shell.h"
#include "platform/win32/win.h"
#include <shellapi.h>

#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything can load a library: only the system folder is searched, so
  // a DLL planted beside the executable (a Downloads folder) is never loaded.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // The platform's own parsing, so that a quoted path with blanks is one argument.
  int argc = 0;
  LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (args == nullptr) argc = 0;
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  int code = corvane::runCorvane(reinterpret_cast<platform::Hinstance>(instance), argc,
                                 reinterpret_cast<char16_t**>(args));
  ::LocalFree(args);
  return code;
}

// What the C++ runtime calls on an uncaught exception before it aborts. Its
// own version names the exception's type on standard error, which a program
// without a console never shows, and brings in the runtime's name demangler
// and formatted printing with it: about a quarter of the executable.
#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// What the standard containers call when they fail. The runtime's own versions
// build std::logic_error and its kin, whose message strings bring in a second
// copy of std::string's code (the old reference-counted one) and with it
// std::random_device: a sixth of the executable. These throw the same family
// without a message string. Every one the runtime defines in that one place is
// here, so that its copy is never linked; a link error naming one of them
// means a new one is used: add it beside these.
namespace {
class RuntimeFailure final : public std::exception {
 public:
  explicit RuntimeFailure(const char* what) noexcept : what_(what) {}
  const char* what() const noexcept override { return what_; }

 private:
  const char* what_;  // the runtime passes string literals
};
}  // namespace

namespace std {
void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
// A size past what a container can hold is memory that cannot be had: it
// fails where a failed allocation fails, in the same handlers.
void __throw_length_error(const char*) { throw std::bad_alloc(); }
void __throw_logic_error(const char* what) { throw RuntimeFailure(what); }
void __throw_domain_error(const char* what) { throw RuntimeFailure(what); }
void __throw_invalid_argument(const char* what) { throw RuntimeFailure(what); }
void __throw_out_of_range(const char* what) { throw RuntimeFailure(what); }
void __throw_out_of_range_fmt(const char* format, ...) { throw RuntimeFailure(format); }
void __throw_runtime_error(const char* what) { throw RuntimeFailure(what); }
void __throw_range_error(const char* what) { throw RuntimeFailure(what); }
void __throw_overflow_error(const char* what) { throw RuntimeFailure(what); }
void __throw_underflow_error(const char* what) { throw RuntimeFailure(what); }
}  // namespace std
#endif

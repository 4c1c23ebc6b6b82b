// The Windows entry point: hands the parsed arguments to the portable start-up.
#include "app/shell.h"
#include "platform/win32/win.h"
#include <shellapi.h>

#include <cstdlib>

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
#endif

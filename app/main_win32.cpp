// The Windows entry point: hands the parsed arguments to the portable start-up.
#include "app/shell.h"
#include "platform/win32/win.h"
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
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

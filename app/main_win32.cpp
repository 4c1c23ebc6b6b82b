// The Windows entry point: hands the parsed arguments to the portable start-up.
#include "app/shell.h"
#include "platform/shell32.h"
#include "platform/win32/win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  std::int32_t argc = 0;
  char16_t** args = nullptr;
  if (!platform::GetCommandLineArgs(&argc, &args)) argc = 0;
  int code = corvane::runCorvane(reinterpret_cast<platform::Hinstance>(instance), argc, args);
  platform::FreeCommandLineArgs(args);
  return code;
}

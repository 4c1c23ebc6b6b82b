#include "platform/comdlg32.h"
#include "platform/win32/system_dll.h"
#include "platform/win32/win.h"
#include <commdlg.h>

namespace platform {
using namespace win32;

CORVANE_SAME_LAYOUT(OpenFileName, OPENFILENAMEW);
CORVANE_SAME_OFFSET(OpenFileName, OPENFILENAMEW, FlagsEx, FlagsEx);

// The common dialogs are loaded at the first dialog and kept.
Bool GetOpenFileNameW(OpenFileName* ofn) {
  constexpr SystemDll comdlg32(L"comdlg32.dll");
  if (!comdlg32.Acquire()) return FALSE;
  BOOL chosen = comdlg32.Call<decltype(&::GetOpenFileNameW)>("GetOpenFileNameW", BOOL{FALSE}, As<OPENFILENAMEW*>(ofn));
  return chosen;
}

}  // namespace platform

#include "platform/comctl32.h"
#include "platform/win32/system_dll.h"
#include "platform/win32/win.h"
#include <commctrl.h>

namespace platform {
using namespace win32;

CORVANE_SAME_LAYOUT(InitCommonControlsRecord, INITCOMMONCONTROLSEX);

// Loaded at the first dialog that needs a common control, and kept: the
// classes it registers belong to it.
Bool InitCommonControlsEx(const InitCommonControlsRecord* record) {
  constexpr SystemDll comctl32(L"comctl32.dll");
  if (!comctl32.Acquire()) return FALSE;
  return comctl32.Call<decltype(&::InitCommonControlsEx)>("InitCommonControlsEx", BOOL{FALSE},
                                                          As<const INITCOMMONCONTROLSEX*>(record));
}

}  // namespace platform

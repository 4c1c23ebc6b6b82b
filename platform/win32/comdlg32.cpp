#include "platform/comdlg32.h"
#include "platform/win32/win.h"
#include <commdlg.h>

namespace platform {
using namespace win32;

CORVANE_SAME_LAYOUT(OpenFileName, OPENFILENAMEW);
CORVANE_SAME_OFFSET(OpenFileName, OPENFILENAMEW, FlagsEx, FlagsEx);

Bool GetOpenFileNameW(OpenFileName* ofn) { return ::GetOpenFileNameW(As<OPENFILENAMEW*>(ofn)); }

}  // namespace platform

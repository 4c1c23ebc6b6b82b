// Windows common controls (comctl32): the classes of the controls beyond the
// basic ones, here the hot-key control. Thin forwards; see platform/types.h.
#pragma once
#include "platform/types.h"

namespace platform {

// Registers the control classes named in record.dwICC for this process. False when it could not.
Bool InitCommonControlsEx(const InitCommonControlsRecord* record);

}  // namespace platform

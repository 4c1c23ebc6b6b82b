// Common dialogs: the file-open dialog.
#pragma once
#include "platform/types.h"

namespace platform {

Bool GetOpenFileNameW(OpenFileName* ofn);

}  // namespace platform

// The desktop window manager: what it draws of a window. Thin forwards; see platform/types.h.
#pragma once
#include "platform/types.h"

namespace platform {

// An HRESULT: 0 (S_OK) when value was filled. Fails where no desktop window
// manager runs or the attribute is not known; value is then untouched.
std::int32_t DwmGetWindowAttribute(Hwnd window, std::uint32_t attribute, void* value, std::uint32_t size);

}  // namespace platform

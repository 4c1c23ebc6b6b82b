#include "platform/dwmapi.h"
#include "platform/win32/system_dll.h"

namespace platform {
using namespace win32;

namespace {
// Loaded at the first capture: the resident program at rest never calls it.
constexpr SystemDll kDwmapi(L"dwmapi.dll");
using DwmGetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
constexpr std::int32_t kNotLoaded = static_cast<std::int32_t>(0x80004005);  // E_FAIL
}  // namespace

std::int32_t DwmGetWindowAttribute(Hwnd window, std::uint32_t attribute, void* value, std::uint32_t size) {
  return kDwmapi.Call<DwmGetWindowAttributeFn>("DwmGetWindowAttribute", kNotLoaded, As<HWND>(window),
                                               static_cast<DWORD>(attribute), value, static_cast<DWORD>(size));
}

}  // namespace platform

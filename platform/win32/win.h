// The one place where portable types meet <windows.h>.
#pragma once
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <cstddef>
#include "platform/types.h"

static_assert(sizeof(wchar_t) == 2, "UTF-16 wchar_t expected");
static_assert(sizeof(void*) == 8, "the adapter mirrors the 64-bit record layouts");

namespace platform::win32 {

// char16_t and wchar_t are both UTF-16 code units here; built with -fno-strict-aliasing.
inline const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline wchar_t* W(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }

template <typename To, typename From>
inline To As(From value) { return reinterpret_cast<To>(value); }

}  // namespace platform::win32

#define CORVANE_SAME_LAYOUT(Portable, Native) \
  static_assert(sizeof(Portable) == sizeof(Native) && alignof(Portable) == alignof(Native), #Portable)
#define CORVANE_SAME_OFFSET(Portable, Native, pf, nf) \
  static_assert(offsetof(Portable, pf) == offsetof(Native, nf), #Portable "." #pf)

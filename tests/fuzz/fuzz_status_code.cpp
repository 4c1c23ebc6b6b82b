// libFuzzer target: the status text parse, against the C library's wide
// conversion for ASCII text (the platform's reference behaviour).
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include "net/reply_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  // Within the four units of the status buffer, and over the whole input.
  corvane::ParseStatusCode(text.data(), text.size() < 4 ? text.size() : 4);
  const long value = corvane::ParseStatusCode(text.data(), text.size());

  std::wstring wide;
  for (char16_t c : text) {
    if (c == 0) break;
    if (c >= 0x80) return 0;  // other white space differs between C libraries
    wide += static_cast<wchar_t>(c);
  }
  if (std::wcstol(wide.c_str(), nullptr, 10) != value) std::abort();
  return 0;
}

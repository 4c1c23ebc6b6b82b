// libFuzzer target: the copy's file name from any identifier.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include "net/reply_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view identifier(reinterpret_cast<const char*>(data), size);
  const std::u16string name = corvane::CopyFileName(identifier);
  if (name.empty()) return 0;
  // A plain name inside the folder: ".jpg" after at most 36 characters of the identifier.
  if (!name.ends_with(u".jpg") || name.size() > corvane::kCopyNameIdentifierLength + 4) std::abort();
  std::u16string_view stem(name.data(), name.size() - 4);
  if (stem.empty() || stem == u"." || stem == u".." || stem.back() == u'.' || stem.back() == u' ') std::abort();
  for (std::size_t i = 0; i < stem.size(); ++i) {
    char16_t c = stem[i];
    if (c <= u' ' || c >= 0x7F || std::u16string_view(u"<>:\"/\\|?*").find(c) != std::u16string_view::npos)
      std::abort();
    if (c != static_cast<unsigned char>(identifier[i])) std::abort();  // widened as it came
  }
  return 0;
}

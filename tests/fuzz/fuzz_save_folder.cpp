// libFuzzer target: the stored save folder from any registry type and data.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include "settings/stored_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  std::uint32_t type = 0;
  std::memcpy(&type, data, 4);
  type %= 12;  // the registry's own types and a few beyond
  const std::size_t capacity = 1 + (data[4] | data[5] << 8) % 2048;
  std::string_view bytes(reinterpret_cast<const char*>(data + 6), size - 6);
  const std::u16string folder = corvane::StoredSaveFolder(type, bytes, capacity);
  if (folder.empty()) return 0;
  if (type != 1 && type != 2) std::abort();
  if (folder.size() + 1 > capacity || folder.size() * 2 > bytes.size()) std::abort();
  for (char16_t c : folder)
    if (c < 0x20 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' || c == u'*') std::abort();
  return 0;
}

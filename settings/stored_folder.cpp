// Judging the stored save folder.
#include "settings/stored_folder.h"
#include "platform/types.h"

namespace corvane {

std::u16string StoredSaveFolder(std::uint32_t type, std::string_view bytes, std::size_t capacity) {
  if ((type != platform::REG_SZ && type != platform::REG_EXPAND_SZ) || bytes.size() % 2 != 0) return {};
  std::u16string folder;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit == 0) break;
    if (unit < 0x20 || std::u16string_view(u"<>\"|?*").find(unit) != std::u16string_view::npos) return {};
    folder += unit;
  }
  if (folder.size() + 1 > capacity) return {};
  return folder;
}

bool IsFullPath(std::u16string_view folder) {
  if (folder.size() >= 3 && folder[1] == u':' && folder[2] == u'\\') {
    const char16_t drive = static_cast<char16_t>(folder[0] | 0x20);
    return drive >= u'a' && drive <= u'z';
  }
  // "\\server\..." and "\\?\C:\..."; a lone "\\" names no share, and "\\.\" names devices.
  if (folder.size() < 3 || folder[0] != u'\\' || folder[1] != u'\\' || folder[2] == u'\\') return false;
  return !folder.starts_with(u"\\\\.\\");
}

}  // namespace corvane

// libFuzzer target: the version-check reply.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include "net/reply_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view whole(reinterpret_cast<const char*>(data), size);
  auto version = corvane::AnnouncedVersion(whole);
  // Read up to its first NUL.
  const std::string_view reply = whole.substr(0, whole.find('\0'));
  if (version.has_value() == (!reply.empty() && reply[0] == 'N')) std::abort();
  if (version && (version->size() > 12 || !reply.starts_with(*version) ||
                  version->size() != (reply.size() < 12 ? reply.size() : 12)))
    std::abort();
  return 0;
}

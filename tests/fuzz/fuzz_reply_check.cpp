// libFuzzer target: the link check on any reply, with the service's prefix and
// with a prefix taken from the input (the prefix will come from a setting).
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include "net/reply_check.h"

namespace {
void Check(std::string_view reply, std::string_view prefix) {
  auto identifier = corvane::LinkIdentifier(reply, prefix);
  if (!identifier) return;
  // What passes is the prefix, a plain name of 1..bound characters and at most one line break.
  if (identifier->empty() || identifier->size() > corvane::kMaxIdentifierLength) std::abort();
  if (prefix.empty() || prefix.size() > corvane::kMaxLinkPrefixLength) std::abort();
  // The prefix, with scheme and host in any case and the path as it stands.
  if (reply.size() < prefix.size()) std::abort();
  const std::size_t scheme = prefix.find("://");
  const std::size_t hostEnd = scheme == std::string_view::npos ? 0 : prefix.find('/', scheme + 3);
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (reply[i] == prefix[i]) continue;
    const bool inHost = hostEnd == std::string_view::npos || i < hostEnd;
    if (!inHost || (reply[i] | 0x20) != (prefix[i] | 0x20) || (prefix[i] | 0x20) < 'a' || (prefix[i] | 0x20) > 'z')
      std::abort();
  }
  if (identifier->data() != reply.data() + prefix.size()) std::abort();
  for (char c : *identifier) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '_' || c == '.';
    if (!plain) std::abort();
  }
  if (*identifier == "." || *identifier == "..") std::abort();
  std::string_view rest = reply.substr(prefix.size() + identifier->size());
  if (!rest.empty() && rest != "\n" && rest != "\r\n") std::abort();
  if (reply.size() > corvane::kMaxLinkPrefixLength + corvane::kMaxIdentifierLength + 2) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  Check(input, "http://corvane.net/");
  // The first byte tells how long the prefix is (up to 510, past the bound of 256).
  if (!input.empty() && 1 + 2 * static_cast<std::size_t>(static_cast<unsigned char>(input[0])) <= input.size()) {
    std::size_t length = 2 * static_cast<std::size_t>(static_cast<unsigned char>(input[0]));
    Check(input.substr(1 + length), input.substr(1, length));
  }
  return 0;
}

// The web service's base address: parsing, the link prefix, the process-wide choice.
#include "net/service_address.h"
#include <atomic>
#include <algorithm>
#include "net/reply_check.h"
#include "platform/types.h"

namespace corvane {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsAlpha(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsHex(char16_t c) { return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }
char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

std::u16string Lowered(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = Lower(c);
  return out;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (Lower(text[i]) != prefix[i]) return false;
  return true;
}

bool AllDigits(std::u16string_view s) {
  if (s.empty()) return false;
  for (char16_t c : s)
    if (!IsDigit(c)) return false;
  return true;
}

// Four decimal parts of 0 to 255, no leading zeros (which some resolvers read as octal).
bool IsIpv4(std::u16string_view s) {
  int parts = 0;
  while (true) {
    std::size_t dot = s.find(u'.');
    std::u16string_view part = s.substr(0, dot);
    if (!AllDigits(part) || part.size() > 3 || (part.size() > 1 && part[0] == u'0')) return false;
    int value = 0;
    for (char16_t c : part) value = value * 10 + (c - u'0');
    if (value > 255) return false;
    ++parts;
    if (dot == std::u16string_view::npos) break;
    s.remove_prefix(dot + 1);
  }
  return parts == 4;
}

// Up to eight groups of one to four hex digits, at most one "::", an optional
// dotted IPv4 tail counting as two groups. No zone: "%" never passes.
bool IsIpv6(std::u16string_view s) {
  if (s.empty()) return false;
  int groups = 0;
  bool gap = false;
  std::size_t i = 0;
  if (s.starts_with(u"::")) {
    gap = true;
    i = 2;
    if (s.size() == 2) return true;
  } else if (s[0] == u':') {
    return false;
  }
  while (i < s.size()) {
    std::size_t end = s.find(u':', i);
    std::u16string_view group = s.substr(i, end == std::u16string_view::npos ? std::u16string_view::npos : end - i);
    if (end == std::u16string_view::npos && group.find(u'.') != std::u16string_view::npos) {
      if (!IsIpv4(group)) return false;
      groups += 2;
      i = s.size();
      break;
    }
    if (group.empty() || group.size() > 4) return false;
    for (char16_t c : group)
      if (!IsHex(c)) return false;
    ++groups;
    if (end == std::u16string_view::npos) {
      i = s.size();
      break;
    }
    i = end + 1;
    if (i < s.size() && s[i] == u':') {
      if (gap) return false;
      gap = true;
      ++i;
      if (i == s.size()) break;  // ends in "::"
    } else if (i == s.size()) {
      return false;  // ends in a single ":"
    }
  }
  return gap ? groups < 8 : groups == 8;
}

// Letters, digits and hyphens in dot-separated labels of 1 to 63 characters,
// no hyphen at either end of a label. A name whose last label is a number must
// be a whole IPv4 address: resolvers read "10.1" or "017.0.0.1" as addresses.
bool IsHostName(std::u16string_view s) {
  if (s.empty() || s.size() > 253) return false;
  std::u16string_view last;
  for (std::u16string_view rest = s;;) {
    std::size_t dot = rest.find(u'.');
    std::u16string_view label = rest.substr(0, dot);
    if (label.empty() || label.size() > 63 || label.front() == u'-' || label.back() == u'-') return false;
    for (char16_t c : label)
      if (!IsAlpha(c) && !IsDigit(c) && c != u'-') return false;
    last = label;
    if (dot == std::u16string_view::npos) break;
    rest.remove_prefix(dot + 1);
  }
  return !AllDigits(last) || IsIpv4(s);
}

// One path segment: URL path characters and well-formed %XX escapes; never
// empty, "." or "..", which servers fold away and links would not show.
bool IsPathSegment(std::u16string_view s) {
  if (s.empty() || s == u"." || s == u"..") return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c == u'%') {
      if (i + 2 >= s.size() || !IsHex(s[i + 1]) || !IsHex(s[i + 2])) return false;
      i += 2;
      continue;
    }
    if (IsAlpha(c) || IsDigit(c)) continue;
    if (std::u16string_view(u"-._~!$&'()*+,;=:@").find(c) == std::u16string_view::npos) return false;
  }
  return true;
}

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += static_cast<char>(c);  // ASCII only, by construction
  return out;
}

// The address in use. The settings dialog puts a new one in place while the
// version check's thread may still read the one before: each is made once and
// never changed or freed, so a reader keeps a whole one whenever it looked.
// One per OK in the dialog: a few hundred bytes in a whole run. Each holds
// the one before, so that all stay reachable.
struct KeptAddress {
  ServiceAddress address;
  const KeptAddress* before;
};
std::atomic<const KeptAddress*> g_service{new KeptAddress{DefaultServiceAddress(), nullptr}};

}  // namespace

// Every address taken gives links the link check accepts: the prefix is at
// most the address and the slash after it (hosts are only lower-cased, and a
// port is shown only when the address named one).
static_assert(kServiceAddressMaxLength + 1 <= kMaxLinkPrefixLength);

ServiceAddress DefaultServiceAddress() {
  return {false, kServiceHost, platform::INTERNET_DEFAULT_HTTP_PORT, u"", ""};
}

std::optional<ServiceAddress> ParseServiceAddress(std::u16string_view text) {
  if (text.size() > kServiceAddressMaxLength) return std::nullopt;
  for (char16_t c : text)
    if (c <= u' ' || c >= 0x7F) return std::nullopt;  // blanks, control characters, anything not ASCII
  ServiceAddress address;
  if (StartsWithNoCase(text, u"https://")) {
    address.secure = true;
    address.port = platform::INTERNET_DEFAULT_HTTPS_PORT;
    text.remove_prefix(8);
  } else if (StartsWithNoCase(text, u"http://")) {
    text.remove_prefix(7);
  } else {
    return std::nullopt;
  }
  if (text.find_first_of(u"?#\\") != std::u16string_view::npos) return std::nullopt;

  std::size_t slash = text.find(u'/');
  std::u16string_view authority = text.substr(0, slash);
  std::u16string_view path = slash == std::u16string_view::npos ? std::u16string_view() : text.substr(slash);
  if (authority.find(u'@') != std::u16string_view::npos) return std::nullopt;  // no user name or password

  std::u16string_view host, port;
  if (authority.starts_with(u'[')) {
    std::size_t close = authority.find(u']');
    if (close == std::u16string_view::npos) return std::nullopt;
    host = authority.substr(1, close - 1);
    std::u16string_view after = authority.substr(close + 1);
    if (!after.empty() && !after.starts_with(u':')) return std::nullopt;
    if (!after.empty()) port = after.substr(1);
    if (!after.empty() && port.empty()) return std::nullopt;
    if (!IsIpv6(host)) return std::nullopt;
  } else {
    std::size_t colon = authority.find(u':');
    host = authority.substr(0, colon);
    if (colon != std::u16string_view::npos) {
      port = authority.substr(colon + 1);
      if (port.empty()) return std::nullopt;
    }
    if (!IsHostName(host)) return std::nullopt;
  }
  address.host = Lowered(host);

  if (!port.empty()) {
    if (!AllDigits(port) || port.size() > 5) return std::nullopt;
    std::uint32_t value = 0;
    for (char16_t c : port) value = value * 10 + (c - u'0');
    if (value == 0 || value > 65535) return std::nullopt;
    address.port = static_cast<std::uint16_t>(value);
  }

  // One trailing slash is the same base; every other segment must be plain.
  if (path.ends_with(u'/')) path.remove_suffix(1);
  for (std::u16string_view rest = path; !rest.empty();) {
    rest.remove_prefix(1);  // the "/"
    std::size_t next = rest.find(u'/');
    if (!IsPathSegment(rest.substr(0, next))) return std::nullopt;
    rest = next == std::u16string_view::npos ? std::u16string_view() : rest.substr(next);
  }
  address.basePath = std::u16string(path);
  return address;
}

std::string AuthorityOf(const ServiceAddress& address) {
  const bool ipv6 = address.host.find(u':') != std::u16string::npos;
  std::string authority;
  if (ipv6) authority += '[';
  authority += Narrow(address.host);
  if (ipv6) authority += ']';
  const std::uint16_t standard =
      address.secure ? platform::INTERNET_DEFAULT_HTTPS_PORT : platform::INTERNET_DEFAULT_HTTP_PORT;
  if (address.port != standard) {
    authority += ':';
    authority += std::to_string(address.port);
  }
  return authority;
}

std::string LinkPrefixOf(const ServiceAddress& address) {
  std::string prefix = address.secure ? "https://" : "http://";
  prefix += AuthorityOf(address);
  prefix += Narrow(address.basePath);
  prefix += '/';
  return prefix;
}

void UseServiceAddress(std::u16string_view setting, std::u16string_view key) {
  std::optional<ServiceAddress> parsed = setting.empty() ? std::nullopt : ParseServiceAddress(setting);
  auto* next = new KeptAddress{parsed ? std::move(*parsed) : DefaultServiceAddress(),
                               g_service.load(std::memory_order_acquire)};
  const bool plainKey = !key.empty() && key.size() <= kUploadKeyMaxLength &&
                        std::all_of(key.begin(), key.end(), [](char16_t c) { return c > u' ' && c < 0x7F; });
  if (parsed && plainKey) next->address.uploadKey = Narrow(key);
  g_service.store(next, std::memory_order_release);
}

const ServiceAddress& Service() { return g_service.load(std::memory_order_acquire)->address; }

std::string ServiceLinkPrefix() { return LinkPrefixOf(Service()); }

}  // namespace corvane

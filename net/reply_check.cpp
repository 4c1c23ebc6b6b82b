// Checks of what the web service sends back.
#include "net/reply_check.h"
#include <limits>

namespace corvane {
namespace {

bool IsPrintableAscii(char c) { return c > ' ' && c < 0x7F; }

// What a picture's name in a link is made of: whatever else the service sends
// would reach the clipboard, the browser and the save folder as a path, a
// stream, a query or a device.
bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.';
}

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Names Windows opens as devices whatever folder or extension comes with them.
bool IsDeviceName(std::u16string_view name) {
  std::u16string_view base = name.substr(0, name.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);  // "NUL .jpg" is still the device
  std::u16string upper;
  for (char16_t c : base) upper += Upper(c);
  for (std::u16string_view device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
    if (upper == device) return true;
  if (upper.size() == 4 && (upper.starts_with(u"COM") || upper.starts_with(u"LPT"))) {
    char16_t n = upper[3];
    return n >= u'1' && n <= u'9';
  }
  return false;
}

// The identifier comes from the network: it must name a plain file inside the
// save folder, never a path, a stream or a device.
bool IsPlainFileName(std::u16string_view name) {
  if (name.empty() || name == u"." || name == u"..") return false;
  for (char16_t c : name)
    if (std::u16string_view(u"<>:\"/\\|?*").find(c) != std::u16string_view::npos) return false;
  if (name.back() == u'.' || name.back() == u' ') return false;
  return !IsDeviceName(name);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether link begins with prefix. Scheme and host name mean the same in any
// case (a service may write its own name as "Shots.Example.org" where the
// setting holds it lower-cased), so up to the slash that ends the host they
// are compared without case; the path, which the server may tell apart by
// case, byte for byte.
bool StartsWithPrefix(std::string_view link, std::string_view prefix) {
  if (link.size() < prefix.size()) return false;
  const std::size_t scheme = prefix.find("://");
  const std::size_t hostEnd = scheme == std::string_view::npos ? 0 : prefix.find('/', scheme + 3);
  const std::size_t loose = hostEnd == std::string_view::npos ? prefix.size() : hostEnd;
  for (std::size_t i = 0; i < loose; ++i)
    if (Lower(link[i]) != Lower(prefix[i])) return false;
  return link.substr(loose, prefix.size() - loose) == prefix.substr(loose);
}

}  // namespace

std::string_view WithoutLineBreak(std::string_view reply) {
  if (reply.ends_with("\r\n")) reply.remove_suffix(2);
  else if (reply.ends_with('\n')) reply.remove_suffix(1);
  return reply;
}

std::optional<std::string_view> LinkIdentifier(std::string_view reply, std::string_view linkPrefix) {
  if (linkPrefix.empty() || linkPrefix.size() > kMaxLinkPrefixLength) return std::nullopt;
  std::string_view link = WithoutLineBreak(reply);
  if (!StartsWithPrefix(link, linkPrefix)) return std::nullopt;
  std::string_view identifier = link.substr(linkPrefix.size());
  if (identifier.empty() || identifier.size() > kMaxIdentifierLength) return std::nullopt;
  if (identifier == "." || identifier == "..") return std::nullopt;
  for (char c : identifier)
    if (!IsNameCharacter(c)) return std::nullopt;
  if (IsDeviceName(std::u16string(identifier.begin(), identifier.end()))) return std::nullopt;
  return identifier;
}

std::u16string CopyFileName(std::string_view identifier) {
  std::u16string name;
  for (char c : identifier.substr(0, kCopyNameIdentifierLength)) {
    if (!IsPrintableAscii(c)) return {};
    name += static_cast<char16_t>(c);
  }
  if (!IsPlainFileName(name)) return {};
  return name + u".jpg";
}

long ParseStatusCode(const char16_t* text, std::size_t count) {
  std::size_t i = 0;
  auto at = [&](std::size_t k) { return k < count ? text[k] : u'\0'; };
  while (at(i) == u' ' || (at(i) >= u'\t' && at(i) <= u'\r')) ++i;
  const bool negative = at(i) == u'-';
  if (at(i) == u'-' || at(i) == u'+') ++i;
  // Out of range saturates as the platform's conversion does: to the largest
  // value, or the smallest for a negative number.
  const unsigned long limit = negative ? 0UL - static_cast<unsigned long>(std::numeric_limits<long>::min())
                                       : static_cast<unsigned long>(std::numeric_limits<long>::max());
  unsigned long value = 0;
  bool over = false;
  for (; at(i) >= u'0' && at(i) <= u'9'; ++i) {
    const unsigned long digit = at(i) - u'0';
    if (over || value > (limit - digit) / 10) over = true;
    else value = value * 10 + digit;
  }
  if (over) return negative ? std::numeric_limits<long>::min() : std::numeric_limits<long>::max();
  return negative ? static_cast<long>(0UL - value) : static_cast<long>(value);
}

std::optional<std::string_view> AnnouncedVersion(std::string_view reply) {
  reply = reply.substr(0, reply.find('\0'));
  if (!reply.empty() && reply[0] == 'N') return std::nullopt;
  return reply.substr(0, 12);
}

}  // namespace corvane

// Where the web service lives: the built-in host over plain HTTP, or a base
// address the user stored (an own server, possibly over HTTPS). Both requests,
// the download page and the links the service returns sit below it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The web service host, fixed at build time (CMake cache variable CORVANE_SERVICE_HOST).
inline constexpr char16_t kServiceHost[] = CORVANE_SERVICE_HOST;
inline constexpr std::size_t kServiceHostLength = sizeof(kServiceHost) / sizeof(char16_t) - 1;
static_assert(kServiceHostLength > 0 && kServiceHostLength < 50, "the host must fit its 50-character buffer");

constexpr bool IsAsciiHost(const char16_t* host) {
  for (; *host != 0; ++host)
    if (*host <= u' ' || *host >= 0x7F) return false;
  return true;
}
static_assert(IsAsciiHost(kServiceHost), "the host goes into 8-bit links as it is");

// Longest stored address taken, in characters; a longer one is ignored whole.
inline constexpr std::size_t kServiceAddressMaxLength = 255;
// Longest upload key taken, in characters.
inline constexpr std::size_t kUploadKeyMaxLength = 255;

struct ServiceAddress {
  bool secure = false;       // https: TLS, certificate verified by the platform
  std::u16string host;       // lower case; an IPv6 literal without its brackets
  std::uint16_t port = 80;   // 80 or 443 unless the address names another
  std::u16string basePath;   // "" or "/a/b": no trailing slash, every segment plain
  std::string uploadKey;     // "" or an own service's key, sent as the field "key" of every upload
};

// The built-in service: http://<CORVANE_SERVICE_HOST>, port 80, no base path.
ServiceAddress DefaultServiceAddress();

// A base address "http[s]://host[:port][/path][/]". Refused (nullopt): other
// schemes, user names or passwords, a query or fragment, ports outside 1 to
// 65535, hosts that are not plain DNS names, IPv4 or bracketed IPv6 literals
// (no zone), path segments that are empty, "." or "..", characters outside
// printable ASCII or not allowed in a URL path, and text longer than
// kServiceAddressMaxLength.
std::optional<ServiceAddress> ParseServiceAddress(std::u16string_view text);

// "host[:port]" as links show it: IPv6 in brackets, the port only when it is
// not the scheme's default. The site's name in the version check's question.
std::string AuthorityOf(const ServiceAddress& address);
// The start of every link the service returns, up to the picture's identifier:
// the scheme, the authority, the base path and "/". http://corvane.net/ for the
// built-in one.
std::string LinkPrefixOf(const ServiceAddress& address);

// The address every exchange of this process uses. Start-up sets it from the
// stored setting, before any other thread exists, and the settings dialog's OK
// sets it again on the user-interface thread; a thread that read it before
// keeps what it read, whole (the version check among them). Text that
// is empty or does not parse leaves the built-in service. The key goes with a
// stored address only, never to the built-in host, and only when it is 1 to
// kUploadKeyMaxLength printable ASCII characters without spaces; otherwise no
// key is sent, and a service that wants one refuses the upload.
void UseServiceAddress(std::u16string_view setting, std::u16string_view key = {});
const ServiceAddress& Service();
std::string ServiceLinkPrefix();

}  // namespace corvane

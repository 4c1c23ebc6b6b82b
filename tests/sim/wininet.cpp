// Simulated WinINet.
#include "platform/wininet.h"
#include "tests/sim/sim.h"

namespace platform {
using sim::record;
using sim::result;

Hinternet InternetOpenW(const char16_t* agent, std::uint32_t accessType, const char16_t* proxy,
                        const char16_t* proxyBypass, std::uint32_t flags) {
  record("InternetOpenW", agent, accessType, proxy, proxyBypass, flags);
  return sim::handle<Hinternet>();
}
Hinternet InternetConnectW(Hinternet internet, const char16_t* host, std::uint16_t port, const char16_t* user,
                           const char16_t* password, std::uint32_t service, std::uint32_t flags,
                           std::uintptr_t context) {
  record("InternetConnectW", internet, host, port, user, password, service, flags, static_cast<std::uint64_t>(context));
  return sim::handle<Hinternet>();
}
Hinternet HttpOpenRequestW(Hinternet connection, const char16_t* verb, const char16_t* path, const char16_t* version,
                           const char16_t* referrer, const char16_t* const*, std::uint32_t flags,
                           std::uintptr_t context) {
  record("HttpOpenRequestW", connection, verb, path, version, referrer, flags, static_cast<std::uint64_t>(context));
  return sim::handle<Hinternet>();
}
Bool HttpSendRequestW(Hinternet request, const char16_t* headers, std::uint32_t headersLength, const void*,
                      std::uint32_t bodyLength) {
  record("HttpSendRequestW", request, headers, headersLength, bodyLength);
  return 1;
}
Bool HttpQueryInfoW(Hinternet request, std::uint32_t infoLevel, void*, std::uint32_t* bufferLength,
                    std::uint32_t*) {
  record("HttpQueryInfoW", request, infoLevel, *bufferLength);
  return 0;
}
Bool InternetReadFile(Hinternet request, void*, std::uint32_t toRead, std::uint32_t* read) {
  record("InternetReadFile", request, toRead);
  *read = 0;
  return 1;
}
Bool InternetCloseHandle(Hinternet handle) { record("InternetCloseHandle", handle); return 1; }

}  // namespace platform

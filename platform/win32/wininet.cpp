#include "platform/wininet.h"
#include "platform/win32/win.h"
#include <wininet.h>

namespace platform {
using namespace win32;

Hinternet InternetOpenW(const char16_t* agent, std::uint32_t accessType, const char16_t* proxy,
                        const char16_t* proxyBypass, std::uint32_t flags) {
  return As<Hinternet>(::InternetOpenW(W(agent), accessType, W(proxy), W(proxyBypass), flags));
}
Hinternet InternetConnectW(Hinternet internet, const char16_t* host, std::uint16_t port, const char16_t* user,
                           const char16_t* password, std::uint32_t service, std::uint32_t flags,
                           std::uintptr_t context) {
  return As<Hinternet>(
      ::InternetConnectW(As<HINTERNET>(internet), W(host), port, W(user), W(password), service, flags, context));
}
Hinternet HttpOpenRequestW(Hinternet connection, const char16_t* verb, const char16_t* path, const char16_t* version,
                           const char16_t* referrer, const char16_t* const* acceptTypes, std::uint32_t flags,
                           std::uintptr_t context) {
  return As<Hinternet>(::HttpOpenRequestW(As<HINTERNET>(connection), W(verb), W(path), W(version), W(referrer),
                                          const_cast<LPCWSTR*>(reinterpret_cast<const wchar_t* const*>(acceptTypes)), flags, context));
}
Bool HttpSendRequestW(Hinternet request, const char16_t* headers, std::uint32_t headersLength, const void* body,
                      std::uint32_t bodyLength) {
  return ::HttpSendRequestW(As<HINTERNET>(request), W(headers), headersLength, const_cast<void*>(body), bodyLength);
}
Bool HttpQueryInfoW(Hinternet request, std::uint32_t infoLevel, void* buffer, std::uint32_t* bufferLength,
                    std::uint32_t* index) {
  return ::HttpQueryInfoW(As<HINTERNET>(request), infoLevel, buffer, As<DWORD*>(bufferLength), As<DWORD*>(index));
}
Bool InternetSetOptionW(Hinternet handle, std::uint32_t option, const void* buffer, std::uint32_t bufferLength) {
  return ::InternetSetOptionW(As<HINTERNET>(handle), option, const_cast<void*>(buffer), bufferLength);
}
Bool InternetQueryDataAvailable(Hinternet request, std::uint32_t* available, std::uint32_t flags,
                                std::uintptr_t context) {
  return ::InternetQueryDataAvailable(As<HINTERNET>(request), As<DWORD*>(available), flags, context);
}
Bool InternetReadFile(Hinternet request, void* buffer, std::uint32_t toRead, std::uint32_t* read) {
  return ::InternetReadFile(As<HINTERNET>(request), buffer, toRead, As<DWORD*>(read));
}
Bool InternetCloseHandle(Hinternet handle) { return ::InternetCloseHandle(As<HINTERNET>(handle)); }
// 64-bit Windows has one calling convention, so the portable callback is the platform's own type.
static_assert(sizeof(void*) == 8 && sizeof(DWORD) == sizeof(std::uint32_t), "callback types differ on this target");
InternetStatusCallback InternetSetStatusCallbackW(Hinternet handle, InternetStatusCallback callback) {
  return reinterpret_cast<InternetStatusCallback>(::InternetSetStatusCallbackW(As<HINTERNET>(handle), reinterpret_cast<INTERNET_STATUS_CALLBACK>(callback)));
}

}  // namespace platform

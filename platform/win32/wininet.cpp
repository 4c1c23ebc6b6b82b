// WinINet, loaded for the life of each Internet handle that InternetOpenW
// gives: the exchanges of an upload and of the version check may overlap, each
// with its own handle and its own reference on the library.
#include "platform/wininet.h"
#include "platform/win32/system_dll.h"
#include "platform/win32/win.h"
#include <wininet.h>

namespace platform {
using namespace win32;

namespace {
constexpr SystemDll wininet(L"wininet.dll");

template <typename Fn, typename Result, typename... Args>
Result call(const char* proc, Result failure, Args... args) {
  return wininet.Call<Fn>(proc, failure, args...);
}
}  // namespace

Hinternet InternetOpenW(const char16_t* agent, std::uint32_t accessType, const char16_t* proxy,
                        const char16_t* proxyBypass, std::uint32_t flags) {
  if (!wininet.Acquire()) return nullptr;
  HINTERNET internet = call<decltype(&::InternetOpenW)>("InternetOpenW", HINTERNET{}, W(agent), DWORD{accessType},
                                                        W(proxy), W(proxyBypass), DWORD{flags});
  return As<Hinternet>(internet);
}
Hinternet InternetConnectW(Hinternet internet, const char16_t* host, std::uint16_t port, const char16_t* user,
                           const char16_t* password, std::uint32_t service, std::uint32_t flags,
                           std::uintptr_t context) {
  return As<Hinternet>(call<decltype(&::InternetConnectW)>("InternetConnectW", HINTERNET{}, As<HINTERNET>(internet),
                                                          W(host), INTERNET_PORT{port}, W(user), W(password),
                                                          DWORD{service}, DWORD{flags}, DWORD_PTR{context}));
}
Hinternet HttpOpenRequestW(Hinternet connection, const char16_t* verb, const char16_t* path, const char16_t* version,
                           const char16_t* referrer, const char16_t* const* acceptTypes, std::uint32_t flags,
                           std::uintptr_t context) {
  return As<Hinternet>(call<decltype(&::HttpOpenRequestW)>(
      "HttpOpenRequestW", HINTERNET{}, As<HINTERNET>(connection), W(verb), W(path), W(version), W(referrer),
      const_cast<LPCWSTR*>(reinterpret_cast<const wchar_t* const*>(acceptTypes)), DWORD{flags}, DWORD_PTR{context}));
}
Bool HttpSendRequestW(Hinternet request, const char16_t* headers, std::uint32_t headersLength, const void* body,
                      std::uint32_t bodyLength) {
  return call<decltype(&::HttpSendRequestW)>("HttpSendRequestW", BOOL{FALSE}, As<HINTERNET>(request), W(headers),
                                             DWORD{headersLength}, const_cast<void*>(body), DWORD{bodyLength});
}
Bool HttpQueryInfoW(Hinternet request, std::uint32_t infoLevel, void* buffer, std::uint32_t* bufferLength,
                    std::uint32_t* index) {
  return call<decltype(&::HttpQueryInfoW)>("HttpQueryInfoW", BOOL{FALSE}, As<HINTERNET>(request), DWORD{infoLevel},
                                           buffer, As<DWORD*>(bufferLength), As<DWORD*>(index));
}
Bool InternetSetOptionW(Hinternet handle, std::uint32_t option, const void* buffer, std::uint32_t bufferLength) {
  return call<decltype(&::InternetSetOptionW)>("InternetSetOptionW", BOOL{FALSE}, As<HINTERNET>(handle),
                                               DWORD{option}, const_cast<void*>(buffer), DWORD{bufferLength});
}
Bool InternetQueryDataAvailable(Hinternet request, std::uint32_t* available, std::uint32_t flags,
                                std::uintptr_t context) {
  return call<decltype(&::InternetQueryDataAvailable)>("InternetQueryDataAvailable", BOOL{FALSE},
                                                       As<HINTERNET>(request), As<DWORD*>(available), DWORD{flags},
                                                       DWORD_PTR{context});
}
Bool InternetReadFile(Hinternet request, void* buffer, std::uint32_t toRead, std::uint32_t* read) {
  return call<decltype(&::InternetReadFile)>("InternetReadFile", BOOL{FALSE}, As<HINTERNET>(request), buffer,
                                             DWORD{toRead}, As<DWORD*>(read));
}
Bool InternetCloseHandle(Hinternet handle) {
  return call<decltype(&::InternetCloseHandle)>("InternetCloseHandle", BOOL{FALSE}, As<HINTERNET>(handle));
}
// 64-bit Windows has one calling convention, so the portable callback is the platform's own type.
static_assert(sizeof(void*) == 8 && sizeof(DWORD) == sizeof(std::uint32_t), "callback types differ on this target");
InternetStatusCallback InternetSetStatusCallbackW(Hinternet handle, InternetStatusCallback callback) {
  return reinterpret_cast<InternetStatusCallback>(call<decltype(&::InternetSetStatusCallbackW)>(
      "InternetSetStatusCallbackW", INTERNET_STATUS_CALLBACK{}, As<HINTERNET>(handle),
      reinterpret_cast<INTERNET_STATUS_CALLBACK>(callback)));
}

}  // namespace platform

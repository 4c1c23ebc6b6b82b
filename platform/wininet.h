// WinINet: one HTTP exchange.
#pragma once
#include "platform/types.h"

namespace platform {

Hinternet InternetOpenW(const char16_t* agent, std::uint32_t accessType, const char16_t* proxy,
                        const char16_t* proxyBypass, std::uint32_t flags);
Hinternet InternetConnectW(Hinternet internet, const char16_t* host, std::uint16_t port,
                           const char16_t* user, const char16_t* password, std::uint32_t service,
                           std::uint32_t flags, std::uintptr_t context);
Hinternet HttpOpenRequestW(Hinternet connection, const char16_t* verb, const char16_t* path,
                           const char16_t* version, const char16_t* referrer,
                           const char16_t* const* acceptTypes, std::uint32_t flags,
                           std::uintptr_t context);
Bool HttpSendRequestW(Hinternet request, const char16_t* headers, std::uint32_t headersLength,
                      const void* body, std::uint32_t bodyLength);
Bool HttpQueryInfoW(Hinternet request, std::uint32_t infoLevel, void* buffer, std::uint32_t* bufferLength,
                    std::uint32_t* index);
// Sets a DWORD-sized option (timeouts) on any of the three handles.
Bool InternetSetOptionW(Hinternet handle, std::uint32_t option, const void* buffer, std::uint32_t bufferLength);
// Waits until some of the reply can be read, or its end is reached (available 0).
Bool InternetQueryDataAvailable(Hinternet request, std::uint32_t* available, std::uint32_t flags,
                                std::uintptr_t context);
Bool InternetReadFile(Hinternet request, void* buffer, std::uint32_t toRead, std::uint32_t* read);
Bool InternetCloseHandle(Hinternet handle);
// Progress reports for a handle made with a nonzero context, made on the thread
// whose call makes the progress. Returns the callback set before.
using InternetStatusCallback = void (*)(Hinternet handle, std::uintptr_t context, std::uint32_t status, void* info,
                                        std::uint32_t infoLength);
InternetStatusCallback InternetSetStatusCallbackW(Hinternet handle, InternetStatusCallback callback);

}  // namespace platform

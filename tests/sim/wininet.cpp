// Simulated WinINet: one scripted exchange per test. Each stage fails when its
// call is scripted to 0 (sim::script("HttpSendRequestW", 0) and so on).
#include "platform/wininet.h"
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <utility>
#include "platform/kernel32.h"
#include "tests/sim/sim.h"

namespace {
sim::HttpExchange g_exchange;
sim::HttpSent g_sent;
std::size_t g_chunk = 0, g_offset = 0;
bool g_chunkTimed = false;  // the clock has moved on for the current chunk
std::set<platform::Hinternet> g_open;
std::map<platform::Hinternet, std::map<std::uint32_t, std::uint32_t>> g_options;
std::map<platform::Hinternet, std::uintptr_t> g_contexts;
std::map<platform::Hinternet, platform::InternetStatusCallback> g_callbacks;
const bool g_registered = (sim::onReset([] {
                             g_exchange = {};
                             g_sent = {};
                             g_chunk = g_offset = 0;
                             g_chunkTimed = false;
                             g_open.clear();
                             g_options.clear();
                             g_contexts.clear();
                             g_callbacks.clear();
                           }),
                           true);

platform::Hinternet open(const char* name) {
  if (sim::result<int>(name, 1) == 0) {
    sim::setLastError(g_exchange.failError);
    return nullptr;
  }
  auto h = sim::handle<platform::Hinternet>();
  g_open.insert(h);
  return h;
}
}  // namespace

namespace sim {
void scriptHttp(HttpExchange exchange) {
  g_exchange = std::move(exchange);
  g_chunk = g_offset = 0;
  g_chunkTimed = false;
}
std::map<std::uint32_t, std::uint32_t> internetOptions(platform::Hinternet handle) { return g_options[handle]; }
const HttpSent& lastHttpSend() { return g_sent; }
int internetHandlesOpen() { return static_cast<int>(g_open.size()); }
}  // namespace sim

namespace platform {
using sim::record;
using sim::result;

Hinternet InternetOpenW(const char16_t* agent, std::uint32_t accessType, const char16_t* proxy,
                        const char16_t* proxyBypass, std::uint32_t flags) {
  record("InternetOpenW", agent, accessType, proxy, proxyBypass, flags);
  return open("InternetOpenW");
}
Hinternet InternetConnectW(Hinternet internet, const char16_t* host, std::uint16_t port, const char16_t* user,
                           const char16_t* password, std::uint32_t service, std::uint32_t flags,
                           std::uintptr_t context) {
  record("InternetConnectW", internet, host, port, user, password, service, flags, static_cast<std::uint64_t>(context));
  return open("InternetConnectW");
}
Hinternet HttpOpenRequestW(Hinternet connection, const char16_t* verb, const char16_t* path, const char16_t* version,
                           const char16_t* referrer, const char16_t* const* acceptTypes, std::uint32_t flags,
                           std::uintptr_t context) {
  record("HttpOpenRequestW", connection, verb, path, version, referrer, static_cast<const void*>(acceptTypes), flags,
         context != 0);
  Hinternet request = open("HttpOpenRequestW");
  if (request != nullptr) g_contexts[request] = context;
  return request;
}
Bool HttpSendRequestW(Hinternet request, const char16_t* headers, std::uint32_t headersLength, const void* body,
                      std::uint32_t bodyLength) {
  record("HttpSendRequestW", request, headers, headersLength, bodyLength);
  g_sent.headers = headers ? std::u16string(headers, headersLength) : std::u16string();
  g_sent.headerLength = headersLength;
  g_sent.body.assign(static_cast<const char*>(body), bodyLength);
  sim::advanceClock(g_exchange.msToSend);
  const auto callback = g_callbacks.find(request);
  if (callback != g_callbacks.end() && callback->second != nullptr && g_contexts[request] != 0)
    callback->second(request, g_contexts[request], INTERNET_STATUS_REQUEST_SENT, &bodyLength, sizeof bodyLength);
  sim::advanceClock(g_exchange.msToStatus);
  // Each send meets a reply of its own, read from its start.
  g_chunk = g_offset = 0;
  g_chunkTimed = false;
  if (sim::count("HttpSendRequestW") > 1 && !g_exchange.statusOnResend.empty()) g_exchange.status = g_exchange.statusOnResend;
  if (result<Bool>("HttpSendRequestW", 1) == 0) {
    sim::setLastError(g_exchange.failError);
    return 0;
  }
  return 1;
}
Bool HttpQueryInfoW(Hinternet request, std::uint32_t infoLevel, void* buffer, std::uint32_t* bufferLength,
                    std::uint32_t* index) {
  record("HttpQueryInfoW", request, infoLevel, *bufferLength, static_cast<const void*>(index));
  if (result<Bool>("HttpQueryInfoW", 1) == 0) {
    sim::setLastError(g_exchange.failError);
    return 0;
  }
  if (infoLevel == HTTP_QUERY_LOCATION && g_exchange.location.empty()) {
    sim::setLastError(ERROR_HTTP_HEADER_NOT_FOUND);
    return 0;
  }
  std::u16string custom;
  if (infoLevel == HTTP_QUERY_CUSTOM) {
    auto found = g_exchange.headers.find(static_cast<const char16_t*>(buffer));
    if (found == g_exchange.headers.end()) {
      sim::setLastError(ERROR_HTTP_HEADER_NOT_FOUND);
      return 0;
    }
    custom = found->second;
  }
  // As the platform does: the text and its terminator, or the size it needs.
  const std::u16string& status = infoLevel == HTTP_QUERY_LOCATION ? g_exchange.location
                                 : infoLevel == HTTP_QUERY_CUSTOM ? custom
                                                                  : g_exchange.status;
  std::uint32_t need = static_cast<std::uint32_t>((status.size() + 1) * sizeof(char16_t));
  if (need > *bufferLength) {
    *bufferLength = need;
    sim::setLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, status.c_str(), need);
  *bufferLength = need - sizeof(char16_t);
  return 1;
}
Bool InternetSetOptionW(Hinternet handle, std::uint32_t option, const void* buffer, std::uint32_t bufferLength) {
  std::uint32_t value = 0;
  if (bufferLength == sizeof value) std::memcpy(&value, buffer, sizeof value);
  record("InternetSetOptionW", handle, option, value, bufferLength);
  if (!g_open.count(handle) || result<Bool>("InternetSetOptionW", 1) == 0) return 0;
  g_options[handle][option] = value;
  return 1;
}
}  // namespace platform

namespace {
// Moves past finished chunks; false at the end of the reply.
bool nextChunk() {
  while (g_chunk < g_exchange.chunks.size() && g_offset == g_exchange.chunks[g_chunk].size())
    ++g_chunk, g_offset = 0, g_chunkTimed = false;
  if (g_chunk == g_exchange.chunks.size()) return false;
  if (!g_chunkTimed) sim::advanceClock(g_exchange.msPerChunk);
  g_chunkTimed = true;
  return true;
}

// After the last chunk: the end of the reply, or a connection the service dropped.
platform::Bool readEnd() {
  if (!g_exchange.readFails) return 1;
  sim::setLastError(platform::ERROR_INTERNET_CONNECTION_ABORTED);
  return 0;
}
}  // namespace

namespace platform {
Bool InternetQueryDataAvailable(Hinternet request, std::uint32_t* available, std::uint32_t flags,
                                std::uintptr_t context) {
  record("InternetQueryDataAvailable", request, flags, static_cast<std::uint64_t>(context));
  *available = 0;
  if (!nextChunk()) return readEnd();
  *available = static_cast<std::uint32_t>(g_exchange.chunks[g_chunk].size() - g_offset);
  return 1;
}
Bool InternetReadFile(Hinternet request, void* buffer, std::uint32_t toRead, std::uint32_t* read) {
  record("InternetReadFile", request, toRead);
  *read = 0;
  if (!nextChunk()) return readEnd();
  const std::string& chunk = g_exchange.chunks[g_chunk];
  std::size_t n = std::min<std::size_t>(toRead, chunk.size() - g_offset);
  std::memcpy(buffer, chunk.data() + g_offset, n);
  g_offset += n;
  *read = static_cast<std::uint32_t>(n);
  return 1;
}
InternetStatusCallback InternetSetStatusCallbackW(Hinternet handle, InternetStatusCallback callback) {
  record("InternetSetStatusCallbackW", handle, callback != nullptr);
  // Scripted 0: a platform that makes no reports.
  if (result<int>("InternetSetStatusCallbackW", 1) == 0) return nullptr;
  return std::exchange(g_callbacks[handle], callback);
}
Bool InternetCloseHandle(Hinternet handle) {
  record("InternetCloseHandle", handle);
  return g_open.erase(handle) ? 1 : 0;
}

}  // namespace platform

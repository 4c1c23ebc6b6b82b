// Multipart body and the HTTP exchange with the web service.
#include "net/multipart.h"
#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>
#include "platform/guards.h"
#include "platform/kernel32.h"
#include "platform/wininet.h"

namespace corvane {
namespace {

constexpr std::string_view kCrLf = "\r\n";

void BeginPart(MultipartBody& body, std::string_view name) {
  std::string& b = body.bytes;
  b += "--";
  b += kBoundary;
  b += kCrLf;
  b += "content-disposition: form-data; name=\"";
  b += name;
  b += '"';
  b += kCrLf;
  b += kCrLf;
}

// Reads the rest of an open file onto the end of out. False when a read fails.
// The file's size, when known, is reserved at once and read straight into
// place: a large picture is neither copied twice nor regrown step by step.
bool AppendFileBytes(platform::Handle file, std::string& out) {
  constexpr std::size_t kChunk = 64 * 1024;
  constexpr std::size_t kLargestRead = 64 * 1024 * 1024;
  constexpr std::size_t kTail = 64;  // the CR LF and closing line that follow
  std::int64_t size = 0;
  if (platform::GetFileSizeEx(file, &size) && size > 0) {
    // A body's length goes to the platform as 32 bits: a larger file could never be sent.
    if (static_cast<std::uint64_t>(size) > std::numeric_limits<std::uint32_t>::max()) return false;
    out.reserve(out.size() + static_cast<std::size_t>(size) + kTail);
  }
  for (;;) {
    std::size_t used = out.size();
    std::size_t room = out.capacity() - used;
    std::uint32_t read = 0;
    if (room < kChunk + kTail) {
      // Past the size reserved (or none was known): small reads, appended, so
      // that the last read, which finds the end, does not regrow the body.
      char buffer[4096];
      if (!platform::ReadFile(file, buffer, sizeof buffer, &read, nullptr)) return false;
      if (read == 0) return true;
      out.append(buffer, std::min<std::size_t>(read, sizeof buffer));
      continue;
    }
    std::uint32_t want = static_cast<std::uint32_t>(std::min(room - kTail, kLargestRead));
    out.resize(used + want);
    bool ok = platform::ReadFile(file, out.data() + used, want, &read, nullptr) != 0;
    out.resize(used + (ok ? std::min(read, want) : 0));
    if (!ok) return false;
    if (read == 0) return true;
  }
}

// The handles of one exchange, closed innermost first whatever happened.
struct ExchangeHandles {
  platform::Hinternet internet = nullptr, connection = nullptr, request = nullptr;
};

void CloseHandles(ExchangeHandles& h) {
  if (h.request != nullptr) platform::InternetCloseHandle(h.request);
  if (h.connection != nullptr) platform::InternetCloseHandle(h.connection);
  if (h.internet != nullptr) platform::InternetCloseHandle(h.internet);
}

// Every handle gets the limits itself rather than relying on what a child
// takes over from its parent, which differs between platform versions. A handle
// that refuses them still works, under the platform's own (longer) limits.
void SetTimeouts(platform::Hinternet handle) {
  using namespace platform;
  const std::pair<std::uint32_t, std::uint32_t> limits[] = {{INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs},
                                                            {INTERNET_OPTION_SEND_TIMEOUT, kSendTimeoutMs},
                                                            {INTERNET_OPTION_RECEIVE_TIMEOUT, kReceiveTimeoutMs}};
  for (const auto& [option, ms] : limits) InternetSetOptionW(handle, option, &ms, sizeof ms);
}

// Reads the reply after a 200 status, within kReplyDeadlineMs and kMaxReplyBytes.
// Each wait asks only for what has arrived, so a reply that trickles in a byte
// at a time is seen to do so here, between the waits, where a per-call receive
// timeout never fires.
Exchange ReadReply(platform::Hinternet request) {
  using namespace platform;
  const std::uint64_t start = GetTickCount64();
  auto late = [&] { return GetTickCount64() - start >= kReplyDeadlineMs; };
  std::string reply;
  char buffer[1024];
  for (;;) {
    if (late()) return {ExchangeStage::Reply, {}};
    // The next wait ends by the deadline, not one whole receive timeout after it.
    const std::uint32_t left = static_cast<std::uint32_t>(kReplyDeadlineMs - (GetTickCount64() - start));
    InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
    std::uint32_t available = 0;
    // A failed wait is a reply cut short (the service went silent or dropped
    // the connection): what came before it is not the whole link.
    if (!InternetQueryDataAvailable(request, &available, 0, 0) || late()) return {ExchangeStage::Reply, {}};
    if (available == 0) break;  // the end of the reply
    const std::uint32_t want = std::min<std::uint32_t>(available, sizeof buffer);
    std::uint32_t read = 0;
    if (!InternetReadFile(request, buffer, want, &read)) return {ExchangeStage::Reply, {}};
    if (read == 0) break;
    read = std::min(read, want);
    if (read > kMaxReplyBytes - reply.size()) return {ExchangeStage::Reply, {}};
    reply.append(buffer, read);
  }
  // The reply is text up to its first NUL; the rest is never looked at.
  reply.resize(std::min(reply.size(), reply.find('\0')));
  return {ExchangeStage::Done, std::move(reply)};
}

Exchange Run(const char16_t* path, std::string_view body, ExchangeHandles& h) {
  using namespace platform;
  // The platform's configured proxy applies (that is also how tests reach a local service).
  h.internet = InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (h.internet == nullptr) return {ExchangeStage::Open, {}};
  SetTimeouts(h.internet);
  const ServiceAddress& service = Service();
  h.connection = InternetConnectW(h.internet, service.host.c_str(), service.port, nullptr, nullptr,
                                  INTERNET_SERVICE_HTTP, 0, 0);
  if (h.connection == nullptr) return {ExchangeStage::Connect, {}};
  SetTimeouts(h.connection);
  // TLS with the platform's certificate checks as they are: no flag or option
  // ever waives one, so a certificate that does not verify fails the send.
  const std::u16string target = service.basePath + path;
  const std::uint32_t flags = kRequestFlags | (service.secure ? INTERNET_FLAG_SECURE : 0);
  h.request = HttpOpenRequestW(h.connection, u"POST", target.c_str(), nullptr, nullptr, nullptr, flags, 0);
  if (h.request == nullptr) return {ExchangeStage::OpenRequest, {}};
  SetTimeouts(h.request);
  // The platform takes a 32-bit body length; a larger body cannot be sent at all.
  if (body.size() > std::numeric_limits<std::uint32_t>::max()) return {ExchangeStage::Send, {}};
  // Sends the body and waits for the status line: each send and each wait for
  // the service's first bytes is bounded by the timeouts above, so a slow but
  // moving upload completes and a silent service ends it.
  if (!HttpSendRequestW(h.request, kRequestHeader, kRequestHeaderLength, body.data(),
                        static_cast<std::uint32_t>(body.size())))
    return {ExchangeStage::Send, {}};

  char16_t status[4] = {};  // 8 bytes: a three-digit code and its terminator
  std::uint32_t statusBytes = sizeof status;
  if (!HttpQueryInfoW(h.request, HTTP_QUERY_STATUS_CODE, status, &statusBytes, nullptr) ||
      ParseStatusCode(status, 4) != 200)
    return {ExchangeStage::Status, {}};
  return ReadReply(h.request);
}

}  // namespace

void AddField(MultipartBody& body, std::string_view name, std::string_view value) {
  BeginPart(body, name);
  body.bytes += value;
  body.bytes += kCrLf;
}

bool AddFileField(MultipartBody& body, std::string_view name, const char16_t* path) {
  using namespace platform;
  const UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  std::size_t before = body.bytes.size();
  bool ok = false;
  try {
    BeginPart(body, name);
    ok = AppendFileBytes(file.get(), body.bytes);
    body.bytes += kCrLf;
  } catch (const std::bad_alloc&) {
    ok = false;
  } catch (const std::length_error&) {
    ok = false;
  }
  if (!ok) {
    // A picture too large for memory fails like an unreadable one; nothing
    // may throw through the window procedure that called the upload.
    body.bytes.resize(before);
    body.bytes.shrink_to_fit();
  }
  return ok;
}

std::string FinishBody(MultipartBody& body) {
  body.bytes += "--";
  body.bytes += kBoundary;
  body.bytes += "--";
  body.bytes += kCrLf;
  return std::move(body.bytes);
}

Exchange PostMultipart(const char16_t* path, std::string_view body) {
  ExchangeHandles handles;
  Exchange result = Run(path, body, handles);
  CloseHandles(handles);
  return result;
}

}  // namespace corvane

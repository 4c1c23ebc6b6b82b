// Multipart body and the HTTP exchange with the web service.
#include "net/multipart.h"
#include <algorithm>
#include <atomic>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>
#include "platform/guards.h"
#include "platform/kernel32.h"
#include "platform/user32.h"
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

// Why the exchange runs on a thread of its own: one WinINet call can block far
// past every per-call timeout (Wine's HttpSendRequestW waits as long as a
// status line trickles in a byte at a time, and closing the handle from
// another thread does not free it), while the caller holds the user's screen.
// Only a caller that can walk away bounds that. So the worker owns all it
// touches (the body, its handles, its result) in one block that the caller and
// the worker each hold; whichever lets go last frees it. Asynchronous WinINet
// would be no simpler: the body and handles must still outlive a call that may
// never complete, and every step becomes a callback on the platform's threads.
struct ExchangeJob {
  std::atomic<int> holders{2};  // the caller and the worker
  // Fixed before the worker starts.
  ServiceAddress service;
  std::u16string target;
  std::string body;
  // Progress, written by the worker, read by the caller while it waits. Ticks; 0: not yet.
  std::atomic<std::uint64_t> sendEntered{0};
  std::atomic<std::uint64_t> requestSent{0};
  std::atomic<bool> heardFromPlatform{false};  // the platform makes status callbacks here
  std::atomic<bool> finished{false};
  Exchange result{ExchangeStage::Open, {}};  // the caller's once finished
};

void LetGo(ExchangeJob* job) {
  if (job->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) delete job;
}

// The tick by which the whole reply must be in; 0 while the body is still going
// out, which only the per-call timeouts bound (a large picture over a slow link
// may take minutes). A platform that makes no status callbacks never says when
// the body went out: its send is taken to have ended by the longest a connect
// and a stalled send may take, or when it returned, if that was sooner.
std::uint64_t ReplyDeadline(const ExchangeJob& job) {
  const std::uint64_t sent = job.requestSent.load(), entered = job.sendEntered.load();
  if (entered == 0 || job.heardFromPlatform.load()) return sent != 0 ? sent + kReplyDeadlineMs : 0;
  const std::uint64_t latest = entered + kConnectTimeoutMs + kSendTimeoutMs;
  return (sent != 0 ? std::min(sent, latest) : latest) + kReplyDeadlineMs;
}

// Called on the worker, inside its own calls: the job outlives its handles.
void NoteProgress(platform::Hinternet, std::uintptr_t context, std::uint32_t status, void*, std::uint32_t) {
  auto& job = *reinterpret_cast<ExchangeJob*>(context);
  job.heardFromPlatform = true;
  // The latest one counts: a request the platform sends again is answered from then on.
  if (status == platform::INTERNET_STATUS_REQUEST_SENT) job.requestSent = platform::GetTickCount64();
}

// The handles of one exchange, closed innermost first whatever happened.
struct ExchangeHandles {
  platform::UniqueInternet internet, connection, request;
};

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

// Reads the reply after a 200 status, by the deadline and within kMaxReplyBytes.
// Each wait asks only for what has arrived, so a reply that trickles in a byte
// at a time is seen to do so here, between the waits, where a per-call receive
// timeout never fires. A worker given up on ends here by itself.
// The reply cut short: by the deadline, or by a failed wait or read (the
// service went silent or dropped the connection). What came before is not
// the whole link.
Exchange CutShort(std::uint32_t error, int status) {
  return {ExchangeStage::Reply, {}, error != 0 ? error : platform::ERROR_INTERNET_CONNECTION_ABORTED, status};
}

// Reads the reply after a status, by the deadline and within limit bytes; a
// reply past the limit is stage Reply with no error. Each wait asks only for
// what has arrived, so a reply that trickles in a byte at a time is seen to do
// so here, between the waits, where a per-call receive timeout never fires. A
// worker given up on ends here by itself.
Exchange ReadReply(platform::Hinternet request, std::uint64_t deadline, int status, std::size_t limit = kMaxReplyBytes) {
  using namespace platform;
  std::string reply;
  char buffer[1024];
  for (;;) {
    const std::uint64_t now = GetTickCount64();
    if (now >= deadline) return CutShort(ERROR_INTERNET_TIMEOUT, status);
    // The next wait ends by the deadline, not one whole receive timeout after it.
    const std::uint32_t left = static_cast<std::uint32_t>(std::min<std::uint64_t>(deadline - now, kReceiveTimeoutMs));
    InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
    std::uint32_t available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) return CutShort(GetLastError(), status);
    if (GetTickCount64() >= deadline) return CutShort(ERROR_INTERNET_TIMEOUT, status);
    if (available == 0) break;  // the end of the reply
    const std::uint32_t want = std::min<std::uint32_t>(available, sizeof buffer);
    std::uint32_t read = 0;
    if (!InternetReadFile(request, buffer, want, &read)) return CutShort(GetLastError(), status);
    if (read == 0) break;
    read = std::min(read, want);
    if (read > limit - reply.size()) return {ExchangeStage::Reply, {}, 0, status};
    reply.append(buffer, read);
  }
  // Kept whole, NUL bytes and all: a reply cut at its first NUL could pass
  // for a link that the service never sent.
  return {ExchangeStage::Done, std::move(reply), 0, status};
}

// Where a redirect points, as the service wrote it: empty when it said nothing.
std::u16string Location(platform::Hinternet request) {
  using namespace platform;
  std::u16string location(256, u'\0');
  for (int tries = 0; tries < 2; ++tries) {
    std::uint32_t bytes = static_cast<std::uint32_t>(location.size() * sizeof(char16_t));
    if (HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location.data(), &bytes, nullptr)) {
      location.resize(std::min<std::size_t>(bytes / sizeof(char16_t), location.size()));
      return location;
    }
    // Once more with the room the platform asks for, within what a message can show.
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes / sizeof(char16_t) > 8192) break;
    location.assign(bytes / sizeof(char16_t) + 1, u'\0');
  }
  return {};
}

// The X-Delete-Key header of the reply, or empty when it is absent or longer
// than any delete key: the platform writes the header's name's value over it.
std::string ReadDeleteKeyHeader(platform::Hinternet request) {
  char16_t buffer[kDeleteKeyHeaderMax + 1] = u"X-Delete-Key";
  std::uint32_t bytes = sizeof buffer;
  if (!platform::HttpQueryInfoW(request, platform::HTTP_QUERY_CUSTOM, buffer, &bytes, nullptr)) return {};
  std::string key;
  for (std::size_t i = 0; i < bytes / 2 && i < kDeleteKeyHeaderMax && buffer[i] != 0; ++i)
    key += buffer[i] < 0x80 ? static_cast<char>(buffer[i]) : '?';
  return key;
}

Exchange Run(ExchangeJob& job, ExchangeHandles& h) {
  using namespace platform;
  // The platform's configured proxy applies (that is also how tests reach a local service).
  const auto failed = [](ExchangeStage stage) { return Exchange{stage, {}, GetLastError()}; };
  h.internet.reset(InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!h.internet) return failed(ExchangeStage::Open);
  SetTimeouts(h.internet.get());
  h.connection.reset(InternetConnectW(h.internet.get(), job.service.host.c_str(), job.service.port, nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0));
  if (!h.connection) return failed(ExchangeStage::Connect);
  SetTimeouts(h.connection.get());
  // TLS with the platform's certificate checks as they are: no flag or option
  // ever waives one, so a certificate that does not verify fails the send.
  const std::uint32_t flags = kRequestFlags | (job.service.secure ? INTERNET_FLAG_SECURE : 0);
  // The context is the job: the platform reports progress only for a nonzero one.
  h.request.reset(HttpOpenRequestW(h.connection.get(), u"POST", job.target.c_str(), nullptr, nullptr, nullptr, flags,
                                   reinterpret_cast<std::uintptr_t>(&job)));
  if (!h.request) return failed(ExchangeStage::OpenRequest);
  SetTimeouts(h.request.get());
  InternetSetStatusCallbackW(h.request.get(), NoteProgress);
  // The platform takes a 32-bit body length; a larger body cannot be sent at all.
  if (job.body.size() > std::numeric_limits<std::uint32_t>::max())
    return {ExchangeStage::Send, {}, ERROR_NOT_ENOUGH_MEMORY};
  job.sendEntered = GetTickCount64();
  long status = 0;
  for (int resends = 0;; ++resends) {
    // Sends the body and waits for the status line: each send and each wait
    // for the service's first bytes is bounded by the timeouts above, so a
    // slow but moving upload completes and a silent service ends it.
    if (!HttpSendRequestW(h.request.get(), kRequestHeader, kRequestHeaderLength, job.body.data(),
                          static_cast<std::uint32_t>(job.body.size())))
      return failed(ExchangeStage::Send);
    // Without a report of its own, the request went out by the time the status came.
    std::uint64_t unknown = 0;
    job.requestSent.compare_exchange_strong(unknown, GetTickCount64());

    char16_t text[4] = {};  // 8 bytes: a three-digit code and its terminator
    std::uint32_t textBytes = sizeof text;
    if (!HttpQueryInfoW(h.request.get(), HTTP_QUERY_STATUS_CODE, text, &textBytes, nullptr)) {
      // A status that does not fit three digits is no status of HTTP.
      const std::uint32_t error = GetLastError();
      return {ExchangeStage::Status, {}, error == ERROR_INSUFFICIENT_BUFFER ? ERROR_HTTP_INVALID_SERVER_RESPONSE : error};
    }
    status = ParseStatusCode(text, 4);
    if (status != 407 || resends == kProxySignInResends) break;
    // The proxy's answer is read to its end first, so that the same connection
    // carries the next try: NTLM's challenge holds only for the connection it
    // came on. The platform answers the challenge itself, with the signed-in
    // user's credentials, when the request goes out again.
    const Exchange drained = ReadReply(h.request.get(), ReplyDeadline(job), 407, kMaxDrainedBytes);
    if (drained.stage != ExchangeStage::Done && drained.error != 0) break;  // no connection left to answer on
  }
  if (status != 200) {
    Exchange refused{ExchangeStage::Status, {}, 0, static_cast<int>(status)};
    if (status >= 300 && status <= 399) refused.location = Location(h.request.get());
    return refused;
  }
  Exchange exchange = ReadReply(h.request.get(), ReplyDeadline(job), 200);
  if (exchange.stage == ExchangeStage::Done) exchange.deleteKey = ReadDeleteKeyHeader(h.request.get());
  return exchange;
}

std::uint32_t ExchangeThread(void* raw) {
  auto* job = static_cast<ExchangeJob*>(raw);
  {
    ExchangeHandles handles;
    Exchange result = Run(*job, handles);
    // No report may come once the job can be gone.
    if (handles.request) platform::InternetSetStatusCallbackW(handles.request.get(), nullptr);
    job->result = std::move(result);
  }
  job->finished.store(true, std::memory_order_release);
  LetGo(job);
  return 0;
}

// Keys and clicks made while the exchange held the thread were meant for a
// screen that did not answer; the first of them would otherwise answer the
// message box that reports the outcome (an Escape closes "Could not upload"
// unseen). Bounded, whatever arrives meanwhile.
void DiscardTypedAhead() {
  using namespace platform;
  constexpr int kMostDiscarded = 1024;
  Msg m{};
  for (int i = 0; i < kMostDiscarded && PeekMessageW(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE); ++i) {
  }
  for (int i = 0; i < kMostDiscarded && PeekMessageW(&m, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE); ++i) {
  }
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

Exchange PostMultipart(const char16_t* path, std::string body) { return PostMultipart(Service(), path, std::move(body)); }

Exchange PostMultipart(const ServiceAddress& service, const char16_t* path, std::string body) {
  using namespace platform;
  // A few tenths of a second: how late a caller notices the body has gone out,
  // and with it the deadline.
  constexpr std::uint32_t kWaitSliceMs = 200;
  auto* job = new (std::nothrow) ExchangeJob;
  if (job == nullptr) return {ExchangeStage::Open, {}, ERROR_NOT_ENOUGH_MEMORY};
  job->service = service;
  job->target = job->service.basePath + path;
  job->body = std::move(body);
  const UniqueHandle thread(
      CreateThread(nullptr, kNetThreadStack, ExchangeThread, job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (!thread) {
    delete job;
    return {ExchangeStage::Open, {}, ERROR_NOT_ENOUGH_MEMORY};
  }
  // Given up on, the reply is not in by its deadline, wherever the worker is;
  // it ends when the platform lets it.
  Exchange result{ExchangeStage::Reply, {}, ERROR_INTERNET_TIMEOUT};
  const std::uint64_t limit = GetTickCount64() + kExchangeLimitMs;
  bool paintsNow = true;  // whether a window to repaint ends the next wait
  for (;;) {
    const std::uint64_t now = GetTickCount64();
    const std::uint64_t deadline = std::min(ReplyDeadline(*job) != 0 ? ReplyDeadline(*job) : limit, limit);
    if (now >= deadline) {
      // Past the whole limit with the body still going out: the send failed.
      const std::uint64_t sent = job->requestSent.load();
      if (now >= limit && (sent == 0 || sent > now)) result.stage = ExchangeStage::Send;
      break;
    }
    const auto slice = static_cast<std::uint32_t>(std::min<std::uint64_t>(kWaitSliceMs, deadline - now));
    const Handle handles[] = {thread.get()};
    const std::uint32_t waited =
        MsgWaitForMultipleObjects(1, handles, 0, slice, QS_SENDMESSAGE | (paintsNow ? QS_PAINT : 0));
    paintsNow = true;
    // Looked at every slice: a thread that has not asked for its messages for
    // five seconds is taken by Windows to hang, and its windows are ghosted.
    // Messages other threads send (the session ends, say) are handled inside
    // this call, as a thread that waits must, or the sender waits with it.
    Msg m{};
    PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (waited == WAIT_TIMEOUT) continue;
    if (waited == WAIT_OBJECT_0 + 1) {
      // A window to repaint (the frozen screen, uncovered by another window):
      // painted now. Keys and clicks stay queued, for DiscardTypedAhead.
      if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) DispatchMessageW(&m);
      // One that asks again at once has not painted: not again before the next slice.
      paintsNow = PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_PAINT) == 0;
      continue;
    }
    // A wait that fails cannot tell a finished worker from a stuck one: given up on too.
    if (waited == WAIT_OBJECT_0 && job->finished.load(std::memory_order_acquire)) result = std::move(job->result);
    break;
  }
  LetGo(job);
  DiscardTypedAhead();
  return result;
}

}  // namespace corvane

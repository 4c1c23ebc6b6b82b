// The one kind of request the client makes: a multipart/form-data POST to the
// web service, with the whole reply read into memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include "net/service_address.h"
#include "net/reply_check.h"
#include "platform/types.h"

// The platform constants used below have <windows.h>'s macro names: set aside here, given
// back at the end (see platform/types.h).
// <windows.h> names hidden (scripts/windows_names.py): begin
#pragma push_macro("INTERNET_FLAG_RELOAD")
#undef INTERNET_FLAG_RELOAD
#pragma push_macro("INTERNET_FLAG_NO_CACHE_WRITE")
#undef INTERNET_FLAG_NO_CACHE_WRITE
#pragma push_macro("INTERNET_FLAG_KEEP_CONNECTION")
#undef INTERNET_FLAG_KEEP_CONNECTION
#pragma push_macro("INTERNET_FLAG_NO_AUTO_REDIRECT")
#undef INTERNET_FLAG_NO_AUTO_REDIRECT
#pragma push_macro("INTERNET_FLAG_NO_COOKIES")
#undef INTERNET_FLAG_NO_COOKIES
#pragma push_macro("INTERNET_FLAG_NO_UI")
#undef INTERNET_FLAG_NO_UI
// <windows.h> names hidden: end

namespace corvane {

// The client version string sent with every request.
inline constexpr char kClientVersion[] = "win:2.6";

inline constexpr char kBoundary[] = "----BOUNDARYBOUNDARY----";
inline constexpr char16_t kRequestHeader[] = u"Content-type: multipart/form-data; boundary=----BOUNDARYBOUNDARY----";
inline constexpr std::uint32_t kRequestHeaderLength = sizeof(kRequestHeader) / sizeof(char16_t) - 1;
static_assert(kRequestHeaderLength == 68);
inline constexpr char16_t kUserAgent[] = u"zurazizizizar";
// Never from or into the cache; no redirect followed, no cookie kept or sent,
// no dialog; the connection kept for a proxy's challenge and answer.
inline constexpr std::uint32_t kRequestFlags =
    platform::INTERNET_FLAG_RELOAD | platform::INTERNET_FLAG_NO_CACHE_WRITE | platform::INTERNET_FLAG_NO_AUTO_REDIRECT |
    platform::INTERNET_FLAG_NO_COOKIES | platform::INTERNET_FLAG_NO_UI | platform::INTERNET_FLAG_KEEP_CONNECTION;
// The stack reserved for the exchange's thread and the version check's: the
// platform's HTTP calls and a wait, far less than the process's default of
// 2 MB. Only the pages used are committed, and an ended thread leaves less.
inline constexpr std::size_t kNetThreadStack = 256 * 1024;
inline constexpr char16_t kUploadPath[] = u"/upload.php";
inline constexpr char16_t kVersionCheckPath[] = u"/vcheck.php";

// A body under construction: the bytes so far. Parts are added in order, then
// FinishBody closes it. The boundary is fixed and never searched for in the
// values: a value holding the delimiter line goes out unchanged.
struct MultipartBody {
  std::string bytes;
};

// Appends one complete part: delimiter line, disposition, empty line, value, CR LF.
void AddField(MultipartBody& body, std::string_view name, std::string_view value);

// Appends one part whose value is every byte of the file at path, read raw,
// the file opened for reading and shared with other readers and writers.
// Returns false, with body as it was, when the file cannot be opened or read
// whole, is larger than one request can carry (4 GB), or does not fit in memory.
bool AddFileField(MultipartBody& body, std::string_view name, const char16_t* path);

// Appends the closing line and hands over the bytes; body is empty afterwards.
std::string FinishBody(MultipartBody& body);

// Reply: the reply did not arrive whole: it was not in, status and headers
// included, kReplyDeadlineMs after the request went out; or the status was 200
// but a read failed (the service stopped answering) or the reply grew past
// kMaxReplyBytes.
enum class ExchangeStage { Done, Open, Connect, OpenRequest, Send, Status, Reply };

struct Exchange {
  ExchangeStage stage;  // Done when a 200 reply was read whole; else where it stopped
  std::string reply;    // the reply as it came, NUL bytes and all; empty unless Done
  // Why it stopped, as far as the platform and the service said.
  std::uint32_t error = 0;  // the platform's error code of the call that failed; 0: none
  int status = 0;           // the last HTTP status received; 0: none came
  std::u16string location = {};  // where a redirect pointed, as the service named it
  // The reply's X-Delete-Key header, as sent (at most kDeleteKeyHeaderMax
  // characters, else empty); read only with a 200 status.
  std::string deleteKey = {};
};
inline constexpr std::size_t kDeleteKeyHeaderMax = 64;

// The request never follows a redirect (a 301 or 302 would turn the upload into
// a GET, a 307 or 308 would send the picture and the key to wherever it
// points): any 3xx ends the exchange with stage Status and its Location.
// A proxy that asks for credentials (407) is asked again with the same request
// as often as this, the platform answering its challenge with what Windows
// holds for the signed-in user (the session's own sign-in for NTLM and
// Negotiate): never a dialog of ours or the platform's.
inline constexpr int kProxySignInResends = 2;
// The most of a 407 answer read to keep its connection for the next try.
inline constexpr std::size_t kMaxDrainedBytes = 64 * 1024;

// Time limits of one exchange, set on every handle. Each bounds one wait for
// progress, not a whole transfer: a large picture over a slow link still goes
// out as long as its bytes keep moving.
// Connecting: a loopback proxy or a reachable service answers in well under a
// second; 20 s covers a slow name lookup and a lost first packet or two.
inline constexpr std::uint32_t kConnectTimeoutMs = 20'000;
// Sending, and each wait for the service's bytes: a service that has said
// nothing for 30 s is not going to.
inline constexpr std::uint32_t kSendTimeoutMs = 30'000;
inline constexpr std::uint32_t kReceiveTimeoutMs = 30'000;
// The status, headers and reply together, counted from the moment the request
// and its body went out: a link is a few dozen bytes, so a reply still arriving
// 30 s later is a trickle, however steady, and fails.
inline constexpr std::uint64_t kReplyDeadlineMs = 30'000;
// The whole exchange (connect, send, reply), counted from its start: the waits
// above bound each stall, this bounds a service that keeps taking the body a
// few bytes at a time. Sized for the largest capture over a slow link: a
// capture across three 4K monitors of photographic content is about 16 MB at
// quality 95, which a 256 kbit/s uplink takes some 500 s to send; with the
// connect and reply waits on top, 10 minutes.
inline constexpr std::uint64_t kExchangeLimitMs = 600'000;

// One POST of a finished body to path below the base path of the web service
// (Service()): its host and port, over TLS for an https address. Returns once
// the reply is in, a stage has failed, kReplyDeadlineMs after the request
// went out or kExchangeLimitMs after the call, whichever comes first (past the
// limit: stage Send while the body was still going out, else Reply).
// Reentrant. While it waits, messages other threads send to the caller's
// windows are handled (the session's end among them), its windows are
// repainted when uncovered, and the queue is looked at often enough that
// Windows never takes the program to hang; keyboard and mouse
// input that reached the caller's thread meanwhile is discarded on return, so
// that keys typed ahead never answer the message box that follows. The exchange runs on a thread of
// its own that keeps the body and its handles; one given up on closes them
// itself when the platform lets go of it. Stage Open, nothing sent, when no
// thread can be made.
Exchange PostMultipart(const char16_t* path, std::string body);
// The same to another service than Service(): a request about an earlier upload goes where that upload went.
Exchange PostMultipart(const ServiceAddress& service, const char16_t* path, std::string body);

}  // namespace corvane

// <windows.h> names restored: begin
#pragma pop_macro("INTERNET_FLAG_RELOAD")
#pragma pop_macro("INTERNET_FLAG_NO_CACHE_WRITE")
#pragma pop_macro("INTERNET_FLAG_KEEP_CONNECTION")
#pragma pop_macro("INTERNET_FLAG_NO_AUTO_REDIRECT")
#pragma pop_macro("INTERNET_FLAG_NO_COOKIES")
#pragma pop_macro("INTERNET_FLAG_NO_UI")
// <windows.h> names restored: end

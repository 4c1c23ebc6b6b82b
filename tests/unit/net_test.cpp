// Web service client: body bytes, the exchange's stages, reply handling, the
// saved copy, clipboard, browser launch and the version check.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "desktop/balloon.h"
#include "desktop/clipboard.h"
#include "net/failure_reason.h"
#include "net/multipart.h"
#include "net/upload.h"
#include "net/version_check.h"
#include "platform/kernel32.h"
#include "tests/net_stage_print.h"
#include "tests/sim/sim.h"

using namespace corvane;

namespace {

const std::u16string kPicture = u"C:\\Temp\\rar1A.tmp";
const std::string kHost(std::begin(kServiceHost), std::end(kServiceHost) - 1);
const std::string kLinkPrefix = "http://" + kHost + "/";

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }


// A fresh simulation with a picture on disk and a service that answers reply.
void Prepare(const std::string& picture, const std::string& reply) {
  sim::reset();
  sim::putFile(kPicture, picture);
  sim::scriptHttp({u"200", {reply}, false});
}

const std::string kDelimiter = "------BOUNDARYBOUNDARY----\r\n";
const std::string kClosing = "------BOUNDARYBOUNDARY------\r\n";

}  // namespace

TEST(MultipartBody, UploadBodyIsThePictureWrappedLineByLine) {
  struct Case { const char* what; std::string picture; std::u16string service = u""; std::u16string key = u""; };
  const Case cases[] = {
      {"empty file", ""},
      {"bytes with NUL, CR LF and the delimiter line itself", std::string("\xFF\xD8\0\r\n", 5) + kDelimiter + kClosing},
      {"larger than a read chunk", Repeat('\x5A', 200 * 1024 + 7)},
      // An own service's key follows the picture as a field of its own.
      {"with an upload key", "JPEG", u"https://own.example", u"k3y-Of_an~own!service"},
      {"a key but the built-in host", "JPEG", u"", u"k3y"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    UseServiceAddress(c.service, c.key);
    Prepare(c.picture, ServiceLinkPrefix() + "abc");
    ASSERT_EQ(UploadPicture(nullptr, kPicture.c_str(), {}).result, 1);
    UseServiceAddress(u"");
    const bool keyed = !c.service.empty();
    const std::string& body = sim::lastHttpSend().body;
    std::vector<std::string> lines = {
        kDelimiter,
        "content-disposition: form-data; name=\"cv\"\r\n",
        "\r\n",
        "win:2.6\r\n",
        kDelimiter,
        "content-disposition: form-data; name=\"imagedata\"\r\n",
        "\r\n",
        c.picture,
        "\r\n",
    };
    if (keyed) {
      const std::string key(c.key.begin(), c.key.end());
      lines.insert(lines.end(), {kDelimiter, "content-disposition: form-data; name=\"key\"\r\n", "\r\n", key + "\r\n"});
    }
    lines.push_back(kClosing);
    std::size_t at = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      ASSERT_EQ(body.substr(at, lines[i].size()), lines[i]) << "line " << i + 1;
      at += lines[i].size();
    }
    EXPECT_EQ(body.size(), at);
    EXPECT_EQ(body.size(), c.picture.size() + 194 + (keyed ? 76 + c.key.size() : 0));
    EXPECT_EQ(sim::fileHandlesOpen(), 0);
  }
}

TEST(MultipartBody, VersionBodyIs117BytesLineByLine) {
  sim::reset();
  sim::scriptHttp({u"200", {"N"}, false});
  CheckVersion();
  EXPECT_EQ(sim::lastHttpSend().body, kDelimiter + "content-disposition: form-data; name=\"version\"\r\n" + "\r\n" +
                                          "win:2.6\r\n" + kClosing);
  EXPECT_EQ(sim::lastHttpSend().body.size(), 117u);
}

TEST(PostMultipart, MakesTheRequestWithTheArgumentsThatMatter) {
  sim::reset();
  sim::scriptHttp({u"200", {"x"}, false});
  Exchange e = PostMultipart(kUploadPath, "BODY");
  ASSERT_EQ(e.stage, ExchangeStage::Done);
  const std::string host = "\"" + kHost + "\"";
  EXPECT_EQ(sim::last("InternetOpenW")->text(), "InternetOpenW(\"zurazizizizar\", 0, null, null, 0)");
  EXPECT_EQ(sim::last("InternetConnectW")->text().substr(sim::last("InternetConnectW")->text().find(',')),
            ", " + host + ", 80, null, null, 3, 0, 0)");
  const auto& open = sim::last("HttpOpenRequestW")->args;
  EXPECT_EQ((std::vector<std::string>(open.begin() + 1, open.end())),
            (std::vector<std::string>{"\"POST\"", "\"/upload.php\"", "null", "null", "null",
                                      std::to_string(0x84000000u | 0x00200000u | 0x00080000u | 0x00000200u |
                                                     0x00400000u),  // + no redirect, no cookies, no UI, keep-alive
                                      "1"}));
  EXPECT_EQ(sim::lastHttpSend().headers, u"Content-type: multipart/form-data; boundary=----BOUNDARYBOUNDARY----");
  EXPECT_EQ(sim::lastHttpSend().headerLength, 68u);
  EXPECT_EQ(sim::lastHttpSend().body, "BODY");
  EXPECT_EQ(sim::internetHandlesOpen(), 0);
  // Every handle carries the time limits, set before it is used.
  for (const auto& c : sim::log()) {
    if (c.name != "InternetCloseHandle") continue;
    auto options = sim::internetOptions(reinterpret_cast<platform::Hinternet>(std::stoull(c.args[0].substr(1))));
    EXPECT_EQ(options[platform::INTERNET_OPTION_CONNECT_TIMEOUT], kConnectTimeoutMs) << c.args[0];
    EXPECT_EQ(options[platform::INTERNET_OPTION_SEND_TIMEOUT], kSendTimeoutMs) << c.args[0];
    EXPECT_GT(options[platform::INTERNET_OPTION_RECEIVE_TIMEOUT], 0u) << c.args[0];
    EXPECT_LE(options[platform::INTERNET_OPTION_RECEIVE_TIMEOUT], kReceiveTimeoutMs) << c.args[0];
  }
  auto names = sim::names();
  EXPECT_LT(std::find(names.begin(), names.end(), "InternetSetOptionW"),
            std::find(names.begin(), names.end(), "InternetConnectW"));
}

// The reply whole within its size bound and within kReplyDeadlineMs of the
// request going out, however the time is spent; a send takes as long as it moves.
TEST(PostMultipart, ReadsTheReplyWholeWithinItsBounds) {
  struct Case {
    const char* what;
    sim::HttpExchange exchange;
    ExchangeStage stage;
    std::string reply;
    bool progressReported = true;  // the platform calls the status callback
  };
  const std::string big = Repeat('a', 1024) + Repeat('b', 1024) + "tail";
  const std::string atBound = Repeat('c', kMaxReplyBytes);
  const std::vector<std::string> trickle(7, "x");  // one byte at a time
  const Case cases[] = {
      {"empty content", {.chunks = {}}, ExchangeStage::Done, ""},
      {"one short chunk", {.chunks = {"http://h/abc"}}, ExchangeStage::Done, "http://h/abc"},
      {"longer than one read, one chunk", {.chunks = {big}}, ExchangeStage::Done, big},
      {"several small chunks", {.chunks = {"ht", "tp://", "h/x\n"}}, ExchangeStage::Done, "http://h/x\n"},
      // Whole, NUL bytes and all: what the reply is, is judged by its reader.
      {"NUL inside", {.chunks = {std::string("abc\0def", 7), "ghi"}}, ExchangeStage::Done, std::string("abc\0defghi", 10)},
      {"NUL first", {.chunks = {std::string("\0abc", 4)}}, ExchangeStage::Done, std::string("\0abc", 4)},
      {"exactly the size bound", {.chunks = {atBound}}, ExchangeStage::Done, atBound},
      {"one byte over the size bound", {.chunks = {atBound, "d"}}, ExchangeStage::Reply, ""},
      {"a megabyte", {.chunks = {Repeat('m', 1 << 20)}}, ExchangeStage::Reply, ""},
      // A reply cut short by a failed read is not the whole link.
      {"a failing read after some bytes", {.chunks = {"http://h/ab", "c"}, .readFails = true}, ExchangeStage::Reply, ""},
      {"a failing first read", {.chunks = {}, .readFails = true}, ExchangeStage::Reply, ""},
      {"slow but whole within the deadline", {.chunks = trickle, .msPerChunk = 4'000}, ExchangeStage::Done, "xxxxxxx"},
      {"a trickle past the deadline", {.chunks = trickle, .msPerChunk = 5'000}, ExchangeStage::Reply, ""},
      {"a late status leaves the reply less time", {.chunks = trickle, .msPerChunk = 2'000, .msToStatus = 20'000},
       ExchangeStage::Reply, ""},
      {"status and headers trickling without end", {.chunks = {"x"}, .msToStatus = 600'000}, ExchangeStage::Reply, ""},
      {"a large body over a slow link", {.chunks = {"x"}, .msToSend = 300'000, .msToStatus = 1'000},
       ExchangeStage::Done, "x"},
      {"no progress reports: a slow send", {.chunks = {"x"}, .msToSend = 45'000}, ExchangeStage::Done, "x", false},
      {"no progress reports: trickling headers", {.chunks = {"x"}, .msToStatus = 600'000}, ExchangeStage::Reply, "",
       false},
      // Each wait moves, but the service takes the body a few bytes at a time without end.
      {"a body taken without end", {.chunks = {"x"}, .msToSend = 3'600'000}, ExchangeStage::Send, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim::reset();
    sim::scriptHttp(c.exchange);
    if (!c.progressReported) sim::script("InternetSetStatusCallbackW", 0);
    // Typed ahead while the exchange held the thread: keys and clicks are
    // gone when it returns, so none answers the message box that may follow.
    sim::queueMessage(nullptr, platform::WM_KEYFIRST, 0x1B, 0);
    sim::queueMessage(nullptr, platform::WM_NULL, 0, 0);
    sim::queueMessage(nullptr, platform::WM_LBUTTONDOWN, 0, 0);
    sim::queueMessage(nullptr, platform::WM_KEYLAST, 0, 0);
    const std::uint64_t start = platform::GetTickCount64();
    Exchange e = PostMultipart(kUploadPath, "b");
    EXPECT_EQ(e.stage, c.stage);
    EXPECT_EQ(e.reply, c.reply);
    EXPECT_EQ(sim::queuedMessages(), 1u) << "only the message that is no input stays";
    // However each wait is spent, the whole exchange ends by its limit.
    EXPECT_LE(platform::GetTickCount64(), start + kExchangeLimitMs);
    // Back by the deadline even while the exchange itself is stuck in a call;
    // without reports, by the longest a connect and a stalled send may take on top.
    const std::uint64_t sent = start + c.exchange.msToSend;
    EXPECT_LE(platform::GetTickCount64(),
              sent + kReplyDeadlineMs + (c.progressReported ? 0 : kConnectTimeoutMs + kSendTimeoutMs));
    EXPECT_EQ(sim::internetHandlesOpen(), 0);
    // Never reads on after the size bound: a megabyte is not taken in whole.
    EXPECT_LE(sim::count("InternetReadFile"), static_cast<int>(kMaxReplyBytes / 1024 + 8));
  }
}

// The first line says where it failed, as it always has; the second says why.
// What the service and the proxy see: a redirect is never followed, and a
// proxy's request for credentials gets the same request again, answered by
// the platform with the signed-in user's, a bounded number of times.
TEST(PostMultipart, ARedirectEndsItAndAProxySignInIsAskedAgainOnTheSameRequest) {
  struct Case {
    const char* what;
    sim::HttpExchange exchange;
    ExchangeStage stage;
    int status;
    int sends;
    std::string reply = "";
    std::u16string location = u"";
  };
  const std::u16string away = u"http://elsewhere.example/upload.php";
  const std::u16string tooLong = u"http://elsewhere.example/" + std::u16string(600, u'a');
  const Case cases[] = {
      {"307", {.status = u"307", .chunks = {"moved"}, .location = away}, ExchangeStage::Status, 307, 1, "", away},
      {"a target longer than the first query's room", {.status = u"302", .location = tooLong}, ExchangeStage::Status,
       302, 1, "", tooLong},
      {"a 3xx without a target", {.status = u"303"}, ExchangeStage::Status, 303, 1},
      {"the proxy takes the second try", {.status = u"407", .chunks = {"x"}, .statusOnResend = u"200"},
       ExchangeStage::Done, 200, 2, "x"},
      {"the proxy refuses every try", {.status = u"407", .chunks = {"<html>sign in</html>"}}, ExchangeStage::Status,
       407, 1 + kProxySignInResends},
      {"the proxy lets it through to a refusing service", {.status = u"407", .statusOnResend = u"403"},
       ExchangeStage::Status, 403, 2},
      {"the service's own sign-in is not answered", {.status = u"401", .chunks = {"x"}}, ExchangeStage::Status, 401, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim::reset();
    sim::scriptHttp(c.exchange);
    const Exchange e = PostMultipart(kUploadPath, "picture and key");
    EXPECT_EQ(e.stage, c.stage);
    EXPECT_EQ(e.status, c.status);
    EXPECT_EQ(e.reply, c.reply);
    EXPECT_EQ(e.location, c.location);
    EXPECT_EQ(sim::count("HttpSendRequestW"), c.sends);
    EXPECT_EQ(sim::count("HttpOpenRequestW"), 1) << "every try on the one request, to the one address";
    EXPECT_EQ(sim::lastHttpSend().body, "picture and key");
    EXPECT_EQ(sim::internetHandlesOpen(), 0);
  }
}

TEST(FailureReason, SaysWhyInOneLine) {
  struct Case {
    Exchange exchange;
    std::u16string line;
  };
  using S = ExchangeStage;
  const std::u16string cut = u"http://x.example/" + std::u16string(183, u'p');  // 200 characters
  const Case cases[] = {
      {{S::Send, {}, platform::ERROR_INTERNET_NAME_NOT_RESOLVED}, u"The name of the service was not found."},
      {{S::Send, {}, platform::ERROR_INTERNET_CANNOT_CONNECT}, u"The service could not be reached."},
      {{S::Send, {}, platform::ERROR_INTERNET_TIMEOUT}, u"The service did not answer in time."},
      {{S::Reply, {}, platform::ERROR_INTERNET_CONNECTION_RESET, 200}, u"The connection to the service was broken."},
      {{S::Send, {}, platform::ERROR_INTERNET_INVALID_CA}, u"The certificate is not trusted."},
      {{S::Send, {}, platform::ERROR_INTERNET_SEC_CERT_CN_INVALID}, u"The certificate is for another name."},
      {{S::Send, {}, platform::ERROR_INTERNET_SEC_CERT_DATE_INVALID},
       u"The certificate has expired or is not valid yet."},
      {{S::Send, {}, platform::ERROR_INTERNET_SEC_CERT_REVOKED}, u"The certificate has been revoked."},
      {{S::Send, {}, platform::ERROR_INTERNET_SECURITY_CHANNEL_ERROR}, u"The secure connection could not be set up."},
      {{S::Open, {}, 12345}, u"The system's HTTP client gave error 12345."},
      {{S::Open, {}, 0}, u"The system's HTTP client failed without saying why."},
      {{S::Status, {}, 0, 503}, u"The service answered 503: it is unavailable."},
      {{S::Status, {}, 0, 413}, u"The service answered 413: the picture is too large for it."},
      {{S::Status, {}, 0, 418}, u"The service answered 418."},
      {{S::Status, {}, 0, 407}, u"The proxy asks for a sign-in that this Windows account could not give."},
      {{S::Status, {}, 0, 301, u"https://corvane.net/upload.php"},
       u"The service pointed elsewhere: https://corvane.net/upload.php"},
      {{S::Status, {}, 0, 302}, u"The service answered 302 and pointed nowhere."},
      // The target is the service's text: nothing of it may forge a line or turn the text around.
      {{S::Status, {}, 0, 307, u"http://a.example/\r\nThe upload worked.\u202E"},
       u"The service pointed elsewhere: http://a.example/??The upload worked.?"},
      {{S::Status, {}, 0, 308, cut}, u"The service pointed elsewhere: " + cut},
      {{S::Status, {}, 0, 308, cut + u"q"}, u"The service pointed elsewhere: " + cut + u"..."},
      {{S::Reply, {}, 0, 200}, u"The service's answer was far longer than a link."},
      {{S::Reply, {}, platform::ERROR_INTERNET_TIMEOUT, 200}, u"The service did not answer in time."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(sim::utf8(c.line));
    EXPECT_EQ(FailureReason(c.exchange), c.line);
  }
}

TEST(UploadPicture, EachFailureShowsItsMessageAndHandsNothingOn) {
  struct Case {
    const char* failing;
    std::u16string status;
    const char* message;
    bool sent;
    bool owned;
    std::uint32_t error = platform::ERROR_INTERNET_CANNOT_CONNECT;  // what the failing call leaves
    std::u16string location = u"";
  };
  const std::u16string elsewhere = u"http://elsewhere.example/upload.php";
  const Case cases[] = {
      {"file", u"200", "Could not open .jpg\nThe picture could not be read whole.", false, true},
      {"CreateThread", u"200", "Could not configure wininet\nThere was not enough memory.", false, false},
      {"read", u"200", "Could not open .jpg\nThe picture could not be read whole.", false, false},  // fails part-way
      {"InternetOpenW", u"200", "Could not configure wininet\nThe system's HTTP client gave error 87.", false, false,
       87},
      {"InternetConnectW", u"200", "Could not initiate connection\nThe service's address is not valid.", false, true,
       platform::ERROR_INTERNET_INVALID_URL},
      {"HttpOpenRequestW", u"200", "Could not initiate transfer\nThere was not enough memory.", false, false,
       platform::ERROR_NOT_ENOUGH_MEMORY},
      {"HttpSendRequestW", u"200", "Could not upload\nThe name of the service was not found.", true, true,
       platform::ERROR_INTERNET_NAME_NOT_RESOLVED},
      {"HttpSendRequestW", u"200", "Could not upload\nThe certificate is not trusted.", true, false,
       platform::ERROR_INTERNET_INVALID_CA},
      {"HttpQueryInfoW", u"200", "Could not upload\nThe service's answer was not understood.", true, false,
       platform::ERROR_HTTP_INVALID_SERVER_RESPONSE},
      {"", u"201", "Could not upload\nThe service answered 201.", true, true},
      {"", u"500", "Could not upload\nThe service answered 500: it failed.", true, false},
      {"", u"503", "Could not upload\nThe service answered 503: it is unavailable.", true, true},
      {"", u"2000", "Could not upload\nThe service's answer was not understood.", true, true},  // no 3-digit status
      // Never followed: the picture and the key went out once, to the service's address only.
      {"", u"301", "Could not upload\nThe service pointed elsewhere: http://elsewhere.example/upload.php", true, true,
       0, elsewhere},
      {"", u"302", "Could not upload\nThe service pointed elsewhere: http://elsewhere.example/upload.php", true, false,
       0, elsewhere},
      {"", u"307", "Could not upload\nThe service pointed elsewhere: https://corvane.net/upload.php", true, true, 0,
       u"https://corvane.net/upload.php"},
      {"", u"308", "Could not upload\nThe service answered 308 and pointed nowhere.", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.failing) + " " + sim::utf8(c.status));
    sim::reset();
    sim::putFolder(u"C:\\Saved");
    const std::string failing = c.failing;
    const bool unreadable = failing == "file" || failing == "read";
    if (failing != "file") sim::putFile(kPicture, Repeat('J', 300 * 1024));  // large enough to be read straight into place
    if (failing == "read") sim::failReadsAfter(50 * 1024);
    if (!failing.empty() && !unreadable) sim::script(failing, 0);
    sim::scriptHttp({.status = c.status, .chunks = {kLinkPrefix + "abc"}, .location = c.location, .failError = c.error});
    auto owner = c.owned ? sim::handle<platform::Hwnd>() : nullptr;

    const UploadOutcome outcome = UploadPicture(owner, kPicture.c_str(), {true, u"C:\\Saved"});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(sim::boxes(), (std::vector<sim::Box>{{owner, sim::utf16(c.message), u"Error", 21}}));  // Retry, Cancel
    EXPECT_EQ(sim::count("HttpSendRequestW"), c.sent ? 1 : 0);
    if (unreadable) {
      EXPECT_EQ(sim::count("InternetOpenW"), 0);  // nothing to send: no connection either
    }
    EXPECT_EQ(sim::count("InternetReadFile"), 0);
    EXPECT_FALSE(sim::clipboardHasText());
    EXPECT_EQ(sim::count("OpenClipboard"), 0);
    EXPECT_TRUE(sim::launches().empty());
    EXPECT_TRUE(sim::filesIn(u"C:\\Saved").empty());
    EXPECT_FALSE(outcome.copyStepRan);  // a failed upload leaves the request for the next one
    EXPECT_EQ(sim::internetHandlesOpen(), 0);
    EXPECT_EQ(sim::fileHandlesOpen(), 0);
  }
}

// Every failure offers Retry. A capture's picture is kept in the save folder
// under its local time, never over an existing file, until the service has it.
TEST(UploadPicture, AFailedPictureIsKeptUnderItsLocalTimeUntilARetrySucceeds) {
  const std::u16string stamp = u"C:\\Saved\\unsent-20260309-070504";
  const int retry = platform::IDRETRY, cancel = platform::IDCANCEL;
  struct Case {
    const char* what;
    KeepUnsent keepUnsent;
    std::vector<int> answers;  // to each message; the service is back after as many failures
    std::function<void()> setUp;
    std::u16string kept;  // named in the messages; empty: "could not be kept"
    std::u16string folder = u"C:\\Saved";
    bool saveCopy = false;  // "Upload && Save"
  };
  const auto none = [] {};
  const auto taken = [&stamp](std::vector<std::u16string> suffixes) {
    return [&stamp, suffixes] { for (const auto& suffix : suffixes) sim::putFile(stamp + suffix + u".jpg", "older"); };
  };
  const Case cases[] = {
      {"Cancel leaves the kept file", KeepUnsent::Yes, {cancel}, none, stamp + u".jpg"},
      {"Retry until the service is back", KeepUnsent::Yes, {retry, retry}, none, stamp + u".jpg"},
      {"name taken", KeepUnsent::Yes, {cancel}, taken({u""}), stamp + u"-2.jpg"},
      {"two names taken", KeepUnsent::Yes, {cancel}, taken({u"", u"-2"}), stamp + u"-3.jpg"},
      {"end of the year", KeepUnsent::Yes, {cancel}, [] { sim::setLocalTime({2026, 12, 4, 31, 23, 59, 58, 999}); },
       u"C:\\Saved\\unsent-20261231-235958.jpg"},
      {"missing folder made, its trailing backslash not doubled", KeepUnsent::Yes, {cancel}, none,
       u"C:\\Users\\user1\\Pictures\\ReDoda\\unsent-20260309-070504.jpg", u"C:\\Users\\user1\\Pictures\\ReDoda\\"},
      {"Upload && Save on Retry", KeepUnsent::Yes, {retry}, none, stamp + u".jpg", u"C:\\Saved", true},
      {"folder mended between tries", KeepUnsent::Yes, {retry, cancel},
       [] { sim::script("CreateDirectoryW", platform::ERROR_ACCESS_DENIED); }, stamp + u".jpg"},
      {"folder is a file: not kept, Retry still sends", KeepUnsent::Yes, {retry},
       [] { sim::putFile(u"C:\\Saved", "a file"); }, u""},
      {"kept copy cannot be written whole", KeepUnsent::Yes, {cancel}, [] { sim::script("WriteFile", 0); }, u""},
      {"no save folder", KeepUnsent::Yes, {retry}, none, u"", u""},
      {"file upload: nothing kept", KeepUnsent::No, {retry}, none, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare("JPEGBYTES", kLinkPrefix + "abc");
    c.setUp();
    for (int answer : c.answers) {
      sim::script("HttpSendRequestW", 0);
      sim::script("MessageBoxW", answer);
    }
    const bool uploaded = c.answers.back() == retry;
    const auto owner = sim::handle<platform::Hwnd>();

    const UploadOutcome outcome = UploadPicture(owner, kPicture.c_str(), {c.saveCopy, c.folder}, c.keepUnsent);
    EXPECT_EQ(outcome.result, uploaded ? 1 : 0);
    EXPECT_EQ(sim::count("HttpSendRequestW"), static_cast<int>(c.answers.size()) + (uploaded ? 1 : 0));
    ASSERT_EQ(sim::boxes().size(), c.answers.size());
    std::string text = "Could not upload\nThe service could not be reached.";
    if (c.keepUnsent == KeepUnsent::Yes)
      text += c.kept.empty() ? "\nThe picture could not be kept in the save folder."
                             : "\nThe picture is kept as " + sim::utf8(c.kept);
    EXPECT_EQ(sim::boxes().back(), (sim::Box{owner, sim::utf16(text), u"Error", 21}));
    // Kept whole while unsent; gone once the service has it.
    if (!c.kept.empty()) {
      EXPECT_EQ(sim::hasFile(c.kept), !uploaded);
      EXPECT_EQ(sim::fileBytes(c.kept), uploaded ? "" : "JPEGBYTES");
    }
    for (const auto& file : sim::filesIn(c.folder)) {
      if (file == c.kept) continue;
      // Nothing half-written, nothing overwritten; only the copy asked for.
      EXPECT_EQ(sim::fileBytes(file), c.saveCopy && file == c.folder + u"\\abc.jpg" ? "JPEGBYTES" : "older")
          << sim::utf8(file);
    }
    EXPECT_EQ(sim::hasFile(c.folder + u"\\abc.jpg"), c.saveCopy);
    EXPECT_EQ(sim::clipboardText(), uploaded ? kLinkPrefix + "abc" : "");
    EXPECT_EQ(sim::fileBytes(kPicture), "JPEGBYTES");  // the caller's file stays the caller's
    EXPECT_EQ(sim::fileHandlesOpen(), 0);
  }
}

TEST(UploadPicture, AReplyThatIsNoLinkOfTheServiceIsAFailedUpload) {
  const std::string cases[] = {
      "",
      "hello world",
      "<html><body>Service unavailable</body></html>",
      "http://evil.example/x.exe",
      "http://" + kHost + ".evil.example/x",
      "https://" + kHost + "/x",
      kLinkPrefix,
      kLinkPrefix + "\r\n",
      kLinkPrefix + "abc\r\nhttp://evil.example/",
      kLinkPrefix + "abc\n\n",
      kLinkPrefix + "a\x1B[0m",
      kLinkPrefix + "caf\xE9",
      kLinkPrefix + Repeat('x', 980),
      kLinkPrefix + Repeat('x', 5000),
      // A name that is no plain name would reach the clipboard, the browser and
      // the save folder as a path, a stream, a query or a device.
      kLinkPrefix + ".",
      kLinkPrefix + "..",
      kLinkPrefix + "..\\..\\Windows\\evil",
      kLinkPrefix + "C:\\x",
      kLinkPrefix + "\\\\host\\c$\\x",
      kLinkPrefix + "a/b",
      kLinkPrefix + "abc:stream",
      kLinkPrefix + "a<>\"|?*b",
      kLinkPrefix + Repeat('x', 36) + "\\y",
      kLinkPrefix + "CON",
      kLinkPrefix + "con.txt",
      kLinkPrefix + "lpt1",
      kLinkPrefix + std::string("abc\0.exe", 8),
  };
  for (const auto& reply : cases) {
    SCOPED_TRACE(reply.substr(0, 60));
    Prepare("JPEG", reply);
    sim::putFolder(u"C:\\Saved");
    const UploadOutcome outcome = UploadPicture(nullptr, kPicture.c_str(), {true, u"C:\\Saved"});
    EXPECT_EQ(outcome.result, 0);
    const std::u16string why = reply.size() > kMaxReplyBytes ? u"The service's answer was far longer than a link."
                                                              : u"The service's answer is not a link to the picture.";
    EXPECT_EQ(sim::boxes(), (std::vector<sim::Box>{{nullptr, u"Could not upload\n" + why, u"Error", 21}}));
    EXPECT_EQ(sim::count("OpenClipboard"), 0);
    EXPECT_TRUE(sim::launches().empty());
    EXPECT_TRUE(sim::filesIn(u"C:\\Saved").empty());
    EXPECT_FALSE(outcome.copyStepRan);  // a failed upload leaves the copy request for the next one
  }
}

// Whether a copy was written or the user was told, after the link went out.
void ExpectCopyOrMessage(const std::u16string& folder, const std::u16string& copy, std::string_view reply) {
  const std::string link(WithoutLineBreak(reply));
  EXPECT_EQ(sim::clipboardText(), link);
  ASSERT_EQ(sim::launches().size(), 1u);
  EXPECT_EQ(sim::launches()[0].file, sim::utf16(link));  // as checked: without the service's line break
  EXPECT_EQ(sim::fileHandlesOpen(), 0);
  if (!copy.empty()) {
    EXPECT_TRUE(sim::boxes().empty());
    EXPECT_TRUE(sim::hasFile(copy));
    EXPECT_FALSE(sim::hasFile(copy + u".part"));  // nothing half-written beside it
    return;
  }
  const std::u16string text = folder.empty() ? u"Could not save a copy of the picture: no save folder is set."
                                             : u"Could not save a copy of the picture in the save folder " + folder;
  EXPECT_EQ(sim::boxes(), (std::vector<sim::Box>{{nullptr, text, u"Error", 16}}));
  auto names = sim::names();
  EXPECT_LT(std::find(names.begin(), names.end(), "ShellExecuteExW"),
            std::find(names.begin(), names.end(), "MessageBoxW"));
}

TEST(UploadPicture, CopyGoesIntoTheSaveFolderUnderAPlainNameOrTheUserIsTold) {
  struct Case {
    const char* what;
    bool keep;
    std::u16string folder;
    std::string identifier;  // the link after its prefix
    std::u16string copy;     // expected copy path, empty for none
  };
  const std::u16string longFolder = u"C:\\" + std::u16string(1012, u'f');  // with "\abc.jpg" and NUL: 1024
  const Case cases[] = {
      {"abc", 1, u"C:\\Saved", "abc", u"C:\\Saved\\abc.jpg"},
      {"cut to 36", 1, u"C:\\Saved", "0123456789abcdefghijklmnopqrstuvwxyzABCD",
       u"C:\\Saved\\0123456789abcdefghijklmnopqrstuvwxyz.jpg"},
      {"default folder doubles the backslash", 1, u"C:\\Users\\me\\ReDoda\\", "abc",
       u"C:\\Users\\me\\ReDoda\\\\abc.jpg"},
      {"line break from the service", 1, u"C:\\Saved", "abc\n", u"C:\\Saved\\abc.jpg"},
      {"CR LF from the service", 1, u"C:\\Saved", "abc\r\n", u"C:\\Saved\\abc.jpg"},
      {"a dot inside is fine", 1, u"C:\\Saved", "a.b", u"C:\\Saved\\a.b.jpg"},
      {"COM10 is no device", 1, u"C:\\Saved", "COM10", u"C:\\Saved\\COM10.jpg"},
      {"path fills the buffer exactly", 1, longFolder, "abc", longFolder + u"\\abc.jpg"},
      {"upload only", 0, u"C:\\Saved", "abc", u""},
      {"path one too long", 1, longFolder + u"g", "abc", u""},
      {"empty save folder", 1, u"", "abc", u""},
      {"trailing dot", 1, u"C:\\Saved", "abc.", u""},  // a link, but no name Windows keeps as it is
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare("JPEGBYTES", kLinkPrefix + c.identifier);
    if (!c.folder.empty()) sim::putFolder(c.folder);
    const UploadOutcome outcome = UploadPicture(nullptr, kPicture.c_str(), {c.keep, c.folder});
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.copyStepRan, c.keep);
    if (!c.keep) {
      EXPECT_TRUE(sim::filesIn(c.folder).empty());
      EXPECT_TRUE(sim::boxes().empty());
      continue;
    }
    ExpectCopyOrMessage(c.folder, c.copy, kLinkPrefix + c.identifier);
    if (!c.copy.empty()) {
      EXPECT_EQ(sim::fileBytes(c.copy), "JPEGBYTES");
      // The copy is on disk before the link reaches the clipboard.
      auto names = sim::names();
      EXPECT_LT(std::find(names.begin(), names.end(), "MoveFileExW"),
                std::find(names.begin(), names.end(), "OpenClipboard"));
    }
  }
}

TEST(UploadPicture, CopyIsWholeOrAbsentAndAMissingFolderIsMade) {
  const std::string picture = Repeat('P', 100 * 1024);  // more than one copy chunk
  const std::string older = Repeat('o', picture.size() + 5);
  struct Case {
    const char* what;
    std::u16string folder;
    void (*setUp)(std::size_t pictureSize);
    std::string copy;  // what the copy's name holds afterwards
    bool told;
  };
  const Case cases[] = {
      {"replaces an older, longer file", u"C:\\Saved", nullptr, picture, false},
      {"folder deleted: made again", u"C:\\Saved", [](std::size_t) {}, picture, false},
      {"missing parents are made too", u"C:\\Users\\user1\\Pictures\\Deep\\ReDoda\\", [](std::size_t) {},
       picture, false},
      {"folder is a file", u"C:\\Saved", [](std::size_t) { sim::putFile(u"C:\\Saved", "not a folder"); }, "", true},
      {"no such drive", u"Q:\\x\\", [](std::size_t) { sim::script("CreateDirectoryW", platform::ERROR_PATH_NOT_FOUND); },
       "", true},
      {"folder refused", u"C:\\Saved", [](std::size_t) { sim::script("CreateDirectoryW", platform::ERROR_ACCESS_DENIED); },
       "", true},
      // The older file stays as it was: the new bytes never went over it.
      {"disk full", u"C:\\Saved",
       [](std::size_t) { sim::putFile(u"C:\\Saved\\abc.jpg", Repeat('o', 100 * 1024 + 5)); sim::script("WriteFile", 1); sim::script("WriteFile", 0); },
       older, true},
      // The upload reads the picture whole first; the copy's own read then fails part-way.
      {"source read fails", u"C:\\Saved", [](std::size_t size) { sim::putFolder(u"C:\\Saved"); sim::failReadsAfter(size + 10); },
       "", true},
      {"cannot be put in place", u"C:\\Saved", [](std::size_t) { sim::putFolder(u"C:\\Saved"); sim::script("MoveFileExW", 0); },
       "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare(picture, kLinkPrefix + "abc");
    if (c.setUp) c.setUp(picture.size());
    else sim::putFile(u"C:\\Saved\\abc.jpg", older);

    const UploadOutcome outcome = UploadPicture(nullptr, kPicture.c_str(), {true, c.folder});
    EXPECT_EQ(outcome.result, 1);
    EXPECT_TRUE(outcome.copyStepRan);
    const std::u16string copy = c.folder + u"\\abc.jpg";
    EXPECT_EQ(sim::fileBytes(copy), c.copy);
    EXPECT_EQ(sim::boxes().size(), c.told ? 1u : 0u);
    EXPECT_FALSE(sim::hasFile(copy + u".part"));
    EXPECT_EQ(sim::clipboardText(), kLinkPrefix + "abc");
    EXPECT_EQ(sim::launches().size(), 1u);
    EXPECT_EQ(sim::fileHandlesOpen(), 0);
  }
}

// Another program holding the clipboard as the link arrives: a moment is
// waited out; past the wait the user is told, once the browser has the link,
// in a balloon of the tray icon, or in a box when there is no icon to show it.
TEST(UploadPicture, ALinkTheClipboardDoesNotTakeIsToldAfterTheBrowserHasIt) {
  enum Caller { Capture, FileUpload, DroppedFile };
  struct Case {
    const char* what;
    Caller caller;
    std::uint64_t heldMs;
    bool copied;
  };
  const Case cases[] = {
      {"a capture, held half a second", Capture, 500, true},
      {"a capture, held five seconds", Capture, 5'000, false},
      {"a file upload, held half a second", FileUpload, 500, true},
      {"a file upload, held five seconds", FileUpload, 5'000, false},
      {"a dropped file, held five seconds", DroppedFile, 5'000, false},
  };
  const std::string link = kLinkPrefix + "abc";
  const std::u16string notice = kLinkNotCopiedText;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare("JPEG", link);
    const auto main = sim::handle<platform::Hwnd>();
    sim::showTrayIcon(main, kTrayIconId);
    sim::holdClipboard(c.heldMs);
    const platform::Hwnd owner = c.caller == Capture ? main : nullptr;
    const UploadOutcome outcome =
        UploadPicture(owner, kPicture.c_str(), {false, u"", c.caller == FileUpload ? main : nullptr});
    EXPECT_EQ(outcome.result, 1);
    ASSERT_EQ(sim::launches().size(), 1u);
    EXPECT_EQ(sim::launches()[0].file, sim::utf16(link));
    EXPECT_EQ(sim::clipboardText(), c.copied ? link : "");
    if (c.copied) {
      EXPECT_EQ(sim::clipboardOwner(), main) << "the main window owns the link";
    }
    const bool balloon = !c.copied && c.caller != DroppedFile;
    ASSERT_EQ(sim::balloons().size(), balloon ? 1u : 0u);
    if (balloon) {
      EXPECT_EQ(sim::balloons()[0].title, kLinkNotCopiedTitle);
      EXPECT_EQ(sim::balloons()[0].text, kLinkNotCopiedText);
    }
    const bool box = !c.copied && c.caller == DroppedFile;
    const std::vector<sim::Box> told = {{nullptr, u"Link not copied\n" + notice, u"Error", 16}};
    EXPECT_EQ(sim::boxes(), box ? told : std::vector<sim::Box>{});
    if (!c.copied) {
      auto names = sim::names();
      EXPECT_LT(std::find(names.begin(), names.end(), "ShellExecuteExW"),
                std::find(names.begin(), names.end(), box ? "MessageBoxW" : "Shell_NotifyIconW"));
    }
  }
}

TEST(OpenLink, LaunchesOnlyPlainWebLinks) {
  struct Case { std::string text; bool launched; };
  const Case cases[] = {
      {"http://corvane.net/abc", true},
      {"HTTPS://corvane.net/abc", true},
      {"hTtP://x", true},
      {"http://corvane.net/abc\n", false},  // links arrive checked, line break dropped
      {"http://corvane.net/abc\r\n", false},
      {"http://x/caf\xE9", true},
      {"http://x/a\nb", false},
      {"http://x/a\n\n", false},
      {"http://x/\x7F", false},
      {"http://x/\x1B[0m", false},
      {"file:///C:/Windows/System32/calc.exe", false},
      {"\\\\server\\share\\setup.exe", false},
      {"calc.exe", false},
      {"C:\\Windows\\notepad.exe", false},
      {"javascript:alert(1)", false},
      {"ftp://corvane.net/abc", false},
      {"mailto:someone@example.org", false},
      {"http:/x", false},
      {" http://x", false},
      {"", false},
      {"http://x/" + Repeat('a', 1000), false},  // Wine's launch crashes on long text
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    sim::reset();
    OpenLink(c.text.c_str());
    ASSERT_EQ(sim::launches().size(), c.launched ? 1u : 0u);
    if (!c.launched) continue;
    const sim::Launch& l = sim::launches()[0];
    EXPECT_EQ(l.verb, u"open");
    EXPECT_EQ(l.file, sim::utf16(c.text));  // widened byte by byte
    EXPECT_EQ(l.info.cbSize, sizeof(platform::ShellExecuteInfo));
    // Finished before the call returns, so a process that ends next does not lose it; no shell box on failure.
    EXPECT_EQ(l.info.fMask, platform::SEE_MASK_NOASYNC | platform::SEE_MASK_FLAG_NO_UI);
    platform::ShellExecuteInfo rest = l.info;
    rest.cbSize = 0;
    rest.fMask = 0;
    const platform::ShellExecuteInfo zero{};
    EXPECT_EQ(std::memcmp(&rest, &zero, sizeof rest), 0) << "every other field is zero";
  }

}

TEST(CopyTextToClipboard, PutsTheLinkAsBothTextFormatsWithAnOwner) {
  const platform::Hwnd window = reinterpret_cast<platform::Hwnd>(0x4242);
  const std::string utf16 = std::string("h\0t\0t\0p\0:\0/\0/\0x\0/\0a\0\0\0", 22);
  struct Case {
    const char* name;
    platform::Hwnd owner;
    std::uint64_t heldMs;  // another program holds the clipboard this long
    const char* failing;   // a call made to fail
    std::string text;
    bool taken;
  };
  const Case cases[] = {
      {"free", window, 0, "", "http://x/a", true},
      {"held for a moment", window, 500, "", "http://x/a", true},
      {"held too long", window, 5000, "", "http://x/a", false},
      {"no window: a stand-in owns it", nullptr, 0, "", "http://x/a", true},
      {"a NUL inside", window, 0, "", std::string("http://x/a\0b", 12), false},
      {"no memory", window, 0, "GlobalAlloc", "http://x/a", false},
      {"refused", window, 0, "SetClipboardData", "http://x/a", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::reset();
    if (c.heldMs != 0) sim::holdClipboard(c.heldMs);
    if (*c.failing != 0) sim::script(c.failing, 0);
    const std::uint64_t start = platform::GetTickCount64();
    EXPECT_EQ(CopyTextToClipboard(c.owner, c.text), c.taken);
    EXPECT_LE(platform::GetTickCount64() - start, kClipboardWaitMs + kClipboardRetryMs) << "the wait is bounded";
    if (c.taken) {
      EXPECT_EQ(sim::clipboardData(platform::CF_TEXT), std::string("http://x/a", 11));
      EXPECT_EQ(sim::clipboardData(platform::CF_UNICODETEXT), utf16);
      EXPECT_NE(sim::clipboardOwner(), nullptr);
    } else if (std::string(c.failing) != "SetClipboardData") {
      EXPECT_FALSE(sim::clipboardHasText());
    }
    // Blocks the clipboard did not take are freed: the sanitizer's leak check proves it.
  }
}

TEST(CheckVersion, AsksOnlyWhenTheServiceAnnouncesANewerVersion) {
  struct Case { std::vector<std::string> reply; std::u16string status; const char* failing; const char16_t* shown; };
  const Case cases[] = {
      {{"N"}, u"200", "", nullptr},
      {{"No"}, u"200", "", nullptr},
      {{"N/A"}, u"200", "", nullptr},
      {{"2.7"}, u"500", "", nullptr},
      {{"2.7"}, u"200", "InternetOpenW", nullptr},
      {{"2.7"}, u"200", "HttpSendRequestW", nullptr},
      {{"n"}, u"200", "", u"n"},
      {{"2.7"}, u"200", "", u"2.7"},
      {{"2.10"}, u"200", "", u"2.1"},
      {{}, u"200", "", u""},
      {{std::string("\0N", 2)}, u"200", "", u""},
      {{"3.0\r\n<html>"}, u"200", "", u"3.0"},
  };
  const std::u16string host = kServiceHost;
  for (const auto& c : cases) {
    SCOPED_TRACE(sim::utf8(c.status) + " " + c.failing + " " + (c.reply.empty() ? "" : c.reply[0]));
    sim::reset();
    sim::scriptHttp({c.status, c.reply, false});
    if (*c.failing) sim::script(c.failing, 0);
    const std::optional<std::u16string> version = CheckVersion();
    EXPECT_TRUE(sim::boxes().empty()) << "the check itself asks nothing";
    ASSERT_EQ(version.has_value(), c.shown != nullptr);
    if (!version) continue;
    EXPECT_EQ(*version, c.shown);
    // Carried to the main window in a message's two parameters, whole.
    const VersionMessage m = PackVersion(*version);
    EXPECT_EQ(UnpackVersion(m.wParam, m.lParam), *version);
    OfferNewVersion(*version);
    EXPECT_EQ(sim::boxes(), (std::vector<sim::Box>{{nullptr,
                                                    u"Version " + std::u16string(c.shown) +
                                                        u" is out!\nDo you want to go to " + host + u" and get it?",
                                                    u"Update Corvane Tool", 262212}}));
    EXPECT_TRUE(sim::launches().empty());  // the default answer here is not Yes
  }
}

TEST(CheckVersion, ATricklingOrOversizedReplyEndsTheCheckSilently) {
  const sim::HttpExchange cases[] = {{.chunks = std::vector<std::string>(7, "2"), .msPerChunk = 5'000},
                                     {.chunks = {"2.7"}, .msToStatus = 600'000},
                                     {.chunks = {"2.7" + Repeat(' ', kMaxReplyBytes)}}};
  for (const auto& exchange : cases) {
    sim::reset();
    sim::scriptHttp(exchange);
    EXPECT_FALSE(CheckVersion());
    EXPECT_EQ(sim::internetHandlesOpen(), 0);
  }
}

// --- taking an upload back ----------------------------------------------------
#include "net/delete.h"
#include "settings/recent.h"

namespace {

TEST(DeleteRequest, BodyCarriesTheNameTheDeleteKeyAndAnOwnServicesKey) {
  EXPECT_EQ(DeleteRequestBody("abc.jpg", "K-1_z", ""),
            "------BOUNDARYBOUNDARY----\r\ncontent-disposition: form-data; name=\"cv\"\r\n\r\nwin:2.6\r\n"
            "------BOUNDARYBOUNDARY----\r\ncontent-disposition: form-data; name=\"name\"\r\n\r\nabc.jpg\r\n"
            "------BOUNDARYBOUNDARY----\r\ncontent-disposition: form-data; name=\"deletekey\"\r\n\r\nK-1_z\r\n"
            "------BOUNDARYBOUNDARY------\r\n");
  EXPECT_EQ(DeleteRequestBody("n", "d", "s3cret"),
            "------BOUNDARYBOUNDARY----\r\ncontent-disposition: form-data; name=\"cv\"\r\n\r\nwin:2.6\r\n"
            "------BOUNDARYBOUNDARY----\r\ncontent-disposition: form-data; name=\"name\"\r\n\r\nn\r\n"
            "------BOUNDARYBOUNDARY----\r\ncontent-disposition: form-data; name=\"deletekey\"\r\n\r\nd\r\n"
            "------BOUNDARYBOUNDARY----\r\ncontent-disposition: form-data; name=\"key\"\r\n\r\ns3cret\r\n"
            "------BOUNDARYBOUNDARY------\r\n");
}

TEST(DeleteRequest, TheServicesAnswerDecidesAndTheKeyGoesOnlyToItsOwnService) {
  struct Case {
    const char16_t* status;
    DeleteAnswer answer;
    const char16_t* reason;
  } cases[] = {
      {u"200", DeleteAnswer::Deleted, u"The service answered."},
      {u"404", DeleteAnswer::Gone, u"The service answered 404."},
      {u"403", DeleteAnswer::Failed, u"The service answered 403."},
      {u"503", DeleteAnswer::Failed, u"The service answered 503."},
  };
  for (const auto& c : cases) {
    sim::reset();
    UseServiceAddress(u"https://pics.example/team", u"s3cret");
    sim::scriptHttp({c.status, {"ok"}, false});
    const DeleteResult r = DeleteFromService(*ParseServiceAddress(u"https://pics.example/team"), "x1", "dk");
    EXPECT_EQ(r.answer, c.answer);
    EXPECT_EQ(ExchangeFailureReason(r.exchange), c.reason);
    EXPECT_EQ(sim::last("HttpOpenRequestW")->args[2], "\"/team/delete.php\"");
    EXPECT_EQ(sim::lastHttpSend().body, DeleteRequestBody("x1", "dk", "s3cret"));
  }
  // An entry of another service than today's gets no upload key of today's.
  sim::reset();
  UseServiceAddress(u"https://pics.example/team", u"s3cret");
  sim::scriptHttp({u"200", {""}, false});
  DeleteFromService(DefaultServiceAddress(), "abc", "dk");
  EXPECT_EQ(sim::lastHttpSend().body, DeleteRequestBody("abc", "dk", ""));
  EXPECT_EQ(sim::lastHttpSend().body.find("s3cret"), std::string::npos);
  UseServiceAddress(u"");
}

TEST(UploadPicture, TheServicesDeleteKeyIsKeptWithTheRecentEntry) {
  struct Case {
    std::optional<std::u16string> header;
    std::string kept;
  } cases[] = {
      {u"Ab-9_x", "Ab-9_x"},
      {std::nullopt, ""},
      {u"with blank", ""},
      {std::u16string(65, u'k'), ""},
  };
  for (const auto& c : cases) {
    Prepare("JPEG", kLinkPrefix + "abc\n");
    sim::HttpExchange exchange{u"200", {kLinkPrefix + "abc\n"}, false};
    if (c.header) exchange.headers[u"X-Delete-Key"] = *c.header;
    sim::scriptHttp(exchange);
    ASSERT_EQ(UploadPicture(nullptr, kPicture.c_str(), {}).result, 1);
    const auto recent = ReadRecentUploads();
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_EQ(recent[0].link, kLinkPrefix + "abc");
    EXPECT_EQ(recent[0].service, "http://" + kHost);
    EXPECT_EQ(recent[0].deleteKey, c.kept);
  }
}

}  // namespace

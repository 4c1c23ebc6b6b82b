// Web service client: body bytes, the exchange's stages, reply handling, the
// saved copy, clipboard, browser launch and the version check.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "desktop/clipboard.h"
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

int CopiesWritten() {
  int n = 0;
  for (const auto& c : sim::log())
    if (c.name == "CreateFileW" && c.args[1] == std::to_string(platform::GENERIC_WRITE)) ++n;
  return n;
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
    std::vector<std::size_t> lengths = {28, 43, 2, 9, 28, 50, 2, c.picture.size(), 2};
    if (keyed) {
      const std::string key(c.key.begin(), c.key.end());
      lines.insert(lines.end(), {kDelimiter, "content-disposition: form-data; name=\"key\"\r\n", "\r\n", key + "\r\n"});
      lengths.insert(lengths.end(), {28, 44, 2, key.size() + 2});
    }
    lines.push_back(kClosing);
    lengths.push_back(30);
    std::size_t at = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      ASSERT_EQ(lines[i].size(), lengths[i]) << "line " << i + 1;
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
            (std::vector<std::string>{"\"POST\"", "\"/upload.php\"", "null", "null", "null", "2214592512", "1"}));
  EXPECT_EQ(sim::lastHttpSend().headers, u"Content-type: multipart/form-data; boundary=----BOUNDARYBOUNDARY----");
  EXPECT_EQ(sim::lastHttpSend().headerLength, 68u);
  EXPECT_EQ(sim::lastHttpSend().body, "BODY");
  const auto& query = sim::last("HttpQueryInfoW")->args;
  EXPECT_EQ(query[1], "19");
  EXPECT_EQ(query[2], "8");
  EXPECT_EQ(query[3], "null");
  for (const auto& c : sim::log()) {
    if (c.name == "InternetReadFile") {
      EXPECT_LE(std::stoul(c.args[1]), 1024u);
    }
  }
  EXPECT_EQ(sim::internetHandlesOpen(), 0);
  EXPECT_EQ(sim::count("InternetCloseHandle"), 3);
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
      {"NUL inside", {.chunks = {std::string("abc\0def", 7), "ghi"}}, ExchangeStage::Done, "abc"},
      {"NUL first", {.chunks = {std::string("\0abc", 4)}}, ExchangeStage::Done, ""},
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

TEST(UploadPicture, EachFailureShowsItsMessageAndHandsNothingOn) {
  struct Case { const char* failing; std::u16string status; const char* message; bool sent; bool owned; };
  const Case cases[] = {
      {"file", u"200", "Could not open .jpg", false, true},
      {"CreateThread", u"200", "Could not configure wininet", false, false},
      {"read", u"200", "Could not open .jpg", false, false},  // the picture's read fails part-way
      {"InternetOpenW", u"200", "Could not configure wininet", false, false},
      {"InternetConnectW", u"200", "Could not initiate connection", false, true},
      {"HttpOpenRequestW", u"200", "Could not initiate transfer", false, false},
      {"HttpSendRequestW", u"200", "Could not upload", true, true},
      {"HttpQueryInfoW", u"200", "Could not upload", true, false},
      {"", u"201", "Could not upload", true, true},
      {"", u"500", "Could not upload", true, false},
      {"", u"404", "Could not upload", true, true},
      {"", u"2000", "Could not upload", true, true},  // does not fit the status buffer
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
    sim::scriptHttp({c.status, {kLinkPrefix + "abc"}, false});
    auto owner = c.owned ? sim::handle<platform::Hwnd>() : nullptr;

    const UploadOutcome outcome = UploadPicture(owner, kPicture.c_str(), {true, u"C:\\Saved"});
    EXPECT_EQ(outcome.result, 0);
    ASSERT_EQ(sim::count("MessageBoxW"), 1);
    EXPECT_EQ(sim::last("MessageBoxW")->text(), "MessageBoxW(" + sim::arg(static_cast<const void*>(owner)) + ", \"" +
                                                    c.message + "\", \"Error\", 21)");  // Retry, Cancel
    EXPECT_EQ(sim::count("HttpSendRequestW") == 1, c.sent);
    if (unreadable) {
      EXPECT_EQ(sim::count("InternetOpenW"), 0);  // nothing to send: no connection either
    }
    EXPECT_EQ(sim::count("InternetReadFile"), 0);
    EXPECT_FALSE(sim::clipboardHasText());
    EXPECT_EQ(sim::count("OpenClipboard"), 0);
    EXPECT_TRUE(sim::launches().empty());
    EXPECT_EQ(CopiesWritten(), 0);
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
    ASSERT_EQ(sim::count("MessageBoxW"), static_cast<int>(c.answers.size()));
    std::string text = "Could not upload";
    if (c.keepUnsent == KeepUnsent::Yes)
      text += c.kept.empty() ? "\nThe picture could not be kept in the save folder."
                             : "\nThe picture is kept as " + sim::utf8(c.kept);
    EXPECT_EQ(sim::last("MessageBoxW")->text(),
              "MessageBoxW(" + sim::arg(static_cast<const void*>(owner)) + ", \"" + text + "\", \"Error\", 21)");
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
  };
  for (const auto& reply : cases) {
    SCOPED_TRACE(reply.substr(0, 60));
    Prepare("JPEG", reply);
    sim::putFolder(u"C:\\Saved");
    const UploadOutcome outcome = UploadPicture(nullptr, kPicture.c_str(), {true, u"C:\\Saved"});
    EXPECT_EQ(outcome.result, 0);
    ASSERT_EQ(sim::count("MessageBoxW"), 1);
    EXPECT_EQ(sim::last("MessageBoxW")->text(), "MessageBoxW(null, \"Could not upload\", \"Error\", 21)");
    EXPECT_EQ(sim::count("OpenClipboard"), 0);
    EXPECT_TRUE(sim::launches().empty());
    EXPECT_TRUE(sim::filesIn(u"C:\\Saved").empty());
    EXPECT_FALSE(outcome.copyStepRan);  // a failed upload leaves the copy request for the next one
  }
}

// Whether a copy was written or the user was told, after the link went out.
void ExpectCopyOrMessage(const std::u16string& folder, const std::u16string& copy, const std::string& link) {
  EXPECT_EQ(sim::clipboardText(), link);
  ASSERT_EQ(sim::launches().size(), 1u);
  EXPECT_EQ(sim::launches()[0].file, sim::utf16(link));  // as received, line break and all
  EXPECT_EQ(sim::fileHandlesOpen(), 0);
  if (!copy.empty()) {
    EXPECT_EQ(sim::count("MessageBoxW"), 0);
    EXPECT_TRUE(sim::hasFile(copy));
    EXPECT_FALSE(sim::hasFile(copy + u".part"));  // nothing half-written beside it
    return;
  }
  ASSERT_EQ(sim::count("MessageBoxW"), 1);
  const std::string text = folder.empty() ? "Could not save a copy of the picture: no save folder is set."
                                          : "Could not save a copy of the picture in the save folder " +
                                                sim::utf8(folder);
  EXPECT_EQ(sim::last("MessageBoxW")->text(), "MessageBoxW(null, \"" + text + "\", \"Error\", 16)");
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
      {"forbidden character past 36 is cut away", 1, u"C:\\Saved", Repeat('x', 36) + "\\y",
       u"C:\\Saved\\" + std::u16string(36, u'x') + u".jpg"},
      {"path fills the buffer exactly", 1, longFolder, "abc", longFolder + u"\\abc.jpg"},
      {"upload only", 0, u"C:\\Saved", "abc", u""},
      {"path one too long", 1, longFolder + u"g", "abc", u""},
      {"empty save folder", 1, u"", "abc", u""},
      {"dot", 1, u"C:\\Saved", ".", u""},
      {"dot dot", 1, u"C:\\Saved", "..", u""},
      {"backslash", 1, u"C:\\Saved", "..\\..\\Windows\\evil", u""},
      {"slash", 1, u"C:\\Saved", "a/b", u""},
      {"colon (stream)", 1, u"C:\\Saved", "abc:stream", u""},
      {"forbidden characters", 1, u"C:\\Saved", "a<>\"|?*b", u""},
      {"trailing dot", 1, u"C:\\Saved", "abc.", u""},
      {"CON", 1, u"C:\\Saved", "CON", u""},
      {"con with extension", 1, u"C:\\Saved", "con.txt", u""},
      {"COM9 with extension", 1, u"C:\\Saved", "com9.jpg", u""},
      {"LPT1", 1, u"C:\\Saved", "lpt1", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare("JPEGBYTES", kLinkPrefix + c.identifier);
    if (!c.folder.empty()) sim::putFolder(c.folder);
    const UploadOutcome outcome = UploadPicture(nullptr, kPicture.c_str(), {c.keep, c.folder});
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.copyStepRan, c.keep);
    if (!c.keep) {
      EXPECT_EQ(CopiesWritten(), 0);
      EXPECT_EQ(sim::count("MessageBoxW"), 0);
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
    EXPECT_EQ(sim::count("MessageBoxW"), c.told ? 1 : 0);
    EXPECT_FALSE(sim::hasFile(copy + u".part"));
    EXPECT_EQ(sim::clipboardText(), kLinkPrefix + "abc");
    EXPECT_EQ(sim::launches().size(), 1u);
    EXPECT_EQ(sim::fileHandlesOpen(), 0);
  }
}

TEST(OpenLink, LaunchesOnlyPlainWebLinks) {
  struct Case { std::string text; bool launched; };
  const Case cases[] = {
      {"http://corvane.net/abc", true},
      {"HTTPS://corvane.net/abc", true},
      {"hTtP://x", true},
      {"http://corvane.net/abc\n", true},
      {"http://corvane.net/abc\r\n", true},
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
    EXPECT_EQ(l.file, sim::utf16(c.text));  // widened byte by byte, line break kept
    EXPECT_EQ(l.info.cbSize, sizeof(platform::ShellExecuteInfo));
    platform::ShellExecuteInfo rest = l.info;
    rest.cbSize = 0;
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
    EXPECT_EQ(CheckVersion(), 0);
    if (c.shown == nullptr) {
      EXPECT_EQ(sim::count("MessageBoxW"), 0);
      continue;
    }
    ASSERT_EQ(sim::count("MessageBoxW"), 1);
    EXPECT_EQ(sim::last("MessageBoxW")->text(),
              "MessageBoxW(null, \"" +
                  sim::utf8(u"Version " + std::u16string(c.shown) + u" is out!\nDo you want to go to " + host +
                            u" and get it?") +
                  "\", \"Update Corvane Tool\", 262212)");
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
    EXPECT_EQ(CheckVersion(), 0);
    EXPECT_EQ(sim::count("MessageBoxW"), 0);
    EXPECT_EQ(sim::internetHandlesOpen(), 0);
  }
}

TEST(CheckVersion, YesOpensTheDownloadPageOnceOnAThreadWithCom) {
  for (std::int32_t answer : {platform::IDYES, platform::IDNO}) {
    SCOPED_TRACE(answer);
    sim::reset();
    sim::scriptHttp({u"200", {"2.7"}, false});
    sim::script("MessageBoxW", answer);
    EXPECT_EQ(VersionCheckThread(nullptr), 0u);
    auto names = sim::names();
    EXPECT_EQ(names.front(), "CoInitializeEx");
    EXPECT_EQ(names.back(), "CoUninitialize");
    if (answer == platform::IDYES) {
      ASSERT_EQ(sim::launches().size(), 1u);
      EXPECT_EQ(sim::launches()[0].file, sim::utf16("http://" + kHost + "/download/"));
    } else {
      EXPECT_TRUE(sim::launches().empty());
    }
  }
}

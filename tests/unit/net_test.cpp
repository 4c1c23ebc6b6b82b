// Web service client: body bytes, the exchange's stages, reply handling, the
// saved copy, clipboard, browser launch and the version check.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
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
  struct Case { const char* what; std::string picture; };
  const Case cases[] = {
      {"empty file", ""},
      {"bytes with NUL, CR LF and the delimiter line itself", std::string("\xFF\xD8\0\r\n", 5) + kDelimiter + kClosing},
      {"larger than a read chunk", Repeat('\x5A', 200 * 1024 + 7)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare(c.picture, kLinkPrefix + "abc");
    ASSERT_EQ(UploadPicture(nullptr, kPicture.c_str(), {}).result, 1);
    const std::string& body = sim::lastHttpSend().body;
    const std::vector<std::string> lines = {
        kDelimiter,
        "content-disposition: form-data; name=\"cv\"\r\n",
        "\r\n",
        "win:2.6\r\n",
        kDelimiter,
        "content-disposition: form-data; name=\"imagedata\"\r\n",
        "\r\n",
        c.picture,
        "\r\n",
        kClosing,
    };
    const std::size_t lengths[] = {28, 43, 2, 9, 28, 50, 2, c.picture.size(), 2, 30};
    std::size_t at = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      ASSERT_EQ(lines[i].size(), lengths[i]) << "line " << i + 1;
      ASSERT_EQ(body.substr(at, lines[i].size()), lines[i]) << "line " << i + 1;
      at += lines[i].size();
    }
    EXPECT_EQ(body.size(), at);
    EXPECT_EQ(body.size(), c.picture.size() + 194);
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
            (std::vector<std::string>{"\"POST\"", "\"/upload.php\"", "null", "null", "null", "2214592512", "0"}));
  EXPECT_EQ(sim::lastHttpSend().headers, u"Content-type: multipart/form-data; boundary=----BOUNDARYBOUNDARY----");
  EXPECT_EQ(sim::lastHttpSend().headerLength, 68u);
  EXPECT_EQ(sim::lastHttpSend().body, "BODY");
  const auto& query = sim::last("HttpQueryInfoW")->args;
  EXPECT_EQ(query[1], "19");
  EXPECT_EQ(query[2], "8");
  EXPECT_EQ(query[3], "null");
  for (const auto& c : sim::log()) {
    if (c.name != "InternetReadFile") continue;
    EXPECT_EQ(c.args[1], "1024");
  }
  EXPECT_EQ(sim::internetHandlesOpen(), 0);
  EXPECT_EQ(sim::count("InternetCloseHandle"), 3);
}

TEST(PostMultipart, ReadsTheWholeReplyUpToItsFirstNul) {
  struct Case { const char* what; std::vector<std::string> chunks; bool readFails; std::string reply; };
  const std::string big = Repeat('a', 1024) + Repeat('b', 1024) + "tail";
  const Case cases[] = {
      {"empty content", {}, false, ""},
      {"one short chunk", {"http://h/abc"}, false, "http://h/abc"},
      {"longer than one read, one chunk", {big}, false, big},
      {"several small chunks", {"ht", "tp://", "h/x\n"}, false, "http://h/x\n"},
      {"NUL inside", {std::string("abc\0def", 7), "ghi"}, false, "abc"},
      {"NUL first", {std::string("\0abc", 4)}, false, ""},
      {"a failing read keeps what came before", {"first", "second"}, true, "firstsecond"},
      {"a failing first read", {}, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim::reset();
    sim::scriptHttp({u"200", c.chunks, c.readFails});
    Exchange e = PostMultipart(kUploadPath, "b");
    EXPECT_EQ(e.stage, ExchangeStage::Done);
    EXPECT_EQ(e.reply, c.reply);
    EXPECT_EQ(sim::internetHandlesOpen(), 0);
  }
}

TEST(PostMultipart, StatusTextIsReadAsADecimalNumber) {
  struct Case { std::u16string text; long value; };
  const Case cases[] = {{u"200", 200}, {u" 200", 200}, {u"+200", 200}, {u"-20", -20}, {u"20x", 20},
                        {u"x200", 0},  {u"", 0},       {u"\t\r7", 7},   {u"0200", 200}};
  for (const auto& c : cases) EXPECT_EQ(ParseStatusCode(c.text.c_str(), 4), c.value) << sim::utf8(c.text);
  EXPECT_EQ(ParseStatusCode(u"20000", 4), 2000);  // never past the buffer
}

TEST(UploadPicture, EachFailureShowsItsMessageAndHandsNothingOn) {
  struct Case { const char* failing; std::u16string status; const char* message; bool sent; bool owned; };
  const Case cases[] = {
      {"file", u"200", "Could not open .jpg", false, true},
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
                                                    c.message + "\", \"Error\", 16)");
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

TEST(UploadPicture, CopyGoesIntoTheSaveFolderOnlyUnderAPlainName) {
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
      {"Latin-1 identifier", 1, u"C:\\Saved", "caf\xE9", u"C:\\Saved\\caf\u00E9.jpg"},
      {"a dot inside is fine", 1, u"C:\\Saved", "a.b", u"C:\\Saved\\a.b.jpg"},
      {"COM10 is no device", 1, u"C:\\Saved", "COM10", u"C:\\Saved\\COM10.jpg"},
      {"path fills the buffer exactly", 1, longFolder, "abc", longFolder + u"\\abc.jpg"},
      {"path one too long", 1, longFolder + u"g", "abc", u""},
      {"upload only", 0, u"C:\\Saved", "abc", u""},
      {"no identifier", 1, u"C:\\Saved", "", u""},
      {"empty save folder", 1, u"", "abc", u""},
      {"dot", 1, u"C:\\Saved", ".", u""},
      {"dot dot", 1, u"C:\\Saved", "..", u""},
      {"backslash", 1, u"C:\\Saved", "..\\..\\Windows\\evil", u""},
      {"slash", 1, u"C:\\Saved", "a/b", u""},
      {"colon (stream)", 1, u"C:\\Saved", "abc:stream", u""},
      {"drive", 1, u"C:\\Saved", "C:x", u""},
      {"line break from the service", 1, u"C:\\Saved", "abc\n", u""},
      {"tab", 1, u"C:\\Saved", "a\tb", u""},
      {"forbidden <", 1, u"C:\\Saved", "a<b", u""},
      {"forbidden >", 1, u"C:\\Saved", "a>b", u""},
      {"forbidden quote", 1, u"C:\\Saved", "a\"b", u""},
      {"forbidden |", 1, u"C:\\Saved", "a|b", u""},
      {"forbidden ?", 1, u"C:\\Saved", "a?b", u""},
      {"forbidden *", 1, u"C:\\Saved", "a*b", u""},
      {"trailing dot", 1, u"C:\\Saved", "abc.", u""},
      {"trailing blank", 1, u"C:\\Saved", "abc ", u""},
      {"forbidden character past 36 is cut away", 1, u"C:\\Saved", Repeat('x', 36) + "\\y", u"C:\\Saved\\" + std::u16string(36, u'x') + u".jpg"},
      {"blank at 36 after the cut", 1, u"C:\\Saved", Repeat('x', 35) + " yz", u""},
      {"CON", 1, u"C:\\Saved", "CON", u""},
      {"con with extension", 1, u"C:\\Saved", "con.txt", u""},
      {"PRN", 1, u"C:\\Saved", "Prn", u""},
      {"AUX", 1, u"C:\\Saved", "aux", u""},
      {"NUL with blank", 1, u"C:\\Saved", "NUL .x", u""},
      {"COM1", 1, u"C:\\Saved", "COM1", u""},
      {"COM9 with extension", 1, u"C:\\Saved", "com9.jpg", u""},
      {"LPT1", 1, u"C:\\Saved", "lpt1", u""},
      {"LPT9", 1, u"C:\\Saved", "LPT9", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare("JPEGBYTES", kLinkPrefix + c.identifier);
    if (!c.folder.empty()) sim::putFolder(c.folder);
    const UploadOutcome outcome = UploadPicture(nullptr, kPicture.c_str(), {c.keep, c.folder});
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.copyStepRan, c.keep);
    if (c.copy.empty()) {
      EXPECT_EQ(CopiesWritten(), 0);
    } else {
      EXPECT_EQ(CopiesWritten(), 1);
      EXPECT_EQ(sim::fileBytes(c.copy), "JPEGBYTES");
      // The copy is on disk before the link reaches the clipboard.
      auto names = sim::names();
      EXPECT_LT(std::find(names.begin(), names.end(), "WriteFile"),
                std::find(names.begin(), names.end(), "OpenClipboard"));
    }
    EXPECT_EQ(sim::clipboardText(), kLinkPrefix + c.identifier);
    EXPECT_EQ(sim::launches().size(), c.identifier.find('\t') == std::string::npos ? 1u : 0u);
    EXPECT_EQ(sim::fileHandlesOpen(), 0);
  }
}

TEST(UploadPicture, CopyReplacesAnExistingFileOrIsSilentlyAbsent) {
  // A copy that cannot be had never stops the link, and is never left cut short.
  const std::string picture = Repeat('P', 100 * 1024);  // more than one copy chunk
  struct Case { const char* what; bool folderExists; void (*fault)(std::size_t); std::string copy; };
  const Case cases[] = {
      {"replaces an older, longer file", true, nullptr, picture},
      {"folder does not exist", false, nullptr, ""},
      {"disk full", true, [](std::size_t) { sim::script("WriteFile", 1); sim::script("WriteFile", 0); }, ""},
      // The upload reads the picture whole first; the copy's own read then fails part-way.
      {"source read fails", true, [](std::size_t size) { sim::failReadsAfter(size + 10); }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare(picture, kLinkPrefix + "abc");
    if (c.folderExists) sim::putFile(u"C:\\Saved\\abc.jpg", Repeat('o', picture.size() + 5));  // older, longer
    if (c.fault) c.fault(picture.size());
    const UploadOutcome outcome = UploadPicture(nullptr, kPicture.c_str(), {true, u"C:\\Saved"});
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(sim::hasFile(u"C:\\Saved\\abc.jpg"), !c.copy.empty());
    EXPECT_EQ(sim::fileBytes(u"C:\\Saved\\abc.jpg"), c.copy);
    EXPECT_EQ(sim::count("MessageBoxW"), 0);
    EXPECT_TRUE(outcome.copyStepRan);
    EXPECT_EQ(sim::clipboardText(), kLinkPrefix + "abc");
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

  // The clipboard still takes a reply that is no web link; the browser does not.
  Prepare("JPEG", "file:///C:/Windows/System32/calc.exe");
  EXPECT_EQ(UploadPicture(nullptr, kPicture.c_str(), {}).result, 1);
  EXPECT_EQ(sim::clipboardText(), "file:///C:/Windows/System32/calc.exe");
  EXPECT_TRUE(sim::launches().empty());
}

TEST(CopyTextToClipboard, HandsTheTextOverOrFreesTheBlock) {
  sim::reset();
  CopyTextToClipboard("http://x/abc\n");
  EXPECT_EQ(sim::names(), (std::vector<std::string>{"GlobalAlloc", "GlobalLock", "GlobalUnlock", "OpenClipboard",
                                                    "EmptyClipboard", "SetClipboardData", "CloseClipboard"}));
  EXPECT_EQ(sim::log()[0].args, (std::vector<std::string>{"8194", "14"}));
  EXPECT_EQ(sim::last("OpenClipboard")->args[0], "null");
  EXPECT_EQ(sim::last("SetClipboardData")->args[0], "1");
  EXPECT_EQ(sim::clipboardText(), "http://x/abc\n");

  // Each failure before the hand-over: nothing reaches the clipboard, and the
  // leak check of the sanitizer proves the block is not lost.
  for (const char* failing : {"GlobalAlloc", "GlobalLock", "OpenClipboard", "SetClipboardData"}) {
    SCOPED_TRACE(failing);
    sim::reset();
    sim::script(failing, 0);
    CopyTextToClipboard("http://x/abc");
    EXPECT_FALSE(sim::clipboardHasText());
    EXPECT_EQ(sim::count("GlobalFree"), std::string(failing) == "GlobalAlloc" ? 0 : 1);
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

// The checks of what the web service sends back, on their own: no simulation.
// Findings of the fuzz targets in bench/ land here as cases.
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>
#include "net/reply_check.h"

using namespace corvane;

namespace {
const std::string kPrefix = "http://corvane.net/";
}

TEST(LinkIdentifier, OnlyAShortPlainNameAfterTheServicePrefixIsALink) {
  struct Case { std::string reply; std::optional<std::string> identifier; };
  const Case cases[] = {
      {kPrefix + "abc", "abc"},
      {kPrefix + "abc\n", "abc"},
      {kPrefix + "abc\r\n", "abc"},
      {kPrefix + "Ab-9_x.jpg", "Ab-9_x.jpg"},
      {kPrefix + "a..b", "a..b"},
      {kPrefix + "COM10", "COM10"},
      {kPrefix + "CONSOLE", "CONSOLE"},
      // Anything but a plain name: a path, a drive, a share, a device, a
      // stream, a query, a wildcard, or "." and ".." alone.
      {kPrefix + "a/b?c=d#e~!", std::nullopt},
      {kPrefix + "..\\..\\x", std::nullopt},
      {kPrefix + "C:\\x", std::nullopt},
      {kPrefix + "\\\\host\\c$\\x", std::nullopt},
      {kPrefix + "CON", std::nullopt},
      {kPrefix + "nul.jpg", std::nullopt},
      {kPrefix + "Com1", std::nullopt},
      {kPrefix + "x:evil", std::nullopt},
      {kPrefix + "a/b", std::nullopt},
      {kPrefix + "a?b", std::nullopt},
      {kPrefix + "a<b", std::nullopt},
      {kPrefix + "a>b", std::nullopt},
      {kPrefix + "a|b", std::nullopt},
      {kPrefix + "a*b", std::nullopt},
      {kPrefix + "a\"b", std::nullopt},
      {kPrefix + "a%2e", std::nullopt},
      {kPrefix + ".", std::nullopt},
      {kPrefix + "..", std::nullopt},
      {kPrefix + "..\n", std::nullopt},
      {kPrefix + std::string("abc\0", 4), std::nullopt},
      {kPrefix + std::string(kMaxIdentifierLength, 'x'), std::string(kMaxIdentifierLength, 'x')},
      {kPrefix + std::string(kMaxIdentifierLength + 1, 'x'), std::nullopt},
      {kPrefix + std::string(980, 'x'), std::nullopt},
      {kPrefix, std::nullopt},
      {kPrefix + "\r\n", std::nullopt},
      {kPrefix + "abc\r", std::nullopt},          // a lone CR is no line break here
      {kPrefix + "abc\n\n", std::nullopt},        // only one is dropped
      {kPrefix + "abc\r\n\r\n", std::nullopt},
      {kPrefix + "a b", std::nullopt},
      {kPrefix + "a\tb", std::nullopt},
      {kPrefix + "a\x7F", std::nullopt},
      {kPrefix + "caf\xE9", std::nullopt},
      {kPrefix + std::string("a\0b", 3), std::nullopt},
      {"HTTP://Corvane.NET/abc", "abc"},  // scheme and host in any case
      {"https://corvane.net/abc", std::nullopt},
      {"http://corvane.net.evil.example/x", std::nullopt},
      {"http://evil.example/x.exe", std::nullopt},
      {" " + kPrefix + "abc", std::nullopt},
      {"hello world", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply.substr(0, 60));
    std::optional<std::string_view> got = LinkIdentifier(c.reply, kPrefix);
    ASSERT_EQ(got.has_value(), c.identifier.has_value());
    if (got) {
      EXPECT_EQ(*got, *c.identifier);
    }
  }
  // The prefix is the caller's: another service address gives other links.
  EXPECT_EQ(LinkIdentifier("https://shots.example.org/p/abc\n", "https://shots.example.org/p/"), "abc");
  // Scheme and host in any case are the same service; the path is the server's to tell apart.
  EXPECT_EQ(LinkIdentifier("HTTPS://Shots.Example.ORG/p/abc", "https://shots.example.org/p/"), "abc");
  EXPECT_FALSE(LinkIdentifier("https://shots.example.org/P/abc", "https://shots.example.org/p/"));
  EXPECT_FALSE(LinkIdentifier("https://shots.example.org.evil/p/abc", "https://shots.example.org/p/"));
  EXPECT_FALSE(LinkIdentifier(kPrefix + "abc", ""));
  EXPECT_TRUE(LinkIdentifier(std::string(kMaxLinkPrefixLength, 'h') + "abc", std::string(kMaxLinkPrefixLength, 'h')));
  EXPECT_FALSE(LinkIdentifier(std::string(kMaxLinkPrefixLength + 1, 'h') + "abc",
                              std::string(kMaxLinkPrefixLength + 1, 'h')));
}

TEST(CopyFileName, KeepsThirtySixCharactersOfAPlainName) {
  struct Case { std::string identifier; std::u16string name; };
  const Case cases[] = {
      {"abc", u"abc.jpg"},
      {"0123456789abcdefghijklmnopqrstuvwxyzABCD", u"0123456789abcdefghijklmnopqrstuvwxyz.jpg"},
      {std::string(36, 'x') + "\\y", std::u16string(36, u'x') + u".jpg"},
      {std::string(35, 'x') + ".y", u""},  // cut after the dot: a trailing dot
      {"COM10", u"COM10.jpg"},
      {"", u""}, {".", u""}, {"..", u""}, {"a/b", u""}, {"a\\b", u""}, {"a:b", u""}, {"a*b", u""},
      {"abc.", u""}, {"abc ", u""}, {"a\nb", u""}, {"caf\xE9", u""},
      {"CON", u""}, {"nul.txt", u""}, {"Com1", u""}, {"lpt9.jpg", u""}, {"CONIN$", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(CopyFileName(c.identifier), c.name) << c.identifier;
}

TEST(ParseStatusCode, ReadsADecimalNumberAsTheWideConversionDoes) {
  struct Case { std::u16string text; long value; };
  const Case cases[] = {{u"200", 200}, {u" 200", 200}, {u"+200", 200}, {u"-20", -20}, {u"20x", 20},
                        {u"x200", 0},  {u"", 0},       {u"\t\r7", 7},   {u"0200", 200}};
  for (const auto& c : cases) EXPECT_EQ(ParseStatusCode(c.text.c_str(), 4), c.value);
  EXPECT_EQ(ParseStatusCode(u"20000", 4), 2000);  // never past the buffer
  // Out of range saturates, as the C library's conversion does.
  EXPECT_EQ(ParseStatusCode(u"99999999999999999999", 20), std::numeric_limits<long>::max());
  EXPECT_EQ(ParseStatusCode(u"-99999999999999999999", 21), std::numeric_limits<long>::min());
}

TEST(AnnouncedVersion, NMeansNoneAndAtMostTwelveBytesAreKept) {
  EXPECT_FALSE(AnnouncedVersion("N"));
  EXPECT_FALSE(AnnouncedVersion("No newer version"));
  EXPECT_EQ(AnnouncedVersion(""), "");
  EXPECT_EQ(AnnouncedVersion("n"), "n");
  EXPECT_EQ(AnnouncedVersion("2.7\r\n<html>long page</html>"), "2.7\r\n<html>l");
}

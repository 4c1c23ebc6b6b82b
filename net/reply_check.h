// What the web service sends back, judged before anything is done with it.
// Pure functions over bytes: no platform calls, no process-wide state, so that
// they are tested and fuzzed on their own.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The most a reply may hold. A link is a few dozen bytes and a version reply a
// few; 4 KB leaves room for a service that pads its answer, while an error page
// or an endless stream served with 200 is cut off early instead of being read
// whole into memory on the user-interface thread.
inline constexpr std::size_t kMaxReplyBytes = 4096;

// The most the identifier after the link prefix may hold. The service's
// identifiers are a few dozen characters. The bound keeps every link we hand to
// the shell (prefix of at most kMaxLinkPrefixLength, identifier, line break)
// under 780 characters, well below the 997 at which Wine's browser launch
// crashes, with room for any identifier scheme the service may adopt.
inline constexpr std::size_t kMaxIdentifierLength = 512;
// The prefix of the longest service address the setting takes (255 characters)
// with the slash that follows it.
inline constexpr std::size_t kMaxLinkPrefixLength = 256;

// A copy keeps at most this many characters of the identifier in its name.
inline constexpr std::size_t kCopyNameIdentifierLength = 36;

// The reply without one trailing line break (CR LF or LF), if it has one.
std::string_view WithoutLineBreak(std::string_view reply);

// The picture identifier when reply is a link of the service: after dropping
// one trailing line break, it begins with linkPrefix (scheme and host in any
// case, the rest byte for byte) and the rest is a plain name of 1 to
// kMaxIdentifierLength characters: letters, digits, "-", "_" and "." only, not
// "." or ".." alone and not a device name (CON, NUL.x, COM1...). A separator,
// a drive, a stream, a wildcard, a query or a NUL anywhere makes it no link.
// Anything else, and a prefix that is empty or longer than
// kMaxLinkPrefixLength, gives nullopt. The view points into reply.
std::optional<std::string_view> LinkIdentifier(std::string_view reply, std::string_view linkPrefix);

// The copy's file name for an identifier: its first kCopyNameIdentifierLength
// characters widened, then ".jpg". Empty when the identifier is empty, holds a
// byte outside printable ASCII, or its cut would not name a plain file inside
// the save folder (a separator, a stream, a wildcard, ".", "..", a trailing dot
// or blank, a device name such as CON or COM1).
std::u16string CopyFileName(std::string_view identifier);

// The status text as the platform's wide-to-long conversion reads it in base
// 10: leading white space, an optional sign, digits up to the first other
// unit; 0 without digits. Reads at most count units and stops at a NUL.
long ParseStatusCode(const char16_t* text, std::size_t count);

// The version-check reply, read up to its first NUL: nullopt when it says
// there is no newer version (its first byte is "N"); else the bytes that hold
// the version text, at most the first 12 (three characters never take more in
// any code page).
std::optional<std::string_view> AnnouncedVersion(std::string_view reply);

}  // namespace corvane

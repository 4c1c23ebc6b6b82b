// Version check: the web service alone decides whether a newer client exists.
#include "net/version_check.h"
#include <optional>
#include <string>
#include <string_view>
#include "net/multipart.h"
#include "net/reply_check.h"
#include "net/upload.h"
#include "platform/guards.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/user32.h"

namespace corvane {
namespace {

// The first three characters of the announced version in the system's ANSI code page.
std::u16string VersionText(std::string_view head) {
  if (head.empty()) return {};
  int length = static_cast<int>(head.size());
  int units = platform::MultiByteToWideChar(platform::CP_ACP, 0, head.data(), length, nullptr, 0);
  if (units <= 0) return {};
  std::u16string text(static_cast<std::size_t>(units), u'\0');
  units = platform::MultiByteToWideChar(platform::CP_ACP, 0, head.data(), length, text.data(), units);
  text.resize(units > 0 ? static_cast<std::size_t>(units) : 0);
  if (text.size() > 3) text.resize(3);
  return text;
}

}  // namespace

std::optional<std::u16string> CheckVersion() {
  MultipartBody body;
  AddField(body, "version", kClientVersion);
  Exchange exchange = PostMultipart(kVersionCheckPath, FinishBody(body));
  // Bounded like every exchange: a silent or trickling service ends the check
  // quietly within the exchange's limits, and Exit never waits for this thread.
  if (exchange.stage != ExchangeStage::Done) return std::nullopt;
  const std::optional<std::string_view> version = AnnouncedVersion(exchange.reply);
  if (!version) return std::nullopt;
  return VersionText(*version);
}

void OfferNewVersion(std::u16string_view version) {
  // The site is named as links show it: the host, and a port that is not the scheme's own.
  const std::string authority = AuthorityOf(Service());
  const std::u16string site(authority.begin(), authority.end());  // ASCII
  std::u16string message = u"Version " + std::u16string(version.substr(0, 3)) + u" is out!\nDo you want to go to " +
                           site + u" and get it?";
  // No owner window: topmost, so the question is not lost behind other windows.
  std::int32_t answer = platform::MessageBoxW(nullptr, message.c_str(), u"Update Corvane Tool",
                                              platform::MB_YESNO | platform::MB_ICONINFORMATION |
                                                  platform::MB_TOPMOST);
  if (answer == platform::IDYES) OpenLink((ServiceLinkPrefix() + "download/").c_str());
}

// Three UTF-16 units and the count, in 32 bits of each parameter, so that a
// 32-bit build carries them as well.
VersionMessage PackVersion(std::u16string_view version) {
  const std::size_t n = version.size() < 3 ? version.size() : 3;
  auto unit = [&](std::size_t i) { return i < n ? static_cast<std::uint32_t>(version[i]) : 0u; };
  return {static_cast<platform::Wparam>(n | unit(0) << 16),
          static_cast<platform::Lparam>(unit(1) | unit(2) << 16)};
}

std::u16string UnpackVersion(platform::Wparam wParam, platform::Lparam lParam) {
  const auto low = static_cast<std::uint32_t>(wParam), high = static_cast<std::uint32_t>(lParam);
  const char16_t units[3] = {static_cast<char16_t>(low >> 16), static_cast<char16_t>(high & 0xFFFF),
                             static_cast<char16_t>(high >> 16)};
  const std::size_t n = (low & 0xFFFF) < 3 ? (low & 0xFFFF) : 3;
  return std::u16string(units, n);
}

std::uint32_t VersionCheckThread(void* mainWindow) {
  const std::optional<std::u16string> version = CheckVersion();
  if (!version) return 0;
  const VersionMessage m = PackVersion(*version);
  platform::PostMessageW(static_cast<platform::Hwnd>(mainWindow), UM_NEWVERSION, m.wParam, m.lParam);
  return 0;
}

}  // namespace corvane

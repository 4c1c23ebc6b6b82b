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

int CheckVersion() {
  MultipartBody body;
  AddField(body, "version", kClientVersion);
  Exchange exchange = PostMultipart(kVersionCheckPath, FinishBody(body));
  // Bounded like every exchange: a silent or trickling service ends the check
  // quietly within the exchange's limits, and Exit never waits for this thread.
  if (exchange.stage != ExchangeStage::Done) return 0;
  const std::optional<std::string_view> version = AnnouncedVersion(exchange.reply);
  if (!version) return 0;

  // The site is named as links show it: the host, and a port that is not the scheme's own.
  const std::string authority = AuthorityOf(Service());
  const std::u16string site(authority.begin(), authority.end());  // ASCII
  std::u16string message = u"Version " + VersionText(*version) + u" is out!\nDo you want to go to " + site +
                           u" and get it?";
  // No owner window: topmost, so the question is not lost behind other windows.
  std::int32_t answer = platform::MessageBoxW(nullptr, message.c_str(), u"Update Corvane Tool",
                                              platform::MB_YESNO | platform::MB_ICONINFORMATION |
                                                  platform::MB_TOPMOST);
  if (answer == platform::IDYES) OpenLink((ServiceLinkPrefix() + "download/").c_str());
  return 0;
}

std::uint32_t VersionCheckThread(void*) {
  // Launching the browser goes through the shell, which needs COM on this thread.
  const platform::ComApartment com(platform::COINIT_APARTMENTTHREADED | platform::COINIT_DISABLE_OLE1DDE);
  CheckVersion();
  return 0;
}

}  // namespace corvane

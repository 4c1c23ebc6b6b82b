// The recent uploads' entries as text: pure functions, fuzzed on their own.
#include "net/reply_check.h"
#include "net/service_address.h"
#include "settings/recent.h"

namespace corvane {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "YYYY-MM-DD HH:MM:SS", digits where digits go.
bool isTime(std::string_view t) {
  constexpr std::string_view shape = "dddd-dd-dd dd:dd:dd";
  if (t.size() != shape.size()) return false;
  for (std::size_t i = 0; i < t.size(); ++i)
    if (shape[i] == 'd' ? !isDigit(t[i]) : t[i] != shape[i]) return false;
  return true;
}

}  // namespace

bool IsDeleteKey(std::string_view text) {
  if (text.empty() || text.size() > kDeleteKeyMaxLength) return false;
  for (char c : text)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == '-' || c == '_')) return false;
  return true;
}

std::u16string RecentEntryText(const RecentUpload& e) {
  std::u16string text;
  for (const std::string* part : {&e.time, &e.service, &e.link, &e.deleteKey}) {
    if (!text.empty()) text += u'\t';
    for (unsigned char c : *part) text += static_cast<char16_t>(c);
  }
  return text;
}

std::optional<RecentUpload> ParseRecentEntry(std::u16string_view text) {
  if (text.size() > kRecentEntryMaxLength) return std::nullopt;
  std::string parts[4];
  std::size_t field = 0;
  for (char16_t c : text) {
    if (c == u'\t') {
      if (++field == 4) return std::nullopt;
      continue;
    }
    if (c < 0x20 || c > 0x7E) return std::nullopt;  // only printable ASCII was ever written
    parts[field] += static_cast<char>(c);
  }
  if (field != 3) return std::nullopt;
  RecentUpload e{std::move(parts[0]), std::move(parts[1]), std::move(parts[2]), std::move(parts[3])};
  if (!isTime(e.time) || (!e.deleteKey.empty() && !IsDeleteKey(e.deleteKey))) return std::nullopt;
  const std::u16string wideService(e.service.begin(), e.service.end());
  const std::optional<ServiceAddress> service = ParseServiceAddress(wideService);
  if (!service) return std::nullopt;
  // Checked again as a link of the service it came from: the registry is
  // anyone's to write, and what is opened or copied from here must be what
  // that service gave.
  if (e.link != WithoutLineBreak(e.link) || !LinkIdentifier(e.link, LinkPrefixOf(*service))) return std::nullopt;
  if (RecentName(e).empty()) return std::nullopt;
  return e;
}

std::string_view RecentName(const RecentUpload& entry) {
  std::string_view link = entry.link;
  return link.substr(link.rfind('/') + 1);
}

}  // namespace corvane

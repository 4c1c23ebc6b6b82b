#include "settings/recent.h"
#include "net/reply_check.h"
#include "net/service_address.h"
#include "platform/advapi32.h"
#include "platform/kernel32.h"
#include "settings/settings_registry.h"

namespace corvane {
using namespace settings_detail;

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

void twoDigits(std::string& out, unsigned v) {
  out += static_cast<char>('0' + v / 10 % 10);
  out += static_cast<char>('0' + v % 10);
}

std::string timeText(const platform::SystemTime& t) {
  std::string out;
  twoDigits(out, t.wYear / 100);
  twoDigits(out, t.wYear);
  out += '-';
  twoDigits(out, t.wMonth);
  out += '-';
  twoDigits(out, t.wDay);
  out += ' ';
  twoDigits(out, t.wHour);
  out += ':';
  twoDigits(out, t.wMinute);
  out += ':';
  twoDigits(out, t.wSecond);
  return out;
}

// "1" to "10": the position, newest first.
std::u16string valueName(std::size_t index) {
  std::u16string name;
  if (index + 1 >= 10) name += static_cast<char16_t>(u'0' + (index + 1) / 10);
  name += static_cast<char16_t>(u'0' + (index + 1) % 10);
  return name;
}

void writeAll(const std::vector<RecentUpload>& entries) {
  RegKey key;
  if (!createKey(kRecentKey, key)) return;
  for (std::size_t i = 0; i < kRecentUploadsKept; ++i) {
    const std::u16string name = valueName(i);
    if (i < entries.size())
      writeWholeText(key, name.c_str(), RecentEntryText(entries[i]));
    else
      deleteValue(key, name.c_str());
  }
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

std::vector<RecentUpload> ReadRecentUploads() {
  std::vector<RecentUpload> entries;
  RegKey key;
  if (!openKey(kRecentKey, platform::KEY_QUERY_VALUE, key)) return entries;
  for (std::size_t i = 0; i < kRecentUploadsKept; ++i) {
    const std::optional<TextRead> read = readText(key, valueName(i).c_str(), kRecentEntryMaxLength + 1);
    if (!read || read->failed) continue;
    if (std::optional<RecentUpload> entry = ParseRecentEntry(read->text)) entries.push_back(std::move(*entry));
  }
  return entries;
}

void RememberUpload(std::string_view link, std::string_view servicePrefix, std::string_view deleteKey) {
  platform::SystemTime now{};
  platform::GetLocalTime(&now);
  std::string_view service = servicePrefix;
  if (service.ends_with('/')) service.remove_suffix(1);
  RecentUpload entry{timeText(now), std::string(service), std::string(WithoutLineBreak(link)),
                     IsDeleteKey(deleteKey) ? std::string(deleteKey) : std::string()};
  if (!ParseRecentEntry(RecentEntryText(entry))) return;  // nothing is stored that could not be read back
  std::vector<RecentUpload> entries = ReadRecentUploads();
  entries.insert(entries.begin(), std::move(entry));
  if (entries.size() > kRecentUploadsKept) entries.resize(kRecentUploadsKept);
  writeAll(entries);
}

void ForgetUpload(const RecentUpload& entry) {
  std::vector<RecentUpload> entries = ReadRecentUploads();
  std::erase(entries, entry);
  writeAll(entries);
}

void ClearRecentUploads() { writeAll({}); }

}  // namespace corvane

#include "settings/recent.h"
#include "net/reply_check.h"
#include "platform/advapi32.h"
#include "platform/kernel32.h"
#include "settings/settings_registry.h"

namespace corvane {
using namespace settings_detail;

namespace {

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

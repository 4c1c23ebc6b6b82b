// The last uploads of this user, newest first, kept in the registry so that a
// link can be found again and a picture taken back from its service.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

inline constexpr std::size_t kRecentUploadsKept = 10;
inline constexpr char16_t kRecentKey[] = u"SOFTWARE\\Corvane\\Corvane1\\Recent";
// The longest entry taken: a link of the longest address and identifier, the
// address, the time and a delete key, with room to spare.
inline constexpr std::size_t kRecentEntryMaxLength = 1200;
inline constexpr std::size_t kDeleteKeyMaxLength = 64;

struct RecentUpload {
  std::string time;       // local time of the upload, "YYYY-MM-DD HH:MM:SS"
  std::string service;    // the service's base address, "http[s]://host[:port][/path]"
  std::string link;       // the picture's link, without a line break
  std::string deleteKey;  // what the service gave to take the picture back; empty: none
  friend bool operator==(const RecentUpload&, const RecentUpload&) = default;
};

// 1 to 64 characters of A-Z a-z 0-9 - _.
bool IsDeleteKey(std::string_view text);

// One entry as stored: time, address, link and delete key joined by tabs
// (none of them can hold one).
std::u16string RecentEntryText(const RecentUpload& entry);

// The entry when text is one that RecentEntryText wrote and that still holds
// up: a well-formed time, an address the service setting would take, a link of
// that very service (its prefix, then an identifier) and an empty or
// well-formed delete key. nullopt for anything else.
std::optional<RecentUpload> ParseRecentEntry(std::u16string_view text);

// The link's last path segment: what the menu shows and the service deletes by.
std::string_view RecentName(const RecentUpload& entry);

// The entries stored (values "1" to "10" of kRecentKey), newest first; values
// that are not REG_SZ, too long or do not parse are skipped.
std::vector<RecentUpload> ReadRecentUploads();

// Stores link (a link of the service whose link prefix is servicePrefix) as the
// newest entry, stamped with the local time; the oldest beyond
// kRecentUploadsKept go. A delete key that is not well-formed is not kept.
void RememberUpload(std::string_view link, std::string_view servicePrefix, std::string_view deleteKey);

// Removes the entries equal to entry; the others keep their order.
void ForgetUpload(const RecentUpload& entry);
void ClearRecentUploads();

}  // namespace corvane

// libFuzzer target: the texts anyone can write into the registry that the
// program reads back: a hot key, and a recent upload's entry.
#include <cstdint>
#include <cstdlib>
#include <string>
#include "net/reply_check.h"
#include "net/service_address.h"
#include "settings/hotkey_text.h"
#include "settings/recent.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Two bytes a unit, as the registry holds text.
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  if (auto chord = corvane::ParseHotKeyText(text)) {
    // What parses prints, and the print reads back as the same keys.
    const std::u16string printed = corvane::HotKeyText(*chord);
    if (corvane::ParseHotKeyText(printed) != chord) std::abort();
    if ((chord->modifiers & ~0xFu) != 0) std::abort();
  }
  if (auto entry = corvane::ParseRecentEntry(text)) {
    // What is taken is a link of the service it names, and is written back as it came.
    const auto service = corvane::ParseServiceAddress(std::u16string(entry->service.begin(), entry->service.end()));
    if (!service || !corvane::LinkIdentifier(entry->link, corvane::LinkPrefixOf(*service))) std::abort();
    if (corvane::RecentEntryText(*entry) != text) std::abort();
    if (!entry->deleteKey.empty() && !corvane::IsDeleteKey(entry->deleteKey)) std::abort();
  }
  return 0;
}

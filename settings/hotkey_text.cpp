#include "settings/hotkey_text.h"
#include <array>

namespace corvane {
namespace {

constexpr std::uint32_t kAlt = 0x0001, kCtrl = 0x0002, kShift = 0x0004, kWin = 0x0008;

struct Modifier {
  std::u16string_view name;
  std::uint32_t bit;
};
// The printing order is the table's: the order Windows' own menus show.
constexpr std::array<Modifier, 5> kModifiers{{
    {u"Ctrl", kCtrl}, {u"Alt", kAlt}, {u"Shift", kShift}, {u"Win", kWin}, {u"Control", kCtrl}}};

struct NamedKey {
  std::u16string_view name;
  std::uint32_t vk;
};
constexpr std::array<NamedKey, 13> kNamedKeys{{
    {u"PrintScreen", 0x2C}, {u"Pause", 0x13}, {u"Insert", 0x2D}, {u"Delete", 0x2E}, {u"Home", 0x24},
    {u"End", 0x23}, {u"PageUp", 0x21}, {u"PageDown", 0x22}, {u"Left", 0x25}, {u"Right", 0x27},
    {u"Up", 0x26}, {u"Down", 0x28}, {u"Space", 0x20}}};

constexpr std::uint32_t kF1 = 0x70, kF12 = 0x7B, kF24 = 0x87, kNumpad0 = 0x60;

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool sameNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::u16string_view trimmed(std::u16string_view s) {
  while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
  return s;
}

// "1" to "24" without a leading zero, else 0.
std::uint32_t smallNumber(std::u16string_view digits) {
  if (digits.empty() || digits.size() > 2 || digits[0] == u'0') return 0;
  std::uint32_t n = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return 0;
    n = n * 10 + static_cast<std::uint32_t>(c - u'0');
  }
  return n;
}

// The virtual-key code of a key's name, or 0.
std::uint32_t keyOfName(std::u16string_view name) {
  if (name.size() == 1) {
    const char16_t c = lower(name[0]);
    if (c >= u'a' && c <= u'z') return static_cast<std::uint32_t>(c - u'a' + u'A');
    if (c >= u'0' && c <= u'9') return c;
    return 0;
  }
  for (const NamedKey& k : kNamedKeys)
    if (sameNoCase(name, k.name)) return k.vk;
  if (lower(name[0]) == u'f') {
    const std::uint32_t n = smallNumber(name.substr(1));
    if (n >= 1 && n <= 24 && kF1 + n - 1 != kF12) return kF1 + n - 1;
    return 0;
  }
  if (name.size() == 7 && sameNoCase(name.substr(0, 6), u"numpad") && name[6] >= u'0' && name[6] <= u'9')
    return kNumpad0 + (name[6] - u'0');
  return 0;
}

bool typesText(std::uint32_t vk) { return (vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9') || vk == 0x20; }

}  // namespace

std::optional<HotKeyChord> ParseHotKeyText(std::u16string_view text) {
  if (text.size() > kHotKeyTextMaxLength) return std::nullopt;
  if (trimmed(text).empty()) return HotKeyChord{};
  HotKeyChord chord;
  std::size_t start = 0;
  for (;;) {
    const std::size_t plus = text.find(u'+', start);
    const std::u16string_view part = trimmed(text.substr(start, plus == std::u16string_view::npos ? plus : plus - start));
    if (part.empty() || chord.key != 0) return std::nullopt;  // "Alt++C", "Alt+", a part after the key
    bool isModifier = false;
    for (const Modifier& m : kModifiers) {
      if (!sameNoCase(part, m.name)) continue;
      if (chord.modifiers & m.bit) return std::nullopt;  // "Alt+Alt+C"
      chord.modifiers |= m.bit;
      isModifier = true;
      break;
    }
    if (!isModifier) {
      chord.key = keyOfName(part);
      if (chord.key == 0) return std::nullopt;
    }
    if (plus == std::u16string_view::npos) break;
    start = plus + 1;
  }
  if (chord.key == 0) return std::nullopt;  // modifiers alone
  if (typesText(chord.key) && (chord.modifiers & ~kShift) == 0) return std::nullopt;
  return chord;
}

std::u16string HotKeyText(const HotKeyChord& chord) {
  std::u16string name;
  const std::uint32_t vk = chord.key;
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) {
    name = static_cast<char16_t>(vk);
  } else if (vk >= kF1 && vk <= kF24 && vk != kF12) {
    const std::uint32_t n = vk - kF1 + 1;
    name = u"F";
    if (n >= 10) name += static_cast<char16_t>(u'0' + n / 10);
    name += static_cast<char16_t>(u'0' + n % 10);
  } else if (vk >= kNumpad0 && vk <= kNumpad0 + 9) {
    name = u"Numpad";
    name += static_cast<char16_t>(u'0' + (vk - kNumpad0));
  } else {
    for (const NamedKey& k : kNamedKeys)
      if (k.vk == vk) name = k.name;
  }
  if (name.empty()) return {};
  std::u16string text;
  for (std::size_t i = 0; i < 4; ++i)
    if (chord.modifiers & kModifiers[i].bit) {
      text += kModifiers[i].name;
      text += u'+';
    }
  return text + name;
}

}  // namespace corvane

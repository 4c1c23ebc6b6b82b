// Hot keys as text, the way a user reads them and an administrator writes them
// into the registry: "Alt+C", "Ctrl+Shift+S", "PrintScreen"; empty for none.
// Pure functions: no platform calls, tested and fuzzed on their own.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// A key combination as RegisterHotKey takes it: MOD_ALT, MOD_CONTROL,
// MOD_SHIFT, MOD_WIN (never MOD_NOREPEAT, which registration adds) and a
// virtual-key code. key 0 is "none": no hot key at all.
struct HotKeyChord {
  std::uint32_t modifiers = 0;
  std::uint32_t key = 0;
  bool none() const { return key == 0; }
  friend bool operator==(const HotKeyChord&, const HotKeyChord&) = default;
};

inline constexpr HotKeyChord kDefaultCaptureKey{0x0001, 'C'};     // Alt+C
inline constexpr HotKeyChord kDefaultFileUploadKey{0x0001, 'F'};  // Alt+F

// Longest hot-key text taken, in characters ("Ctrl+Alt+Shift+Win+PrintScreen" is 30).
inline constexpr std::size_t kHotKeyTextMaxLength = 64;

// Reads "Modifier+...+Key": modifiers Ctrl (or Control), Alt, Shift, Win, each
// at most once and in any order; key names and modifiers in any letter case,
// blanks around each part allowed. Keys: A to Z, 0 to 9, F1 to F24 but F12
// (kept by Windows for debuggers), Numpad0 to Numpad9, PrintScreen, Pause,
// Insert, Delete, Home, End, PageUp, PageDown, Left, Right, Up, Down, Space.
// Empty text (or only blanks) is none. nullopt for anything else: an unknown
// name, a key missing or given twice, and a letter, digit or Space with no
// modifier or with Shift alone, which would take the key from every text field.
std::optional<HotKeyChord> ParseHotKeyText(std::u16string_view text);

// The text that ParseHotKeyText reads back as the same chord: modifiers in the
// order Ctrl, Alt, Shift, Win, then the key's name; "" for none and for a key
// that has no name here.
std::u16string HotKeyText(const HotKeyChord& chord);

}  // namespace corvane

// The settings dialog's judgement of what was typed, and the hot-key field's
// value as the control keeps it.
#include <gtest/gtest.h>

#include "app/settings_dialog.h"
#include "platform/types.h"
#include "resources/settings_dialog_ids.h"
#include "tests/sim/sim.h"

namespace corvane {
namespace {

using platform::MOD_ALT;
using platform::MOD_CONTROL;
using platform::MOD_SHIFT;
using platform::MOD_WIN;

constexpr HotKeyChord kNone{};
constexpr HotKeyChord kAltC{MOD_ALT, 'C'}, kAltF{MOD_ALT, 'F'};

TEST(SettingsDialog, EntriesAreRefusedWithTheReasonAndTheFieldToPutRight) {
  const struct {
    const char16_t* address;
    const char16_t* key;
    HotKeyChord capture, fileUpload;
    const char16_t* reason;  // empty: stored
    std::int32_t field;
  } cases[] = {
      {u"", u"", kAltC, kAltF, u"", 0},
      {u"https://pics.example.org/team", u"Team-k3y_1", {MOD_CONTROL | MOD_SHIFT, 'C'}, kNone, u"", 0},
      {u"http://[::1]:8080", u"", kNone, kNone, u"", 0},
      {u"http://10.0.0.7:8080/a", u"", {MOD_WIN | MOD_SHIFT, 'S'}, {0, 0x2C}, u"", 0},  // Win+Shift+S, PrintScreen
      {u"ftp://pics.example.org", u"", kAltC, kAltF, u"The service address is not valid", IDC_SERVICE_ADDRESS},
      {u"https://pics.example.org", u"two words", kAltC, kAltF, u"The upload key may hold only", IDC_UPLOAD_KEY},
      {u"https://pics.example.org", u"cl\u00e9", kAltC, kAltF, u"The upload key may hold only", IDC_UPLOAD_KEY},
      {u"", u"secret", kAltC, kAltF, u"An upload key goes only to your own service", IDC_SERVICE_ADDRESS},
      {u"", u"", {0, 'C'}, kAltF, u"C needs Ctrl, Alt or Win to be the capture hot key.", IDC_CAPTURE_HOTKEY},
      {u"", u"", kAltC, {MOD_SHIFT, '7'}, u"Shift+7 needs Ctrl, Alt or Win to be the file-upload hot key.",
       IDC_FILE_HOTKEY},
      {u"", u"", {MOD_ALT, 0x7B}, kAltF, u"That key cannot be the capture hot key", IDC_CAPTURE_HOTKEY},  // F12
      {u"", u"", {MOD_CONTROL, 0xBA}, kAltF, u"That key cannot be the capture hot key", IDC_CAPTURE_HOTKEY},
      {u"", u"", kAltF, kAltF, u"Alt+F cannot start both commands.", IDC_FILE_HOTKEY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(sim::utf8(c.address) + " | " + sim::utf8(c.key));
    const EntriesVerdict verdict = CheckSettingsEntries({c.address, c.key, c.capture, c.fileUpload});
    const std::u16string expected = c.reason;
    if (expected.empty()) {
      EXPECT_EQ(sim::utf8(verdict.reason), "");
    } else {
      EXPECT_EQ(sim::utf8(verdict.reason.substr(0, expected.size())), sim::utf8(expected));
    }
    EXPECT_EQ(verdict.field, c.field);
  }
}

TEST(SettingsDialog, HotKeyFieldsGiveBackTheChordTheUserSees) {
  constexpr std::uint16_t kShift = 0x100, kControl = 0x200, kAlt = 0x400, kExt = 0x800;
  const struct {
    HotKeyChord opened;
    std::uint16_t typed;  // the control's value when OK is pressed; 0xFFFF: as opened
    std::uint16_t shownValue;
    HotKeyChord result;
  } cases[] = {
      {kAltC, 0xFFFF, kAlt | 'C', kAltC},
      {kNone, 0xFFFF, 0, kNone},
      {kAltC, 0, kAlt | 'C', kNone},  // cleared to None
      {kAltC, kControl | kShift | 'S', kAlt | 'C', {MOD_CONTROL | MOD_SHIFT, 'S'}},
      // Keys that share a code with the number pad are shown with the extended flag.
      {{MOD_CONTROL, 0x24}, 0xFFFF, kControl | kExt | 0x24, {MOD_CONTROL, 0x24}},          // Ctrl+Home
      {{0, 0x2C}, 0xFFFF, kExt | 0x2C, {0, 0x2C}},                                           // PrintScreen
      {kNone, kAlt | kExt | 0x25, 0, {MOD_ALT, 0x25}},                                      // Alt+Left
      // The control has no Win key: left as opened, Win stays; changed, it is what was typed.
      {{MOD_WIN | MOD_SHIFT, 'S'}, 0xFFFF, kShift | 'S', {MOD_WIN | MOD_SHIFT, 'S'}},
      {{MOD_WIN | MOD_SHIFT, 'S'}, kShift | kControl | 'S', kShift | 'S', {MOD_SHIFT | MOD_CONTROL, 'S'}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(sim::utf8(HotKeyText(c.opened)) + " typed " + std::to_string(c.typed));
    const std::uint16_t shown = HotKeyControlValue(c.opened);
    EXPECT_EQ(shown, c.shownValue);
    const HotKeyChord got = ChordFromHotKeyControl(c.typed == 0xFFFF ? shown : c.typed, c.opened);
    EXPECT_EQ(got.modifiers, c.result.modifiers);
    EXPECT_EQ(got.key, c.result.key);
  }
  EXPECT_TRUE(TakesPrintScreen(kAltC, {0, 0x2C}));
  EXPECT_TRUE(TakesPrintScreen({MOD_SHIFT, 0x2C}, kNone));
  EXPECT_FALSE(TakesPrintScreen(kAltC, kAltF));
}

}  // namespace
}  // namespace corvane

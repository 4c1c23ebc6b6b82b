#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>
#include "desktop/balloon.h"
#include "platform/advapi32.h"
#include "platform/kernel32.h"
#include "settings/autostart.h"
#include "settings/settings.h"
#include "tests/sim/sim.h"

namespace {
using corvane::settings;
using corvane::Settings;
using namespace platform;

const std::u16string kSettingsPath = corvane::kSettingsKey;
const std::u16string kRunPath = corvane::kRunKey;
const std::u16string kExe = u"C:\\Tools\\corvane.exe";
const std::string kDwordOne("\x01\0\0\0", 4);

std::u16string folder() { return settings.saveFolder; }

// The message boxes the user saw, as "text" "caption" type.
std::vector<std::string> messages() {
  std::vector<std::string> texts;
  for (const sim::Box& b : sim::boxes())
    texts.push_back("\"" + sim::utf8(b.text) + "\" \"" + sim::utf8(b.caption) + "\" " + std::to_string(b.type));
  return texts;
}
const std::string kCouldNotCreate = "\"Could not create save path\" \"Error\" 16";
const std::string kErrorInPath = "\"Error in save path\" \"Error\" 16";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::reset(); }
  // Whatever the path taken, every key is closed once.
  void TearDown() override {
    EXPECT_EQ(sim::regKeysOpen(), 0);
    EXPECT_EQ(sim::regBadCloses(), 0);
  }
};

TEST_F(SettingsTest, FirstStartWritesTheDefaultsAndTurnsVersionCheckAndAutostartOn) {
  corvane::LoadSettings();

  EXPECT_TRUE(settings.versionCheck);
  EXPECT_FALSE(settings.quickCapture);
  EXPECT_TRUE(settings.autostart);
  EXPECT_EQ(folder(), u"C:\\Users\\user1\\ReDoda\\");

  EXPECT_EQ(sim::regValueNames(kSettingsPath), (std::vector<std::u16string>{u"ReDoda", u"set", u"versioncheck"}));
  for (auto name : {u"set", u"versioncheck"}) {
    auto v = sim::regGet(kSettingsPath, name);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_DWORD);
    EXPECT_EQ(v->bytes, kDwordOne);
  }
  auto saved = sim::regGet(kSettingsPath, u"ReDoda");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->type, REG_SZ);
  EXPECT_EQ(saved->bytes, sim::utf16le(u"C:\\Users\\user1\\ReDoda\\", true));
  auto run = sim::regGet(kRunPath, u"corvane.exe");
  ASSERT_TRUE(run);
  EXPECT_EQ(run->type, REG_SZ);
  EXPECT_EQ(run->bytes, sim::utf16le(u"\"C:\\Tools\\corvane.exe\"", true));

  EXPECT_TRUE(sim::hasFolder(u"C:\\Users\\user1\\ReDoda"));
  EXPECT_TRUE(messages().empty());
}

// What a later start makes of what it finds in the registry.
TEST_F(SettingsTest, LaterStartReadsPresenceFlagsAndTheStoredFolder) {
  struct Case {
    const char* name;
    std::function<void()> given;
    bool versionCheck, quickCapture, autostart;
    std::u16string saveFolder;
  };
  const std::u16string kDefault = u"C:\\Users\\user1\\ReDoda\\";
  const std::u16string kShots = u"D:\\Shots";
  auto storedShots = [&] { sim::regPutString(kSettingsPath, u"ReDoda", kShots); };
  const Case cases[] = {
      {"key without values", [] { sim::regPutKey(kSettingsPath); }, false, false, false, kDefault},
      {"key without values, autostart value there",
       [] {
         sim::regPutKey(kSettingsPath);
         sim::regPutString(kRunPath, u"corvane.exe", kExe);
       },
       false, false, true, kDefault},
      {"versioncheck REG_DWORD 0", [&] { storedShots(); sim::regPutDword(kSettingsPath, u"versioncheck", 0); },
       true, false, false, kShots},
      {"versioncheck REG_SZ \"0\"",
       [&] { storedShots(); sim::regPutString(kSettingsPath, u"versioncheck", u"0"); }, true, false, false, kShots},
      {"simplemode of no size", [&] { storedShots(); sim::regPut(kSettingsPath, u"simplemode", 3, ""); }, false,
       true, false, kShots},
      {"autostart value of another type",
       [&] { storedShots(); sim::regPutDword(kRunPath, u"corvane.exe", 7); }, false, false, true, kShots},
      {"Run key cannot be read",
       [&] {
         storedShots();
         sim::regPutString(kRunPath, u"corvane.exe", kExe);
         sim::regFail("RegOpenKeyExW", kRunPath, ERROR_ACCESS_DENIED, KEY_QUERY_VALUE);
       },
       false, false, false, kShots},
      {"Run key cannot be rewritten",
       [&] {
         storedShots();
         sim::regPutString(kRunPath, u"corvane.exe", kExe);
         sim::regFail("RegCreateKeyExW", kRunPath, ERROR_ACCESS_DENIED);
       },
       false, false, true, kShots},
      {"settings key cannot be read",
       [&] {
         storedShots();
         sim::regPutDword(kSettingsPath, u"versioncheck", 1);
         sim::regPutDword(kSettingsPath, u"simplemode", 1);
         sim::regFail("RegOpenKeyExW", kSettingsPath, ERROR_ACCESS_DENIED, KEY_QUERY_VALUE);
       },
       false, false, false, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::reset();
    c.given();
    corvane::LoadSettings();
    EXPECT_EQ(settings.versionCheck, c.versionCheck);
    EXPECT_EQ(settings.quickCapture, c.quickCapture);
    EXPECT_EQ(settings.autostart, c.autostart);
    EXPECT_EQ(folder(), c.saveFolder);
    EXPECT_TRUE(messages().empty());
    // Only a missing folder is stored and made; a later start writes nothing else.
    const bool madeDefault = sim::regString(kSettingsPath, u"ReDoda") == kDefault;
    EXPECT_EQ(madeDefault, c.saveFolder == kDefault);
    EXPECT_EQ(sim::hasFolder(kDefault), madeDefault);
    EXPECT_FALSE(sim::regGet(kSettingsPath, u"set"));
    EXPECT_EQ(sim::regKeysOpen(), 0);
  }
}

TEST_F(SettingsTest, MovedExecutableRefreshesTheAutostartValue) {
  sim::regPutKey(kSettingsPath);
  sim::regPutString(kRunPath, u"corvane.exe", u"C:\\Old\\corvane.exe");
  sim::setModulePath(u"D:\\New place\\corvane.exe");
  corvane::LoadSettings();
  EXPECT_TRUE(settings.autostart);
  EXPECT_EQ(sim::regGet(kRunPath, u"corvane.exe")->bytes, sim::utf16le(u"\"D:\\New place\\corvane.exe\"", true));
}

// The Run value is a command line: written quoted, read back bare (earlier
// builds) or quoted, and a bare start recognised only as the executable itself.
TEST(AutostartValue, QuotedWhenWrittenReadBackEitherWay) {
  struct Row {
    std::u16string value, path;
  } rows[] = {
      {u"\"C:\\Program Files\\Corvane Tool\\corvane.exe\"", u"C:\\Program Files\\Corvane Tool\\corvane.exe"},
      {u"C:\\Program Files\\Corvane Tool\\corvane.exe", u"C:\\Program Files\\Corvane Tool\\corvane.exe"},
      {u"  \"C:\\Ann Lee\\corvane.exe\" --later ", u"C:\\Ann Lee\\corvane.exe"},
      {u"\tC:\\Tools\\corvane.exe  ", u"C:\\Tools\\corvane.exe"},
      {u"\"C:\\never closed", u""},
      {u"", u""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(sim::utf8(r.value));
    EXPECT_EQ(corvane::AutostartPath(r.value), r.path);
  }
  for (std::u16string path : {u"C:\\Tools\\corvane.exe", u"C:\\Users\\Ann Lee\\corvane.exe"}) {
    EXPECT_EQ(corvane::AutostartCommand(path), u"\"" + path + u"\"");
    EXPECT_EQ(corvane::AutostartPath(corvane::AutostartCommand(path)), path);
  }

  const std::u16string exe = u"C:\\Users\\Ann Lee\\corvane.exe";
  struct Start {
    std::u16string commandLine;
    bool bare;
  } starts[] = {
      {u"C:\\Users\\Ann Lee\\corvane.exe", true},
      {u"c:\\users\\ann lee\\CORVANE.exe  ", true},
      {u"\"C:\\Users\\Ann Lee\\corvane.exe\"", false},
      {u"\"C:\\Users\\Ann Lee\\corvane.exe\" C:\\a.png", false},
      {u"C:\\Users\\Ann Lee\\corvane.exe C:\\a.png", false},
      {u"C:\\Users\\Ann", false},
      {u"", false},
  };
  for (const auto& st : starts) {
    SCOPED_TRACE(sim::utf8(st.commandLine));
    EXPECT_EQ(corvane::IsBareStartOf(st.commandLine, exe), st.bare);
  }
  EXPECT_FALSE(corvane::IsBareStartOf(u"C:\\x.exe", u""));
}

// The check mark shows what Windows does at logon: an entry the user turned
// off in Windows' startup settings is unchecked, though its Run value stays
// (rewritten quoted); choosing it in our menu turns Windows' switch back on.
TEST_F(SettingsTest, AutostartTurnedOffInWindowsShowsUnchecked) {
  const std::u16string approved = corvane::kStartupApprovedKey;
  struct Row {
    const char* name;
    std::string data;
    std::uint32_t type;
    bool checked;
  } rows[] = {
      {"enabled", std::string("\x02\0\0\0\0\0\0\0\0\0\0\0", 12), REG_BINARY, true},
      {"disabled", std::string("\x03\0\0\0\x10\x20\x30\x40\x50\x60\x70\x01", 12), REG_BINARY, false},
      {"disabled, other flags", std::string("\x07\0\0\0", 4), REG_BINARY, false},
      {"not binary", std::string("\x03\0\0\0", 4), REG_DWORD, true},
      {"empty", "", REG_BINARY, true},
      {"absent", "", 0, true},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    sim::reset();
    sim::regPutKey(kSettingsPath);
    sim::regPutString(kRunPath, u"corvane.exe", kExe);  // bare, as an earlier build wrote it
    if (r.type != 0) sim::regPut(approved, u"corvane.exe", r.type, r.data);
    corvane::LoadSettings();
    EXPECT_EQ(settings.autostart, r.checked);
    EXPECT_EQ(sim::regString(kRunPath, u"corvane.exe"), u"\"" + kExe + u"\"");
    corvane::SetAutostart(true);
    EXPECT_TRUE(settings.autostart);
    EXPECT_FALSE(sim::regGet(approved, u"corvane.exe"));
  }
}

// A path cut short by the platform would start nothing at logon: the value keeps its last good path.
TEST_F(SettingsTest, ExecutablePathTooLongForTheBufferIsNeverWritten) {
  sim::regPutKey(kSettingsPath);
  sim::regPutString(kRunPath, u"corvane.exe", kExe);
  sim::setModulePath(u"C:\\" + std::u16string(2100, u'x') + u"\\corvane.exe");
  corvane::LoadSettings();
  EXPECT_TRUE(settings.autostart);
  EXPECT_EQ(sim::regString(kRunPath, u"corvane.exe"), kExe);

  corvane::SetAutostart(false);
  corvane::SetAutostart(true);
  EXPECT_TRUE(settings.autostart);
  EXPECT_FALSE(sim::regGet(kRunPath, u"corvane.exe"));
}

TEST_F(SettingsTest, SettingsKeyThatCanBeNeitherOpenedNorCreatedLeavesAllOffAndTheRunKeyAlone) {
  sim::regPutString(kRunPath, u"corvane.exe", kExe);
  sim::regFail("RegOpenKeyExW", kSettingsPath, ERROR_ACCESS_DENIED, KEY_SET_VALUE);
  sim::regFail("RegCreateKeyExW", kSettingsPath, ERROR_ACCESS_DENIED);
  corvane::LoadSettings();
  EXPECT_FALSE(settings.versionCheck);
  EXPECT_FALSE(settings.quickCapture);
  EXPECT_FALSE(settings.autostart);
  EXPECT_EQ(folder(), u"");
  EXPECT_EQ(sim::regString(kRunPath, u"corvane.exe"), kExe) << "the Run value as it was";
  EXPECT_FALSE(sim::hasFolder(u"C:\\Users\\user1\\ReDoda"));
  EXPECT_TRUE(messages().empty());
}

TEST_F(SettingsTest, FirstStartWithoutARunKeyStillShowsAutostartOn) {
  sim::regFail("RegCreateKeyExW", kRunPath, ERROR_ACCESS_DENIED);
  corvane::LoadSettings();
  EXPECT_TRUE(settings.autostart);
  EXPECT_TRUE(settings.versionCheck);
  EXPECT_FALSE(sim::regHasKey(kRunPath));
}

// The three switches: on writes, off deletes, and the field follows the choice even when the registry refuses.
TEST_F(SettingsTest, SwitchesWriteAndDeleteTheirValues) {
  struct Switch {
    const char* name;
    void (*set)(bool);
    bool Settings::*field;
    std::u16string key, value;
    std::string onBytes;
    std::uint32_t onType;
  };
  const Switch switches[] = {
      {"version check", corvane::SetVersionCheck, &Settings::versionCheck, kSettingsPath, u"versioncheck", kDwordOne,
       REG_DWORD},
      {"quick capture", corvane::SetQuickCapture, &Settings::quickCapture, kSettingsPath, u"simplemode", kDwordOne,
       REG_DWORD},
      {"autostart", corvane::SetAutostart, &Settings::autostart, kRunPath, u"corvane.exe",
       sim::utf16le(u"\"" + kExe + u"\"", true),
       REG_SZ},
  };
  for (const auto& s : switches) {
    SCOPED_TRACE(s.name);
    sim::reset();
    sim::regPutString(kSettingsPath, u"ReDoda", u"D:\\Shots");
    s.set(true);
    EXPECT_TRUE(settings.*s.field);
    auto v = sim::regGet(s.key, s.value);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, s.onType);
    EXPECT_EQ(v->bytes, s.onBytes);

    s.set(false);
    EXPECT_FALSE(settings.*s.field);
    EXPECT_FALSE(sim::regGet(s.key, s.value));

    // Already off: nothing changes, nothing is said.
    s.set(false);
    EXPECT_FALSE(settings.*s.field);
    EXPECT_EQ(sim::regString(kSettingsPath, u"ReDoda"), u"D:\\Shots");
    EXPECT_EQ(sim::regValueNames(kSettingsPath).size(), 1u);

    // Refused by the registry: the menu shows the choice, the registry keeps the old state.
    sim::regFail("RegCreateKeyExW", s.key, ERROR_ACCESS_DENIED);
    s.set(true);
    EXPECT_TRUE(settings.*s.field);
    EXPECT_FALSE(sim::regGet(s.key, s.value));
    sim::regPut(s.key, s.value, s.onType, s.onBytes);
    sim::regFail("RegOpenKeyExW", s.key, ERROR_ACCESS_DENIED, KEY_SET_VALUE);
    s.set(false);
    EXPECT_FALSE(settings.*s.field);
    EXPECT_TRUE(sim::regGet(s.key, s.value));

    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(sim::regKeysOpen(), 0);
  }
}

// The default folder on a first start, from the profile or the executable's place.
TEST_F(SettingsTest, DefaultFolderComesFromTheProfileOrTheExecutable) {
  struct Case {
    const char* name;
    std::function<void()> given;
    std::u16string saveFolder;  // also what is stored; empty: nothing stored
    std::vector<std::string> messages;
    bool folderMade;
  };
  const std::u16string kProfile2039 = u"C:\\" + std::u16string(2036, u'p');
  const std::u16string kProfile2040 = kProfile2039 + u"q";
  const Case cases[] = {
      {"profile", [] {}, u"C:\\Users\\user1\\ReDoda\\", {}, true},
      {"profile, folder already there", [] { sim::putFolder(u"C:\\Users\\user1\\ReDoda"); },
       u"C:\\Users\\user1\\ReDoda\\", {}, true},
      {"no profile, executable's folder missing", [] { sim::unsetEnv(u"USERPROFILE"); },
       u"C:\\Tools\\corvane\\ReDoda\\", {kCouldNotCreate}, false},
      {"no profile, executable's folder there",
       [] {
         sim::unsetEnv(u"USERPROFILE");
         sim::putFolder(u"C:\\Tools\\corvane");
       },
       u"C:\\Tools\\corvane\\ReDoda\\", {}, true},
      {"empty profile", [] { sim::setEnv(u"USERPROFILE", u""); }, u"C:\\Tools\\corvane\\ReDoda\\", {kCouldNotCreate},
       false},
      {"profile too long to fetch", [] { sim::setEnv(u"USERPROFILE", std::u16string(2048, u'p')); },
       u"C:\\Tools\\corvane\\ReDoda\\", {kCouldNotCreate}, false},
      {"profile that just fits with the suffix",
       [&] {
         sim::setEnv(u"USERPROFILE", kProfile2039);
         sim::putFolder(kProfile2039);
       },
       kProfile2039 + u"\\ReDoda\\", {}, true},
      {"profile one too long for the suffix",
       [&] {
         sim::setEnv(u"USERPROFILE", kProfile2040);
         sim::putFolder(kProfile2040);
       },
       u"", {kErrorInPath}, false},
      {"folder creation denied", [] { sim::script("CreateDirectoryW", ERROR_ACCESS_DENIED); },
       u"C:\\Users\\user1\\ReDoda\\", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::reset();
    c.given();
    corvane::LoadSettings();
    EXPECT_EQ(folder(), c.saveFolder);
    EXPECT_EQ(messages(), c.messages);
    EXPECT_EQ(sim::hasFolder(c.saveFolder.empty() ? u"Z:\\none" : c.saveFolder), c.folderMade);
    if (c.saveFolder.empty()) {
      // Nothing stored keeps the default coming back at the next start; no folder in the drive's root.
      EXPECT_FALSE(sim::regGet(kSettingsPath, u"ReDoda"));
      EXPECT_EQ(sim::count("CreateDirectoryW"), 0);
    } else {
      EXPECT_EQ(sim::regGet(kSettingsPath, u"ReDoda")->bytes, sim::utf16le(c.saveFolder, true));
    }
    EXPECT_TRUE(settings.versionCheck);
    EXPECT_EQ(sim::regKeysOpen(), 0);
  }
}

// A stored folder is taken only as whole text; anything else leaves the folder
// empty for this run and the user's value as it was.
TEST_F(SettingsTest, StoredFolderIsReadSafely) {
  struct Case {
    const char* name;
    std::uint32_t type;
    std::string bytes;
    std::u16string saveFolder;
  };
  const std::u16string k1024 = u"D:\\" + std::u16string(1021, u'a');
  const Case cases[] = {
      {"terminated string", REG_SZ, sim::utf16le(u"D:\\Shots", true), u"D:\\Shots"},
      {"string without terminator", REG_SZ, sim::utf16le(u"D:\\Shots", false), u"D:\\Shots"},
      {"expandable string", REG_EXPAND_SZ, sim::utf16le(u"D:\\Shots", true), u"D:\\Shots"},
      {"text after a null", REG_SZ, sim::utf16le(u"D:\\A", true) + sim::utf16le(u"junk", true), u"D:\\A"},
      {"2048 bytes without terminator", REG_SZ, sim::utf16le(k1024, false), k1024},
      {"longer than one read", REG_SZ, sim::utf16le(k1024, true), u""},
      {"odd byte count", REG_SZ, sim::utf16le(u"D:\\Shots", true) + "x", u""},
      {"a number", REG_DWORD, kDwordOne, u""},
      {"binary", 3, "D\0:\0\\\0", u""},
      {"empty string", REG_SZ, "", u""},
      {"a control character", REG_SZ, sim::utf16le(u"D:\\Sh\nots", true), u""},
      {"a wildcard", REG_SZ, sim::utf16le(u"D:\\Shots*", true), u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::reset();
    sim::regPut(kSettingsPath, u"ReDoda", c.type, c.bytes);
    corvane::LoadSettings();
    EXPECT_EQ(folder(), c.saveFolder);
    auto stored = sim::regGet(kSettingsPath, u"ReDoda");
    EXPECT_EQ(stored->type, c.type);
    EXPECT_EQ(stored->bytes, c.bytes);
    EXPECT_FALSE(sim::hasFolder(u"C:\\Users\\user1\\ReDoda")) << "no default folder made";
    if (!c.saveFolder.empty()) {
      EXPECT_FALSE(sim::hasFolder(c.saveFolder)) << "a stored folder is made at first use only";
    }
    EXPECT_TRUE(messages().empty());
  }
}

TEST_F(SettingsTest, ChoosingAFolderStoresAndCreatesIt) {
  struct Case {
    const char* name;
    std::function<void()> given;
    std::u16string saveFolder;  // after the choice
    std::u16string stored;
    std::vector<std::string> messages;
  };
  const std::u16string kOld = u"C:\\Users\\user1\\ReDoda\\";
  const Case cases[] = {
      {"an existing folder", [] { sim::putFolder(u"D:\\Shots"); sim::browseChooses(u"D:\\Shots"); }, u"D:\\Shots",
       u"D:\\Shots", {}},
      {"a drive root", [] { sim::browseChooses(u"D:\\"); }, u"D:\\", u"D:\\", {}},
      {"a new folder", [] { sim::browseChooses(u"D:\\New"); }, u"D:\\New", u"D:\\New", {}},
      {"a folder whose parent is gone", [] { sim::browseChooses(u"D:\\Gone\\Shots"); }, u"D:\\Gone\\Shots",
       u"D:\\Gone\\Shots", {kCouldNotCreate}},
      {"a virtual folder", [] { sim::browseChoosesVirtual(); }, kOld, kOld, {}},
      {"cancel", [] { sim::browseCancels(); }, kOld, kOld, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::reset();
    corvane::LoadSettings();
    sim::log().clear();
    c.given();
    corvane::ChooseSaveFolder();
    EXPECT_EQ(folder(), c.saveFolder);
    EXPECT_EQ(sim::regString(kSettingsPath, u"ReDoda"), c.stored);
    EXPECT_EQ(messages(), c.messages);
    if (c.stored != kOld) {
      EXPECT_EQ(sim::hasFolder(c.stored), c.messages.empty());
    }
    EXPECT_EQ(sim::browseItemsHeld(), 0);
    // The apartment is start-up's: the command never enters one of its own.
    EXPECT_EQ(sim::count("CoInitializeEx"), 0);
    EXPECT_EQ(sim::regKeysOpen(), 0);
  }
}

TEST_F(SettingsTest, BrowserShowsTheCurrentFolderCutAt260Characters) {
  const std::u16string longFolder = u"D:\\" + std::u16string(400, u'z');
  std::copy(longFolder.begin(), longFolder.end(), settings.saveFolder);
  corvane::ChooseSaveFolder();
  EXPECT_EQ(sim::browseTitle(), u"Current save path: " + longFolder.substr(0, 260));
  // No owner, the desktop as root, no display-name buffer, no flags, no callback.
  EXPECT_EQ(sim::last("SHBrowseForFolderW")->args,
            (std::vector<std::string>{"null", "null", "null", sim::arg(sim::browseTitle().c_str()), "0", "null"}));

  sim::reset();
  corvane::ChooseSaveFolder();
  EXPECT_EQ(sim::browseTitle(), u"Current save path: ");
}

TEST_F(SettingsTest, FolderChosenAfterTheSettingsKeyWasRemovedHoldsForThisRunOnly) {
  corvane::LoadSettings();
  sim::regDeleteKey(kSettingsPath);
  sim::browseChooses(u"D:\\Shots");
  corvane::ChooseSaveFolder();
  EXPECT_EQ(folder(), u"D:\\Shots");
  EXPECT_FALSE(sim::regHasKey(kSettingsPath));
  EXPECT_FALSE(sim::hasFolder(u"D:\\Shots"));
  EXPECT_TRUE(messages().empty());

  // Switching off a value of the removed key changes the field alone; switching
  // on brings the key back with that value only.
  corvane::SetVersionCheck(false);
  EXPECT_FALSE(settings.versionCheck);
  corvane::SetQuickCapture(true);
  EXPECT_EQ(sim::regValueNames(kSettingsPath), (std::vector<std::u16string>{u"simplemode"}));
}

}  // namespace

namespace {

// A stored folder is used where the user means it: its variables expanded, and
// never relative to the program's folder. A refused one leaves the stored value
// as written, takes the default for the run and is told once, at first use.
TEST_F(SettingsTest, AStoredFolderIsExpandedAndARelativeOneIsRefusedAndToldOnce) {
  constexpr std::uint32_t kExpandSz = 2;
  struct Case {
    std::u16string stored;
    std::uint32_t type;
    std::u16string used;  // saveFolder after the start
    bool told;
  };
  const std::u16string kDefault = u"C:\\Users\\user1\\ReDoda\\";
  const Case cases[] = {
      {u"%USERPROFILE%\\Shots\\", kExpandSz, u"C:\\Users\\user1\\Shots\\", false},
      {u"%userprofile%\\Shots", kExpandSz, u"C:\\Users\\user1\\Shots", false},
      {u"D:\\Shots", kExpandSz, u"D:\\Shots", false},
      {u"\\\\server\\share\\Shots", REG_SZ, u"\\\\server\\share\\Shots", false},
      {u"%USERPROFILE%\\Shots", REG_SZ, kDefault, true},  // REG_SZ is not expanded: relative as it stands
      {u"%NOSUCHVAR%\\Shots", kExpandSz, kDefault, true},
      {u"rlrel\\", REG_SZ, kDefault, true},
      {u"rlrel\\", kExpandSz, kDefault, true},
      {u"C:Shots", REG_SZ, kDefault, true},
      {u"\\Shots", REG_SZ, kDefault, true},
      {u"\\\\.\\COM1", REG_SZ, kDefault, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(sim::utf8(c.stored));
    sim::reset();
    sim::regPut(kSettingsPath, u"ReDoda", c.type, sim::utf16le(c.stored, true));
    corvane::LoadSettings();
    EXPECT_EQ(folder(), c.used);
    EXPECT_TRUE(messages().empty()) << "nothing is said at start-up";
    EXPECT_EQ(sim::regGet(kSettingsPath, u"ReDoda")->bytes, sim::utf16le(c.stored, true)) << "the user's value stays";
    EXPECT_EQ(sim::regGet(kSettingsPath, u"ReDoda")->type, c.type);
    if (c.told) {
      EXPECT_TRUE(sim::hasFolder(kDefault));
    }
    const auto owner = sim::handle<Hwnd>();
    corvane::TellRefusedSaveFolder(owner, nullptr);
    corvane::TellRefusedSaveFolder(owner, nullptr);
    if (!c.told) {
      EXPECT_TRUE(sim::boxes().empty());
      continue;
    }
    EXPECT_EQ(sim::boxes(), (std::vector<sim::Box>{{owner,
                                                    u"The save folder \"" + c.stored +
                                                        u"\" is not a full path and is not used.\nPictures are kept in " +
                                                        kDefault + u" instead.",
                                                    u"Error", 16}}))
        << "told once";
  }
}

// Where the tray icon can show the notice whole, a balloon says it and nothing
// waits for an answer; else a box does.
TEST_F(SettingsTest, ARefusedFolderIsToldInTheTrayIconsBalloonWhereItFitsWhole) {
  struct Case {
    const char* what;
    bool trayWindow;  // false: a dropped file's run, which has no icon to show it
    bool shellTakes;
    std::size_t nameLength;
    bool balloon;
  };
  const Case cases[] = {
      {"the tray icon shows it", true, true, 5, true},
      {"no tray icon", false, true, 5, false},
      {"the shell refuses the balloon", true, false, 5, false},
      {"too long to show whole", true, true, 200, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim::reset();
    const std::u16string stored = std::u16string(c.nameLength, u'r') + u"\\";
    sim::regPut(kSettingsPath, u"ReDoda", REG_SZ, sim::utf16le(stored, true));
    corvane::LoadSettings();
    if (!c.shellTakes) sim::script("Shell_NotifyIconW", 0);
    const auto owner = sim::handle<Hwnd>();
    const auto tray = c.trayWindow ? sim::handle<Hwnd>() : nullptr;
    if (tray) sim::showTrayIcon(tray, corvane::kTrayIconId);
    corvane::TellRefusedSaveFolder(owner, tray);
    const std::u16string text = u"The save folder \"" + stored +
                                u"\" is not a full path and is not used.\nPictures are kept in C:\\Users\\user1\\ReDoda\\ instead.";
    EXPECT_EQ(sim::balloons().size(), c.balloon ? 1u : 0u);
    if (c.balloon) {
      EXPECT_EQ(sim::balloons()[0].title, u"Save folder not used");
      EXPECT_EQ(sim::balloons()[0].text, text);
      EXPECT_TRUE(sim::boxes().empty());
    } else {
      EXPECT_EQ(sim::boxes(), (std::vector<sim::Box>{{owner, text, u"Error", 16}}));
    }
  }
}

}  // namespace

// --- hot keys as text, and the recent uploads ---------------------------------
#include "settings/hotkey_text.h"
#include "settings/recent.h"

namespace {
using corvane::HotKeyChord;

constexpr std::uint32_t kAlt = 1, kCtrl = 2, kShift = 4, kWin = 8;

TEST(HotKeyText, ParsesWhatUsersAndAdministratorsWriteAndPrintsItBack) {
  struct Case {
    const char16_t* text;
    std::optional<HotKeyChord> chord;
    const char16_t* printed;  // ParseHotKeyText of it gives the same chord
  } cases[] = {
      {u"Alt+C", HotKeyChord{kAlt, 'C'}, u"Alt+C"},
      {u"ctrl + shift + s", HotKeyChord{kCtrl | kShift, 'S'}, u"Ctrl+Shift+S"},
      {u"Shift+Control+c", HotKeyChord{kCtrl | kShift, 'C'}, u"Ctrl+Shift+C"},
      {u"Win+Alt+Ctrl+Shift+F24", HotKeyChord{kCtrl | kAlt | kShift | kWin, 0x87}, u"Ctrl+Alt+Shift+Win+F24"},
      {u"PrintScreen", HotKeyChord{0, 0x2C}, u"PrintScreen"},
      {u"Shift+PrintScreen", HotKeyChord{kShift, 0x2C}, u"Shift+PrintScreen"},
      {u"F1", HotKeyChord{0, 0x70}, u"F1"},
      {u"Alt+9", HotKeyChord{kAlt, '9'}, u"Alt+9"},
      {u"Ctrl+Numpad5", HotKeyChord{kCtrl, 0x65}, u"Ctrl+Numpad5"},
      {u"Ctrl+pagedown", HotKeyChord{kCtrl, 0x22}, u"Ctrl+PageDown"},
      {u"Win+Space", HotKeyChord{kWin, 0x20}, u"Win+Space"},
      {u"", HotKeyChord{}, u""},
      {u"   ", HotKeyChord{}, u""},
      // Refused: unknown or missing parts, repeats, keys that would take typing, F12.
      {u"C", std::nullopt, nullptr},
      {u"Shift+C", std::nullopt, nullptr},
      {u"Space", std::nullopt, nullptr},
      {u"Alt+", std::nullopt, nullptr},
      {u"+C", std::nullopt, nullptr},
      {u"Alt++C", std::nullopt, nullptr},
      {u"Alt+Alt+C", std::nullopt, nullptr},
      {u"Alt+C+D", std::nullopt, nullptr},
      {u"Ctrl+Alt", std::nullopt, nullptr},
      {u"Alt+F12", std::nullopt, nullptr},
      {u"Alt+F25", std::nullopt, nullptr},
      {u"Alt+F01", std::nullopt, nullptr},
      {u"Hyper+C", std::nullopt, nullptr},
      {u"Alt+\u00c4", std::nullopt, nullptr},
      {u"Ctrl+Ctrl+Ctrl+Ctrl+Ctrl+Ctrl+Ctrl+Ctrl+Ctrl+Ctrl+Ctrl+Ctrl+Ctrl+C", std::nullopt, nullptr},
  };
  for (const auto& c : cases) {
    const std::u16string text = c.text;
    SCOPED_TRACE(sim::utf8(text));
    const auto parsed = corvane::ParseHotKeyText(text);
    ASSERT_EQ(parsed.has_value(), c.chord.has_value());
    if (!parsed) continue;
    EXPECT_EQ(parsed->modifiers, c.chord->modifiers);
    EXPECT_EQ(parsed->key, c.chord->key);
    EXPECT_EQ(corvane::HotKeyText(*parsed), c.printed);
    EXPECT_EQ(corvane::ParseHotKeyText(corvane::HotKeyText(*parsed)), parsed);
  }
  EXPECT_FALSE(corvane::ParseHotKeyText(std::u16string(u"Alt+C\0", 6)));
}

TEST(HotKeySettings, StoredTextsGiveTheKeysAndWhatCannotBeReadIsTheDefault) {
  struct Case {
    std::optional<std::string> capture;  // raw REG_SZ text; nullopt: absent
    std::uint32_t captureType;
    HotKeyChord expectCapture;
    bool unreadable;
  } cases[] = {
      {std::nullopt, REG_SZ, corvane::kDefaultCaptureKey, false},
      {"Ctrl+Shift+C", REG_SZ, {kCtrl | kShift, 'C'}, false},
      {"", REG_SZ, {}, false},
      {"Alt+Q+", REG_SZ, corvane::kDefaultCaptureKey, true},
      {"Alt+C", REG_DWORD, corvane::kDefaultCaptureKey, true},
      {std::string(200, 'A'), REG_SZ, corvane::kDefaultCaptureKey, true},
  };
  for (const auto& c : cases) {
    sim::reset();
    sim::regPutKey(kSettingsPath);
    if (c.capture)
      sim::regPut(kSettingsPath, u"hotkeyCapture", c.captureType, sim::utf16le(sim::utf16(*c.capture), true));
    const auto keys = corvane::ReadHotKeySettings();
    EXPECT_EQ(keys.capture, c.expectCapture);
    EXPECT_EQ(keys.captureUnreadable, c.unreadable);
    EXPECT_EQ(keys.fileUpload, corvane::kDefaultFileUploadKey);
  }
  // What the dialog stores reads back the same; an empty address is no value at all.
  sim::reset();
  sim::regPutString(kSettingsPath, u"service", u"http://old.example");
  ASSERT_TRUE(corvane::StoreServiceAndKeys({u"", u"k3y", {kCtrl | kShift, 'C'}, {}}));
  EXPECT_FALSE(sim::regGet(kSettingsPath, u"service"));
  EXPECT_EQ(sim::regString(kSettingsPath, u"key"), u"k3y");
  EXPECT_EQ(sim::regString(kSettingsPath, u"hotkeyCapture"), u"Ctrl+Shift+C");
  EXPECT_EQ(sim::regString(kSettingsPath, u"hotkeyFile"), u"");
  EXPECT_EQ(corvane::ReadHotKeySettings().fileUpload, HotKeyChord{});
}

TEST(RecentUploads, KeptNewestFirstBoundedAndOnlyWhatHoldsUpIsRead) {
  using corvane::RecentUpload;
  const std::u16string recent = corvane::kRecentKey;
  // Entries as stored: only a link of the very service it names is taken.
  struct Case {
    std::u16string text;
    bool taken;
  } entries[] = {
      {u"2026-12-09 10:41:42\thttp://corvane.net\thttp://corvane.net/abc.jpg\tK-1_z", true},
      {u"2026-12-09 10:41:42\thttps://pics.example:8443/team\thttps://pics.example:8443/team/x1\t", true},
      {u"2026-12-09 10:41:42\thttp://corvane.net\thttp://evil.example/abc\t", false},
      {u"2026-12-09 10:41:42\thttp://corvane.net\tfile:///C:/Windows/calc.exe\t", false},
      {u"2026-12-09 10:41:42\tjavascript:x\tjavascript:x/a\t", false},
      {u"2026-12-09 10:41\thttp://corvane.net\thttp://corvane.net/abc\t", false},
      {u"2026-12-09 10:41:42\thttp://corvane.net\thttp://corvane.net/abc\tkey with blanks", false},
      {u"2026-12-09 10:41:42\thttp://corvane.net\thttp://corvane.net/abc\t" + std::u16string(65, u'k'), false},
      {u"2026-12-09 10:41:42\thttp://corvane.net\thttp://corvane.net/abc\t\t", false},
      {u"2026-12-09 10:41:42\thttp://corvane.net\thttp://corvane.net/a\u00e9\t", false},
      {u"2026-12-09 10:41:42\thttp://corvane.net\thttp://corvane.net/\t", false},
      {u"", false},
  };
  for (const auto& e : entries) {
    SCOPED_TRACE(sim::utf8(e.text));
    const auto parsed = corvane::ParseRecentEntry(e.text);
    EXPECT_EQ(parsed.has_value(), e.taken);
    if (parsed) {
      EXPECT_EQ(corvane::RecentEntryText(*parsed), e.text);
    }
  }

  // Twelve uploads keep the last ten, newest first; garbage in the key is skipped, never a crash.
  sim::reset();
  sim::regPutKey(recent);
  sim::regPut(recent, u"1", 3 /* REG_BINARY */, std::string(5000, '\xff'));
  sim::regPutString(recent, u"2", std::u16string(3000, u'x'));
  for (int i = 1; i <= 12; ++i) {
    sim::setLocalTime({2026, 12, 3, 9, 10, 41, static_cast<std::uint16_t>(i), 0});
    corvane::RememberUpload("http://corvane.net/pic" + std::to_string(i) + "\r\n", "http://corvane.net/",
                            i % 2 ? "dk" + std::to_string(i) : "not a key");
  }
  auto kept = corvane::ReadRecentUploads();
  ASSERT_EQ(kept.size(), corvane::kRecentUploadsKept);
  EXPECT_EQ(kept.front().link, "http://corvane.net/pic12");
  EXPECT_EQ(kept.front().deleteKey, "") << "a malformed delete key is not kept";
  EXPECT_EQ(kept[1].deleteKey, "dk11");
  EXPECT_EQ(kept[1].time, "2026-12-09 10:41:11");
  EXPECT_EQ(kept.back().link, "http://corvane.net/pic3");
  EXPECT_EQ(corvane::RecentName(kept[1]), "pic11");
  corvane::ForgetUpload(kept[1]);
  kept = corvane::ReadRecentUploads();
  ASSERT_EQ(kept.size(), 9u);
  EXPECT_EQ(kept[1].link, "http://corvane.net/pic10");
  corvane::ClearRecentUploads();
  EXPECT_TRUE(corvane::ReadRecentUploads().empty());
}

}  // namespace

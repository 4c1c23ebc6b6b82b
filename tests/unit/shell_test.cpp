// Start-up, the message loop's hot-key guards, the windows, the tray icon, the
// tray menu and its commands.
#include <algorithm>
#include <functional>
#include "tests/unit/shell_fixture.h"

namespace corvane::testing {
namespace {

std::vector<char16_t*> argsOf(std::vector<std::u16string>& storage) {
  std::vector<char16_t*> args;
  for (auto& s : storage) args.push_back(s.data());
  args.push_back(nullptr);
  return args;
}

// Position of the first call whose text starts with prefix, or -1.
int indexOf(const std::string& prefix) {
  for (std::size_t i = 0; i < sim::log().size(); ++i)
    if (sim::log()[i].text().rfind(prefix, 0) == 0) return static_cast<int>(i);
  return -1;
}

TEST(StartUp, ArgumentCountDecidesTheRunAndItsExitCode) {
  // The arguments as the platform parsed the command line; the command line
  // itself where it matters (after reset: the module path C:\Tools\corvane.exe, quoted).
  struct Case {
    std::vector<std::u16string> args;
    int exitCode;
    bool refused, resident;
    std::u16string commandLine = {}, modulePath = {};
  } cases[] = {
      {{u"C:\\Tools\\corvane.exe"}, 0, false, true},
      {{u"C:\\Tools\\corvane.exe", u"C:\\My Pictures\\a b.png"}, 1, false, false},
      {{u"C:\\Tools\\corvane.exe", u"a.png", u"b.png"}, 1, true, false},
      {{u"C:\\Tools\\corvane.exe", u"a", u"b", u"c", u"d"}, 1, true, false},
      // A bare Run value of an earlier build, split at its blanks: the resident run.
      {{u"C:\\Users\\Ann", u"Lee\\Tools\\corvane.exe"}, 0, false, true, u"C:\\Users\\Ann Lee\\Tools\\corvane.exe",
       u"C:\\Users\\Ann Lee\\Tools\\corvane.exe"},
      {{u"C:\\Program", u"Files\\Corvane", u"Tool\\corvane.exe"}, 0, false, true,
       u"c:\\program files\\corvane tool\\CORVANE.EXE ", u"C:\\Program Files\\Corvane Tool\\corvane.exe"},
      // A file dropped on an executable whose path has no blank is still a file.
      {{u"C:\\Tools\\corvane.exe", u"C:\\a.png"}, 1, false, false, u"C:\\Tools\\corvane.exe C:\\a.png"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(sim::utf8(c.commandLine) + " " + std::to_string(c.args.size()));
    sim::reset();
    if (!c.commandLine.empty()) sim::setCommandLine(c.commandLine);
    if (!c.modulePath.empty()) sim::setModulePath(c.modulePath);
    auto args = argsOf(c.args);
    EXPECT_EQ(runCorvane(sim::handle<platform::Hinstance>(), static_cast<int>(c.args.size()), args.data()),
              c.exitCode);

    EXPECT_EQ(sim::count("SetCurrentDirectoryW"), 1);
    const std::vector<sim::Box> refusal = {{nullptr, u"Only one image at a time can be dropped!", u"Error", 16}};
    EXPECT_EQ(!sim::boxes().empty() && sim::boxes()[0] == refusal[0], c.refused);
    EXPECT_EQ(sim::count("CreateWindowExW") > 0, c.resident);
    EXPECT_EQ(sim::count("Shell_NotifyIconW") > 0, c.resident);
    EXPECT_EQ(sim::count("RegisterHotKey") > 0, c.resident);
    EXPECT_EQ(sim::count("GetMessageW") > 0, c.resident);
    if (!c.resident) {
      // Only the service address is read, so that a dropped file goes where captures go.
      EXPECT_EQ(sim::count("RegCreateKeyExW") + sim::count("RegSetValueExW"), 0) << "settings loaded";
      EXPECT_EQ(sim::count("RegOpenKeyExW"), c.refused ? 0 : 1);
    }
    // COM lives on this thread for the dropped file and the resident run, and ends with them.
    EXPECT_EQ(sim::count("CoInitializeEx"), c.refused ? 0 : 1);
    EXPECT_EQ(sim::count("CoUninitialize"), c.refused ? 0 : 1);
    if (!c.refused) {
      // Once the tray icon shows, or before the dropped file is read.
      EXPECT_GT(indexOf("CoInitializeEx(null, 6)"), c.resident ? indexOf("Shell_NotifyIconW(0") : 1);
      EXPECT_GT(indexOf("CoUninitialize"), c.resident ? indexOf("GetMessageW") : indexOf("CoInitializeEx"));
    }
  }
}

// The tray icon is up before the hot keys are taken, so that a key held
// elsewhere is told in its balloon; the windows wait parked and hidden, the
// version check runs on its own thread (its handle not kept), and what the run
// held is given back when the loop ends.
TEST(StartUp, AResidentRunTellsOfAKeyHeldElsewhereAndGivesBackWhatItHeld) {
  sim::reset();
  sim::holdHotKeyElsewhere(platform::MOD_ALT, 'F');
  std::vector<std::u16string> storage{u"corvane.exe"};
  auto args = argsOf(storage);
  ASSERT_EQ(runCorvane(sim::handle<platform::Hinstance>(), 1, args.data()), 0);
  ASSERT_EQ(sim::balloons().size(), 1u);
  EXPECT_EQ(sim::balloons()[0].text, u"Alt+F is used by another program. File upload is still in the tray menu.");
  EXPECT_EQ(sim::count("RegisterHotKey"), 2);
  EXPECT_FALSE(sim::hotKeyRegistered(HOTKEY_CAPTURE));
  EXPECT_FALSE(sim::hotKeyRegistered(HOTKEY_FILEUPLOAD));
  const auto parked = sim::windowRect(app.selectionWindow);
  EXPECT_EQ((std::vector<int>{parked.left, parked.top, parked.right, parked.bottom}), (std::vector<int>{0, 0, 1, 1}));
  EXPECT_FALSE(sim::windowVisible(app.selectionWindow));
  EXPECT_FALSE(sim::windowVisible(app.mainWindow));
  ASSERT_TRUE(settings.versionCheck);  // a first start switches it on
  ASSERT_EQ(sim::count("CreateThread"), 1);
  EXPECT_EQ(sim::log()[indexOf("CreateThread") + 1].name, "CloseHandle");
}

// Autostart and a click on the executable: the later start ends at once, with
// no window, no icon, no hot key and no setting written.
TEST(StartUp, ASecondResidentStartEndsAndLeavesTheFirstAlone) {
  sim::reset();
  sim::holdMutexElsewhere(u"Local\\Corvane.Tool.Resident");
  std::vector<std::u16string> storage{u"corvane.exe"};
  auto args = argsOf(storage);
  EXPECT_EQ(runCorvane(sim::handle<platform::Hinstance>(), 1, args.data()), 0);
  for (const char* call : {"CreateWindowExW", "Shell_NotifyIconW", "RegisterHotKey", "RegSetValueExW"})
    EXPECT_EQ(sim::count(call), 0) << call;
  EXPECT_TRUE(sim::boxes().empty());
  // A dropped file is its own short run all the same.
  sim::log().clear();
  std::vector<std::u16string> dropped{u"C:\\Tools\\corvane.exe", u"C:\\a.png"};
  auto droppedArgs = argsOf(dropped);
  EXPECT_EQ(runCorvane(sim::handle<platform::Hinstance>(), 2, droppedArgs.data()), 1);
  EXPECT_EQ(sim::count("CreateMutexW"), 0);
}

TEST(StartUp, NoMainWindowEndsWithCodeZeroAndNoHotKeys) {
  sim::reset();
  sim::script("CreateWindowExW", 0);
  std::vector<std::u16string> storage{u"corvane.exe"};
  auto args = argsOf(storage);
  EXPECT_EQ(runCorvane(sim::handle<platform::Hinstance>(), 1, args.data()), 0);
  EXPECT_TRUE(sim::boxes().empty());
  EXPECT_EQ(sim::count("RegisterHotKey"), 0);
  EXPECT_EQ(sim::count("GetMessageW"), 0);
  EXPECT_EQ(sim::count("CoInitializeEx"), 0);  // nothing ran that needs COM
}

TEST(Windows, ClassesWindowsAndTrayIcon) {
  sim::reset();
  auto instance = sim::handle<platform::Hinstance>();
  registerWindowClasses(instance);
  ASSERT_TRUE(createWindows(instance));
  auto classes = callsOf({"RegisterClassW"});
  ASSERT_EQ(classes.size(), 2u);
  EXPECT_TRUE(classes[0].starts_with("RegisterClassW(\"ZURAZIZIZIZAR\", 0, ")) << classes[0];
  EXPECT_TRUE(classes[0].ends_with(", null, null, 0, 0)")) << "no background brush: " << classes[0];
  EXPECT_TRUE(classes[1].starts_with("RegisterClassW(\"VOVIDEDIDIZEZA\", 3, ")) << classes[1];
  EXPECT_FALSE(classes[1].ends_with(", null, null, 0, 0)")) << classes[1];
  EXPECT_EQ(sim::last("LoadIconW")->text(), "LoadIconW(" + h(instance) + ", #132)");
  EXPECT_EQ(sim::last("LoadCursorW")->text(), "LoadCursorW(" + h(instance) + ", #2002)");
  EXPECT_TRUE(called("GetStockObject(0)"));

  auto windows = callsOf({"CreateWindowExW"});
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[0], "CreateWindowExW(134217896, \"ZURAZIZIZIZAR\", null, 2147483648, 0, 0, 0, 0, null, null, " +
                            h(instance) + ", null)");
  EXPECT_EQ(windows[1], "CreateWindowExW(134742144, \"VOVIDEDIDIZEZA\", null, 2147483648, 100, 100, 300, 300, " +
                            h(app.mainWindow) + ", null, " + h(instance) + ", null)");
  EXPECT_FALSE(sim::windowVisible(app.mainWindow));
  EXPECT_TRUE(called("SetLayeredWindowAttributes(" + h(app.selectionWindow) + ", 255, 100, 3)"));

  // The tray record: 64-bit size up to guidItem, no balloon icon.
  EXPECT_EQ(kTrayIconRecordSize, sizeof(void*) == 8 ? 968u : 952u);
  EXPECT_TRUE(called("Shell_NotifyIconW(0, " + std::to_string(kTrayIconRecordSize) + ", " + h(app.mainWindow) +
                     ", 100, 7, 1025, \"Corvane Tool 2.6 - Left click to enter capture mode\")"));
  EXPECT_EQ(sim::trayIconVersion(app.mainWindow, kTrayIconId), 4);
  EXPECT_EQ(sim::last("LoadImageW")->args[1], "#132");  // at the taskbar's size: see the TrayIcon tests
  // An elevated run still hears of a restarted shell.
  EXPECT_TRUE(called("ChangeWindowMessageFilterEx(" + h(app.mainWindow) + ", " + std::to_string(app.taskbarCreated) +
                     ", 1)"));
}

// --- the message loop ---------------------------------------------------------

// The loop only forwards a hot key as its message; the capture object judges
// it, and one that does not fit the state changes nothing and opens nothing.
TEST(MessageLoop, HotKeysAreForwardedNeverDispatchedAndJudgedByTheState) {
  struct Case {
    State state;
    int id;
    State next;
    bool dialog;  // the open dialog of the file upload
  } cases[] = {
      {State::Idle, 1, State::Waiting, false},     {State::Waiting, 1, State::Waiting, false},
      {State::Dragging, 1, State::Dragging, false}, {State::Busy, 1, State::Busy, false},
      {State::Idle, 3, State::Idle, true},         {State::Waiting, 3, State::Waiting, false},
      {State::Dragging, 3, State::Dragging, false}, {State::Busy, 3, State::Busy, false},
      {State::Waiting, 4, State::Idle, false},     {State::Idle, 4, State::Idle, false},
      {State::Dragging, 4, State::Dragging, false}, {State::Busy, 4, State::Busy, false},
      {State::Idle, 2, State::Idle, false},        {State::Waiting, 5, State::Waiting, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "id " << c.id << " in " << nameOf(c.state));
    startIdle();
    reach(c.state);
    sim::log().clear();
    sim::queueMessage(nullptr, platform::WM_HOTKEY, c.id, 0);
    EXPECT_EQ(runMessageLoop(), 0);
    EXPECT_EQ(nameOf(stateOf()), nameOf(c.next));
    EXPECT_EQ(sim::count("GetOpenFileNameW"), c.dialog ? 1 : 0);
    EXPECT_EQ(sim::windowVisible(app.mainWindow), c.next == State::Waiting || c.next == State::Dragging);
    EXPECT_EQ(sim::hotKeyRegistered(HOTKEY_ESCAPE), c.next == State::Waiting);
  }
}

TEST(MessageLoop, DispatchesOtherMessagesAndReturnsTheQuitCode) {
  startIdle();
  sim::queueMessage(app.mainWindow, platform::WM_MOUSEMOVE, 0, 0);
  sim::queueMessage(nullptr, platform::WM_QUIT, 7, 0);
  sim::queueMessage(app.mainWindow, platform::WM_MOUSEMOVE, 0, 0);  // never read
  EXPECT_EQ(runMessageLoop(), 7);
  EXPECT_EQ(callsOf({"TranslateMessage", "DispatchMessageW"}),
            (std::vector<std::string>{"TranslateMessage(512)", "DispatchMessageW(" + h(app.mainWindow) + ", 512)"}));
  EXPECT_EQ(sim::queuedMessages(), 1u);

  startIdle();
  sim::script("GetMessageW", -1);
  EXPECT_EQ(runMessageLoop(), 1) << "a loop that cannot read messages ends";
}

// --- the tray menu ------------------------------------------------------------

// The entries of the last menu shown, as "flags label".
std::vector<std::string> shownMenu() {
  const auto* track = sim::last("TrackPopupMenu");
  if (track == nullptr) return {};
  std::vector<std::string> shown;
  for (const sim::MenuItem& item :
       sim::menuItems(reinterpret_cast<platform::Hmenu>(std::stoull(track->args[0].substr(1)))))
    shown.push_back(std::to_string(item.flags) + " " + sim::utf8(item.label));
  return shown;
}

TEST(TrayMenu, EntriesInOrderWithCheckMarksFromTheSettings) {
  struct Case {
    bool versionCheck, autostart, quickCapture;
  } cases[] = {{true, true, true}, {false, false, false}, {true, false, true}, {false, true, false}};
  for (const auto& c : cases) {
    startIdle();
    settings.versionCheck = c.versionCheck;
    settings.autostart = c.autostart;
    settings.quickCapture = c.quickCapture;
    send(UM_TRAYICON, point(400, 300), kTrayMenuEvent);  // the anchor the shell gives
    auto mark = [](bool on) { return std::string(on ? "1032" : "1024"); };
    ASSERT_NE(sim::last("TrackPopupMenu"), nullptr);
    const std::string menu = sim::last("TrackPopupMenu")->args[0];
    const std::string recent = std::to_string(platform::MF_BYPOSITION | platform::MF_POPUP) + " Recent &uploads";
    EXPECT_EQ(shownMenu(), (std::vector<std::string>{mark(c.versionCheck) + " Autoupdate", mark(c.autostart) + " &Autostart",
                                               mark(c.quickCapture) + " &Quick capture", "1024 &Set save path",
                                               "1024 Se&ttings...", "2048 ", "1024 &File upload      (ALT+ F)",
                                               "1024 &Capture mode (ALT+ C)", recent, "2048 ", "1024 &Exit"}));
    // In the foreground for the menu, and a message after it, or the next menu misbehaves.
    EXPECT_EQ(callsOf({"GetCursorPos", "SetForegroundWindow", "TrackPopupMenu", "PostMessageW", "DestroyMenu"}),
              (std::vector<std::string>{"SetForegroundWindow(" + h(app.mainWindow) + ")",
                                        "TrackPopupMenu(" + menu + ", 32, 400, 300, 0, " + h(app.mainWindow) + ")",
                                        "PostMessageW(" + h(app.mainWindow) + ", 0, 0, 0)",
                                        "DestroyMenu(" + menu + ")"}));
    EXPECT_EQ(stateOf(), State::Idle);
  }

  startIdle();
  sim::script("CreatePopupMenu", 0);
  EXPECT_EQ(send(UM_TRAYICON, 0, kTrayMenuEvent), 0);
  EXPECT_EQ(sim::count("InsertMenuW") + sim::count("TrackPopupMenu") + sim::count("DestroyMenu"), 0);
}

// The command chosen comes back through the loop as WM_COMMAND, as on the platform.
void chooseFromTrayMenu(std::uint32_t id) {
  sim::script("TrackPopupMenu", id);
  sim::queueMessage(app.mainWindow, UM_TRAYICON, 0, kTrayMenuEvent);
  runMessageLoop();
}

TEST(TrayMenu, SwitchesToggleTheirSettingAndTheNextMenuShowsIt) {
  struct Case {
    std::uint32_t id;
    bool Settings::*field;
    const char* label;
  } cases[] = {{IDM_QUICKCAPTURE, &Settings::quickCapture, "&Quick capture"},
               {IDM_AUTOSTART, &Settings::autostart, "&Autostart"},
               {IDM_AUTOUPDATE, &Settings::versionCheck, "Autoupdate"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    startIdle();
    const bool first = settings.*c.field;
    chooseFromTrayMenu(c.id);
    EXPECT_EQ(settings.*c.field, !first);
    sim::log().clear();
    chooseFromTrayMenu(c.id);
    EXPECT_EQ(settings.*c.field, first);
    // The second menu showed the mark of the value set by the first command.
    const std::vector<std::string> shown = shownMenu();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), (!first ? "1032 " : "1024 ") + std::string(c.label)), 1);
    EXPECT_EQ(stateOf(), State::Idle);
  }
}

// The menu's Exit and a WM_CLOSE from another program end alike.
TEST(TrayMenu, ExitRemovesTheIconAndTheWindowsAndEndsTheLoopWithZero) {
 for (bool closedByAnother : {false, true}) {
  SCOPED_TRACE(closedByAnother ? "WM_CLOSE" : "Exit");
  startIdle();
  auto main = app.mainWindow, selection = app.selectionWindow;
  if (closedByAnother) {
    sim::queueMessage(main, platform::WM_CLOSE, 0, 0);
  } else {
    sim::script("TrackPopupMenu", IDM_EXIT);
    sim::queueMessage(main, UM_TRAYICON, 0, kTrayMenuEvent);
  }
  EXPECT_EQ(runMessageLoop(), 0);
  EXPECT_EQ(sim::trayIconVersion(main, kTrayIconId), -1);
  EXPECT_FALSE(sim::windowExists(main));
  EXPECT_FALSE(sim::windowExists(selection));
 }
}

// A shell that restarts has no icons and announces itself to every top-level
// window: the icon comes back as it was, whatever the state, and nothing else
// changes. Asked whether the session may end, we never refuse.
TEST(TrayIcon, ComesBackWhenTheShellRestartsAndLetsASessionEndInAnyState) {
  for (State state : {State::Idle, State::Waiting, State::Dragging, State::Busy}) {
    SCOPED_TRACE(nameOf(state));
    startIdle();
    ASSERT_EQ(callsOf({"RegisterWindowMessageW"}).size(), 0u) << "registered before the log was cleared";
    reach(state);
    sim::log().clear();
    const std::string oldImage = h(trayIcon().record().hIcon);
    EXPECT_EQ(send(0xC0DE), 0);  // the number the simulation gives "TaskbarCreated"
    // Shown again in the shell's current behaviour, with a fresh image; the old one is gone.
    EXPECT_EQ(sim::trayIconVersion(app.mainWindow, kTrayIconId), 4);
    EXPECT_EQ(callsOf({"DestroyIcon"}), std::vector<std::string>{"DestroyIcon(" + oldImage + ")"});
    EXPECT_NE(trayIcon().record().hIcon, nullptr);
    EXPECT_EQ(send(platform::WM_QUERYENDSESSION), 1);
    EXPECT_EQ(stateOf(), state);
  }
  // Exit takes the icon away with its image; a later announcement brings back nothing.
  startIdle();
  const std::string image = h(trayIcon().record().hIcon);
  send(platform::WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(callsOf({"DestroyIcon"}), std::vector<std::string>{"DestroyIcon(" + image + ")"});
  mainWindowProc(app.mainWindow, 0xC0DE, 0, 0);
  EXPECT_EQ(sim::trayIconVersion(app.mainWindow, kTrayIconId), -1);
}

// The icon's image is the small icon at the taskbar's scale; a shell not ready
// at logon is asked again on a timer until it takes the icon.
TEST(TrayIcon, AddedAtTheTaskbarsScaleAndAgainWhileTheShellIsNotReady) {
  struct Row {
    const char* name;
    std::uint32_t taskbarDpi, systemDpi;  // 0: no taskbar window
    int size, refusals;
  } rows[] = {
      {"100 %", 96, 96, 16, 0},
      {"taskbar at 150 %", 144, 96, 24, 0},
      {"no taskbar yet, system at 125 %", 0, 120, 20, 3},
      {"taskbar at 200 %, shell busy", 192, 96, 32, 1},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    sim::reset();
    trayIcon().reset();  // the last test's icon, which the fresh shell never had
    if (r.taskbarDpi != 0) {
      sim::script("FindWindowW", static_cast<std::int64_t>(sim::nextHandle()));
      sim::script("GetDpiForWindow", r.taskbarDpi);
    }
    sim::script("GetDpiForSystem", r.systemDpi);
    for (int i = 0; i < r.refusals; ++i) sim::script("Shell_NotifyIconW", 0);
    auto instance = sim::handle<platform::Hinstance>();
    registerWindowClasses(instance);
    ASSERT_TRUE(createWindows(instance));
    EXPECT_EQ(sim::last("LoadImageW")->args[3], std::to_string(r.size));
    for (int tick = 1; tick <= r.refusals; ++tick) {
      EXPECT_EQ(sim::trayIconVersion(app.mainWindow, kTrayIconId), -1);
      EXPECT_TRUE(sim::timerRunning(app.mainWindow, 1));
      send(platform::WM_TIMER, 1);
    }
    EXPECT_EQ(sim::trayIconVersion(app.mainWindow, kTrayIconId), 4);
    EXPECT_FALSE(sim::timerRunning(app.mainWindow, 1));
  }
}

// The tray menu opens over our own modal loops, and Exit from it ends the
// program cleanly whatever runs: the loop ends, the work under it unwinds and
// releases what it held.
TEST(TrayMenu, ExitIsSafeWhileADialogOrAnUploadRuns) {
  struct Case {
    const char* name;
    std::function<void()> run;  // opens one of our modal loops
  } cases[] = {
      {"open dialog", [] { send(UM_FILEUPLOAD); }},
      {"folder browser", [] { send(platform::WM_COMMAND, IDM_SAVEPATH); }},
      {"upload's message box", [] {
         settings.quickCapture = true;
         reach(State::Dragging);
         sim::script("GdiplusStartup", 2);  // "Could not save image"
         send(platform::WM_LBUTTONUP, 0, point(140, 80));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    startIdle();
    auto main = app.mainWindow;
    sim::script("TrackPopupMenu", IDM_EXIT);
    sim::queueMessage(main, UM_TRAYICON, 0, kTrayMenuEvent);
    c.run();
    EXPECT_EQ(sim::count("TrackPopupMenu"), 1);
    EXPECT_EQ(runMessageLoop(), 0);
    EXPECT_FALSE(sim::windowExists(main));
    EXPECT_EQ(stateOf(), State::Idle);
    EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
    EXPECT_FALSE(sim::hotKeyRegistered(HOTKEY_ESCAPE));
    EXPECT_TRUE(sim::filesIn(u"C:\\Temp").empty());
  }
}

}  // namespace
}  // namespace corvane::testing

// --- the hot keys: held elsewhere, changed at once ----------------------------
#include "app/hotkeys.h"
#include "net/service_address.h"
#include "net/version_check.h"

namespace corvane::testing {
namespace {

TEST(HotKeys, AKeyAnotherProgramHoldsIsToldOnceAndAChangeTakesEffectOrLeavesTheOldKeys) {
  struct Case {
    std::vector<HotKeyChord> heldElsewhere;
    std::u16string balloon;  // empty: none shown
  } cases[] = {
      {{}, u""},
      {{{platform::MOD_ALT, 'C'}},
       u"Alt+C is used by another program. A click on the tray icon still captures."},
      {{{platform::MOD_ALT, 'C'}, {platform::MOD_ALT, 'F'}},
       u"Alt+C is used by another program. A click on the tray icon still captures.\n"
       u"Alt+F is used by another program. File upload is still in the tray menu."},
  };
  for (const auto& c : cases) {
    startIdle();
    for (const HotKeyChord& k : c.heldElsewhere) sim::holdHotKeyElsewhere(k.modifiers, k.key);
    registerHotKeys(HotKeySettings{});
    ASSERT_EQ(sim::balloons().size(), c.balloon.empty() ? 0u : 1u);
    if (!c.balloon.empty()) EXPECT_EQ(sim::balloons()[0].text, c.balloon);
    EXPECT_EQ(sim::hotKeyRegistered(HOTKEY_CAPTURE), c.heldElsewhere.empty());
    if (c.heldElsewhere.empty()) {
      EXPECT_EQ(sim::hotKeyOf(HOTKEY_CAPTURE), std::make_pair(platform::MOD_ALT, std::uint32_t{'C'}));
      const auto* reg = sim::last("RegisterHotKey");
      EXPECT_EQ(reg->args[2], std::to_string(platform::MOD_ALT | platform::MOD_NOREPEAT)) << "auto-repeat starts one";
    }
    releaseHotKeys();
  }

  // A stored text that does not parse: the default, and the user is told.
  startIdle();
  HotKeySettings unreadable;
  unreadable.captureUnreadable = true;
  unreadable.unreadableCapture = u"Alt+Q+";
  registerHotKeys(unreadable);
  ASSERT_EQ(sim::balloons().size(), 1u);
  EXPECT_EQ(sim::balloons()[0].text, u"The capture hot key \"Alt+Q+\" is not understood; Alt+C is used.");

  // Swapped keys are had at once; one held elsewhere is refused and the old ones stay.
  const HotKeyChord altC{platform::MOD_ALT, 'C'}, altF{platform::MOD_ALT, 'F'}, ctrlQ{platform::MOD_CONTROL, 'Q'};
  EXPECT_EQ(changeHotKeys(altF, altC), u"");
  EXPECT_EQ(sim::hotKeyOf(HOTKEY_CAPTURE), std::make_pair(platform::MOD_ALT, std::uint32_t{'F'}));
  sim::holdHotKeyElsewhere(ctrlQ.modifiers, ctrlQ.key);
  EXPECT_EQ(changeHotKeys(ctrlQ, HotKeyChord{}), u"Ctrl+Q is used by another program.");
  EXPECT_EQ(sim::hotKeyOf(HOTKEY_CAPTURE), std::make_pair(platform::MOD_ALT, std::uint32_t{'F'}));
  EXPECT_EQ(sim::hotKeyOf(HOTKEY_FILEUPLOAD), std::make_pair(platform::MOD_ALT, std::uint32_t{'C'}));
  EXPECT_EQ(changeHotKeys(altC, altC), u"Alt+C cannot start both commands.");
  EXPECT_EQ(changeHotKeys(altC, HotKeyChord{}), u"");
  EXPECT_FALSE(sim::hotKeyRegistered(HOTKEY_FILEUPLOAD));
  EXPECT_EQ(captureHotKey(), altC);
  releaseHotKeys();
}

// The version question belongs to the interface thread: the worker only posts
// what the service announced, and the question waits for capture mode to end.
TEST(VersionQuestion, AskedOnTheInterfaceThreadOnceNothingElseRuns) {
  startIdle();
  reach(State::Waiting);
  sim::scriptHttp({u"200", {"2.7"}, false});
  EXPECT_EQ(VersionCheckThread(app.mainWindow), 0u);
  EXPECT_TRUE(sim::boxes().empty()) << "nothing asked from the worker";
  runMessageLoop();  // the posted announcement arrives during capture mode
  EXPECT_TRUE(sim::boxes().empty()) << "not over capture mode";
  EXPECT_TRUE(sim::timerRunning(app.mainWindow, 2));
  sim::queueMessage(nullptr, platform::WM_HOTKEY, 4, 0);  // Escape: idle again
  runMessageLoop();
  ASSERT_EQ(stateOf(), State::Idle);
  sim::script("MessageBoxW", platform::IDYES);
  send(platform::WM_TIMER, 2);
  ASSERT_EQ(sim::boxes().size(), 1u);
  EXPECT_TRUE(sim::boxes()[0].text.starts_with(u"Version 2.7 is out!"));
  ASSERT_EQ(sim::launches().size(), 1u);
  EXPECT_EQ(sim::launches()[0].file, u"http://" + std::u16string(kServiceHost) + u"/download/");
  EXPECT_FALSE(sim::timerRunning(app.mainWindow, 2));
  send(platform::WM_TIMER, 2);
  EXPECT_EQ(sim::boxes().size(), 1u) << "asked once";
}

}  // namespace
}  // namespace corvane::testing

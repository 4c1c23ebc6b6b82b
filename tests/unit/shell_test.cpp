// Start-up, the message loop's hot-key guards, the windows, the tray icon, the
// tray menu and its commands.
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
  struct Case {
    std::vector<std::u16string> args;
    int exitCode;
    bool refused, resident;
  } cases[] = {
      {{u"C:\\Tools\\corvane.exe"}, 0, false, true},
      {{u"C:\\Tools\\corvane.exe", u"C:\\My Pictures\\a b.png"}, 1, false, false},
      {{u"C:\\Tools\\corvane.exe", u"a.png", u"b.png"}, 1, true, false},
      {{u"C:\\Tools\\corvane.exe", u"a", u"b", u"c", u"d"}, 1, true, false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.args.size());
    sim::reset();
    auto args = argsOf(c.args);
    EXPECT_EQ(runCorvane(sim::handle<platform::Hinstance>(), static_cast<int>(c.args.size()), args.data()),
              c.exitCode);
    EXPECT_TRUE(called("SetCurrentDirectoryW(\"C:\\Tools\")"));
    EXPECT_EQ(called("MessageBoxW(null, \"Only one image at a time can be dropped!\", \"Error\", 16)"), c.refused);
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
      EXPECT_EQ(sim::log().back().name, "CoUninitialize");
    }
  }
}

TEST(StartUp, ResidentRunInOrder) {
  sim::reset();
  std::vector<std::u16string> storage{u"corvane.exe"};
  auto args = argsOf(storage);
  ASSERT_EQ(runCorvane(sim::handle<platform::Hinstance>(), 1, args.data()), 0);
  const int registry = std::max(indexOf("RegOpenKeyExW"), indexOf("RegCreateKeyExW"));
  const int classes = indexOf("RegisterClassW"), windows = indexOf("CreateWindowExW"),
            tray = indexOf("Shell_NotifyIconW(0"), hotKeys = indexOf("RegisterHotKey(null, 1"),
            leave = indexOf("SetWindowPos(" + h(app.selectionWindow) + ", null, 0, 0, 1, 1,"), loop = indexOf("GetMessageW");
  EXPECT_LT(registry, classes);
  EXPECT_LT(classes, windows);
  EXPECT_LT(windows, tray);
  EXPECT_LT(tray, indexOf("CoInitializeEx"));
  EXPECT_LT(indexOf("CoInitializeEx"), loop);
  EXPECT_LT(tray, hotKeys);
  // Held for the run and given back, in reverse, when the loop has ended; the
  // tray icon goes with the run's end too, its image destroyed after it.
  EXPECT_EQ(callsOf({"RegisterHotKey", "UnregisterHotKey"}),
            (std::vector<std::string>{"RegisterHotKey(null, 1, 1, 67)", "RegisterHotKey(null, 3, 1, 70)",
                                      "UnregisterHotKey(null, 3)", "UnregisterHotKey(null, 1)"}));
  EXPECT_LT(indexOf("RegisterHotKey(null, 3"), leave);
  EXPECT_LT(leave, loop);
  // Parked: both windows hidden, the selection window at (0, 0), 1 x 1.
  const auto parked = sim::windowRect(app.selectionWindow);
  EXPECT_EQ((std::vector<int>{parked.left, parked.top, parked.right, parked.bottom}), (std::vector<int>{0, 0, 1, 1}));
  EXPECT_FALSE(sim::windowVisible(app.selectionWindow));
  EXPECT_FALSE(sim::windowVisible(app.mainWindow));
  // The version check runs on its own thread only when the setting is on; its handle is not kept.
  ASSERT_TRUE(settings.versionCheck);  // a first start switches it on
  ASSERT_EQ(sim::count("CreateThread"), 1);
  EXPECT_LT(indexOf("RegisterHotKey(null, 3"), indexOf("CreateThread"));
  EXPECT_LT(indexOf("CreateThread"), leave);
  EXPECT_EQ(sim::count("CloseHandle"), 1);
}

TEST(StartUp, NoMainWindowEndsWithCodeZeroAndNoHotKeys) {
  sim::reset();
  sim::script("CreateWindowExW", 0);
  std::vector<std::u16string> storage{u"corvane.exe"};
  auto args = argsOf(storage);
  EXPECT_EQ(runCorvane(sim::handle<platform::Hinstance>(), 1, args.data()), 0);
  EXPECT_EQ(sim::count("MessageBoxW"), 0);
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
  EXPECT_EQ(sim::count("LoadIconW"), 2);
  EXPECT_EQ(sim::last("LoadIconW")->text(), "LoadIconW(" + h(instance) + ", #132)");
  EXPECT_EQ(sim::last("LoadCursorW")->text(), "LoadCursorW(" + h(instance) + ", #2002)");
  EXPECT_TRUE(called("GetStockObject(0)"));

  auto windows = callsOf({"CreateWindowExW"});
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[0], "CreateWindowExW(134217896, \"ZURAZIZIZIZAR\", null, 2147483648, 0, 0, 0, 0, null, null, " +
                            h(instance) + ", null)");
  EXPECT_EQ(windows[1], "CreateWindowExW(134742144, \"VOVIDEDIDIZEZA\", null, 2147483648, 100, 100, 300, 300, " +
                            h(app.mainWindow) + ", null, " + h(instance) + ", null)");
  // The virtual screen is read when capture mode begins, not here.
  EXPECT_EQ(sim::count("GetSystemMetrics"), 0);
  EXPECT_FALSE(sim::windowVisible(app.mainWindow));
  EXPECT_TRUE(called("SetLayeredWindowAttributes(" + h(app.selectionWindow) + ", 255, 100, 3)"));

  // The tray record: 64-bit size up to guidItem, no balloon icon.
  EXPECT_EQ(kTrayIconRecordSize, sizeof(void*) == 8 ? 968u : 952u);
  EXPECT_EQ(sim::last("Shell_NotifyIconW")->text(),
            "Shell_NotifyIconW(0, " + std::to_string(kTrayIconRecordSize) + ", " + h(app.mainWindow) +
                ", 100, 7, 1025, \"Corvane Tool 2.6 - Left click to enter capture mode\")");
  EXPECT_EQ(sim::last("LoadImageW")->args[1], "#132");
  EXPECT_EQ(sim::last("LoadImageW")->args[2], "1");
  EXPECT_EQ(sim::last("LoadImageW")->args[3], "32");
  EXPECT_NE(trayIcon().record().hIcon, nullptr);
  // mainWindow is stored last of all.
  EXPECT_EQ(sim::log().back().name, "Shell_NotifyIconW");
}

// --- the message loop ---------------------------------------------------------

// The loop only forwards a hot key as its message; the capture object judges
// it, and one that does not fit the state changes nothing and opens nothing.
TEST(MessageLoop, HotKeysAreForwardedNeverDispatchedAndJudgedByTheState) {
  struct Case {
    State state;
    int id;
    std::uint32_t sent;  // 0: none
    State next;
    bool dialog;  // the open dialog of the file upload
  } cases[] = {
      {State::Idle, 1, UM_CAPTURE, State::Waiting, false},
      {State::Waiting, 1, UM_CAPTURE, State::Waiting, false},
      {State::Dragging, 1, UM_CAPTURE, State::Dragging, false},
      {State::Busy, 1, UM_CAPTURE, State::Busy, false},
      {State::Idle, 3, UM_FILEUPLOAD, State::Idle, true},
      {State::Waiting, 3, UM_FILEUPLOAD, State::Waiting, false},
      {State::Dragging, 3, UM_FILEUPLOAD, State::Dragging, false},
      {State::Busy, 3, UM_FILEUPLOAD, State::Busy, false},
      {State::Waiting, 4, UM_CANCELCAPTURE, State::Idle, false},
      {State::Idle, 4, UM_CANCELCAPTURE, State::Idle, false},
      {State::Dragging, 4, UM_CANCELCAPTURE, State::Dragging, false},
      {State::Busy, 4, UM_CANCELCAPTURE, State::Busy, false},
      {State::Idle, 2, 0, State::Idle, false},
      {State::Waiting, 5, 0, State::Waiting, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "id " << c.id << " in " << nameOf(c.state));
    startIdle();
    reach(c.state);
    sim::log().clear();
    sim::queueMessage(nullptr, platform::WM_HOTKEY, c.id, 0);
    EXPECT_EQ(runMessageLoop(), 0);
    EXPECT_EQ(sim::count("DispatchMessageW"), 0);
    EXPECT_EQ(sim::count("TranslateMessage"), 0);
    const auto sent = callsOf({"SendMessageW"});
    EXPECT_EQ(sent, c.sent == 0 ? std::vector<std::string>{}
                                : std::vector<std::string>{"SendMessageW(" + h(app.mainWindow) + ", " +
                                                           std::to_string(c.sent) + ", 0, 0)"});
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

TEST(TrayMenu, EntriesInOrderWithCheckMarksFromTheSettings) {
  struct Case {
    bool versionCheck, autostart, quickCapture;
  } cases[] = {{true, true, true}, {false, false, false}, {true, false, true}, {false, true, false}};
  for (const auto& c : cases) {
    startIdle();
    settings.versionCheck = c.versionCheck;
    settings.autostart = c.autostart;
    settings.quickCapture = c.quickCapture;
    send(UM_TRAYICON, 0, platform::WM_RBUTTONUP);
    auto mark = [](bool on) { return std::string(on ? "1032" : "1024"); };
    const auto* track = sim::last("TrackPopupMenu");
    ASSERT_NE(track, nullptr);
    const std::string menu = track->args[0];
    std::string at = "InsertMenuW(" + menu + ", 4294967295, ";
    EXPECT_EQ(callsOf({"InsertMenuW"}),
              (std::vector<std::string>{
                  at + mark(c.versionCheck) + ", 6, \"Autoupdate\")", at + mark(c.autostart) + ", 5, \"&Autostart\")",
                  at + mark(c.quickCapture) + ", 4, \"&Quick capture\")", at + "1024, 3, \"&Set save path\")",
                  at + "2048, 0, null)", at + "1024, 2, \"&File upload      (ALT+ F)\")",
                  at + "1024, 1, \"&Capture mode (ALT+ C)\")", at + "2048, 0, null)", at + "1024, 0, \"&Exit\")"}));
    EXPECT_EQ(callsOf({"GetCursorPos", "SetForegroundWindow", "TrackPopupMenu", "DestroyMenu"}),
              (std::vector<std::string>{"GetCursorPos()", "SetForegroundWindow(" + h(app.mainWindow) + ")",
                                        "TrackPopupMenu(" + menu + ", 32, 400, 300, 0, " + h(app.mainWindow) + ")",
                                        "DestroyMenu(" + menu + ")"}));
    EXPECT_EQ(stateOf(), State::Idle);
  }

  startIdle();
  sim::script("CreatePopupMenu", 0);
  EXPECT_EQ(send(UM_TRAYICON, 0, platform::WM_RBUTTONUP), 0);
  EXPECT_EQ(sim::count("InsertMenuW") + sim::count("TrackPopupMenu") + sim::count("DestroyMenu"), 0);
}

// The command chosen comes back through the loop as WM_COMMAND, as on the platform.
void chooseFromTrayMenu(std::uint32_t id) {
  sim::script("TrackPopupMenu", id);
  sim::queueMessage(app.mainWindow, UM_TRAYICON, 0, platform::WM_RBUTTONUP);
  runMessageLoop();
}

TEST(TrayMenu, SwitchesToggleTheirSettingAndTheNextMenuShowsIt) {
  struct Case {
    std::uint32_t id;
    bool Settings::*field;
    const char* label;
  } cases[] = {{IDM_QUICKCAPTURE, &Settings::quickCapture, "\"&Quick capture\")"},
               {IDM_AUTOSTART, &Settings::autostart, "\"&Autostart\")"},
               {IDM_AUTOUPDATE, &Settings::versionCheck, "\"Autoupdate\")"}};
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
    int shown = 0;
    for (const auto& entry : callsOf({"InsertMenuW"})) {
      if (!entry.ends_with(c.label)) continue;
      ++shown;
      EXPECT_NE(entry.find(!first ? ", 1032, " : ", 1024, "), std::string::npos) << entry;
    }
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(stateOf(), State::Idle);
  }
}

TEST(TrayMenu, ExitRemovesTheIconBeforeTheWindowAndEndsTheLoopWithZero) {
  startIdle();
  auto main = app.mainWindow, selection = app.selectionWindow;
  sim::script("TrackPopupMenu", IDM_EXIT);
  sim::queueMessage(main, UM_TRAYICON, 0, platform::WM_RBUTTONUP);
  EXPECT_EQ(runMessageLoop(), 0);
  auto exit = callsOf({"Shell_NotifyIconW", "DestroyWindow", "PostQuitMessage"});
  ASSERT_EQ(exit.size(), 3u);
  EXPECT_TRUE(exit[0].starts_with("Shell_NotifyIconW(2, " + std::to_string(kTrayIconRecordSize) + ", ")) << exit[0];
  EXPECT_EQ(exit[1], "DestroyWindow(" + h(main) + ")");
  EXPECT_EQ(exit[2], "PostQuitMessage(0)");
  EXPECT_FALSE(sim::windowExists(main));
  EXPECT_FALSE(sim::windowExists(selection));
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
    EXPECT_EQ(send(0xC0DE), 0);  // the number the simulation gives "TaskbarCreated"
    EXPECT_EQ(callsOf({"Shell_NotifyIconW"}),
              std::vector<std::string>{"Shell_NotifyIconW(0, " + std::to_string(kTrayIconRecordSize) + ", " +
                                       h(app.mainWindow) +
                                       ", 100, 7, 1025, \"Corvane Tool 2.6 - Left click to enter capture mode\")"});
    EXPECT_EQ(sim::log().size(), 1u) << "nothing else changes";
    EXPECT_EQ(send(platform::WM_QUERYENDSESSION), 1);
    EXPECT_EQ(stateOf(), state);
  }
  // Exit takes the icon away first, then its image; a later announcement brings back nothing.
  startIdle();
  const std::string image = h(trayIcon().record().hIcon);
  send(platform::WM_COMMAND, IDM_EXIT);
  auto exit = callsOf({"Shell_NotifyIconW", "DestroyIcon", "DestroyWindow"});
  ASSERT_EQ(exit.size(), 3u);
  EXPECT_TRUE(exit[0].starts_with("Shell_NotifyIconW(2, "));
  EXPECT_EQ(exit[1], "DestroyIcon(" + image + ")");
  sim::log().clear();
  mainWindowProc(app.mainWindow, 0xC0DE, 0, 0);
  EXPECT_EQ(sim::count("Shell_NotifyIconW"), 0);
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
    sim::queueMessage(main, UM_TRAYICON, 0, platform::WM_RBUTTONUP);
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

// Start-up, the message loop's hot-key guards, the windows, the tray icon, the
// tray menu and its commands.
#include <algorithm>
#include <functional>
#include <tuple>
#include "app/hotkeys.h"
#include "net/service_address.h"
#include "net/version_check.h"
#include "tests/unit/shell_fixture.h"

namespace corvane::testing {
namespace {

std::vector<char16_t*> argsOf(std::vector<std::u16string>& storage) {
  std::vector<char16_t*> args;
  for (auto& s : storage) args.push_back(s.data());
  args.push_back(nullptr);
  return args;
}

TEST(StartUp, ArgumentCountDecidesTheRunAndItsExitCode) {
  const char16_t* const refusal = u"Only one image at a time can be dropped!";
  const char16_t* const unreadable = u"Could not convert image";  // the dropped files do not exist
  // The arguments as the platform parsed the command line; the command line
  // itself where it matters (after reset: the module path C:\Tools\corvane.exe, quoted).
  struct Case {
    std::vector<std::u16string> args;
    int exitCode;
    const char16_t* box;  // the message box shown; null: none
    bool resident;        // windows, tray icon and hot keys up while the loop waits
    bool com;             // the apartment entered while the run waits for the user
    bool settingsLoaded;
    std::function<void()> before = [] {};
    std::u16string commandLine = {}, modulePath = {};
  } cases[] = {
      {{u"C:\\Tools\\corvane.exe"}, 0, nullptr, true, true, true},
      {{u"C:\\Tools\\corvane.exe", u"C:\\My Pictures\\a b.png"}, 1, unreadable, false, true, false},
      {{u"C:\\Tools\\corvane.exe", u"a.png", u"b.png"}, 1, refusal, false, false, false},
      {{u"C:\\Tools\\corvane.exe", u"a", u"b", u"c", u"d"}, 1, refusal, false, false, false},
      // A bare Run value of an earlier build, split at its blanks: the resident run.
      {{u"C:\\Users\\Ann", u"Lee\\Tools\\corvane.exe"}, 0, nullptr, true, true, true, [] {},
       u"C:\\Users\\Ann Lee\\Tools\\corvane.exe", u"C:\\Users\\Ann Lee\\Tools\\corvane.exe"},
      {{u"C:\\Program", u"Files\\Corvane", u"Tool\\corvane.exe"}, 0, nullptr, true, true, true, [] {},
       u"c:\\program files\\corvane tool\\CORVANE.EXE ", u"C:\\Program Files\\Corvane Tool\\corvane.exe"},
      // A file dropped on an executable whose path has no blank is still a file.
      {{u"C:\\Tools\\corvane.exe", u"C:\\a.png"}, 1, unreadable, false, true, false, [] {},
       u"C:\\Tools\\corvane.exe C:\\a.png"},
      // Autostart and a click on the executable: the later start ends at once,
      // with no window, no icon, no hot key and no setting written...
      {{u"corvane.exe"}, 0, nullptr, false, false, false, [] { sim::holdMutexElsewhere(u"Local\\Corvane.Tool.Resident"); }},
      // ...and a dropped file is its own short run all the same.
      {{u"C:\\Tools\\corvane.exe", u"C:\\a.png"}, 1, unreadable, false, true, false,
       [] { sim::holdMutexElsewhere(u"Local\\Corvane.Tool.Resident"); }},
      // No main window: the run ends before anything that needs COM.
      {{u"corvane.exe"}, 0, nullptr, false, false, true, [] { sim::script("CreateWindowExW", 0); }},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(sim::utf8(c.commandLine) + " " + std::to_string(c.args.size()) + (c.box ? " " + sim::utf8(c.box) : ""));
    sim::reset();
    UseServiceAddress(u"");
    sim::regPutString(kSettingsKey, u"service", u"https://a.b");
    if (!c.commandLine.empty()) sim::setCommandLine(c.commandLine);
    if (!c.modulePath.empty()) sim::setModulePath(c.modulePath);
    c.before();
    // What the program had up each time it waited for the user: boxes, windows,
    // tray icons, the capture key, the COM apartment.
    using Seen = std::tuple<std::size_t, bool, bool, bool, int, std::uint32_t>;
    std::vector<Seen> seen;
    sim::whileWaiting([&seen] {
      seen.emplace_back(sim::boxes().size(), !sim::windows().empty(), !sim::trayIcons().empty(),
                        sim::hotKeyRegistered(HOTKEY_CAPTURE), sim::comApartment().entered, sim::comApartment().flags);
    });
    auto args = argsOf(c.args);
    EXPECT_EQ(runCorvane(sim::handle<platform::Hinstance>(), static_cast<int>(c.args.size()), args.data()),
              c.exitCode);

    // Relative paths count from the executable's folder.
    const std::u16string module = c.modulePath.empty() ? u"C:\\Tools\\corvane.exe" : c.modulePath;
    EXPECT_EQ(sim::utf8(sim::currentDirectory()), sim::utf8(module.substr(0, module.rfind(u'\\'))));
    ASSERT_EQ(sim::boxes().size(), c.box ? 1u : 0u);
    if (c.box) {
      EXPECT_EQ(sim::boxes()[0], (sim::Box{nullptr, c.box, u"Error", platform::MB_ICONERROR}));
    }
    // One wait for the user: the loop of the resident run, else the box.
    const std::uint32_t apartment = platform::COINIT_APARTMENTTHREADED | platform::COINIT_DISABLE_OLE1DDE;
    const Seen waited{c.box ? 1u : 0u, c.resident, c.resident, c.resident, c.com ? 1 : 0, c.com ? apartment : 0u};
    EXPECT_EQ(seen, c.resident || c.box ? std::vector<Seen>{waited} : std::vector<Seen>{});
    // COM is left at the end, and loaded once the tray icon shows: not before, it costs the icon time.
    EXPECT_EQ(sim::comApartment().entered, 0);
    EXPECT_EQ(sim::comApartment().trayIconsAtLoad, c.com ? std::optional<std::size_t>(c.resident ? 1 : 0) : std::nullopt);
    EXPECT_FALSE(sim::hotKeyRegistered(HOTKEY_CAPTURE));
    EXPECT_EQ(sim::windows().empty(), !c.resident);
    // The service address is read before the dropped file goes, so that it goes where captures go.
    EXPECT_EQ(ServiceLinkPrefix(), c.box == refusal ? "http://" + sim::utf8(kServiceHost) + "/" : "https://a.b/");
    EXPECT_EQ(sim::regValueNames(kSettingsKey).size() > 1, c.settingsLoaded) << "settings loaded";
    EXPECT_EQ(sim::regHasKey(kRunKey), false);
  }
  UseServiceAddress(u"");
}

// The tray icon is up before the hot keys are taken, so that a key held
// elsewhere is told in its balloon; the windows wait parked and hidden, the
// version check runs on its own thread (its handle not kept), and what the run
// held is given back when the loop ends.
TEST(StartUp, AResidentRunTellsOfAKeyHeldElsewhereAndGivesBackWhatItHeld) {
  sim::reset();
  sim::holdHotKeyElsewhere(platform::MOD_ALT, 'F');
  bool captureKeyHeld = false, fileKeyHeld = true;
  sim::whileWaiting([&] {
    captureKeyHeld = sim::hotKeyRegistered(HOTKEY_CAPTURE);
    fileKeyHeld = sim::hotKeyRegistered(HOTKEY_FILEUPLOAD);
  });
  std::vector<std::u16string> storage{u"corvane.exe"};
  auto args = argsOf(storage);
  ASSERT_EQ(runCorvane(sim::handle<platform::Hinstance>(), 1, args.data()), 0);
  ASSERT_EQ(sim::balloons().size(), 1u);
  EXPECT_EQ(sim::balloons()[0].text, u"Alt+F is used by another program. File upload is still in the tray menu.");
  EXPECT_TRUE(captureKeyHeld) << "the key that is free is had all the same";
  EXPECT_FALSE(fileKeyHeld);
  EXPECT_FALSE(sim::hotKeyRegistered(HOTKEY_CAPTURE));
  EXPECT_FALSE(sim::hotKeyRegistered(HOTKEY_FILEUPLOAD));
  const auto parked = sim::windowRect(app.selectionWindow);
  EXPECT_EQ((std::vector<int>{parked.left, parked.top, parked.right, parked.bottom}), (std::vector<int>{0, 0, 1, 1}));
  EXPECT_FALSE(sim::windowVisible(app.selectionWindow));
  EXPECT_FALSE(sim::windowVisible(app.mainWindow));
  ASSERT_TRUE(settings.versionCheck);  // a first start switches it on
  ASSERT_EQ(sim::threads().size(), 1u);
  const sim::ThreadMade thread = sim::threads()[0];
  EXPECT_EQ(std::tuple(thread.start, thread.parameter, thread.handleOpen),
            std::tuple(&VersionCheckThread, static_cast<void*>(app.mainWindow), false));
  EXPECT_EQ(sim::regKeysOpen(), 0);
}

TEST(Windows, ClassesWindowsAndTrayIcon) {
  sim::reset();
  auto instance = sim::handle<platform::Hinstance>();
  registerWindowClasses(instance);
  ASSERT_TRUE(createWindows(instance));
  using platform::WS_EX_TOOLWINDOW, platform::WS_EX_NOACTIVATE;
  struct Row {
    platform::Hwnd window;
    std::u16string className;
    platform::WindowProc proc;
    std::uint32_t classStyle;
    platform::Hgdiobj background;
    std::uint32_t exStyle;
    std::vector<int> rect;
    platform::Hwnd owner;
  } rows[] = {
      // No background brush: the desktop snapshot is all the main window shows.
      {app.mainWindow, u"ZURAZIZIZIZAR", mainWindowProc, 0, nullptr,
       platform::WS_EX_TOPMOST | platform::WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, {0, 0, 0, 0},
       nullptr},
      {app.selectionWindow, u"VOVIDEDIDIZEZA", selectionWindowProc, platform::CS_HREDRAW | platform::CS_VREDRAW,
       platform::GetStockObject(platform::WHITE_BRUSH), platform::WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
       {100, 100, 400, 400}, app.mainWindow},
  };
  const auto windows = sim::windows();
  ASSERT_EQ(windows.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const Row& r = rows[i];
    const sim::WindowMade& w = windows[i];
    SCOPED_TRACE(sim::utf8(r.className));
    const auto cls = sim::windowClass(r.className);
    ASSERT_TRUE(cls);
    EXPECT_EQ(std::tuple(cls->proc, cls->style, cls->background, cls->instance),
              std::tuple(r.proc, r.classStyle, r.background, instance));
    // The program's icon and the crosshair, from the executable.
    EXPECT_EQ(sim::imageOf(cls->icon), (sim::Image{instance, 132, 0}));
    EXPECT_EQ(sim::imageOf(cls->cursor), (sim::Image{instance, 2002, 0}));
    EXPECT_EQ(std::tuple(w.handle, w.className, w.exStyle, w.style, w.owner, w.instance),
              std::tuple(r.window, r.className, r.exStyle, platform::WS_POPUP, r.owner, instance));
    EXPECT_EQ((std::vector<int>{w.rect.left, w.rect.top, w.rect.right, w.rect.bottom}), r.rect);
    EXPECT_FALSE(sim::windowVisible(w.handle));
  }
  // Red is see-through, the rest at 100 of 255.
  EXPECT_EQ(std::tuple(windows[1].colorKey, windows[1].alpha, windows[1].layeredFlags),
            std::tuple(platform::Rgb(255, 0, 0), 100u, platform::LWA_COLORKEY | platform::LWA_ALPHA));
  // An elevated run still hears of a restarted shell.
  EXPECT_EQ(windows[0].letThrough, std::vector<std::uint32_t>{app.taskbarCreated});

  // The tray record: 64-bit size up to guidItem, no balloon icon.
  EXPECT_EQ(kTrayIconRecordSize, sizeof(void*) == 8 ? 968u : 952u);
  ASSERT_EQ(sim::trayIcons().size(), 1u);
  const sim::TrayIconShown icon = sim::trayIcons()[0];
  EXPECT_EQ(std::tuple(icon.recordSize, icon.window, icon.id, icon.flags, icon.callbackMessage, icon.tip, icon.version),
            std::tuple(kTrayIconRecordSize, app.mainWindow, kTrayIconId,
                       platform::NIF_MESSAGE | platform::NIF_ICON | platform::NIF_TIP, UM_TRAYICON,
                       std::u16string(u"Corvane Tool 2.6 - Left click to enter capture mode"), 4));
  ASSERT_TRUE(sim::imageOf(icon.image));
  EXPECT_EQ(sim::imageOf(icon.image)->resource, 132u);  // at the taskbar's size: see the TrayIcon tests
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
    sim::queueMessage(nullptr, platform::WM_HOTKEY, c.id, 0);
    EXPECT_EQ(runMessageLoop(), 0);
    EXPECT_EQ(nameOf(stateOf()), nameOf(c.next));
    EXPECT_EQ(sim::openDialog().title.empty(), !c.dialog);
    EXPECT_EQ(sim::windowVisible(app.mainWindow), c.next == State::Waiting || c.next == State::Dragging);
    EXPECT_EQ(sim::hotKeyRegistered(HOTKEY_ESCAPE), c.next == State::Waiting);
  }
}

// What a window of our own was given, as its procedure saw it.
std::vector<std::pair<std::uint32_t, platform::Wparam>> g_received;
platform::Lresult receivingProc(platform::Hwnd, std::uint32_t message, platform::Wparam wParam, platform::Lparam) {
  g_received.emplace_back(message, wParam);
  return 0;
}

// A window of ours (the mark-up window) gets its messages from this loop, a
// typed key with its character; the quit message ends the loop with its code.
TEST(MessageLoop, DeliversMessagesWithTheirCharactersAndReturnsTheQuitCode) {
  startIdle();
  platform::WndClass wc{};
  wc.lpfnWndProc = receivingProc;
  wc.lpszClassName = u"Receiving";
  platform::RegisterClassW(&wc);
  const auto window = platform::CreateWindowExW(0, u"Receiving", nullptr, platform::WS_POPUP, 0, 0, 10, 10, nullptr,
                                                nullptr, nullptr, nullptr);
  g_received.clear();
  sim::queueMessage(window, platform::WM_KEYDOWN, 'Q', 0);
  EXPECT_EQ(runMessageLoop(), 0);
  using Got = std::vector<std::pair<std::uint32_t, platform::Wparam>>;
  EXPECT_EQ(g_received, (Got{{platform::WM_KEYDOWN, 'Q'}, {platform::WM_CHAR, 'q'}}));

  g_received.clear();
  sim::queueMessage(nullptr, platform::WM_QUIT, 7, 0);
  sim::queueMessage(window, platform::WM_MOUSEMOVE, 0, 0);  // never read
  EXPECT_EQ(runMessageLoop(), 7);
  EXPECT_EQ(g_received, Got{});
  EXPECT_EQ(sim::queuedMessages(), 1u);

  startIdle();
  sim::script("GetMessageW", -1);
  EXPECT_EQ(runMessageLoop(), 1) << "a loop that cannot read messages ends";
}

// --- the tray menu ------------------------------------------------------------

// The entries of the last menu shown, as "flags label".
std::vector<std::string> shownMenu() {
  if (sim::shownMenus().empty()) return {};
  std::vector<std::string> shown;
  for (const sim::MenuItem& item : sim::shownMenus().back().items)
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
    ASSERT_EQ(sim::shownMenus().size(), 1u);
    const std::string recent = std::to_string(platform::MF_BYPOSITION | platform::MF_POPUP) + " Recent &uploads";
    EXPECT_EQ(shownMenu(), (std::vector<std::string>{mark(c.versionCheck) + " Autoupdate", mark(c.autostart) + " &Autostart",
                                               mark(c.quickCapture) + " &Quick capture", "1024 &Set save path",
                                               "1024 Se&ttings...", "2048 ", "1024 &File upload      (ALT+ F)",
                                               "1024 &Capture mode (ALT+ C)", recent, "2048 ", "1024 &Exit"}));
    // Its bottom at the anchor, our window in the foreground (else a click
    // elsewhere leaves it open), and a message after it, or the next menu
    // misbehaves; the menu and its submenu are gone once it closed.
    const sim::ShownMenu& shown = sim::shownMenus()[0];
    EXPECT_EQ(std::tuple(shown.at.x, shown.at.y, shown.flags, shown.owner, shown.foreground),
              std::tuple(400, 300, platform::TPM_BOTTOMALIGN, app.mainWindow, app.mainWindow));
    EXPECT_EQ(std::tuple(sim::queuedMessages(), sim::queuedMessages(false)), std::tuple(1u, 0u)) << "one WM_NULL";
    EXPECT_EQ(sim::menusHeld(), 0);
    EXPECT_EQ(stateOf(), State::Idle);
  }

  startIdle();
  sim::script("CreatePopupMenu", 0);
  EXPECT_EQ(send(UM_TRAYICON, 0, kTrayMenuEvent), 0);
  EXPECT_TRUE(sim::shownMenus().empty());
  EXPECT_EQ(sim::menusHeld(), 0);
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
    ASSERT_EQ(app.taskbarCreated, 0xC0DEu);  // the number the simulation gives "TaskbarCreated"
    reach(state);
    const auto oldImage = sim::iconsHeld();
    sim::restartShell();
    EXPECT_EQ(send(0xC0DE), 0);
    // Shown again in the shell's current behaviour, with a fresh image; the old one is gone.
    const auto icons = sim::trayIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].version, 4);
    EXPECT_EQ(sim::iconsHeld(), std::vector<platform::Hicon>{icons[0].image});
    EXPECT_NE(sim::iconsHeld(), oldImage);
    EXPECT_EQ(send(platform::WM_QUERYENDSESSION), 1);
    EXPECT_EQ(stateOf(), state);
  }
  // Exit takes the icon away with its image; a later announcement brings back nothing.
  startIdle();
  send(platform::WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(sim::iconsHeld(), std::vector<platform::Hicon>{});
  mainWindowProc(app.mainWindow, 0xC0DE, 0, 0);
  EXPECT_TRUE(sim::trayIcons().empty());
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
    for (int tick = 1; tick <= r.refusals; ++tick) {
      EXPECT_EQ(sim::trayIconVersion(app.mainWindow, kTrayIconId), -1);
      EXPECT_TRUE(sim::timerRunning(app.mainWindow, 1));
      send(platform::WM_TIMER, 1);
    }
    EXPECT_EQ(sim::trayIconVersion(app.mainWindow, kTrayIconId), 4);
    EXPECT_FALSE(sim::timerRunning(app.mainWindow, 1));
    ASSERT_EQ(sim::iconsHeld().size(), 1u) << "one image, however often the shell is asked";
    EXPECT_EQ(sim::iconsHeld()[0], sim::trayIcons()[0].image);
    EXPECT_EQ(sim::imageOf(sim::iconsHeld()[0])->size, r.size);
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
    EXPECT_EQ(sim::shownMenus().size(), 1u);
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
    if (!c.balloon.empty()) {
      EXPECT_EQ(sim::balloons()[0].text, c.balloon);
    }
    EXPECT_EQ(sim::hotKeyRegistered(HOTKEY_CAPTURE), c.heldElsewhere.empty());
    if (c.heldElsewhere.empty()) {
      EXPECT_EQ(sim::hotKeyOf(HOTKEY_CAPTURE), std::make_pair(platform::MOD_ALT, std::uint32_t{'C'}));
      EXPECT_FALSE(sim::hotKeyRepeats(HOTKEY_CAPTURE)) << "held down, one capture, not one after another";
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

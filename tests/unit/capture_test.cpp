// The main window's states and events, the selection, the region grab, the
// post-selection menu and finishSelection, and what capture mode holds and frees.
#include <algorithm>
#include <functional>
#include "tests/unit/shell_fixture.h"
#include "desktop/clipboard.h"

namespace corvane::testing {
namespace {
using platform::WM_COMMAND;
using platform::WM_LBUTTONDOWN;
using platform::WM_LBUTTONUP;
using platform::WM_MOUSEMOVE;
using platform::WM_RBUTTONDOWN;

void hotKey(int id) {
  sim::queueMessage(nullptr, platform::WM_HOTKEY, id, 0);
  runMessageLoop();
}
// Encoding fails, so nothing goes on to the upload and what was chosen stays readable.
void failEncoding() {
  for (int i = 0; i < 4; ++i) sim::script("GdiplusStartup", 2);
}
// Whether the main window passed a message (any, when 0) to the default handling.
bool defaultHandled(std::uint32_t message) {
  for (const auto& c : sim::log())
    if (c.name == "DefWindowProcW" && c.args[0] == h(app.mainWindow) &&
        (message == 0 || c.args[1] == std::to_string(message)))
      return true;
  return false;
}

// The areas copied to the full-screen window, in the order of the log: from
// the snapshot where nothing lies over the desktop, else from the canvas.
std::vector<platform::Rect> shownAreas() {
  std::vector<platform::Rect> areas;
  const std::string snapshot = h(capture().snapshotDc());
  for (const auto& c : sim::log())
    if (c.name == "BitBlt" && c.args[0] != snapshot) {
      const int x = std::stoi(c.args[1]), y = std::stoi(c.args[2]);
      areas.push_back({x, y, x + std::stoi(c.args[3]), y + std::stoi(c.args[4])});
    }
  return areas;
}

// How often each pixel of a 1920 x 1080 window was copied to, by shownAreas().
std::vector<std::uint8_t> timesShown() {
  std::vector<std::uint8_t> times(1920 * 1080);
  for (const platform::Rect& a : shownAreas())
    for (int y = std::max(a.top, 0); y < std::min(a.bottom, 1080); ++y)
      for (int x = std::max(a.left, 0); x < std::min(a.right, 1920); ++x) ++times[y * 1920 + x];
  return times;
}

int firstIndexOf(std::string_view prefix) {
  for (std::size_t i = 0; i < sim::log().size(); ++i)
    if (sim::log()[i].name.starts_with(prefix)) return static_cast<int>(i);
  return -1;
}

// Puts a message in the queue that the next modal loop (dialog, menu, message
// box) dispatches while it runs, then runs what opens that loop.
std::function<void()> during(std::uint32_t m, platform::Wparam w, platform::Lparam l, std::function<void()> opener) {
  return [=] {
    sim::queueMessage(app.mainWindow, m, w, l);
    opener();
  };
}

TEST(CaptureStates, EveryRowOfTheTable) {
  // What the user sees and what is held once the event has been handled.
  struct Outcome {
    State next;
    bool mainShown = false, escape = false, captured = false;
    bool byDefault = false;  // the row's message went to the default handling
    bool snapshot = false, grab = false;
    bool copyRequested = false;  // the next upload keeps a copy in the save folder
    bool ended = false;          // the session ended: the tray icon is gone and the run ends
  };
  struct Row {
    const char* name;
    State from;
    bool quick = false;
    std::function<void()> event;
    std::uint32_t message = 0;  // the message whose default handling is checked
    bool encodes = false;       // else the encoding fails, so nothing goes on to an upload
    Outcome then;
  };
  auto msg = [](std::uint32_t m, platform::Wparam w = 0, platform::Lparam l = 0) {
    return [=] { send(m, w, l); };
  };
  auto menu = [](int choice) {
    return [=] {
      if (choice >= 0) sim::script("TrackPopupMenu", choice);
      send(WM_LBUTTONUP, 0, point(140, 80));
    };
  };
  auto noMenu = [] {
    sim::script("CreatePopupMenu", 0);
    send(WM_LBUTTONUP, 0, point(140, 80));
  };
  const auto trayClick = msg(UM_TRAYICON, 0, WM_LBUTTONUP);
  // Capture requests of every kind, queued while the thread does not read messages.
  auto queueRequests = [] {
    sim::queueMessage(nullptr, platform::WM_HOTKEY, HOTKEY_CAPTURE, 0);
    sim::queueMessage(app.mainWindow, UM_TRAYICON, 0, WM_LBUTTONUP);
    sim::queueMessage(nullptr, platform::WM_HOTKEY, HOTKEY_CAPTURE, 0);
  };
  // ... then what the loop reads once the busy state has ended.
  auto queuedThen = [=](std::function<void()> busyEnds) {
    return [=] {
      queueRequests();
      busyEnds();
      runMessageLoop();
    };
  };
  const auto sessionEnds = msg(platform::WM_ENDSESSION, 1);
  const Row rows[] = {
      {.name = "idle: hot key 1", .from = State::Idle, .event = [] { hotKey(1); }, .then = {.next = State::Waiting, .mainShown = true, .escape = true, .snapshot = true}},
      {.name = "idle: tray left click", .from = State::Idle, .event = trayClick, .then = {.next = State::Waiting, .mainShown = true, .escape = true, .snapshot = true}},
      {.name = "idle: tray capture command", .from = State::Idle, .event = msg(WM_COMMAND, IDM_CAPTURE), .then = {.next = State::Waiting, .mainShown = true, .escape = true, .snapshot = true}},
      {.name = "idle: hot key 3", .from = State::Idle, .event = [] { hotKey(3); }, .then = {.next = State::Idle}},
      {.name = "idle: tray file upload", .from = State::Idle, .event = msg(WM_COMMAND, IDM_FILEUPLOAD), .then = {.next = State::Idle}},
      {.name = "idle: tray right click", .from = State::Idle, .event = msg(UM_TRAYICON, 0, kTrayMenuEvent), .then = {.next = State::Idle}},
      {.name = "idle: tray capture, high bits set", .from = State::Idle, .event = msg(WM_COMMAND, 0x10000 | IDM_CAPTURE), .then = {.next = State::Waiting, .mainShown = true, .escape = true, .snapshot = true}},
      {.name = "idle: unknown command", .from = State::Idle, .event = msg(WM_COMMAND, 7), .then = {.next = State::Idle}},
      {.name = "idle: other tray event", .from = State::Idle, .event = msg(UM_TRAYICON, 0, WM_LBUTTONDOWN), .message = UM_TRAYICON, .then = {.next = State::Idle, .byDefault = true}},
      {.name = "idle: mouse", .from = State::Idle, .event = msg(WM_LBUTTONDOWN), .message = WM_LBUTTONDOWN, .then = {.next = State::Idle, .byDefault = true}},
      {.name = "idle: release", .from = State::Idle, .event = msg(WM_LBUTTONUP), .message = WM_LBUTTONUP, .then = {.next = State::Idle, .byDefault = true}},
      // One of our modal loops runs: no capture request nests inside it.
      {.name = "open dialog: tray left click", .from = State::Idle, .event = during(UM_TRAYICON, 0, WM_LBUTTONUP, msg(UM_FILEUPLOAD)), .message = UM_TRAYICON, .then = {.next = State::Idle, .byDefault = true}},
      {.name = "open dialog: tray capture command", .from = State::Idle, .event = during(WM_COMMAND, IDM_CAPTURE, 0, msg(WM_COMMAND, IDM_FILEUPLOAD)), .then = {.next = State::Idle}},
      {.name = "folder browser: tray left click", .from = State::Idle, .event = during(UM_TRAYICON, 0, WM_LBUTTONUP, msg(WM_COMMAND, IDM_SAVEPATH)), .message = UM_TRAYICON, .then = {.next = State::Idle, .byDefault = true}},
      {.name = "tray menu: tray left click", .from = State::Idle, .event = during(UM_TRAYICON, 0, WM_LBUTTONUP, msg(UM_TRAYICON, 0, kTrayMenuEvent)), .message = UM_TRAYICON, .then = {.next = State::Idle, .byDefault = true}},
      {.name = "busy: tray left click", .from = State::Busy, .event = trayClick, .message = UM_TRAYICON, .then = {.next = State::Busy, .byDefault = true}},
      {.name = "busy: tray capture command", .from = State::Busy, .event = msg(WM_COMMAND, IDM_CAPTURE), .then = {.next = State::Busy}},
      {.name = "busy: tray file upload", .from = State::Busy, .event = msg(WM_COMMAND, IDM_FILEUPLOAD), .then = {.next = State::Busy}},
      {.name = "busy: tray right click", .from = State::Busy, .event = msg(UM_TRAYICON, 0, kTrayMenuEvent), .then = {.next = State::Busy}},
      // Requests queued while busy are dropped when it ends, not served late.
      {.name = "busy: requests queued, then it ends", .from = State::Busy, .event = queuedThen([] { capture().handle(CaptureEvent::ModalEnd); }), .then = {.next = State::Idle}},
      {.name = "upload: requests queued meanwhile", .from = State::Dragging, .quick = true, .event = queuedThen([] {
         sim::scriptHttp({u"200", {"http://corvane.net/abc"}, false});
         send(WM_LBUTTONUP, 0, point(30, 40));
       }), .encodes = true, .then = {.next = State::Idle}},
      {.name = "no screen: requests queued meanwhile", .from = State::Idle, .event = queuedThen([] {
         sim::script("CreateDIBSection", 0);
         sim::script("MessageBoxW", 1);
         capture().handle(CaptureEvent::Start);
       }), .message = UM_TRAYICON, .then = {.next = State::Idle, .byDefault = true}},
      // The session ends: nothing stays on screen, held or on disk, and the run ends.
      {.name = "idle: session ends", .from = State::Idle, .event = sessionEnds, .then = {.next = State::Idle, .ended = true}},
      {.name = "waiting: session ends", .from = State::Waiting, .event = sessionEnds, .then = {.next = State::Idle, .ended = true}},
      {.name = "dragging: session ends", .from = State::Dragging, .event = sessionEnds, .then = {.next = State::Idle, .ended = true}},
      {.name = "dialog: session ends", .from = State::Idle, .event = during(platform::WM_ENDSESSION, 1, 0, msg(UM_FILEUPLOAD)), .then = {.next = State::Idle, .ended = true}},
      {.name = "menu: session ends, then Upload", .from = State::Dragging, .event = during(platform::WM_ENDSESSION, 1, 0, menu(IDM_UPLOAD)), .then = {.next = State::Idle, .ended = true}},
      {.name = "message box: session ends", .from = State::Dragging, .quick = true, .event = during(platform::WM_ENDSESSION, 1, 0, msg(WM_LBUTTONUP, 0, point(30, 40))), .then = {.next = State::Idle, .ended = true}},
      {.name = "ended: a later request", .from = State::Idle, .event = [=] { sessionEnds(); hotKey(HOTKEY_CAPTURE); }, .then = {.next = State::Idle, .ended = true}},
      {.name = "waiting: the session end is called off", .from = State::Waiting, .event = msg(platform::WM_ENDSESSION, 0), .then = {.next = State::Waiting, .mainShown = true, .escape = true, .snapshot = true}},
      // The mouse lost in the middle of a drag (a secure desktop, a prompt), or
      // the monitors changed: capture mode ends, and the next request begins it again.
      {.name = "dragging: another window takes the mouse", .from = State::Dragging, .event = [] { sim::takeCapture(sim::handle<platform::Hwnd>()); }, .then = {.next = State::Idle}},
      {.name = "dragging: mouse lost, then Alt+C", .from = State::Dragging, .event = [] { sim::takeCapture(sim::handle<platform::Hwnd>()); hotKey(1); }, .then = {.next = State::Waiting, .mainShown = true, .escape = true, .snapshot = true}},
      {.name = "dragging: the system cancels our mode", .from = State::Dragging, .event = msg(platform::WM_CANCELMODE), .then = {.next = State::Idle}},
      {.name = "waiting: the system cancels our mode", .from = State::Waiting, .event = msg(platform::WM_CANCELMODE), .then = {.next = State::Idle}},
      {.name = "dragging: the display changes", .from = State::Dragging, .event = msg(platform::WM_DISPLAYCHANGE), .then = {.next = State::Idle}},
      {.name = "waiting: the display changes", .from = State::Waiting, .event = msg(platform::WM_DISPLAYCHANGE), .then = {.next = State::Idle}},
      {.name = "idle: the display changes", .from = State::Idle, .event = msg(platform::WM_DISPLAYCHANGE), .message = platform::WM_DISPLAYCHANGE, .then = {.next = State::Idle, .byDefault = true}},
      {.name = "busy: a message box cancels the mode", .from = State::Busy, .event = msg(platform::WM_CANCELMODE), .message = platform::WM_CANCELMODE, .then = {.next = State::Busy, .byDefault = true}},
      {.name = "waiting: a key that is not ours", .from = State::Waiting, .event = msg(platform::WM_KEYDOWN, 'Q'), .then = {.next = State::Waiting, .mainShown = true, .escape = true, .snapshot = true}},
      {.name = "waiting: Escape", .from = State::Waiting, .event = [] { hotKey(4); }, .then = {.next = State::Idle}},
      {.name = "waiting: right click", .from = State::Waiting, .event = msg(WM_RBUTTONDOWN), .then = {.next = State::Idle}},
      {.name = "waiting: press", .from = State::Waiting, .event = msg(WM_LBUTTONDOWN, 0, point(5, 6)), .then = {.next = State::Dragging, .mainShown = true, .captured = true, .snapshot = true}},
      {.name = "waiting: move", .from = State::Waiting, .event = msg(WM_MOUSEMOVE, 0, point(5, 6)), .then = {.next = State::Waiting, .mainShown = true, .escape = true, .snapshot = true}},
      // A release without a press: the button went down before capture mode began.
      {.name = "waiting: release, Upload", .from = State::Waiting, .event = menu(IDM_UPLOAD), .then = {.next = State::Idle}},
      {.name = "waiting: release, dismissed", .from = State::Waiting, .event = menu(-1), .then = {.next = State::Idle}},
      {.name = "waiting: release, quick", .from = State::Waiting, .quick = true, .event = msg(WM_LBUTTONUP, 0, point(5, 6)), .then = {.next = State::Idle}},
      {.name = "waiting: hot key 1", .from = State::Waiting, .event = [] { hotKey(1); }, .then = {.next = State::Waiting, .mainShown = true, .escape = true, .snapshot = true}},
      {.name = "waiting: hot key 3", .from = State::Waiting, .event = [] { hotKey(3); }, .then = {.next = State::Waiting, .mainShown = true, .escape = true, .snapshot = true}},
      {.name = "waiting: tray click", .from = State::Waiting, .event = trayClick, .message = UM_TRAYICON, .then = {.next = State::Waiting, .mainShown = true, .escape = true, .byDefault = true, .snapshot = true}},
      {.name = "waiting: tray right click", .from = State::Waiting, .event = msg(UM_TRAYICON, 0, kTrayMenuEvent), .message = UM_TRAYICON, .then = {.next = State::Waiting, .mainShown = true, .escape = true, .byDefault = true, .snapshot = true}},
      {.name = "waiting: double click", .from = State::Waiting, .event = msg(platform::WM_LBUTTONDBLCLK), .message = platform::WM_LBUTTONDBLCLK, .then = {.next = State::Waiting, .mainShown = true, .escape = true, .byDefault = true, .snapshot = true}},
      {.name = "dragging: hot key 1", .from = State::Dragging, .event = [] { hotKey(1); }, .then = {.next = State::Dragging, .mainShown = true, .captured = true, .snapshot = true}},
      {.name = "dragging: hot key 3", .from = State::Dragging, .event = [] { hotKey(3); }, .then = {.next = State::Dragging, .mainShown = true, .captured = true, .snapshot = true}},
      {.name = "dragging: tray click", .from = State::Dragging, .event = trayClick, .message = UM_TRAYICON, .then = {.next = State::Dragging, .mainShown = true, .captured = true, .byDefault = true, .snapshot = true}},
      {.name = "dragging: move", .from = State::Dragging, .event = msg(WM_MOUSEMOVE, 0, point(30, 40)), .then = {.next = State::Dragging, .mainShown = true, .captured = true, .snapshot = true}},
      {.name = "dragging: right click", .from = State::Dragging, .event = msg(WM_RBUTTONDOWN), .then = {.next = State::Dragging, .mainShown = true, .captured = true, .snapshot = true}},
      {.name = "dragging: press again", .from = State::Dragging, .event = msg(WM_LBUTTONDOWN, 0, point(7, 8)), .then = {.next = State::Dragging, .mainShown = true, .captured = true, .snapshot = true}},
      {.name = "dragging: release, quick", .from = State::Dragging, .quick = true, .event = msg(WM_LBUTTONUP, 0, point(30, 40)), .then = {.next = State::Idle}},
      {.name = "dragging: release, no menu", .from = State::Dragging, .event = noMenu, .then = {.next = State::Waiting, .mainShown = true, .snapshot = true, .grab = true}},
      {.name = "menu: Upload", .from = State::Dragging, .event = menu(IDM_UPLOAD), .then = {.next = State::Idle}},
      // The encoding fails, so no copy step runs: the request for a copy stays for the next upload.
      {.name = "menu: Upload && Save", .from = State::Dragging, .event = menu(IDM_UPLOADSAVE), .then = {.next = State::Idle, .copyRequested = true}},
      {.name = "menu: Cancel", .from = State::Dragging, .event = menu(IDM_CANCEL), .then = {.next = State::Idle}},
      {.name = "menu: dismissed", .from = State::Dragging, .event = menu(-1), .then = {.next = State::Idle}},
      {.name = "menu: tray click meanwhile", .from = State::Dragging, .event = during(UM_TRAYICON, 0, WM_LBUTTONUP, menu(-1)), .message = UM_TRAYICON, .then = {.next = State::Idle, .byDefault = true}},
      {.name = "menu: hot key 1 meanwhile", .from = State::Dragging, .event = [&] { sim::queueMessage(nullptr, platform::WM_HOTKEY, 1, 0); menu(-1)(); }, .then = {.next = State::Idle}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    startIdle();
    reach(r.from);
    ASSERT_EQ(stateOf(), r.from);
    settings.quickCapture = r.quick;
    if (!r.encodes) failEncoding();
    sim::log().clear();
    r.event();
    const Outcome& o = r.then;
    EXPECT_EQ(nameOf(stateOf()), nameOf(o.next));
    EXPECT_EQ(sim::windowVisible(app.mainWindow), o.mainShown);
    // Shown over every other window, with the keyboard.
    if (o.mainShown) {
      EXPECT_TRUE(sim::windowTopmost(app.mainWindow));
      EXPECT_EQ(sim::foregroundWindow(), app.mainWindow);
    }
    EXPECT_EQ(sim::hotKeyRegistered(HOTKEY_ESCAPE), o.escape);
    EXPECT_EQ(sim::capturedWindow(), o.captured ? app.mainWindow : nullptr);
    EXPECT_EQ(defaultHandled(r.message), o.byDefault);
    EXPECT_EQ(capture().holdsSnapshot(), o.snapshot);
    EXPECT_EQ(capture().holdsGrab(), o.grab);
    if (!o.snapshot && !o.grab) {
      EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
    }
    EXPECT_EQ(capture().copyRequested(), o.copyRequested);
    // The selection shows only while a rectangle is dragged, drawn on the
    // full-screen window: the selection window stays parked.
    EXPECT_EQ(capture().selectionShown().has_value(), std::string(r.name) == "dragging: move");
    EXPECT_FALSE(sim::windowVisible(app.selectionWindow));
    // Paired resources: the wait cursor shown as often as hidden, the tray icon
    // and its image kept until the session ends, no temporary file left.
    const auto cursor = callsOf({"ShowCursor"});
    EXPECT_EQ(std::count(cursor.begin(), cursor.end(), "ShowCursor(1)"),
              std::count(cursor.begin(), cursor.end(), "ShowCursor(0)"));
    const auto tray = callsOf({"Shell_NotifyIconW"});
    EXPECT_EQ(std::count_if(tray.begin(), tray.end(), [](const std::string& c) { return c.starts_with("Shell_NotifyIconW(2,"); }),
              o.ended ? 1 : 0);
    EXPECT_EQ(sim::count("DestroyIcon"), o.ended ? 1 : 0);
    EXPECT_EQ(bool(trayIcon()), !o.ended);
    if (!o.grab) {
      EXPECT_EQ(sim::filesIn(u"C:\\Temp").size(), 0u);
    }
    // Nothing left over for a later loop to find; once the session ended, the process ends.
    EXPECT_EQ(sim::queuedMessages(false), 0u);  // a tray menu's trailing WM_NULL aside
    EXPECT_EQ(callsOf({"ExitProcess"}), o.ended ? std::vector<std::string>{"ExitProcess(0)"} : std::vector<std::string>{});
  }
}

// The menu returns its command: nothing it does can reach the tray's command
// handler, and a message that comes while it runs or after it changes nothing.
TEST(PostSelectionMenu, ItsCommandIsNeverTakenForATrayCommand) {
  struct Choice {
    const char* name;
    int id;  // -1: dismissed
    bool encoded;
  } choices[] = {{"Upload", static_cast<int>(IDM_UPLOAD), true},
                 {"Upload && Save", static_cast<int>(IDM_UPLOADSAVE), true},
                 {"Cancel", static_cast<int>(IDM_CANCEL), false},
                 {"dismissed", -1, false}};
  const std::uint32_t between[] = {platform::WM_NULL, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN, platform::WM_PAINT};
  for (const Choice& c : choices) {
    for (std::uint32_t m : between) {
      SCOPED_TRACE(::testing::Message() << c.name << ", then message " << m);
      startIdle();
      settings.quickCapture = false;
      reach(State::Dragging);
      failEncoding();
      sim::queueMessage(app.mainWindow, m, 0, point(3, 3));
      if (c.id >= 0) sim::script("TrackPopupMenu", c.id);
      send(WM_LBUTTONUP, 0, point(140, 80));
      runMessageLoop();  // whatever the menu's loop left
      const auto* track = sim::last("TrackPopupMenu");
      ASSERT_NE(track, nullptr);
      EXPECT_EQ(track->args[1], std::to_string(platform::TPM_BOTTOMALIGN | platform::TPM_RETURNCMD |
                                               platform::TPM_NONOTIFY));
      EXPECT_EQ(stateOf(), State::Idle);
      EXPECT_FALSE(sim::windowVisible(app.mainWindow));
      EXPECT_TRUE(sim::windowExists(app.mainWindow)) << "taken for Exit";
      EXPECT_EQ(sim::count("PostQuitMessage") + sim::count("Shell_NotifyIconW"), 0);
      EXPECT_EQ(sim::count("SHBrowseForFolderW") + sim::count("GetOpenFileNameW"), 0) << "taken for a tray command";
      EXPECT_EQ(sim::count("PostMessageW"), 0);
      EXPECT_EQ(sim::count("GdiplusStartup") > 0, c.encoded);
      EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
      EXPECT_FALSE(sim::hotKeyRegistered(HOTKEY_ESCAPE));
    }
  }
}

// Without a picture of the desktop there is no capture at all: the grab could
// only copy the live screen, where our own window lies.
TEST(Snapshot, WithoutOneTheUserIsToldAndNothingIsShownOrUploaded) {
  const char* failing[] = {"CreateDIBSection", "CreateCompatibleDC", "BitBlt"};
  for (const char* call : failing) {
    SCOPED_TRACE(call);
    startIdle();
    settings.quickCapture = true;
    sim::script(call, 0);
    hotKey(1);
    EXPECT_EQ(callsOf({"MessageBoxW"}),
              std::vector<std::string>{"MessageBoxW(null, \"Could not capture the screen\", \"Error\", 16)"});
    EXPECT_EQ(stateOf(), State::Idle);
    EXPECT_FALSE(called("ShowWindow(" + h(app.mainWindow) + ", 5)"));
    EXPECT_FALSE(sim::hotKeyRegistered(HOTKEY_ESCAPE));
    EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
    // A drag that follows reaches no capture mode: nothing is grabbed or sent.
    send(WM_LBUTTONDOWN, 0, point(10, 10));
    send(WM_LBUTTONUP, 0, point(20, 20));
    EXPECT_EQ(sim::count("GdipSaveImageToFile") + sim::count("HttpSendRequestW"), 0);
    // The next request finds the screen again.
    hotKey(1);
    EXPECT_EQ(stateOf(), State::Waiting);
  }
}

// The virtual screen is read as each capture begins; points are signed and
// moved by its origin, which lies left of and above the primary monitor when
// another monitor does.
TEST(Selection, FollowsTheDragNormalisedWithBothCornersIncluded) {
  struct Case {
    int originX, originY, startX, startY, endX, endY;  // client points of the full-screen window
    int left, top, width, height;                      // virtual screen
    int shotX, shotY, shotWidth, shotHeight;           // the picture's pixels in the snapshot
  } cases[] = {
      {0, 0, 10, 20, 110, 70, 10, 20, 101, 51, 10, 20, 101, 51},
      {0, 0, 110, 70, 10, 20, 10, 20, 101, 51, 10, 20, 101, 51},    // towards the top left
      {0, 0, 110, 20, 10, 70, 10, 20, 101, 51, 10, 20, 101, 51},
      {0, 0, 33, 44, 33, 44, 33, 44, 1, 1, 33, 44, 1, 1},           // a click without a drag
      {-1280, -200, 0, 0, 9, 4, -1280, -200, 10, 5, 0, 0, 10, 5},
      {-1280, -200, 1300, 250, 1250, 180, -30, -20, 51, 71, 1250, 180, 51, 71},  // across the primary's corner
      {0, 0, 3199, 1279, 3190, 1275, 3190, 1275, 10, 5, 3190, 1275, 10, 5},     // the last pixels
      // Dragged past the edge with the mouse captured: only what lies on the screen has pixels.
      {0, 0, 5, 6, -1, -2, -1, -2, 7, 9, 0, 0, 6, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.startX << "," << c.startY << " -> " << c.endX << "," << c.endY);
    startIdle();
    settings.quickCapture = false;
    // A first capture with the layout of start-up, then the monitors change.
    send(UM_CAPTURE);
    hotKey(HOTKEY_ESCAPE);
    for (int v : {c.originX, c.originY, 3200, 1280}) sim::script("GetSystemMetrics", v);
    send(UM_CAPTURE);
    auto main = sim::windowRect(app.mainWindow);
    EXPECT_EQ((std::vector<int>{main.left, main.top, main.right, main.bottom}),
              (std::vector<int>{c.originX, c.originY, c.originX + 3200, c.originY + 1280}));
    EXPECT_TRUE(std::any_of(sim::log().begin(), sim::log().end(), [](const sim::Call& call) {
      return call.name == "CreateDIBSection" && call.text().ends_with(", 3200, -1280, 32, 0)");
    })) << "a snapshot of the whole virtual screen";
    auto* const snapshotPixels = static_cast<std::uint8_t*>(sim::dibBitsIn(capture().snapshotDc()));
    send(WM_LBUTTONDOWN, 0, point(c.startX, c.startY));
    send(WM_MOUSEMOVE, 0, point(c.endX, c.endY));
    // A click shows no selection: it may yet take the window under it.
    const bool click = c.startX == c.endX && c.startY == c.endY;
    const auto shown = capture().selectionShown();
    EXPECT_EQ(shown.has_value(), !click);
    if (shown) {
      EXPECT_EQ((std::vector<int>{shown->left, shown->top, shown->right - shown->left + 1, shown->bottom - shown->top + 1}),
                (std::vector<int>{c.left, c.top, c.width, c.height}));
    }
    EXPECT_EQ(capture().selection().startX, c.startX + c.originX);
    EXPECT_EQ(capture().selection().endY, c.endY + c.originY);

    sim::script("CreatePopupMenu", 0);  // no menu: the grab stays to be looked at
    send(WM_LBUTTONUP, 0, point(c.endX, c.endY));
    ASSERT_TRUE(capture().holdsGrab());
    // The grab copies nothing: it holds no GDI object beside the snapshot's,
    // the canvas's and the label's font.
    EXPECT_EQ(sim::liveGdiObjects().size(), 5u);
    // The selection went at the release and is not left on screen.
    EXPECT_FALSE(capture().selectionShown());

    // Released again, with quick capture: the encoder reads the rectangle in
    // the snapshot's own rows, whose (0, 0) is the virtual screen's origin.
    settings.quickCapture = true;
    sim::log().clear();
    send(WM_LBUTTONUP, 0, point(c.endX, c.endY));
    const auto* picture = sim::last("GdipCreateBitmapFromScan0");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->args, (std::vector<std::string>{
                                 std::to_string(c.shotWidth), std::to_string(c.shotHeight), "12800",
                                 "139273",  // 32 bits: blue, green, red, unused
                                 sim::arg(static_cast<const void*>(snapshotPixels + c.shotY * 12800 + c.shotX * 4))}));
    EXPECT_EQ(sim::count("GdipSaveImageToFile"), 1);
  }
}

// A move repaints every pixel whose look it changes, so that no edge of the
// selection stays behind where it was, and little more than that: strips
// along the edges that moved, not the selection again.
TEST(Selection, AMoveRepaintsWhatChangedAndNoMore) {
  struct Row {
    const char* name;
    platform::Point press;
    std::vector<platform::Point> moves;  // the last one is checked
    int mostPainted;                     // pixels
  };
  const Row rows[] = {
      {"the first move", {100, 50}, {{400, 300}}, 302 * 252},
      {"larger by a few pixels", {100, 50}, {{400, 300}, {403, 302}}, 4 * 253 + 3 * 305},
      {"back smaller", {100, 50}, {{400, 300}, {380, 290}}, 22 * 252 + 12 * 302},
      {"over the press point to the top left", {300, 200}, {{400, 300}, {250, 150}}, 152 * 152},
      {"towards the top left, then further", {300, 200}, {{250, 150}, {245, 148}}, 7 * 55 + 4 * 57},
      {"only sideways", {100, 50}, {{400, 300}, {401, 300}}, 3 * 252},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    startIdle();
    send(UM_CAPTURE);
    send(WM_LBUTTONDOWN, 0, point(r.press.x, r.press.y));
    std::optional<platform::Rect> before;
    for (const auto& m : r.moves) {
      before = capture().selectionShown();
      sim::log().clear();
      send(WM_MOUSEMOVE, 0, point(m.x, m.y));
    }
    const auto after = capture().selectionShown();
    ASSERT_TRUE(after.has_value());
    // The look of one pixel with the selection where it was and where it is.
    auto look = [](const std::optional<platform::Rect>& s, int x, int y) {
      std::uint32_t p = 0x00C08040;
      if (s) DrawSelection(reinterpret_cast<std::uint8_t*>(&p), 4, {x, y, x + 1, y + 1},
                           {s->left, s->top, s->right + 1, s->bottom + 1});
      return p;
    };
    const std::vector<std::uint8_t> painted = timesShown();
    int count = 0;
    int stale = 0;
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 800; ++x) stale += look(before, x, y) != look(after, x, y) && !painted[y * 1920 + x];
    EXPECT_EQ(stale, 0) << "pixels left showing the selection as it was";
    // What the size label and the magnifier need aside.
    for (const platform::Rect& a : shownAreas()) count += (a.right - a.left) * (a.bottom - a.top);
    EXPECT_LE(count, r.mostPainted + 2 * (140 * 160) + 2 * (120 * 30));
  }
}

TEST(Snapshot, TakenBeforeTheWindowShowsAndPaintedByIt) {
  startIdle();
  send(UM_CAPTURE);
  const std::string snap = h(capture().snapshotDc()), main = h(app.mainWindow);
  const std::string screen = sim::log()[firstIndexOf("CreateCompatibleDC")].args[0];
  // The desktop is copied before our window covers it, and the window paints the copy.
  const int copied = firstIndexOf("BitBlt"), shown = firstIndexOf("SetWindowPos");
  EXPECT_EQ(sim::log()[copied].text(), "BitBlt(" + snap + ", 0, 0, 1920, 1080, " + screen + ", 0, 0, 1087111200)");  // with layered windows
  EXPECT_LT(copied, shown);
  // Every pixel of the window painted once as it shows, from the snapshot.
  const std::vector<std::uint8_t> times = timesShown();
  EXPECT_EQ(std::count(times.begin(), times.end(), 1), 1920 * 1080);
  const auto r = sim::windowRect(app.mainWindow);
  EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{0, 0, 1920, 1080}));
  EXPECT_TRUE(sim::windowVisible(app.mainWindow));
  EXPECT_EQ(sim::liveGdiObjects().size(), 3u) << "the snapshot's DC and bitmap, the label's font: no canvas before the press";
}

TEST(ReleaseHandling, MenuAtTheCursorWithUploadNearestToIt) {
  startIdle();
  reach(State::Dragging);
  settings.quickCapture = false;
  sim::log().clear();
  send(WM_LBUTTONUP, 0, point(140, 80));
  const std::string menu = sim::last("TrackPopupMenu")->args[0], main = h(app.mainWindow);
  const std::string at = "InsertMenuW(" + menu + ", 4294967295, ";
  // From the top; "Upload" and "Upload && Save" nearest the cursor as ever; no id is 0.
  EXPECT_EQ(callsOf({"InsertMenuW", "GetCursorPos", "SetForegroundWindow", "TrackPopupMenu", "DestroyMenu"}),
            (std::vector<std::string>{"GetCursorPos()", at + "1024, 3, \"Cancel\")", at + "2048, 0, null)",
                                      at + "1024, 6, \"&Mark up\")", at + "1024, 5, \"&Save\")", at + "1024, 4, \"&Copy\")", at + "2048, 0, null)",
                                      at + "1024, 2, \"Upload && Save\")", at + "1024, 1, \"Upload\")",
                                      "SetForegroundWindow(" + main + ")",
                                      "TrackPopupMenu(" + menu + ", 416, 400, 300, 0, " + main + ")",
                                      "DestroyMenu(" + menu + ")"}));
  // The grab came first.
  EXPECT_EQ(sim::names()[0], "ReleaseCapture");
  EXPECT_LT(firstIndexOf("GetTempFileNameW"), firstIndexOf("CreatePopupMenu"));
  EXPECT_EQ(sim::count("SetCursor"), 0);
}

TEST(ReleaseHandling, WithoutAMenuCaptureGoesOnAndTheNextGrabReplacesTheFirst) {
  startIdle();
  reach(State::Dragging);
  settings.quickCapture = false;
  sim::script("CreatePopupMenu", 0);
  send(WM_LBUTTONUP, 0, point(140, 80));
  ASSERT_EQ(stateOf(), State::Waiting);
  EXPECT_EQ(sim::count("InsertMenuW"), 0);
  EXPECT_FALSE(sim::hotKeyRegistered(HOTKEY_ESCAPE));
  ASSERT_EQ(sim::filesIn(u"C:\\Temp").size(), 1u);
  sim::log().clear();
  send(WM_LBUTTONDOWN, 0, point(10, 10));
  send(WM_LBUTTONUP, 0, point(20, 20));  // the menu is dismissed
  EXPECT_EQ(stateOf(), State::Idle);
  EXPECT_EQ(sim::count("GetTempFileNameW"), 1);
  EXPECT_EQ(sim::count("DeleteFileW"), 2) << "the first grab's file and the second's";
  EXPECT_EQ(sim::filesIn(u"C:\\Temp").size(), 0u);
  EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
}

TEST(PostSelection, AChoiceIsUploadedWhileTheWindowStillShowsTheDesktop) {
  for (std::uint32_t id : {IDM_UPLOAD, IDM_UPLOADSAVE}) {
    startIdle();
    reach(State::Dragging);
    settings.quickCapture = false;
    failEncoding();
    sim::script("TrackPopupMenu", id);
    // A tray click that reaches the window while the message box is up starts
    // no second capture inside this one.
    sim::script("MessageBoxW", 1);
    send(WM_LBUTTONUP, 0, point(140, 80));
    EXPECT_EQ(stateOf(), State::Idle);
    EXPECT_FALSE(shownAreas().empty()) << "the window shown for the upload paints the snapshot";
  }
  startIdle();
  reach(State::Dragging);
  settings.quickCapture = true;
  failEncoding();
  sim::log().clear();
  // Dispatched by the message box's loop, while the upload's work runs.
  sim::queueMessage(app.mainWindow, UM_TRAYICON, 0, WM_LBUTTONUP);
  send(WM_LBUTTONUP, 0, point(140, 80));
  EXPECT_TRUE(defaultHandled(UM_TRAYICON));
  EXPECT_EQ(sim::count("RegisterHotKey"), 0);
  EXPECT_EQ(stateOf(), State::Idle);
  EXPECT_FALSE(sim::windowVisible(app.mainWindow));
  EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
}

// The request for a copy belongs to capture mode: the menu sets it, and a failed
// "Upload && Save" leaves it, so the next file upload keeps a copy and uses it up.
TEST(PostSelection, AFailedUploadAndSaveAsksTheNextFileUploadForACopy) {
  startIdle();
  settings.quickCapture = false;
  std::copy_n(u"C:\\Saved", 9, settings.saveFolder);
  sim::putFolder(u"C:\\Saved");
  reach(State::Dragging);
  sim::script("GdiplusStartup", 2);  // the encoding fails
  sim::script("TrackPopupMenu", IDM_UPLOADSAVE);
  send(WM_LBUTTONUP, 0, point(140, 80));
  ASSERT_EQ(capture().copyRequested(), true);
  reach(State::Dragging);
  send(WM_LBUTTONUP, 0, point(140, 80));  // dismissed: no choice made
  ASSERT_EQ(capture().copyRequested(), true);

  sim::putFile(u"C:\\Pics\\a.png", "\x89PNG\r\n\x1a\npixels");
  sim::script("GetOpenFileNameW", 1);
  sim::setChosenFile(u"C:\\Pics\\a.png");
  sim::scriptHttp({u"200", {"http://corvane.net/abc"}, false});
  send(WM_COMMAND, IDM_FILEUPLOAD);
  EXPECT_TRUE(sim::hasFile(u"C:\\Saved\\abc.jpg"));
  EXPECT_EQ(capture().copyRequested(), false);
  EXPECT_EQ(stateOf(), State::Idle);
}

TEST(FinishSelection, OnAFailedEncodingAMessageAndNoUpload) {
  const struct {
    const char* name;
    void (*setup)();
    std::string message;
  } failures[] = {
      // Tried in the temporary file, then in the save folder (none is set here).
      {"GDI+ does not start", failEncoding,
       "Could not save image\nNeither the temporary folder C:\\Temp\\ nor a save folder (none is set) can be "
       "written."},
      {"no picture over the snapshot's pixels",
       [] { for (int i = 0; i < 2; ++i) sim::script("GdipCreateBitmapFromScan0", 2); },
       "Could not save image\nNeither the temporary folder C:\\Temp\\ nor a save folder (none is set) can be "
       "written."},
  };
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.name);
    startIdle();
    reach(State::Dragging);
    settings.quickCapture = true;
    failure.setup();
    sim::log().clear();
    send(WM_LBUTTONUP, 0, point(140, 80));
    const std::string main = h(app.mainWindow);
    EXPECT_EQ(callsOf({"MessageBoxW"}),
              std::vector<std::string>{"MessageBoxW(" + main + ", \"" + failure.message + "\", \"Error\", 16)"});
    EXPECT_EQ(sim::count("GdipSaveImageToFile") + sim::count("InternetOpenW") + sim::count("HttpSendRequestW"), 0)
        << "nothing saved or uploaded";
    // The wait cursor, then the arrow, both stock cursors, shown as often as hidden.
    EXPECT_EQ(callsOf({"LoadCursorW"}), (std::vector<std::string>{"LoadCursorW(null, #32514)", "LoadCursorW(null, #32512)"}));
    EXPECT_EQ(callsOf({"ShowCursor"}), (std::vector<std::string>{"ShowCursor(1)", "ShowCursor(0)"}));
    // Both windows gone, the selection window parked at (0, 0), 1 x 1, nothing held or left on disk.
    EXPECT_FALSE(sim::windowVisible(app.mainWindow));
    EXPECT_FALSE(sim::windowVisible(app.selectionWindow));
    const auto sel = sim::windowRect(app.selectionWindow);
    EXPECT_EQ((std::vector<int>{sel.left, sel.top, sel.right, sel.bottom}), (std::vector<int>{0, 0, 1, 1}));
    EXPECT_EQ(sim::filesIn(u"C:\\Temp").size(), 0u);
    EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
    EXPECT_EQ(stateOf(), State::Idle);
  }
}

TEST(FinishSelection, EncodesThenUploadsWithTheMainWindowAsOwnerThenDeletes) {
  startIdle();
  reach(State::Dragging);
  settings.quickCapture = true;
  sim::log().clear();
  send(WM_LBUTTONUP, 0, point(140, 80));
  const int encoded = firstIndexOf("GdipSaveImageToFile"), upload = firstIndexOf("Internet"),
            deleted = firstIndexOf("DeleteFileW");
  EXPECT_GE(encoded, 0);
  EXPECT_LT(encoded, upload);
  EXPECT_LT(upload, deleted);
  for (const auto& box : callsOf({"MessageBoxW"})) EXPECT_TRUE(box.starts_with("MessageBoxW(" + h(app.mainWindow)));
  EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
}

// A temporary folder that cannot hold the picture does not cost the capture:
// it goes to the save folder as an unsent picture, removed once the service has
// it; only when neither folder can be written is it lost, and the user is told why.
TEST(FinishSelection, WithoutATemporaryFileThePictureGoesToTheSaveFolder) {
  const std::u16string kSaved = u"C:\\Saved", kUnsent = u"C:\\Saved\\unsent-20260309-070504.jpg";
  struct Case {
    const char* what;
    std::function<void()> given;
    bool serviceUp;
    std::string message;  // the one message shown, empty for none
    bool keptAfter;       // the unsent picture is still in the save folder
  };
  const Case cases[] = {
      {"temporary folder read-only", [] { sim::lockFolder(u"C:\\Temp"); }, true, "", false},
      {"no temporary name made", [] { sim::script("GetTempFileNameW", 0); }, true, "", false},
      {"temporary folder read-only, the service down", [] { sim::lockFolder(u"C:\\Temp"); }, false,
       "Could not upload\nThe service could not be reached.\nThe picture is kept as C:\\Saved\\unsent-20260309-070504.jpg",
       true},
      {"temporary folder deleted: made again", [] { sim::removeFolder(u"C:\\Temp"); }, true, "", false},
      {"neither folder can be written",
       [&] {
         sim::lockFolder(u"C:\\Temp");
         sim::lockFolder(kSaved);
       },
       true,
       "Could not save image\nNeither the temporary folder C:\\Temp\\ nor the save folder C:\\Saved can be written.",
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    startIdle();
    std::copy_n(u"C:\\Saved", 9, settings.saveFolder);
    sim::putFolder(kSaved);
    reach(State::Dragging);
    settings.quickCapture = true;
    c.given();
    if (c.serviceUp)
      sim::scriptHttp({u"200", {"http://corvane.net/abc"}, false});
    else
      sim::script("HttpSendRequestW", 0);
    sim::script("MessageBoxW", platform::IDCANCEL);
    send(WM_LBUTTONUP, 0, point(140, 80));
    const auto boxes = callsOf({"MessageBoxW"});
    if (c.message.empty()) {
      EXPECT_EQ(boxes, std::vector<std::string>{});
    } else {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_TRUE(boxes[0].starts_with("MessageBoxW(" + h(app.mainWindow) + ", \"" + c.message + "\"")) << boxes[0];
    }
    const bool sent = c.serviceUp && c.message.empty();
    EXPECT_EQ(sim::clipboardText(), sent ? "http://corvane.net/abc" : "");
    EXPECT_EQ(sim::hasFile(kUnsent), c.keptAfter);
    if (c.keptAfter) {
      EXPECT_EQ(sim::fileBytes(kUnsent).substr(0, 2), "\xFF\xD8");
    }
    EXPECT_EQ(sim::filesIn(kSaved).size(), c.keptAfter ? 1u : 0u) << "nothing half-written left";
    EXPECT_TRUE(sim::hasFolder(u"C:\\Temp"));
    EXPECT_EQ(sim::filesIn(u"C:\\Temp"), std::vector<std::u16string>{});
    EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
    EXPECT_EQ(stateOf(), State::Idle);
    settings.saveFolder[0] = 0;
  }
}

// The ways a grab can end, each from a fresh Dragging state.
const std::vector<std::pair<const char*, std::function<void()>>>& grabEndings() {
  static const std::vector<std::pair<const char*, std::function<void()>>> endings = {
      {"quick capture", [] { settings.quickCapture = true; send(WM_LBUTTONUP, 0, point(40, 30)); }},
      {"Upload", [] { sim::script("TrackPopupMenu", IDM_UPLOAD); send(WM_LBUTTONUP, 0, point(40, 30)); runMessageLoop(); }},
      {"Upload && Save", [] { sim::script("TrackPopupMenu", IDM_UPLOADSAVE); send(WM_LBUTTONUP, 0, point(40, 30)); runMessageLoop(); }},
      {"Cancel", [] { sim::script("TrackPopupMenu", IDM_CANCEL); send(WM_LBUTTONUP, 0, point(40, 30)); runMessageLoop(); }},
      {"dismissed", [] { send(WM_LBUTTONUP, 0, point(40, 30)); }},
      {"no menu, then a right click", [] {
         sim::script("CreatePopupMenu", 0);
         send(WM_LBUTTONUP, 0, point(40, 30));
         send(WM_RBUTTONDOWN);
       }},
      {"no menu, then another grab", [] {
         sim::script("CreatePopupMenu", 0);
         send(WM_LBUTTONUP, 0, point(40, 30));
         send(WM_LBUTTONDOWN, 0, point(1, 1));
         settings.quickCapture = true;
         send(WM_LBUTTONUP, 0, point(2, 2));
       }},
  };
  return endings;
}

// Over a series of captures ended every way: no GDI object, temporary file,
// window or Escape hot key is left behind.
TEST(Grab, EveryWayACaptureEndsReleasesWhatItHeld) {
  startIdle();
  for (int round = 0; round < 3; ++round) {
    for (const auto& [name, end] : grabEndings()) {
      SCOPED_TRACE(name);
      settings.quickCapture = false;
      reach(State::Dragging);
      failEncoding();
      end();
      ASSERT_EQ(stateOf(), State::Idle);
      EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
      EXPECT_FALSE(sim::windowVisible(app.mainWindow));
      EXPECT_FALSE(sim::windowVisible(app.selectionWindow));
      EXPECT_FALSE(sim::hotKeyRegistered(HOTKEY_ESCAPE));
      EXPECT_EQ(sim::filesIn(u"C:\\Temp").size(), 0u);
    }
    // Capture mode left before any grab.
    send(UM_CAPTURE);
    hotKey(HOTKEY_ESCAPE);
    send(UM_CAPTURE);
    send(WM_RBUTTONDOWN);
    EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
  }
  EXPECT_EQ(sim::count("CreateCompatibleDC"), sim::count("DeleteDC"));
  EXPECT_EQ(sim::count("GetDC"), sim::count("ReleaseDC"));
  EXPECT_GT(sim::count("GetTempFileNameW"), 3 * static_cast<int>(grabEndings().size()) - 1);
  EXPECT_EQ(sim::count("DeleteFileW"), sim::count("GetTempFileNameW"));
}

}  // namespace
}  // namespace corvane::testing

namespace corvane::testing {
namespace {

// The packed DIB a reader of the clipboard expects for the snapshot's pixels
// in [left, right] x [top, bottom]: 24 bits, bottom row first, rows padded to 4 bytes.
std::string expectedDib(int left, int top, int right, int bottom) {
  const int width = right - left + 1, height = bottom - top + 1, row = (width * 3 + 3) & ~3;
  platform::BitmapInfoHeader header{40, width, height, 1, 24, platform::BI_RGB,
                                    static_cast<std::uint32_t>(row * height), 0, 0, 0, 0};
  std::string dib(reinterpret_cast<const char*>(&header), sizeof header);
  for (int y = bottom; y >= top; --y) {
    std::string line(static_cast<std::size_t>(row), '\0');
    for (int x = left; x <= right; ++x)
      for (int i = 0; i < 3; ++i) line[(x - left) * 3 + i] = static_cast<char>(sim::dibPixel(x, y) >> (8 * i));
    dib += line;
  }
  return dib;
}

// Copy and Save from the post-selection menu: the exact pixels on the clipboard
// or in a PNG of the save folder, nothing sent; when one way is closed the
// other keeps the picture and the user is told where it is.
TEST(PostSelection, CopyAndSaveKeepTheExactPixelsWithoutTheService) {
  const std::u16string saved = u"C:\\Saved\\capture-20260309-070504.png";
  struct Row {
    const char* name;
    std::uint32_t id;
    std::function<void()> setup = [] {};
    bool onClipboard = false;
    std::vector<std::u16string> files = {};
    std::u16string balloon = u"";  // the balloon's title, if one shows
    bool message = false;          // "Could not save image"
  };
  const Row rows[] = {
      {.name = "Copy", .id = IDM_COPY, .onClipboard = true},
      {.name = "Copy, the clipboard held by another program", .id = IDM_COPY,
       .setup = [] { sim::holdClipboard(5000); }, .files = {saved}, .balloon = u"Could not copy the picture"},
      {.name = "Save", .id = IDM_SAVE, .files = {saved}, .balloon = u"Picture saved"},
      {.name = "Save, the name taken", .id = IDM_SAVE, .setup = [=] { sim::putFile(saved, "older"); },
       .files = {saved, u"C:\\Saved\\capture-20260309-070504-2.png"}, .balloon = u"Picture saved"},
      {.name = "Save, the folder cannot be made", .id = IDM_SAVE,
       .setup = [] { for (int i = 0; i < 4; ++i) sim::script("CreateDirectoryW", platform::ERROR_ACCESS_DENIED); },
       .onClipboard = true, .balloon = u"Could not save the picture"},
      {.name = "Save, neither the folder nor the clipboard", .id = IDM_SAVE,
       .setup = [] {
         for (int i = 0; i < 4; ++i) sim::script("CreateDirectoryW", platform::ERROR_ACCESS_DENIED);
         sim::holdClipboard(5000);
       },
       .message = true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    startIdle();
    settings.quickCapture = false;
    std::copy_n(u"C:\\Saved", 9, settings.saveFolder);
    send(UM_CAPTURE);
    send(WM_LBUTTONDOWN, 0, point(130, 60));
    r.setup();
    sim::script("TrackPopupMenu", r.id);
    send(WM_LBUTTONUP, 0, point(100, 41));  // towards the top left
    EXPECT_EQ(stateOf(), State::Idle);
    EXPECT_FALSE(sim::windowVisible(app.mainWindow));
    EXPECT_EQ(sim::count("InternetOpenW") + sim::count("HttpSendRequestW"), 0) << "nothing goes to the service";
    const auto dib = sim::clipboardData(platform::CF_DIB);
    EXPECT_EQ(dib.has_value(), r.onClipboard);
    if (r.onClipboard) {
      EXPECT_EQ(*dib, expectedDib(100, 41, 130, 60));
      EXPECT_EQ(sim::clipboardOwner(), app.mainWindow);
      const auto png = sim::clipboardData(ClipboardFormat(u"PNG"));
      ASSERT_TRUE(png.has_value());
      EXPECT_FALSE(png->empty());
    }
    auto files = sim::filesIn(u"C:\\Saved");
    auto wanted = r.files;
    std::sort(files.begin(), files.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(files, wanted);
    for (const auto& f : r.files)
      if (sim::fileBytes(f) != "older") {
        EXPECT_EQ(sim::fileBytes(f).substr(0, 2), "\xFF\xD8") << "written by the encoder";
      }
    const auto& balloons = sim::balloons();
    EXPECT_EQ(balloons.size(), r.balloon.empty() ? 0u : 1u);
    if (!balloons.empty()) {
      EXPECT_EQ(balloons[0].title, r.balloon);
      if (!r.files.empty()) {
        EXPECT_NE(balloons[0].text.find(r.files.back()), std::u16string::npos) << "names the file";
      }
    }
    EXPECT_EQ(called("MessageBoxW(" + h(app.mainWindow) + ", \"Could not save image\", \"Error\", 16)"), r.message);
    // The PNG is made from the same bottom-up rows, read from the top one.
    if (const auto* png = sim::last("GdipCreateBitmapFromScan0")) {
      EXPECT_EQ(png->args[2], "-96");
      EXPECT_EQ(png->args[3], "137224");  // 24 bits: blue, green, red
    }
    EXPECT_EQ(sim::filesIn(u"C:\\Temp").size(), 0u);
    EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace corvane::testing

namespace corvane::testing {
namespace {

// The size label: the selection's size in pixels, painted on the full-screen
// window in the message font below the selection, above it at the monitor's
// bottom, always inside the monitor; gone at the release.
TEST(Selection, ItsSizeShowsBesideItInsideTheMonitor) {
  struct Case {
    int startX, startY, endX, endY;
    const char16_t* text;
    int labelX, labelY;  // the label's top left corner
  } cases[] = {
      {100, 50, 739, 529, u"640 \u00D7 480", 100, 534},
      {739, 529, 100, 50, u"640 \u00D7 480", 100, 534},   // towards the top left: the same
      {33, 44, 33, 45, u"1 \u00D7 2", 33, 50},             // one pixel moved
      {10, 1000, 200, 1079, u"191 \u00D7 80", 10, 975},    // at the monitor's bottom: above
      {1900, 10, 1919, 30, u"20 \u00D7 21", 1920 - 2 * 6 - 7 * 7, 35},  // at its right: moved in
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.startX << "," << c.startY << " -> " << c.endX << "," << c.endY);
    startIdle();
    settings.quickCapture = false;
    send(UM_CAPTURE);
    ASSERT_TRUE(called("CreateFontIndirectW(\"Message Font\", -12)"));
    send(WM_LBUTTONDOWN, 0, point(c.startX, c.startY));
    sim::log().clear();
    send(WM_MOUSEMOVE, 0, point(c.endX, c.endY));
    // The label's text and, just before it, its background; the magnifier's come after.
    const sim::Call* text = nullptr;
    const sim::Call* fill = nullptr;
    for (const auto& call : sim::log()) {
      if (call.name == "FillRect" && text == nullptr) fill = &call;
      if (call.name == "TextOutW" && call.args[3].find("\xC3\x97") != std::string::npos) text = &call;
    }
    ASSERT_NE(text, nullptr) << "painted with the move";
    EXPECT_EQ(text->args[3], sim::arg(c.text));
    EXPECT_EQ(text->args[1], std::to_string(c.labelX + 6));
    EXPECT_EQ(text->args[2], std::to_string(c.labelY + 3));
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(fill->args[1], std::to_string(c.labelX));
    EXPECT_EQ(fill->args[2], std::to_string(c.labelY));
    EXPECT_LE(std::stoi(fill->args[3]), 1920);
    EXPECT_LE(std::stoi(fill->args[4]), 1080);
    // Gone at the release: the frozen desktop after it shows no label.
    sim::script("CreatePopupMenu", 0);  // no menu: capture mode goes on, button up
    send(WM_LBUTTONUP, 0, point(c.endX, c.endY));
    sim::log().clear();
    EXPECT_TRUE(capture().paint(app.mainWindow));
    EXPECT_EQ(sim::count("TextOutW"), 0);
  }
}

}  // namespace
}  // namespace corvane::testing

namespace corvane::testing {
namespace {

using platform::Rect;

// The part of the snapshot the encoder was handed: x, y, width, height.
std::vector<int> encodedArea(const std::uint8_t* snapshot) {
  const auto* picture = sim::last("GdipCreateBitmapFromScan0");
  if (picture == nullptr) return {};
  for (int offset = 0; offset < 1920 * 1080; ++offset)
    if (picture->args[4] == sim::arg(static_cast<const void*>(snapshot + offset * 4)))
      return {offset % 1920, offset / 1920, std::stoi(picture->args[0]), std::stoi(picture->args[1])};
  return {-1};
}

bool filled(const Rect& r) {
  for (const auto& c : sim::log())
    if (c.name == "FillRect" && c.args[1] == std::to_string(r.left) && c.args[2] == std::to_string(r.top) &&
        c.args[3] == std::to_string(r.right) && c.args[4] == std::to_string(r.bottom))
      return true;
  return false;
}

// Before the press the window under the cursor is outlined; a click without a
// drag takes what Windows draws of it, clipped to the screen; a drag is a
// rectangle as ever. Windows the user cannot see or click are passed over, and
// so are ours, which cover the whole screen.
TEST(WindowUnderTheCursor, IsOutlinedAndAClickTakesItsVisibleBounds) {
  using W = sim::OtherWindow;
  const Rect big{100, 100, 500, 400}, drawn{107, 100, 493, 393};  // drawn: without the invisible resize borders
  struct Row {
    const char* name;
    std::vector<W> windows;  // from the bottom up
    platform::Point press, release;
    std::vector<platform::Point> moves = {};  // with the button down
    std::vector<int> picture;                // x, y, width, height
    bool outlined = true;                    // the picture's window outlined before the press
    bool noWindowManager = false;
  };
  const Row rows[] = {
      {.name = "a click on a window", .windows = {{big, drawn}}, .press = {300, 200}, .release = {300, 200},
       .picture = {107, 100, 386, 293}},
      {.name = "no window manager: its rectangle", .windows = {{big, drawn}}, .press = {300, 200},
       .release = {300, 200}, .picture = {100, 100, 400, 300}, .noWindowManager = true},
      {.name = "the top one of two", .windows = {{big, big}, {{300, 150, 700, 450}, {300, 150, 700, 450}}},
       .press = {350, 200}, .release = {350, 200}, .picture = {300, 150, 400, 300}},
      {.name = "the lower one where the top one does not reach",
       .windows = {{big, big}, {{300, 150, 700, 450}, {300, 150, 700, 450}}}, .press = {150, 120},
       .release = {150, 120}, .picture = {100, 100, 400, 300}},
      {.name = "passed over: hidden, minimised, cloaked, click-through, the desktop",
       .windows = {{big, big},
                   {.rect = {0, 0, 1920, 1080}, .frame = {0, 0, 1920, 1080}, .shell = true},
                   {.rect = {0, 0, 900, 900}, .frame = {0, 0, 900, 900}, .visible = false},
                   {.rect = {0, 0, 900, 900}, .frame = {0, 0, 900, 900}, .minimised = true},
                   {.rect = {0, 0, 900, 900}, .frame = {0, 0, 900, 900}, .cloaked = true},
                   {.rect = {0, 0, 900, 900}, .frame = {0, 0, 900, 900}, .exStyle = platform::WS_EX_TRANSPARENT}},
       .press = {300, 200}, .release = {300, 200}, .picture = {100, 100, 400, 300}},
      {.name = "partly off the screen: clipped", .windows = {{{-100, -50, 300, 200}, {-100, -50, 300, 200}}},
       .press = {10, 10}, .release = {10, 10}, .picture = {0, 0, 300, 200}},
      {.name = "maximised, its frame past the screen: the screen",
       .windows = {{{-8, -8, 1928, 1088}, {-8, -8, 1928, 1088}}}, .press = {10, 10}, .release = {10, 10},
       .picture = {0, 0, 1920, 1080}},
      {.name = "a click where no window is: one pixel", .windows = {{big, drawn}}, .press = {800, 600},
       .release = {800, 600}, .picture = {800, 600, 1, 1}, .outlined = false},
      {.name = "a drag over a window: the rectangle", .windows = {{big, drawn}}, .press = {300, 200},
       .release = {310, 215}, .moves = {{310, 215}}, .picture = {300, 200, 11, 16}, .outlined = false},
      {.name = "moved and back to the press point: one pixel", .windows = {{big, drawn}}, .press = {300, 200},
       .release = {300, 200}, .moves = {{305, 205}, {300, 200}}, .picture = {300, 200, 1, 1}, .outlined = false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    startIdle();
    settings.quickCapture = true;
    for (const W& w : r.windows) sim::putOtherWindow(w);
    if (r.noWindowManager)
      for (int i = 0; i < 2 * static_cast<int>(r.windows.size()); ++i)
        sim::script("DwmGetWindowAttribute", static_cast<std::int32_t>(0x80263001));  // composition off
    // From the start: the cursor may lie over the window as capture mode begins.
    sim::log().clear();
    send(UM_CAPTURE);
    const auto* snapshot = static_cast<const std::uint8_t*>(sim::dibBitsIn(capture().snapshotDc()));
    send(WM_MOUSEMOVE, 0, point(r.press.x, r.press.y));
    const auto& p = r.picture;
    const Rect top{p[0], p[1], p[0] + p[2], p[1] + 3};  // the outline's top edge, inside the window
    EXPECT_EQ(filled(top), r.outlined) << "the window outlined before the press";
    send(WM_LBUTTONDOWN, 0, point(r.press.x, r.press.y));
    for (const auto& m : r.moves) send(WM_MOUSEMOVE, 0, point(m.x, m.y));
    send(WM_LBUTTONUP, 0, point(r.release.x, r.release.y));
    EXPECT_EQ(encodedArea(snapshot), r.picture);
    EXPECT_EQ(stateOf(), State::Idle);
  }
}

// The magnifier: the snapshot around the cursor's pixel, about eight times,
// beside the cursor and never over its pixel, inside the cursor's monitor, and
// clear of the size label; M turns it off or on and the registry keeps it.
TEST(Magnifier, ShowsThePixelsAroundTheCursorInsideItsMonitor) {
  const std::u16string key = kSettingsKey;
  struct Row {
    const char* name;
    std::optional<std::uint32_t> stored = std::nullopt;  // the "magnifier" value before, absent when none
    int presses = 0;                      // of M, before the cursor moves
    platform::Point at;
    bool shown;
    std::optional<std::uint32_t> storedAfter = std::nullopt;
    std::vector<Rect> monitors = {{0, 0, 1920, 1080}};
    std::vector<int> screen = {0, 0, 1920, 1080};  // the virtual screen
    bool dragFrom = false;                          // pressed at (100, 50) and dragged to at
  };
  const Row rows[] = {
      {.name = "never set: on", .at = {400, 300}, .shown = true},
      {.name = "stored off", .stored = 0, .at = {400, 300}, .shown = false, .storedAfter = 0},
      {.name = "stored on", .stored = 1, .at = {400, 300}, .shown = true, .storedAfter = 1},
      {.name = "M: off, and kept", .presses = 1, .at = {400, 300}, .shown = false, .storedAfter = 0},
      {.name = "M twice: on again", .presses = 2, .at = {400, 300}, .shown = true, .storedAfter = 1},
      {.name = "stored off, M: on", .stored = 0, .presses = 1, .at = {400, 300}, .shown = true, .storedAfter = 1},
      {.name = "at the bottom right corner", .at = {1919, 1079}, .shown = true},
      {.name = "at the top left corner", .at = {0, 0}, .shown = true},
      {.name = "dragging towards the bottom right", .at = {700, 400}, .shown = true, .dragFrom = true},
      {.name = "dragging, near the bottom", .at = {700, 1060}, .shown = true, .dragFrom = true},
      {.name = "on the left monitor, at its right edge", .at = {-5, 500}, .shown = true,
       .monitors = {{0, 0, 1920, 1080}, {-1280, 0, 0, 1024}}, .screen = {-1280, 0, 3200, 1080}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    startIdle();
    sim::setMonitors(r.monitors);
    if (r.stored) sim::regPutDword(key, u"magnifier", *r.stored);
    for (int v : r.screen) sim::script("GetSystemMetrics", v);
    send(UM_CAPTURE);
    const std::string snapshot = h(capture().snapshotDc());
    for (int i = 0; i < r.presses; ++i) send(platform::WM_KEYDOWN, platform::VK_M);
    const int ox = r.screen[0], oy = r.screen[1];
    if (r.dragFrom) send(WM_LBUTTONDOWN, 0, point(100 - ox, 50 - oy));
    sim::setCursorPos(r.at);
    sim::log().clear();
    send(WM_MOUSEMOVE, 0, point(r.at.x - ox, r.at.y - oy));
    const sim::Call* loupe = sim::last("StretchBlt");
    EXPECT_EQ(loupe != nullptr, r.shown);
    const auto after = sim::regGet(key, u"magnifier");
    EXPECT_EQ(after ? std::optional<std::uint32_t>(static_cast<std::uint8_t>(after->bytes[0])) : std::nullopt,
              r.storedAfter);
    if (loupe == nullptr) continue;
    auto n = [&](int i) { return std::stoi(loupe->args[i]); };
    // Drawn from the snapshot: the pixels around the cursor's, cut to the screen, each 8 x 8.
    EXPECT_EQ(loupe->args[5], snapshot);
    const int sx = n(6) + ox, sy = n(7) + oy;
    EXPECT_EQ(sx, std::max(r.at.x - 7, ox));
    EXPECT_EQ(sy, std::max(r.at.y - 7, oy));
    EXPECT_EQ(sx + n(8), std::min(r.at.x + 8, ox + r.screen[2]));
    EXPECT_EQ(sy + n(9), std::min(r.at.y + 8, oy + r.screen[3]));
    EXPECT_EQ(n(3), 8 * n(8));
    EXPECT_EQ(n(4), 8 * n(9));
    // Its background: all of it on the cursor's monitor, the cursor's pixel outside it.
    const sim::Call* back = nullptr;
    for (const auto& c : sim::log())
      if (c.name == "FillRect" && std::stoi(c.args[3]) - std::stoi(c.args[1]) == 15 * 8 + 2) back = &c;
    ASSERT_NE(back, nullptr);
    const Rect area{std::stoi(back->args[1]) + ox, std::stoi(back->args[2]) + oy, std::stoi(back->args[3]) + ox,
                    std::stoi(back->args[4]) + oy};
    const Rect& m = r.monitors[r.at.x < 0 ? 1 : 0];
    EXPECT_TRUE(area.left >= m.left && area.top >= m.top && area.right <= m.right && area.bottom <= m.bottom)
        << area.left << "," << area.top << " " << area.right << "," << area.bottom;
    EXPECT_FALSE(r.at.x >= area.left && r.at.x < area.right && r.at.y >= area.top && r.at.y < area.bottom);
    // The cells start where the cursor's pixel's neighbours would lie outside the screen.
    EXPECT_EQ(n(1) + ox - (area.left + 1), (sx - (r.at.x - 7)) * 8);
    // The position below, in virtual-screen pixels.
    EXPECT_TRUE(called("TextOutW(" + loupe->args[0] + ", " + std::to_string(area.left - ox + 1 + 6) + ", " +
                       std::to_string(area.top - oy + 1 + 120 + 1 + 3) + ", \"" + std::to_string(r.at.x) + ", " +
                       std::to_string(r.at.y) + "\")"));
    if (r.dragFrom) {
      // Away from the selection and clear of its size label.
      EXPECT_GT(area.left, r.at.x);
      for (const auto& c : sim::log())
        if (c.name == "TextOutW" && c.args[3].find("\xC3\x97") != std::string::npos) {
          const int lx = std::stoi(c.args[1]) + ox, ly = std::stoi(c.args[2]) + oy;
          EXPECT_FALSE(lx >= area.left && lx < area.right && ly >= area.top && ly < area.bottom) << "over the label";
        }
    }
    // A move repaints the magnifier where it was and is, not the screen.
    sim::log().clear();
    send(WM_MOUSEMOVE, 0, point(r.at.x - ox, r.at.y - oy));
    const auto painted = shownAreas();
    EXPECT_FALSE(painted.empty());
    for (const Rect& p : painted) EXPECT_LT((p.right - p.left) * (p.bottom - p.top), 300 * 300);
  }
}

}  // namespace
}  // namespace corvane::testing

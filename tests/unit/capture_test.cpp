// The main window's states and events, the selection, the region grab, the
// post-selection menu and finishSelection, and what capture mode holds and frees.
#include <algorithm>
#include <functional>
#include "tests/unit/shell_fixture.h"

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
  struct Row {
    const char* name;
    State from;
    bool quick;
    std::function<void()> event;
    std::uint32_t message;  // the message whose default handling is checked
    State next;
    bool mainShown, escape, captured, byDefault, snapshot, grab;
    int uploadChoice = 0;
    bool ended = false;  // the session ended: the tray icon is gone and the run ends
    bool encodes = false;  // else the encoding fails, so nothing goes on to an upload
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
      // name, from, quick, event, message, next, shown, escape, captured, default, snapshot, grab
      {"idle: hot key 1", State::Idle, false, [] { hotKey(1); }, 0, State::Waiting, true, true, false, false, true, false},
      {"idle: tray left click", State::Idle, false, trayClick, 0, State::Waiting, true, true, false, false, true, false},
      {"idle: tray capture command", State::Idle, false, msg(WM_COMMAND, IDM_CAPTURE), 0, State::Waiting, true, true, false, false, true, false},
      {"idle: hot key 3", State::Idle, false, [] { hotKey(3); }, 0, State::Idle, false, false, false, false, false, false},
      {"idle: tray file upload", State::Idle, false, msg(WM_COMMAND, IDM_FILEUPLOAD), 0, State::Idle, false, false, false, false, false, false},
      {"idle: tray right click", State::Idle, false, msg(UM_TRAYICON, 0, kTrayMenuEvent), 0, State::Idle, false, false, false, false, false, false},
      {"idle: tray capture, high bits set", State::Idle, false, msg(WM_COMMAND, 0x10000 | IDM_CAPTURE), 0, State::Waiting, true, true, false, false, true, false},
      {"idle: unknown command", State::Idle, false, msg(WM_COMMAND, 7), 0, State::Idle, false, false, false, false, false, false},
      {"idle: other tray event", State::Idle, false, msg(UM_TRAYICON, 0, WM_LBUTTONDOWN), UM_TRAYICON, State::Idle, false, false, false, true, false, false},
      {"idle: mouse", State::Idle, false, msg(WM_LBUTTONDOWN), WM_LBUTTONDOWN, State::Idle, false, false, false, true, false, false},
      {"idle: release", State::Idle, false, msg(WM_LBUTTONUP), WM_LBUTTONUP, State::Idle, false, false, false, true, false, false},
      // One of our modal loops runs: no capture request nests inside it.
      {"open dialog: tray left click", State::Idle, false, during(UM_TRAYICON, 0, WM_LBUTTONUP, msg(UM_FILEUPLOAD)), UM_TRAYICON, State::Idle, false, false, false, true, false, false},
      {"open dialog: tray capture command", State::Idle, false, during(WM_COMMAND, IDM_CAPTURE, 0, msg(WM_COMMAND, IDM_FILEUPLOAD)), 0, State::Idle, false, false, false, false, false, false},
      {"folder browser: tray left click", State::Idle, false, during(UM_TRAYICON, 0, WM_LBUTTONUP, msg(WM_COMMAND, IDM_SAVEPATH)), UM_TRAYICON, State::Idle, false, false, false, true, false, false},
      {"tray menu: tray left click", State::Idle, false, during(UM_TRAYICON, 0, WM_LBUTTONUP, msg(UM_TRAYICON, 0, kTrayMenuEvent)), UM_TRAYICON, State::Idle, false, false, false, true, false, false},
      {"busy: tray left click", State::Busy, false, trayClick, UM_TRAYICON, State::Busy, false, false, false, true, false, false},
      {"busy: tray capture command", State::Busy, false, msg(WM_COMMAND, IDM_CAPTURE), 0, State::Busy, false, false, false, false, false, false},
      {"busy: tray file upload", State::Busy, false, msg(WM_COMMAND, IDM_FILEUPLOAD), 0, State::Busy, false, false, false, false, false, false},
      {"busy: tray right click", State::Busy, false, msg(UM_TRAYICON, 0, kTrayMenuEvent), 0, State::Busy, false, false, false, false, false, false},
      // Requests queued while busy are dropped when it ends, not served late.
      {"busy: requests queued, then it ends", State::Busy, false, queuedThen([] { capture().handle(CaptureEvent::ModalEnd); }), 0, State::Idle, false, false, false, false, false, false},
      {"upload: requests queued meanwhile", State::Dragging, true, queuedThen([] {
         sim::scriptHttp({u"200", {"http://corvane.net/abc"}, false});
         send(WM_LBUTTONUP, 0, point(30, 40));
       }), 0, State::Idle, false, false, false, false, false, false, 0, false, true},
      {"no screen: requests queued meanwhile", State::Idle, false, queuedThen([] {
         sim::script("CreateDIBSection", 0);
         sim::script("MessageBoxW", 1);
         capture().handle(CaptureEvent::Start);
       }), UM_TRAYICON, State::Idle, false, false, false, true, false, false},
      // The session ends: nothing stays on screen, held or on disk, and the run ends.
      {"idle: session ends", State::Idle, false, sessionEnds, 0, State::Idle, false, false, false, false, false, false, 0, true},
      {"waiting: session ends", State::Waiting, false, sessionEnds, 0, State::Idle, false, false, false, false, false, false, 0, true},
      {"dragging: session ends", State::Dragging, false, sessionEnds, 0, State::Idle, false, false, false, false, false, false, 0, true},
      {"dialog: session ends", State::Idle, false, during(platform::WM_ENDSESSION, 1, 0, msg(UM_FILEUPLOAD)), 0, State::Idle, false, false, false, false, false, false, 0, true},
      {"menu: session ends, then Upload", State::Dragging, false, during(platform::WM_ENDSESSION, 1, 0, menu(IDM_UPLOAD)), 0, State::Idle, false, false, false, false, false, false, 0, true},
      {"message box: session ends", State::Dragging, true, during(platform::WM_ENDSESSION, 1, 0, msg(WM_LBUTTONUP, 0, point(30, 40))), 0, State::Idle, false, false, false, false, false, false, 0, true},
      {"ended: a later request", State::Idle, false, [=] { sessionEnds(); hotKey(HOTKEY_CAPTURE); }, 0, State::Idle, false, false, false, false, false, false, 0, true},
      {"waiting: the session end is called off", State::Waiting, false, msg(platform::WM_ENDSESSION, 0), 0, State::Waiting, true, true, false, false, true, false},
      {"waiting: Escape", State::Waiting, false, [] { hotKey(4); }, 0, State::Idle, false, false, false, false, false, false},
      {"waiting: right click", State::Waiting, false, msg(WM_RBUTTONDOWN), 0, State::Idle, false, false, false, false, false, false},
      {"waiting: press", State::Waiting, false, msg(WM_LBUTTONDOWN, 0, point(5, 6)), 0, State::Dragging, true, false, true, false, true, false},
      {"waiting: move", State::Waiting, false, msg(WM_MOUSEMOVE, 0, point(5, 6)), 0, State::Waiting, true, true, false, false, true, false},
      // A release without a press: the button went down before capture mode began.
      {"waiting: release, Upload", State::Waiting, false, menu(IDM_UPLOAD), 0, State::Idle, false, false, false, false, false, false, 0},
      {"waiting: release, dismissed", State::Waiting, false, menu(-1), 0, State::Idle, false, false, false, false, false, false},
      {"waiting: release, quick", State::Waiting, true, msg(WM_LBUTTONUP, 0, point(5, 6)), 0, State::Idle, false, false, false, false, false, false, 0},
      {"waiting: hot key 1", State::Waiting, false, [] { hotKey(1); }, 0, State::Waiting, true, true, false, false, true, false},
      {"waiting: hot key 3", State::Waiting, false, [] { hotKey(3); }, 0, State::Waiting, true, true, false, false, true, false},
      {"waiting: tray click", State::Waiting, false, trayClick, UM_TRAYICON, State::Waiting, true, true, false, true, true, false},
      {"waiting: tray right click", State::Waiting, false, msg(UM_TRAYICON, 0, kTrayMenuEvent), UM_TRAYICON, State::Waiting, true, true, false, true, true, false},
      {"waiting: double click", State::Waiting, false, msg(platform::WM_LBUTTONDBLCLK), platform::WM_LBUTTONDBLCLK, State::Waiting, true, true, false, true, true, false},
      {"dragging: hot key 1", State::Dragging, false, [] { hotKey(1); }, 0, State::Dragging, true, false, true, false, true, false},
      {"dragging: hot key 3", State::Dragging, false, [] { hotKey(3); }, 0, State::Dragging, true, false, true, false, true, false},
      {"dragging: tray click", State::Dragging, false, trayClick, UM_TRAYICON, State::Dragging, true, false, true, true, true, false},
      {"dragging: move", State::Dragging, false, msg(WM_MOUSEMOVE, 0, point(30, 40)), 0, State::Dragging, true, false, true, false, true, false},
      {"dragging: right click", State::Dragging, false, msg(WM_RBUTTONDOWN), 0, State::Dragging, true, false, true, false, true, false},
      {"dragging: press again", State::Dragging, false, msg(WM_LBUTTONDOWN, 0, point(7, 8)), 0, State::Dragging, true, false, true, false, true, false},
      {"dragging: release, quick", State::Dragging, true, msg(WM_LBUTTONUP, 0, point(30, 40)), 0, State::Idle, false, false, false, false, false, false, 0},
      {"dragging: release, no menu", State::Dragging, false, noMenu, 0, State::Waiting, true, false, false, false, true, true},
      {"menu: Upload", State::Dragging, false, menu(IDM_UPLOAD), 0, State::Idle, false, false, false, false, false, false, 0},
      // The encoding fails, so no copy step runs: the request for a copy stays for the next upload.
      {"menu: Upload && Save", State::Dragging, false, menu(IDM_UPLOADSAVE), 0, State::Idle, false, false, false, false, false, false, 1},
      {"menu: Cancel", State::Dragging, false, menu(IDM_CANCEL), 0, State::Idle, false, false, false, false, false, false, 0},
      {"menu: dismissed", State::Dragging, false, menu(-1), 0, State::Idle, false, false, false, false, false, false},
      {"menu: tray click meanwhile", State::Dragging, false, during(UM_TRAYICON, 0, WM_LBUTTONUP, menu(-1)), UM_TRAYICON, State::Idle, false, false, false, true, false, false},
      {"menu: hot key 1 meanwhile", State::Dragging, false, [&] { sim::queueMessage(nullptr, platform::WM_HOTKEY, 1, 0); menu(-1)(); }, 0, State::Idle, false, false, false, false, false, false},
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
    EXPECT_EQ(nameOf(stateOf()), nameOf(r.next));
    EXPECT_EQ(sim::windowVisible(app.mainWindow), r.mainShown);
    EXPECT_EQ(sim::hotKeyRegistered(HOTKEY_ESCAPE), r.escape);
    EXPECT_EQ(sim::capturedWindow(), r.captured ? app.mainWindow : nullptr);
    EXPECT_EQ(defaultHandled(r.message), r.byDefault);
    EXPECT_EQ(capture().holdsSnapshot(), r.snapshot);
    EXPECT_EQ(capture().holdsGrab(), r.grab);
    if (!r.snapshot && !r.grab) {
      EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
    }
    EXPECT_EQ(capture().uploadChoice(), r.uploadChoice);
    // The selection window shows only while a rectangle is dragged.
    EXPECT_EQ(sim::windowVisible(app.selectionWindow), std::string(r.name) == "dragging: move");
    // Paired resources: the wait cursor shown as often as hidden, the tray icon
    // and its image kept until the session ends, no temporary file left.
    const auto cursor = callsOf({"ShowCursor"});
    EXPECT_EQ(std::count(cursor.begin(), cursor.end(), "ShowCursor(1)"),
              std::count(cursor.begin(), cursor.end(), "ShowCursor(0)"));
    EXPECT_EQ(sim::count("Shell_NotifyIconW"), r.ended ? 1 : 0);
    EXPECT_EQ(sim::count("DestroyIcon"), r.ended ? 1 : 0);
    EXPECT_EQ(bool(trayIcon()), !r.ended);
    if (!r.grab) {
      EXPECT_EQ(sim::filesIn(u"C:\\Temp").size(), 0u);
    }
    // Nothing left over for a later loop to find; once the session ended, the process ends.
    EXPECT_EQ(sim::queuedMessages(false), 0u);  // a tray menu's trailing WM_NULL aside
    EXPECT_EQ(callsOf({"ExitProcess"}), r.ended ? std::vector<std::string>{"ExitProcess(0)"} : std::vector<std::string>{});
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
    EXPECT_TRUE(sim::last("CreateDIBSection")->text().ends_with(", 3200, -1280, 32, 0)"));
    auto* const snapshotPixels = static_cast<std::uint8_t*>(sim::lastDibBits());
    send(WM_LBUTTONDOWN, 0, point(c.startX, c.startY));
    send(WM_MOUSEMOVE, 0, point(c.endX, c.endY));
    auto r = sim::windowRect(app.selectionWindow);
    EXPECT_TRUE(sim::windowVisible(app.selectionWindow));
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              (std::vector<int>{c.left, c.top, c.width, c.height}));
    EXPECT_EQ(capture().selection().startX, c.startX + c.originX);
    EXPECT_EQ(capture().selection().endY, c.endY + c.originY);

    sim::script("CreatePopupMenu", 0);  // no menu: the grab stays to be looked at
    send(WM_LBUTTONUP, 0, point(c.endX, c.endY));
    ASSERT_TRUE(capture().holdsGrab());
    // The grab copies nothing: it holds no GDI object beside the snapshot's.
    EXPECT_EQ(sim::liveGdiObjects().size(), 2u);
    // The selection window was hidden at the release and is not left up.
    EXPECT_FALSE(sim::windowVisible(app.selectionWindow));

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

TEST(Selection, WindowPaintsAGreyBoxWithADottedBorderAndFreesItsTools) {
  startIdle();
  reach(State::Dragging);  // pressed at (100, 50)
  send(WM_MOUSEMOVE, 0, point(149, 69));
  const auto held = sim::liveGdiObjects();  // the snapshot
  sim::log().clear();
  EXPECT_EQ(selectionWindowProc(app.selectionWindow, platform::WM_ERASEBKGND, 0, 0), 1);
  EXPECT_TRUE(called("CreateSolidBrush(6579300)"));      // RGB(100, 100, 100)
  EXPECT_TRUE(called("CreatePen(2, 1, 16714240)"));      // dotted, RGB(0, 10, 255)
  const auto* rect = sim::last("Rectangle");
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(std::vector<std::string>(rect->args.begin() + 1, rect->args.end()),
            (std::vector<std::string>{"0", "0", "50", "20"}));
  EXPECT_EQ(sim::liveGdiObjects(), held);
  for (std::uint32_t m : {platform::WM_PAINT, WM_MOUSEMOVE}) {
    sim::log().clear();
    selectionWindowProc(app.selectionWindow, m, 0, 0);
    EXPECT_EQ(sim::names(), std::vector<std::string>{"DefWindowProcW"});
  }
}

TEST(Snapshot, TakenBeforeTheWindowShowsAndPaintedByIt) {
  startIdle();
  send(UM_CAPTURE);
  const std::string snap = h(capture().snapshotDc()), main = h(app.mainWindow);
  ASSERT_EQ(sim::names("Get"), (std::vector<std::string>{"GetSystemMetrics", "GetSystemMetrics", "GetSystemMetrics",
                                                          "GetSystemMetrics", "GetDC"}));
  const std::string screen = sim::last("CreateCompatibleDC")->args[0];
  EXPECT_EQ(callsOf({"BitBlt", "ReleaseDC", "MoveWindow", "ShowWindow", "EndPaint"}),
            (std::vector<std::string>{
                "BitBlt(" + snap + ", 0, 0, 1920, 1080, " + screen + ", 0, 0, 1087111200)",  // with layered windows
                "ReleaseDC(null, " + screen + ")",
                "MoveWindow(" + main + ", 0, 0, 1920, 1080, 0)",
                "ShowWindow(" + main + ", 5)",
                // UpdateWindow's paint copies the desktop picture into the window.
                sim::last("BitBlt")->text(),
                "EndPaint(" + main + ")",
            }));
  EXPECT_TRUE(sim::last("BitBlt")->text().ends_with(", 0, 0, 1920, 1080, " + snap + ", 0, 0, 13369376)"));
  EXPECT_EQ(sim::liveGdiObjects().size(), 2u) << "the snapshot's DC and bitmap";
}

TEST(ReleaseHandling, MenuAtTheCursorWithUploadNearestToIt) {
  startIdle();
  reach(State::Dragging);
  settings.quickCapture = false;
  sim::log().clear();
  send(WM_LBUTTONUP, 0, point(140, 80));
  const std::string menu = sim::last("TrackPopupMenu")->args[0], main = h(app.mainWindow);
  const std::string at = "InsertMenuW(" + menu + ", 4294967295, ";
  // Labels, order and flags as ever; the ids are the menu's own, none of them 0.
  EXPECT_EQ(callsOf({"InsertMenuW", "GetCursorPos", "SetForegroundWindow", "TrackPopupMenu", "DestroyMenu"}),
            (std::vector<std::string>{"GetCursorPos()", at + "1024, 3, \"Cancel\")", at + "2048, 0, null)",
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
    const std::string snap = h(capture().snapshotDc());
    sim::script("TrackPopupMenu", id);
    // A tray click that reaches the window while the message box is up starts
    // no second capture inside this one.
    sim::script("MessageBoxW", 1);
    send(WM_LBUTTONUP, 0, point(140, 80));
    EXPECT_EQ(stateOf(), State::Idle);
    bool painted = false;
    for (const auto& c : sim::log()) painted |= c.name == "BitBlt" && c.args[5] == snap;
    EXPECT_TRUE(painted) << "the window shown for the upload paints the snapshot";
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

// uploadChoice belongs to capture mode: the menu sets it, and a failed
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
  ASSERT_EQ(capture().uploadChoice(), 1);
  reach(State::Dragging);
  send(WM_LBUTTONUP, 0, point(140, 80));  // dismissed: no choice made
  ASSERT_EQ(capture().uploadChoice(), 1);

  sim::putFile(u"C:\\Pics\\a.png", "\x89PNG\r\n\x1a\npixels");
  sim::script("GetOpenFileNameW", 1);
  sim::setChosenFile(u"C:\\Pics\\a.png");
  sim::scriptHttp({u"200", {"http://corvane.net/abc"}, false});
  send(WM_COMMAND, IDM_FILEUPLOAD);
  EXPECT_TRUE(sim::hasFile(u"C:\\Saved\\abc.jpg"));
  EXPECT_EQ(capture().uploadChoice(), 0);
  EXPECT_EQ(stateOf(), State::Idle);
}

TEST(FinishSelection, InOrderAndOnAFailedEncodingAMessageAndNoUpload) {
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
    const std::string main = h(app.mainWindow), sel = h(app.selectionWindow);
    const std::string temp = sim::last("DeleteFileW")->args[0];
    auto finish = callsOf({"SetCursor", "ShowCursor", "ShowWindow", "MessageBoxW", "DeleteFileW", "DeleteDC",
                           "DeleteObject", "ReleaseDC", "MoveWindow"});
    // From the wait cursor on (handles as "*"); the snapshot's release closes the list.
    auto from = std::find_if(finish.begin(), finish.end(), [](auto& t) { return t.starts_with("SetCursor"); });
    std::vector<std::string> tail;
    for (auto it = from; it != finish.end(); ++it) tail.push_back(it->substr(0, it->find('(')) == "SetCursor" ? "SetCursor" : *it);
    for (auto& t : tail)
      for (const char* name : {"DeleteDC(", "DeleteObject("})
        if (t.starts_with(name)) t = std::string(name) + "*)";
    EXPECT_EQ(tail, (std::vector<std::string>{
                        "SetCursor", "ShowCursor(1)", "ShowWindow(" + main + ", 0)", "ShowWindow(" + main + ", 5)",
                        "MessageBoxW(" + main + ", \"" + failure.message + "\", \"Error\", 16)", "DeleteFileW(" + temp + ")",
                        "SetCursor", "ShowCursor(0)",
                        "ShowWindow(" + sel + ", 5)", "ShowWindow(" + sel + ", 0)", "MoveWindow(" + sel + ", 0, 0, 1, 1, 1)",
                        "ShowWindow(" + main + ", 5)", "ShowWindow(" + main + ", 0)", "DeleteDC(*)", "DeleteObject(*)"}));
    // The wait cursor, then the arrow, both stock cursors.
    auto cursors = callsOf({"LoadCursorW"});
    EXPECT_EQ(cursors, (std::vector<std::string>{"LoadCursorW(null, #32514)", "LoadCursorW(null, #32512)"}));
    EXPECT_EQ(sim::count("GdipSaveImageToFile") + sim::count("InternetOpenW") + sim::count("HttpSendRequestW"), 0)
        << "nothing saved or uploaded";
    EXPECT_FALSE(sim::hasFile(sim::utf16(temp.substr(1, temp.size() - 2))));
    EXPECT_EQ(sim::liveGdiObjects(), std::vector<std::string>{});
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
    if (c.keptAfter) EXPECT_EQ(sim::fileBytes(kUnsent).substr(0, 2), "\xFF\xD8");
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

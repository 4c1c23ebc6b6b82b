// Release of the mouse button to upload request complete, split into its steps
// and timed with QueryPerformanceCounter around the product's own functions,
// for bench/footprint.sh. The shipped corvane.exe carries no timing: this
// program links the same library, reaches the capture object's private steps
// through CaptureSteps (a friend the product declares and never defines) and
// runs them one by one, then runs the whole release through the product's own
// path (Start, Press, Release with quick capture on) for comparison.
// The capture is the whole virtual screen; the web service is reached through
// the prefix's proxy setting, as corvane.exe reaches it.
//
//   release_steps_win32.exe RUNS PIXELS.ppm PICTURE.jpg [SINKPORT]
// Prints one "step=<name> ms=<median>" line per step, and writes the grabbed
// pixels (for a reference encoder) and one JPEG the product wrote. With
// SINKPORT, the same body goes again to a service on that loopback port that
// answers at once (through the proxy setting, set to it for the while): the
// exchange without the web service's own work on the picture.
//
//   release_steps_win32.exe feedback RUNS SAVEFOLDER
// Capture mode's feedback instead: a mouse move before the press (the window
// outline and the magnifier) and during a drag (the selection, its size label
// and the magnifier) to its repaint done, and the release of a whole-screen
// selection to the picture on the clipboard (Copy) and to the PNG written in
// SAVEFOLDER (Save), through the product's own delivery.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/state.h"
#include "capture/capture.h"
#include "desktop/clipboard.h"
#include "net/multipart.h"
#include "desktop/clipboard.h"
#include "net/upload.h"
#include "picture/jpeg.h"
#include "platform/gdiplus.h"
#include "settings/settings.h"

// After the product's headers: its constants bear the platform's names, which
// <windows.h> defines as macros.
#include <windows.h>

namespace corvane {

// The capture object's private steps, one at a time, as start() and release()
// run them.
struct CaptureSteps {
  Capture& c;
  void readScreen() {
    c.screen_.left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
    c.screen_.top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    c.screen_.width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    c.screen_.height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
  }
  int width() const { return c.screen_.width; }
  int height() const { return c.screen_.height; }
  int left() const { return c.screen_.left; }
  int top() const { return c.screen_.top; }
  bool snapshot() { return c.takeSnapshot(); }
  // The whole virtual screen, dragged from its top left to its bottom right.
  void selectAll() {
    c.selection_ = {c.screen_.left, c.screen_.top, c.screen_.left + c.screen_.width - 1,
                    c.screen_.top + c.screen_.height - 1};
  }
  void placeSelection(bool) {
    c.windows_.showSelection(normalise(c.selection_.startX, c.selection_.startY, c.selection_.endX, c.selection_.endY));
  }
  void showSelectionOver(const platform::Rect& r) { c.windows_.showSelection(r); }
  // As a release hides it.
  void hideSelection() { c.windows_.hideSelection(); }
  // The main window over the virtual screen, showing the snapshot, as in capture mode.
  void showMain() { c.windows_.cover(c.screen_); }
  // What finish does first: the main window brought up for the work.
  void putMainUpAgain() { c.windows_.raiseForWork(); }
  void hideMain() { c.windows_.park(); }
  void grab() { c.grabRegion(); }
  const char16_t* file() const { return c.grab_ && c.grab_->file ? c.grab_->file.name() : nullptr; }
  platform::Hbitmap bitmap() const { return c.snapshot_ ? c.snapshot_->bitmap.get() : nullptr; }
  PixelRows rows() const { return c.grabRows(); }
  void drop() {
    c.grab_.reset();
    c.snapshot_.reset();
  }
  // The release as the post-selection menu's choice ends it, without the menu's own loop.
  void releaseAs(Choice choice, platform::Point client) {
    const platform::Point at = c.onScreen(client);
    c.mouse_.reset();
    c.selection_.endX = at.x;
    c.selection_.endY = at.y;
    c.setOutline(std::nullopt);
    c.dropLoupe();
    c.grabRegion();
    c.escape_.reset();
    c.finish(choice);
  }
};

}  // namespace corvane

namespace {

using namespace corvane;

double now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart * 1000.0 / frequency;
}

struct Step {
  const char* name;
  std::vector<double> ms;
};

template <typename F>
double timed(Step& step, F work) {
  const double t0 = now();
  work();
  step.ms.push_back(now() - t0);
  return step.ms.back();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool writePixels(platform::Hbitmap bitmap, int width, int height, const char* path) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<unsigned char> bgra(static_cast<size_t>(width) * height * 4);
  HDC screen = GetDC(nullptr);
  // The bitmap is still selected into the grab's memory DC; GetDIBits reads it all the same.
  const int rows = GetDIBits(screen, reinterpret_cast<HBITMAP>(bitmap), 0, height, bgra.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) return false;
  std::string ppm = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  ppm.reserve(ppm.size() + static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < bgra.size(); i += 4) ppm += {static_cast<char>(bgra[i + 2]), static_cast<char>(bgra[i + 1]),
                                                     static_cast<char>(bgra[i])};
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(ppm.data(), 1, ppm.size(), f) == ppm.size();
  return std::fclose(f) == 0 && ok;
}

int fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  return 1;
}

}  // namespace

// Moves of the cursor in small steps, as a hand makes them, each handled and
// repainted before the next; then whole-screen releases delivered by Copy and Save.
int feedback(int runs, const char* saveFolder) {
  const auto instance = reinterpret_cast<platform::Hinstance>(GetModuleHandleW(nullptr));
  registerWindowClasses(instance);
  if (!createWindows(instance)) return fail("the windows could not be made");
  capture().park();
  settings.quickCapture = false;
  const std::wstring folder(saveFolder, saveFolder + std::char_traits<char>::length(saveFolder));
  const std::size_t room = sizeof settings.saveFolder / sizeof settings.saveFolder[0];
  if (folder.size() + 1 > room) return fail("the save folder's name is too long");
  std::copy(folder.begin(), folder.end(), settings.saveFolder);
  settings.saveFolder[folder.size()] = 0;
  CaptureSteps steps{capture()};
  steps.readScreen();
  const int width = steps.width(), height = steps.height();
  constexpr int kMoves = 60;

  Step hover{"mouse move before the press, outline and magnifier repainted", {}};
  Step drag{"mouse move while dragging, selection, label and magnifier repainted", {}};
  Step alone{"of which the selection's strips repainted, alone", {}};
  Step copy{"release to the picture on the clipboard (Copy)", {}};
  Step save{"release to the PNG written (Save)", {}};
  auto pump = [] {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  };
  for (int i = 0; i < runs; ++i) {
    for (Step* release : {&copy, &save}) {
      if (!capture().handle(CaptureEvent::Start) || capture().state() != CaptureState::Waiting)
        return fail("capture mode did not begin");
      pump();
      for (int m = 0; m < kMoves; ++m)
        timed(hover, [&] { capture().handle(CaptureEvent::Move, platform::Point{width / 3 + 3 * m, height / 3 + 2 * m}); });
      capture().handle(CaptureEvent::Press, platform::Point{0, 0});
      for (int m = 0; m < kMoves; ++m)
        timed(drag, [&] { capture().handle(CaptureEvent::Move, platform::Point{width / 2 + 3 * m, height / 2 + 2 * m}); });
      for (int m = 0; m < kMoves; ++m) {
        const platform::Rect r{0, 0, width / 2 + 3 * m + 1, height / 2 + 2 * m + 1};
        timed(alone, [&] { steps.showSelectionOver(r); });
      }
      timed(*release, [&] {
        steps.releaseAs(release == &copy ? Choice::Copy : Choice::Save, platform::Point{width - 1, height - 1});
      });
      if (capture().state() != CaptureState::Idle) return fail("the release did not end capture mode");
      pump();
    }
  }
  trayIcon().reset();
  DestroyWindow(reinterpret_cast<HWND>(app.mainWindow));
  for (const Step* step : {&hover, &drag, &alone, &copy, &save})
    std::printf("step=%s ms=%.2f\n", step->name, median(step->ms));
  std::printf("size=%dx%d runs=%d\n", width, height, runs);
  return 0;
}

// RUNS posts of body through a proxy setting that names 127.0.0.1:PORT, set in the
// user's Internet settings for the while (each exchange opens its own session,
// which reads them) and put back afterwards.
bool sinkExchanges(int runs, const char* port, const std::string& body, Step& step) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                    KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return false;
  wchar_t old[256] = {};
  DWORD size = sizeof old - sizeof old[0];
  const bool had = RegQueryValueExW(key, L"ProxyServer", nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS;
  std::wstring server = L"127.0.0.1:";
  for (const char* c = port; *c; ++c) server += static_cast<wchar_t>(*c);
  const auto set = [&](const wchar_t* value) {
    RegSetValueExW(key, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t)));
  };
  set(server.c_str());
  bool done = !body.empty();
  for (int i = 0; i < runs && done; ++i) {
    Exchange reply;
    timed(step, [&] { reply = PostMultipart(kUploadPath, body); });
    done = reply.stage == ExchangeStage::Done;
  }
  if (had) set(old); else RegDeleteValueW(key, L"ProxyServer");
  RegCloseKey(key);
  return done;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "feedback") == 0) return feedback(std::max(1, std::atoi(argv[2])), argv[3]);
  if (argc != 4 && argc != 5)
    return std::fprintf(stderr, "usage: %s RUNS PIXELS.ppm PICTURE.jpg [SINKPORT] | feedback RUNS SAVEFOLDER\n", argv[0]), 2;
  const int runs = std::max(1, std::atoi(argv[1]));

  const auto instance = reinterpret_cast<platform::Hinstance>(GetModuleHandleW(nullptr));
  registerWindowClasses(instance);
  if (!createWindows(instance)) return fail("the windows could not be made");
  capture().park();
  settings.quickCapture = true;
  CaptureSteps steps{capture()};
  steps.readScreen();
  const int width = steps.width(), height = steps.height();

  Step snapshot{"snapshot copy (Alt+C, before the window shows)", {}};
  Step blit{"one screen-sized BitBlt (into a new DIB section)", {}};
  Step hide{"selection taken off the screen", {}};
  Step putUp{"main window put up again (finish)", {}};
  Step region{"region copy", {}};
  Step tempFile{"temporary file", {}};
  Step gdiplus{"GDI+ start-up and shutdown", {}};
  Step encode{"encoding (SaveBitmapAsJpeg less start-up)", {}};
  Step body{"body", {}};
  Step exchange{"exchange", {}};
  Step sink{"sink: the exchange with a service that answers at once", {}};
  Step link{"link handed on (clipboard, browser)", {}};
  Step whole{"release to return, the product's own path", {}};
  // A yardstick of the machine, not a step: new memory costs a page fault per
  // 4 KB the first time it is written, and the snapshot, the grab and the
  // encoder's buffers are all new memory.
  Step fresh{"8 MB of new memory written once", {}};

  std::string sent;  // the last body, for the service that answers at once
  for (int i = 0; i < runs; ++i) {
    steps.readScreen();
    bool shot = false;
    timed(snapshot, [&] { shot = steps.snapshot(); });
    if (!shot) return fail("no snapshot of the screen");
    // The copy the snapshot cannot do without, alone: the screen's pixels into
    // new memory, without any of the snapshot's other calls.
    {
      HDC screen = GetDC(nullptr);
      HDC memory = CreateCompatibleDC(screen);
      BITMAPINFO info{};
      info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
      void* bits = nullptr;
      HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
      HGDIOBJ previous = SelectObject(memory, bitmap);
      timed(blit, [&] { BitBlt(memory, 0, 0, width, height, screen, steps.left(), steps.top(), SRCCOPY); });
      SelectObject(memory, previous);
      DeleteObject(bitmap);
      DeleteDC(memory);
      ReleaseDC(nullptr, screen);
    }
    steps.selectAll();
    steps.showMain();
    // At the release the selection window lies shown over the dragged rectangle;
    // the grab hides it first and makes the temporary file last. Both are timed
    // apart (the hiding on a second showing, the file on a second one) and
    // taken off the grab's time.
    steps.placeSelection(false);
    timed(hide, [&] { steps.hideSelection(); });
    steps.placeSelection(false);
    const double grab = [&] {
      const double t0 = now();
      steps.grab();
      return now() - t0;
    }();
    if (steps.file() == nullptr) return fail("no temporary file");
    {
      TempJpegFile other;
      timed(tempFile, [&] { other.make(); });
    }
    region.ms.push_back(std::max(0.0, grab - tempFile.ms.back() - hide.ms.back()));

    timed(putUp, [&] { steps.putMainUpAgain(); });
    timed(gdiplus, [] { const platform::GdiplusSession session; });
    int saved = 0;
    const double encoding = [&] {
      const double t0 = now();
      const PixelRows rows = steps.rows();
      saved = SaveBitmapAsJpeg(steps.file(), steps.bitmap(), &rows);
      return now() - t0;
    }();
    encode.ms.push_back(std::max(0.0, encoding - gdiplus.ms.back()));
    if (saved != 1) return fail("SaveBitmapAsJpeg failed");
    if (i == 0) {
      if (!writePixels(steps.bitmap(), width, height, argv[2])) return fail("no pixels written");
      std::wstring copy(argv[3], argv[3] + std::char_traits<char>::length(argv[3]));
      if (!CopyFileW(reinterpret_cast<const wchar_t*>(steps.file()), copy.c_str(), FALSE))
        return fail("the JPEG could not be kept");
    }

    std::string bytes;
    bool read = false;
    timed(body, [&] {
      MultipartBody b;
      AddField(b, "cv", kClientVersion);
      read = AddFileField(b, "imagedata", steps.file());
      bytes = FinishBody(b);
    });
    if (!read) return fail("the picture could not be read into the body");
    Exchange reply;
    timed(exchange, [&] { reply = PostMultipart(kUploadPath, bytes); });
    sent = bytes;
    if (reply.stage != ExchangeStage::Done) return fail("the exchange failed (is the proxy set to the service?)");
    timed(link, [&] {
      CopyTextToClipboard(nullptr, reply.reply);
      OpenLink(reply.reply.c_str());
    });
    steps.hideMain();
    steps.drop();
    timed(fresh, [] {
      constexpr size_t kBytes = 8u << 20;
      if (void* block = VirtualAlloc(nullptr, kBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {
        std::memset(block, 1, kBytes);
        VirtualFree(block, 0, MEM_RELEASE);
      }
    });
  }

  // The whole release as a user's drag ends it: capture mode, a press at the
  // top left, the release at the bottom right (client points of the window
  // that lies over the virtual screen).
  for (int i = 0; i < runs; ++i) {
    if (!capture().handle(CaptureEvent::Start) || capture().state() != CaptureState::Waiting)
      return fail("capture mode did not begin");
    capture().handle(CaptureEvent::Press, platform::Point{0, 0});
    timed(whole, [&] { capture().handle(CaptureEvent::Release, platform::Point{width - 1, height - 1}); });
    if (capture().state() != CaptureState::Idle || capture().holdsGrab())
      return fail("the release did not end capture mode");
  }

  if (argc == 5 && !sinkExchanges(runs, argv[4], sent, sink)) return fail("the exchange with the sink failed");

  trayIcon().reset();
  DestroyWindow(reinterpret_cast<HWND>(app.mainWindow));

  for (const Step* step :
       {&snapshot, &blit, &hide, &putUp, &region, &tempFile, &gdiplus, &encode, &body, &exchange, &sink, &link, &whole, &fresh})
    std::printf("step=%s ms=%.2f\n", step->name, median(step->ms));
  std::printf("size=%dx%d runs=%d\n", width, height, runs);
  return 0;
}

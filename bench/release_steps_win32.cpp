// Release of the mouse button to upload request complete, split into its steps
// and timed with QueryPerformanceCounter around the product's own functions,
// for bench/footprint.sh. The shipped corvane.exe carries no timing: this
// program links the same library and calls the steps one by one, then runs the
// whole release (handleButtonRelease with quick capture on) for comparison.
// The capture is the whole virtual screen; the web service is reached through
// the prefix's proxy setting, as corvane.exe reaches it.
//
//   release_steps_win32.exe RUNS PIXELS.ppm PICTURE.jpg
// Prints one "step=<name> ms=<median>" line per step, and writes the grabbed
// pixels (for a reference encoder) and one JPEG the product wrote.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/state.h"
#include "capture/capture.h"
#include "net/multipart.h"
#include "net/upload.h"
#include "picture/jpeg.h"
#include "platform/gdiplus.h"
#include "settings/settings.h"

// After the product's headers: its constants bear the platform's names, which
// <windows.h> defines as macros.
#include <windows.h>

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
void timed(Step& step, F work) {
  const double t0 = now();
  work();
  step.ms.push_back(now() - t0);
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

int main(int argc, char** argv) {
  if (argc != 4) return std::fprintf(stderr, "usage: %s RUNS PIXELS.ppm PICTURE.jpg\n", argv[0]), 2;
  const int runs = std::max(1, std::atoi(argv[1]));

  const auto instance = reinterpret_cast<platform::Hinstance>(GetModuleHandleW(nullptr));
  registerWindowClasses(instance);
  if (!createWindows(instance)) return fail("the windows could not be made");
  settings.quickCapture = true;
  app.uploadChoice = 0;
  const std::int32_t left = app.screenOriginX, top = app.screenOriginY;
  const std::int32_t right = left + app.screenWidth - 1, bottom = top + app.screenHeight - 1;

  Step snapshot{"snapshot copy (Alt+C, before the window shows)", {}};
  Step hide{"selection window hidden", {}};
  Step region{"region copy", {}};
  Step tempFile{"temporary file", {}};
  Step gdiplus{"GDI+ start-up and shutdown", {}};
  Step encode{"encoding (SaveBitmapAsJpeg less start-up)", {}};
  Step body{"body", {}};
  Step exchange{"exchange", {}};
  Step link{"link handed on (clipboard, browser)", {}};
  Step whole{"release to return, the product's own path", {}};

  for (int i = 0; i < runs; ++i) {
    timed(snapshot, [] { takeSnapshot(); });
    app.selection = {left, top, right, bottom};
    // At the release the selection window lies shown over the dragged rectangle;
    // grabRegion hides it first and makes the temporary file last. Both are
    // timed apart (the hiding on a second showing) and taken off the copy.
    placeSelectionWindow(left, top, right, bottom, false);
    timed(hide, [&] { placeSelectionWindow(left, top, right, bottom, true); });
    placeSelectionWindow(left, top, right, bottom, false);
    double grab = 0;
    {
      const double t0 = now();
      grabRegion();
      grab = now() - t0;
    }
    if (app.tempFileName[0] == 0) return fail("no temporary file");
    char16_t folder[260], other[260];
    timed(tempFile, [&] { MakeTempJpegFile(folder, other); });
    DeleteFileW(reinterpret_cast<const wchar_t*>(other));
    region.ms.push_back(std::max(0.0, grab - tempFile.ms.back() - hide.ms.back()));

    timed(gdiplus, [] {
      const platform::GdiplusStartupInput input{1, nullptr, 0, 0};
      std::uintptr_t token = 0;
      if (platform::GdiplusStartup(&token, &input, nullptr) == 0) platform::GdiplusShutdown(token);
    });
    int saved = 0;
    const double t0 = now();
    saved = SaveBitmapAsJpeg(app.tempFileName, app.grabBitmap);
    encode.ms.push_back(std::max(0.0, now() - t0 - gdiplus.ms.back()));
    if (saved != 1) return fail("SaveBitmapAsJpeg failed");
    if (i == 0) {
      if (!writePixels(app.grabBitmap, app.screenWidth, app.screenHeight, argv[2])) return fail("no pixels written");
      std::wstring copy(argv[3], argv[3] + std::char_traits<char>::length(argv[3]));
      if (!CopyFileW(reinterpret_cast<const wchar_t*>(app.tempFileName), copy.c_str(), FALSE))
        return fail("the JPEG could not be kept");
    }

    std::string bytes;
    bool read = false;
    timed(body, [&] {
      MultipartBody b;
      AddField(b, "cv", kClientVersion);
      read = AddFileField(b, "imagedata", app.tempFileName);
      bytes = FinishBody(b);
    });
    if (!read) return fail("the picture could not be read into the body");
    Exchange reply;
    timed(exchange, [&] { reply = PostMultipart(kUploadPath, bytes); });
    if (reply.stage != ExchangeStage::Done) return fail("the exchange failed (is the proxy set to the service?)");
    timed(link, [&] {
      CopyTextToClipboard(reply.reply.c_str());
      OpenLink(reply.reply.c_str());
    });
    releaseGrab();
    releaseSnapshot();
  }

  // The whole release as a user's drag ends it: capture mode, a press, the release.
  for (int i = 0; i < runs; ++i) {
    enterCaptureMode(app.mainWindow);
    app.buttonDown = true;
    app.dragging = 1;
    app.selection = {left, top, right, bottom};
    timed(whole, [&] { handleButtonRelease(right, bottom); });
    if (app.captureMode || app.menuPending) return fail("the release did not end capture mode");
  }

  platform::NotifyIconData icon = app.trayIcon;
  Shell_NotifyIconW(NIM_DELETE, reinterpret_cast<NOTIFYICONDATAW*>(&icon));
  DestroyWindow(reinterpret_cast<HWND>(app.mainWindow));

  for (const Step* step : {&snapshot, &hide, &region, &tempFile, &gdiplus, &encode, &body, &exchange, &link, &whole})
    std::printf("step=%s ms=%.2f\n", step->name, median(step->ms));
  std::printf("size=%dx%d runs=%d\n", app.screenWidth, app.screenHeight, runs);
  return 0;
}

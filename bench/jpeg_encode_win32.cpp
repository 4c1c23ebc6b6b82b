// Times SaveBitmapAsJpeg on a 1920x1080 screen-sized selection, handed over as
// a capture hands it (the rows of a 32-bit top-down DIB section, in place), GDI+
// start-up and shutdown included as every capture pays them, and writes the same pixels as a
// binary PPM so that a reference encoder can be timed on exactly that picture.
//   jpeg_encode_win32.exe <pixels.ppm> [encodings]
// Prints "ms_per_encoding=<ms> bytes=<size of one JPEG>".
#include "picture/jpeg.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

// Something like a desktop: smooth gradients, flat panels, text-like stripes and
// some noise, reproducible from run to run.
DWORD pixelAt(int x, int y, unsigned& seed) {
  seed = seed * 1103515245u + 12345u;
  const int noise = static_cast<int>((seed >> 16) & 7);
  int r = (x * 255) / kWidth, g = (y * 255) / kHeight, b = ((x + y) * 255) / (kWidth + kHeight);
  if ((x / 240 + y / 135) % 3 == 0) r = g = b = 0xF0;              // panels
  if (y % 18 < 11 && (x % 9) < 6 && (x / 480) % 2 == 1) r = g = b = 0x20;  // "text"
  r = std::min(255, r + noise), g = std::min(255, g + noise), b = std::min(255, b + noise);
  return static_cast<DWORD>(r << 16 | g << 8 | b);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <pixels.ppm> [encodings]\n", argv[0]);
    return 2;
  }
  const int encodings = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return 1;

  std::string ppm = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
  unsigned seed = 1;
  constexpr int kStride = kWidth * 4;
  const corvane::PixelRows rows{kWidth, kHeight, kStride, static_cast<std::uint8_t*>(bits), 32};
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const DWORD p = pixelAt(x, y, seed);
      std::uint8_t* to = rows.top + y * kStride + x * 4;  // blue, green, red, unused
      to[0] = static_cast<std::uint8_t>(p), to[1] = static_cast<std::uint8_t>(p >> 8),
      to[2] = static_cast<std::uint8_t>(p >> 16), to[3] = 0;
      ppm += {static_cast<char>(p >> 16), static_cast<char>(p >> 8), static_cast<char>(p)};
    }
  }
  if (FILE* f = std::fopen(argv[1], "wb")) {
    std::fwrite(ppm.data(), 1, ppm.size(), f);
    std::fclose(f);
  } else {
    return 1;
  }

  char16_t folder[260], name[260];
  if (!corvane::MakeTempJpegFile(folder, name)) return 1;
  // One untimed encoding loads the codecs, as a reference encoder's binary is
  // already in the page cache when it is timed.
  if (corvane::SaveBitmapAsJpeg(name, reinterpret_cast<platform::Hbitmap>(bitmap), &rows) != 1) return 1;

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (int i = 0; i < encodings; ++i) corvane::SaveBitmapAsJpeg(name, reinterpret_cast<platform::Hbitmap>(bitmap), &rows);
  QueryPerformanceCounter(&end);

  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  GetFileAttributesExW(reinterpret_cast<const wchar_t*>(name), GetFileExInfoStandard, &attributes);
  DeleteFileW(reinterpret_cast<const wchar_t*>(name));
  DeleteObject(bitmap);

  const double ms = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart / encodings;
  std::printf("ms_per_encoding=%.2f bytes=%lu\n", ms, attributes.nFileSizeLow);
  return 0;
}

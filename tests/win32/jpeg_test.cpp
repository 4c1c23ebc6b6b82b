// The JPEG encodings on the platform's own GDI+: what they write must decode
// back to the picture they were given. Sources are made here with GDI+'s own
// encoders, so every format the tool offers in its dialog is covered.
// The project's headers come before <windows.h>, whose macros share their names.
#include "picture/jpeg.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

extern "C" {
struct GpImage;
struct GdiplusStartupInputRecord {
  UINT32 version;
  void* debugEventCallback;
  BOOL suppressBackgroundThread;
  BOOL suppressExternalCodecs;
};
int WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInputRecord* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
int WINAPI GdipCreateBitmapFromScan0(INT width, INT height, INT stride, INT format, BYTE* scan0, GpImage** bitmap);
int WINAPI GdipLoadImageFromFile(const WCHAR* path, GpImage** image);
int WINAPI GdipSaveImageToFile(GpImage* image, const WCHAR* path, const CLSID* encoder, const void* params);
int WINAPI GdipGetImageWidth(GpImage* image, UINT* width);
int WINAPI GdipGetImageHeight(GpImage* image, UINT* height);
int WINAPI GdipBitmapGetPixel(GpImage* bitmap, INT x, INT y, DWORD* argb);
int WINAPI GdipDisposeImage(GpImage* image);
int WINAPI GdipSetImagePalette(GpImage* image, const void* palette);
}

namespace {

constexpr int kWidth = 64, kHeight = 48;
constexpr INT kPixelFormat32bppRGB = 0x22009, kPixelFormat8bppIndexed = 0x30803;

// Flat blocks of twelve colours with edges on JPEG's 8-pixel grid, so that a
// palette holds them all and quality 95 keeps them close.
constexpr DWORD kColours[12] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFFFF00,
                                0x00FFFF, 0xFF00FF, 0x996633, 0x336699, 0xCCCCCC, 0x669900};
int colourAt(int x, int y) { return (y / 16) * 4 + x / 16; }

std::vector<DWORD> testPixels() {
  std::vector<DWORD> pixels(kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) pixels[y * kWidth + x] = kColours[colourAt(x, y)];
  return pixels;
}

// The test picture as a GDI+ bitmap. GIF gets an indexed one: Wine's GIF encoder
// writes a truncated file, and still reports success, from a 32-bit bitmap.
GpImage* makeTestImage(bool indexed, std::vector<BYTE>& storage) {
  GpImage* image = nullptr;
  if (!indexed) {
    const auto pixels = testPixels();
    storage.assign(reinterpret_cast<const BYTE*>(pixels.data()), reinterpret_cast<const BYTE*>(pixels.data() + pixels.size()));
    GdipCreateBitmapFromScan0(kWidth, kHeight, kWidth * 4, kPixelFormat32bppRGB, storage.data(), &image);
    return image;
  }
  storage.resize(kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) storage[y * kWidth + x] = static_cast<BYTE>(colourAt(x, y));
  struct {
    UINT flags, count;
    DWORD entries[256];
  } palette{0, 256, {}};
  for (int i = 0; i < 12; ++i) palette.entries[i] = 0xFF000000 | kColours[i];
  if (GdipCreateBitmapFromScan0(kWidth, kHeight, kWidth, kPixelFormat8bppIndexed, storage.data(), &image) == 0)
    GdipSetImagePalette(image, &palette);
  return image;
}

std::wstring tempFolder() {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return folder;
}

std::string readAll(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(f, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(f);
  return bytes;
}

void writeAll(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
}

const char16_t* U(const std::wstring& s) { return reinterpret_cast<const char16_t*>(s.c_str()); }

// The tests' own GDI+ session, for making sources and decoding results.
class GdiplusSession {
 public:
  GdiplusSession() {
    GdiplusStartupInputRecord input{1, nullptr, FALSE, FALSE};
    GdiplusStartup(&token_, &input, nullptr);
  }
  ~GdiplusSession() { GdiplusShutdown(token_); }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

 private:
  ULONG_PTR token_ = 0;
};

class TempJpeg {
 public:
  TempJpeg() { ok_ = corvane::MakeTempJpegFile(folder_, name_); }
  ~TempJpeg() {
    if (ok_) DeleteFileW(path().c_str());
  }
  TempJpeg(const TempJpeg&) = delete;
  TempJpeg& operator=(const TempJpeg&) = delete;
  bool ok() const { return ok_; }
  std::wstring path() const { return reinterpret_cast<const wchar_t*>(name_); }

 private:
  char16_t folder_[260];
  char16_t name_[260];
  bool ok_;
};

// Decodes a JPEG file and compares it with testPixels(): the mean difference per
// channel must stay small (quality 95), and no pixel may be far off.
void expectJpegOfTestPixels(const std::wstring& path) {
  const std::string bytes = readAll(path);
  ASSERT_GT(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 3), "\xFF\xD8\xFF");
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\xFF\xD9");

  GdiplusSession session;
  GpImage* image = nullptr;
  ASSERT_EQ(GdipLoadImageFromFile(path.c_str(), &image), 0);
  UINT width = 0, height = 0;
  GdipGetImageWidth(image, &width);
  GdipGetImageHeight(image, &height);
  EXPECT_EQ(width, static_cast<UINT>(kWidth));
  EXPECT_EQ(height, static_cast<UINT>(kHeight));
  if (width == kWidth && height == kHeight) {
    const auto expected = testPixels();
    long total = 0;
    int worst = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        DWORD argb = 0;
        GdipBitmapGetPixel(image, x, y, &argb);
        for (int shift : {0, 8, 16}) {
          const int d = std::abs(static_cast<int>((argb >> shift) & 0xFF) -
                                 static_cast<int>((expected[y * kWidth + x] >> shift) & 0xFF));
          total += d;
          worst = std::max(worst, d);
        }
      }
    }
    EXPECT_LT(total / double(kWidth * kHeight * 3), 3.0);
    EXPECT_LT(worst, 64);
  }
  GdipDisposeImage(image);
}

// The test pixels in a DIB section of the given depth (32 or 24) and row order,
// framed by margin pixels of another colour on every side; rows, when asked
// for, receives where the test pixels lie in it.
HBITMAP makeTestDib(WORD bitsPerPixel = 32, bool topDown = true, corvane::PixelRows* rows = nullptr, int margin = 0) {
  const int width = kWidth + 2 * margin, height = kHeight + 2 * margin;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = topDown ? -height : height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bitsPerPixel;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap) {
    const auto pixels = testPixels();
    const int bytes = bitsPerPixel / 8, stride = (width * bitsPerPixel + 31) / 32 * 4;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const bool inside = x >= margin && x < margin + kWidth && y >= margin && y < margin + kHeight;
        const DWORD colour = inside ? pixels[(y - margin) * kWidth + x - margin] : 0x8040C0;
        BYTE* to = static_cast<BYTE*>(bits) + (topDown ? y : height - 1 - y) * stride + x * bytes;
        std::memcpy(to, &colour, bytes);  // blue, green, red (, unused)
      }
    if (rows != nullptr) {
      auto* top = static_cast<std::uint8_t*>(bits) + (topDown ? margin : height - 1 - margin) * stride + margin * bytes;
      *rows = {kWidth, kHeight, topDown ? stride : -stride, top, bitsPerPixel};
    }
  }
  return bitmap;
}

}  // namespace

TEST(Jpeg, EncoderLookupOnThePlatformList) {
  GdiplusSession session;
  platform::Guid jpeg{}, png{};
  const int jpegAt = corvane::FindEncoderClsid(u"image/jpeg", &jpeg);
  EXPECT_GE(jpegAt, 0);
  EXPECT_GE(corvane::FindEncoderClsid(u"image/png", &png), 0);
  EXPECT_NE(jpegAt, corvane::FindEncoderClsid(u"image/png", &png));
  platform::Guid untouched{7, 7, 7, {}};
  EXPECT_EQ(corvane::FindEncoderClsid(u"IMAGE/JPEG", &untouched), -1);
  EXPECT_EQ(untouched.data1, 7u);
}

TEST(Jpeg, TempFileIsAnEmptyRarTmpInTheTempFolder) {
  TempJpeg temp;
  ASSERT_TRUE(temp.ok());
  const std::wstring path = temp.path();
  const std::wstring folder = tempFolder();
  ASSERT_EQ(path.compare(0, folder.size(), folder), 0);
  EXPECT_EQ(path.compare(folder.size(), 3, L"rar"), 0);
  EXPECT_EQ(path.substr(path.size() - 4), L".tmp");
  EXPECT_EQ(readAll(path), "");
}

TEST(Jpeg, SaveBitmapAsJpegWritesTheBitmapOverATmpFile) {
  // Copied by GDI+ from the handle, or read in place from the rows its maker
  // describes, in either row order.
  // In place also a rectangle inside a larger section: rows longer than the
  // picture, its first pixel past the section's first.
  const struct {
    WORD bits;
    bool topDown, inPlace, selected;
    int margin;
  } cases[] = {{32, true, false, false, 0}, {32, true, false, true, 0}, {24, false, false, true, 0},
               {24, true, true, false, 0},  {24, true, true, true, 0},  {24, false, true, true, 0},
               {32, true, true, false, 0},  {32, true, true, true, 5},  {32, true, true, false, 3}};
  for (const auto& c : cases) {
    const bool selected = c.selected;
    SCOPED_TRACE(std::to_string(c.bits) + (c.topDown ? " bits, top-down, " : " bits, bottom-up, ") +
                 (c.inPlace ? "in place, " : "copied, ") + (selected ? "selected into a memory DC" : "not selected") +
                 ", margin " + std::to_string(c.margin));
    corvane::PixelRows rows{};
    HBITMAP bitmap = makeTestDib(c.bits, c.topDown, &rows, c.margin);
    ASSERT_NE(bitmap, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = selected ? SelectObject(dc, bitmap) : nullptr;
    TempJpeg temp;
    ASSERT_TRUE(temp.ok());

    EXPECT_EQ(corvane::SaveBitmapAsJpeg(U(temp.path()), reinterpret_cast<platform::Hbitmap>(bitmap),
                                        c.inPlace ? &rows : nullptr),
              1);
    expectJpegOfTestPixels(temp.path());

    // The handle is still the caller's, and still where the caller put it.
    BITMAP info{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, kWidth + 2 * c.margin);
    if (selected) {
      EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), bitmap);
      EXPECT_EQ(GetPixel(dc, 20 + c.margin, 5 + c.margin), RGB(0x00, 0xFF, 0x00));
      SelectObject(dc, previous);
    }
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(bitmap));
  }
}

TEST(Jpeg, SaveBitmapAsJpegOfNoBitmapWritesNothing) {
  TempJpeg temp;
  ASSERT_TRUE(temp.ok());
  EXPECT_EQ(corvane::SaveBitmapAsJpeg(U(temp.path()), nullptr), 0);
  EXPECT_EQ(readAll(temp.path()), "");
}

TEST(Jpeg, ConvertFileToJpegFromEveryOfferedFormat) {
  const wchar_t* const formats[][2] = {{L"image/png", L"png"}, {L"image/bmp", L"bmp"}, {L"image/gif", L"gif"},
                                       {L"image/tiff", L"tif"}, {L"image/jpeg", L"jpg"}};
  for (const auto& format : formats) {
    const std::wstring source = tempFolder() + L"corvane-source." + format[1];
    SCOPED_TRACE(std::string(format[1], format[1] + wcslen(format[1])));
    {
      GdiplusSession session;
      platform::Guid encoder{};
      ASSERT_GE(corvane::FindEncoderClsid(reinterpret_cast<const char16_t*>(format[0]), &encoder), 0);
      std::vector<BYTE> storage;
      GpImage* image = makeTestImage(std::wstring(format[1]) == L"gif", storage);
      ASSERT_NE(image, nullptr);
      ASSERT_EQ(GdipSaveImageToFile(image, source.c_str(), reinterpret_cast<const CLSID*>(&encoder), nullptr), 0);
      GdipDisposeImage(image);
    }
    const bool jpeg = std::wstring(format[1]) == L"jpg";
    // Bytes after the end of a JPEG are read by no decoder: a copy would keep them.
    if (jpeg) writeAll(source, readAll(source) + "trailing bytes");
    const std::string sourceBytes = readAll(source);
    TempJpeg temp;
    ASSERT_TRUE(temp.ok());

    EXPECT_EQ(corvane::ConvertFileToJpeg(U(temp.path()), U(source)), 1);
    expectJpegOfTestPixels(temp.path());
    EXPECT_EQ(readAll(source), sourceBytes);  // only read
    if (jpeg) {
      EXPECT_NE(readAll(temp.path()), sourceBytes);  // decoded and encoded again
    }
    DeleteFileW(source.c_str());
  }
}

TEST(Jpeg, ConvertFileToJpegOfNoPictureLeavesTheOutputAsItWas) {
  const std::wstring notAPicture = tempFolder() + L"corvane-notes.png";
  writeAll(notAPicture, "these are notes, not pixels\r\n");
  struct Row {
    const char* name;
    std::wstring source;
    std::string outputBefore;
  };
  const Row rows[] = {
      {"missing, empty output", tempFolder() + L"corvane-missing.png", ""},
      {"missing, output with content", tempFolder() + L"corvane-missing.png", "earlier"},
      {"not a picture", notAPicture, ""},
      {"not a picture, output with content", notAPicture, "earlier"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempJpeg temp;
    ASSERT_TRUE(temp.ok());
    writeAll(temp.path(), row.outputBefore);
    EXPECT_EQ(corvane::ConvertFileToJpeg(U(temp.path()), U(row.source)), 0);
    EXPECT_EQ(readAll(temp.path()), row.outputBefore);
  }
  DeleteFileW(notAPicture.c_str());
}

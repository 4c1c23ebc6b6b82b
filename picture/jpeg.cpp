// JPEG encoding of a grabbed bitmap or of a picture file, through GDI+'s flat
// interface. GDI+ runs only for the length of one encoding, so nothing of it
// (token, images, encoder list) is kept between calls.
#include "picture/jpeg.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string_view>

#include "platform/gdi32.h"
#include "platform/gdiplus.h"
#include "platform/guards.h"
#include "platform/kernel32.h"

namespace corvane {
namespace {

using platform::GpImage;
using platform::GpStatus;

constexpr GpStatus kOk = 0;
constexpr std::uint32_t kJpegQuality = 95;
constexpr std::uint32_t kEncoderParameterValueTypeLong = 4;
constexpr std::int32_t kPixelFormat24bppRGB = 0x21808;  // blue, green, red: a 24-bit DIB's order
constexpr std::int32_t kPixelFormat32bppRGB = 0x22009;  // blue, green, red, unused: a 32-bit DIB's order
constexpr platform::Guid kEncoderQuality{
    0x1d5be4b5, 0xfa4a, 0x452d, {0x9c, 0xdd, 0x5d, 0xb3, 0x51, 0x05, 0xe7, 0xeb}};

// One picture per encoding: the native image and the status of the call that
// made it. Its memory is GDI+'s own, and it is destroyed before GDI+ shuts down.
struct Picture {
  GpImage native;
  GpStatus lastStatus;
};

Picture* newPicture() {
  void* memory = platform::GdipAlloc(sizeof(Picture));
  return memory ? new (memory) Picture{nullptr, kOk} : nullptr;
}

void deletePicture(Picture* picture) {
  // A failed create or load leaves no native image; disposing of null is harmless.
  platform::GdipDisposeImage(picture->native);
  picture->~Picture();
  platform::GdipFree(picture);
}

struct PictureDeleter {
  void operator()(Picture* picture) const { deletePicture(picture); }
};

struct FreeDeleter {
  void operator()(void* block) const { std::free(block); }
};

// Starts GDI+, makes the picture with `make`, saves it as JPEG, destroys the
// picture and shuts GDI+ down, in that order. `make` returns null when no memory
// could be had; a picture whose status is not Ok is saved only when
// `saveFailedPicture` is set (the save then fails on its missing image).
template <typename Make>
int encodeAsJpeg(const char16_t* outputPath, Make make, bool saveFailedPicture) {
  // Declared first, so the picture is gone before GDI+ shuts down.
  const platform::GdiplusSession gdiplus;
  // Without GDI+ there is nothing to encode with.
  if (!gdiplus) return 0;
  const std::unique_ptr<Picture, PictureDeleter> picture(make());
  if (!picture || (picture->lastStatus != kOk && !saveFailedPicture)) return 0;
  platform::Guid encoder{};
  if (FindEncoderClsid(u"image/jpeg", &encoder) == -1) return 0;
  std::uint32_t quality = kJpegQuality;
  platform::EncoderParameters params{};
  params.Count = 1;
  params.Parameter[0] = {kEncoderQuality, 1, kEncoderParameterValueTypeLong, &quality};
  return platform::GdipSaveImageToFile(picture->native, outputPath, &encoder, &params) == kOk ? 1 : 0;
}

}  // namespace

int FindEncoderClsid(const char16_t* mimeType, platform::Guid* clsid) {
  if (mimeType == nullptr || clsid == nullptr) return -1;
  std::uint32_t count = 0;
  std::uint32_t size = 0;
  platform::GdipGetImageEncodersSize(&count, &size);
  if (size == 0) return -1;

  std::unique_ptr<void, FreeDeleter> block(std::malloc(size));
  if (!block) return -1;
  auto* encoders = static_cast<platform::ImageCodecInfo*>(block.get());
  // A failed fill leaves no valid records, and the records must lie inside the block.
  if (platform::GdipGetImageEncoders(count, size, encoders) != kOk) return -1;
  if (count > size / sizeof(platform::ImageCodecInfo)) return -1;

  const std::u16string_view wanted(mimeType);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (encoders[i].MimeType != nullptr && std::u16string_view(encoders[i].MimeType) == wanted) {
      *clsid = encoders[i].Clsid;
      return static_cast<int>(i);
    }
  }
  return -1;
}

int SaveBitmapAsJpeg(const char16_t* outputPath, platform::Hbitmap bitmap, const PixelRows* rows) {
  // Given no pixels, GDI+ would make a blank picture of its own and save that.
  if (rows != nullptr && rows->top == nullptr) return 0;
  return encodeAsJpeg(
      outputPath,
      [bitmap, rows]() -> Picture* {
        Picture* picture = newPicture();
        if (picture == nullptr) return nullptr;
        // Either way the picture is gone before this call returns, and with it
        // GDI+'s hold on the pixels.
        if (rows != nullptr) {
          platform::GdiFlush();  // the last drawing into the section may still be held back
          picture->lastStatus = platform::GdipCreateBitmapFromScan0(
              rows->width, rows->height, rows->stride,
              rows->bitsPerPixel == 32 ? kPixelFormat32bppRGB : kPixelFormat24bppRGB, rows->top, &picture->native);
        } else {
          picture->lastStatus = platform::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &picture->native);
        }
        return picture;
      },
      /*saveFailedPicture=*/rows == nullptr);
}

int ConvertFileToJpeg(const char16_t* outputPath, const char16_t* sourcePath) {
  return encodeAsJpeg(
      outputPath,
      [sourcePath]() -> Picture* {
        Picture* picture = newPicture();
        if (picture) picture->lastStatus = platform::GdipLoadImageFromFile(sourcePath, &picture->native);
        return picture;
      },
      /*saveFailedPicture=*/false);
}

bool MakeTempJpegFile(char16_t (&folder)[260], char16_t (&name)[260]) {
  name[0] = 0;
  const std::uint32_t length = platform::GetTempPathW(platform::MAX_PATH, folder);
  // 0 is a failure; a value past the buffer is the size the path would need.
  if (length == 0 || length >= platform::MAX_PATH) {
    folder[0] = 0;
    return false;
  }
  if (platform::GetTempFileNameW(folder, u"rarodor", 0, name) != 0) return true;
  // The folder may have been deleted (a cleaner, the user): made again, once,
  // and asked again. Its parents are the profile's and are not made here.
  if (platform::CreateDirectoryW(folder, nullptr) && platform::GetTempFileNameW(folder, u"rarodor", 0, name) != 0)
    return true;
  name[0] = 0;
  return false;
}

TempJpegFile::~TempJpegFile() { remove(); }

void TempJpegFile::remove() {
  if (made_) platform::DeleteFileW(name_);
  made_ = false;
}

}  // namespace corvane

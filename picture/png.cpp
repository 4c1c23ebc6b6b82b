// The lossless forms of a picture: the packed DIB of the clipboard and PNG
// through GDI+'s "image/png" encoder.
#include "picture/png.h"

#include <cstring>
#include <memory>
#include <new>

#include "platform/gdiplus.h"
#include "platform/guards.h"
#include "platform/kernel32.h"

namespace corvane {
namespace {

constexpr std::int32_t kPixelFormat24bppRGB = 0x21808;  // blue, green, red: a 24-bit DIB's order
constexpr std::size_t kHeaderBytes = sizeof(platform::BitmapInfoHeader);

std::int32_t paddedRow(std::int32_t width) { return (width * 3 + 3) & ~3; }

}  // namespace

std::string PackedDib(const PixelRows& rows) {
  if (rows.top == nullptr || rows.width <= 0 || rows.height <= 0) return {};
  const std::int32_t row = paddedRow(rows.width);
  std::string dib(kHeaderBytes + static_cast<std::size_t>(row) * rows.height, '\0');
  platform::BitmapInfoHeader header{};
  header.biSize = kHeaderBytes;
  header.biWidth = rows.width;
  header.biHeight = rows.height;  // positive: bottom-up, as every reader expects
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = platform::BI_RGB;
  header.biSizeImage = static_cast<std::uint32_t>(row) * rows.height;
  std::memcpy(dib.data(), &header, kHeaderBytes);
  const int step = rows.bitsPerPixel == 32 ? 4 : 3;
  auto* out = reinterpret_cast<std::uint8_t*>(dib.data() + kHeaderBytes);
  for (std::int32_t y = 0; y < rows.height; ++y) {
    const std::uint8_t* in = rows.top + static_cast<std::ptrdiff_t>(y) * rows.stride;
    std::uint8_t* line = out + static_cast<std::ptrdiff_t>(rows.height - 1 - y) * row;
    for (std::int32_t x = 0; x < rows.width; ++x, in += step, line += 3) {
      line[0] = in[0];
      line[1] = in[1];
      line[2] = in[2];
    }
  }
  return dib;
}

int SaveDibAsPng(const char16_t* path, const std::string& dib) {
  using namespace platform;
  if (dib.size() < kHeaderBytes) return 0;
  BitmapInfoHeader header{};
  std::memcpy(&header, dib.data(), kHeaderBytes);
  const std::int32_t row = paddedRow(header.biWidth);
  if (header.biWidth <= 0 || header.biHeight <= 0 ||
      dib.size() < kHeaderBytes + static_cast<std::size_t>(row) * header.biHeight)
    return 0;
  // Declared first, so the picture is gone before GDI+ shuts down.
  const GdiplusSession gdiplus;
  if (!gdiplus) return 0;
  Guid encoder{};
  if (FindEncoderClsid(u"image/png", &encoder) == -1) return 0;
  // Over the DIB's own rows, read from the top one up: a negative stride.
  auto* bottomUp = reinterpret_cast<std::uint8_t*>(const_cast<char*>(dib.data() + kHeaderBytes));
  std::uint8_t* topRow = bottomUp + static_cast<std::ptrdiff_t>(header.biHeight - 1) * row;
  GpImage image = nullptr;
  if (GdipCreateBitmapFromScan0(header.biWidth, header.biHeight, -row, kPixelFormat24bppRGB, topRow, &image) != 0 ||
      image == nullptr)
    return 0;
  const GpStatus saved = GdipSaveImageToFile(image, path, &encoder, nullptr);
  GdipDisposeImage(image);
  return saved == 0 ? 1 : 0;
}

bool ReadWholeFile(const char16_t* path, std::size_t limit, std::string& bytes) {
  using namespace platform;
  const UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  std::int64_t size = 0;
  if (!GetFileSizeEx(file.get(), &size) || size < 0 || static_cast<std::uint64_t>(size) > limit) return false;
  std::string out(static_cast<std::size_t>(size), '\0');
  std::size_t done = 0;
  while (done < out.size()) {
    std::uint32_t read = 0;
    const auto want = static_cast<std::uint32_t>(std::min<std::size_t>(out.size() - done, 1u << 20));
    if (!ReadFile(file.get(), out.data() + done, want, &read, nullptr) || read == 0) return false;
    done += read;
  }
  bytes = std::move(out);
  return true;
}

}  // namespace corvane

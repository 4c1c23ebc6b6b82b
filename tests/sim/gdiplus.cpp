// Simulated GDI+.
#include "platform/gdiplus.h"
#include <cstdlib>
#include "tests/sim/sim.h"

namespace platform {
using sim::record;
using sim::result;

GpStatus GdiplusStartup(std::uintptr_t* token, const GdiplusStartupInput*, void* output) {
  record("GdiplusStartup", output);
  *token = 77;
  return result<GpStatus>("GdiplusStartup", 0);
}
void GdiplusShutdown(std::uintptr_t token) { record("GdiplusShutdown", static_cast<std::uint64_t>(token)); }
GpStatus GdipGetImageEncodersSize(std::uint32_t* count, std::uint32_t* size) {
  record("GdipGetImageEncodersSize");
  *count = 0;
  *size = 0;
  return 0;
}
GpStatus GdipGetImageEncoders(std::uint32_t count, std::uint32_t size, ImageCodecInfo*) {
  record("GdipGetImageEncoders", count, size);
  return 0;
}
GpStatus GdipCreateBitmapFromHBITMAP(Hbitmap bitmap, void* palette, GpImage* image) {
  record("GdipCreateBitmapFromHBITMAP", bitmap, palette);
  *image = sim::handle<GpImage>();
  return result<GpStatus>("GdipCreateBitmapFromHBITMAP", 0);
}
GpStatus GdipLoadImageFromFile(const char16_t* path, GpImage* image) {
  record("GdipLoadImageFromFile", path);
  *image = sim::handle<GpImage>();
  return result<GpStatus>("GdipLoadImageFromFile", 0);
}
GpStatus GdipSaveImageToFile(GpImage image, const char16_t* path, const Guid*, const EncoderParameters*) {
  record("GdipSaveImageToFile", image, path);
  return result<GpStatus>("GdipSaveImageToFile", 0);
}
GpStatus GdipDisposeImage(GpImage image) { record("GdipDisposeImage", image); return 0; }
void* GdipAlloc(std::size_t size) {
  record("GdipAlloc", static_cast<std::uint64_t>(size));
  return std::malloc(size);
}
void GdipFree(void* block) {
  record("GdipFree");
  std::free(block);
}

}  // namespace platform

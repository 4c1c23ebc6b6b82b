// GDI+ flat interface, declared here by hand: the C++ wrapper classes of the
// SDK header are not needed, only the exported functions and their records.
#include "platform/gdiplus.h"
#include "platform/win32/win.h"

extern "C" {
struct GpImage;
struct GpBitmap;
int WINAPI GdiplusStartup(ULONG_PTR* token, const void* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
int WINAPI GdipGetImageEncodersSize(UINT* count, UINT* size);
int WINAPI GdipGetImageEncoders(UINT count, UINT size, void* encoders);
int WINAPI GdipCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE palette, GpBitmap** result);
int WINAPI GdipLoadImageFromFile(const WCHAR* path, GpImage** image);
int WINAPI GdipSaveImageToFile(GpImage* image, const WCHAR* path, const CLSID* encoder, const void* params);
int WINAPI GdipDisposeImage(GpImage* image);
void* WINAPI GdipAlloc(size_t size);
void WINAPI GdipFree(void* block);
}

namespace platform {
using namespace win32;

static_assert(sizeof(Guid) == sizeof(GUID));
static_assert(sizeof(ImageCodecInfo) == 104, "ImageCodecInfo layout");
static_assert(sizeof(EncoderParameters) == 40, "EncoderParameters layout");
static_assert(sizeof(GdiplusStartupInput) == 24, "GdiplusStartupInput layout");

GpStatus GdiplusStartup(std::uintptr_t* token, const GdiplusStartupInput* input, void* output) {
  return ::GdiplusStartup(As<ULONG_PTR*>(token), input, output);
}
void GdiplusShutdown(std::uintptr_t token) { ::GdiplusShutdown(token); }
GpStatus GdipGetImageEncodersSize(std::uint32_t* count, std::uint32_t* size) {
  return ::GdipGetImageEncodersSize(As<UINT*>(count), As<UINT*>(size));
}
GpStatus GdipGetImageEncoders(std::uint32_t count, std::uint32_t size, ImageCodecInfo* encoders) {
  return ::GdipGetImageEncoders(count, size, encoders);
}
GpStatus GdipCreateBitmapFromHBITMAP(Hbitmap bitmap, void* palette, GpImage* image) {
  return ::GdipCreateBitmapFromHBITMAP(As<HBITMAP>(bitmap), As<HPALETTE>(palette), As<::GpBitmap**>(image));
}
GpStatus GdipLoadImageFromFile(const char16_t* path, GpImage* image) {
  return ::GdipLoadImageFromFile(W(path), As<::GpImage**>(image));
}
GpStatus GdipSaveImageToFile(GpImage image, const char16_t* path, const Guid* encoder,
                             const EncoderParameters* params) {
  return ::GdipSaveImageToFile(As<::GpImage*>(image), W(path), As<const CLSID*>(encoder), params);
}
GpStatus GdipDisposeImage(GpImage image) { return ::GdipDisposeImage(As<::GpImage*>(image)); }
void* GdipAlloc(std::size_t size) { return ::GdipAlloc(size); }
void GdipFree(void* block) { ::GdipFree(block); }

}  // namespace platform

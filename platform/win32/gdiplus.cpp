// GDI+ flat interface, declared here by hand: the C++ wrapper classes of the
// SDK header are not needed, only the exported functions and their records.
// The declarations give the types of the exports, which are found at run time:
// the library is loaded for one GDI+ session, from start-up to shutdown.
#include "platform/gdiplus.h"
#include "platform/win32/system_dll.h"
#include "platform/win32/win.h"

extern "C" {
struct GpImage;
struct GpBitmap;
int WINAPI GdiplusStartup(ULONG_PTR* token, const void* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
int WINAPI GdipGetImageEncodersSize(UINT* count, UINT* size);
int WINAPI GdipGetImageEncoders(UINT count, UINT size, void* encoders);
int WINAPI GdipCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE palette, GpBitmap** result);
int WINAPI GdipCreateBitmapFromScan0(INT width, INT height, INT stride, INT format, BYTE* scan0, GpBitmap** result);
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

namespace {
constexpr SystemDll gdiplus(L"gdiplus.dll");
constexpr GpStatus kGenericError = 1;
}  // namespace

GpStatus GdiplusStartup(std::uintptr_t* token, const GdiplusStartupInput* input, void* output) {
  if (!gdiplus.Acquire()) return kGenericError;
  GpStatus status = gdiplus.Call<decltype(&::GdiplusStartup)>("GdiplusStartup", kGenericError,
                                                               As<ULONG_PTR*>(token), input, output);
  return status;
}
void GdiplusShutdown(std::uintptr_t token) {
  gdiplus.CallVoid<decltype(&::GdiplusShutdown)>("GdiplusShutdown", static_cast<ULONG_PTR>(token));
}
GpStatus GdipGetImageEncodersSize(std::uint32_t* count, std::uint32_t* size) {
  return gdiplus.Call<decltype(&::GdipGetImageEncodersSize)>("GdipGetImageEncodersSize", kGenericError,
                                                             As<UINT*>(count), As<UINT*>(size));
}
GpStatus GdipGetImageEncoders(std::uint32_t count, std::uint32_t size, ImageCodecInfo* encoders) {
  return gdiplus.Call<decltype(&::GdipGetImageEncoders)>("GdipGetImageEncoders", kGenericError, UINT{count},
                                                         UINT{size}, static_cast<void*>(encoders));
}
GpStatus GdipCreateBitmapFromHBITMAP(Hbitmap bitmap, void* palette, GpImage* image) {
  return gdiplus.Call<decltype(&::GdipCreateBitmapFromHBITMAP)>(
      "GdipCreateBitmapFromHBITMAP", kGenericError, As<HBITMAP>(bitmap), As<HPALETTE>(palette),
      As<::GpBitmap**>(image));
}
GpStatus GdipCreateBitmapFromScan0(std::int32_t width, std::int32_t height, std::int32_t stride,
                                   std::int32_t format, std::uint8_t* scan0, GpImage* image) {
  return gdiplus.Call<decltype(&::GdipCreateBitmapFromScan0)>("GdipCreateBitmapFromScan0", kGenericError, INT{width},
                                                              INT{height}, INT{stride}, INT{format}, scan0,
                                                              As<::GpBitmap**>(image));
}
GpStatus GdipLoadImageFromFile(const char16_t* path, GpImage* image) {
  return gdiplus.Call<decltype(&::GdipLoadImageFromFile)>("GdipLoadImageFromFile", kGenericError, W(path),
                                                          As<::GpImage**>(image));
}
GpStatus GdipSaveImageToFile(GpImage image, const char16_t* path, const Guid* encoder,
                             const EncoderParameters* params) {
  return gdiplus.Call<decltype(&::GdipSaveImageToFile)>("GdipSaveImageToFile", kGenericError,
                                                        As<::GpImage*>(image), W(path), As<const CLSID*>(encoder),
                                                        static_cast<const void*>(params));
}
GpStatus GdipDisposeImage(GpImage image) {
  return gdiplus.Call<decltype(&::GdipDisposeImage)>("GdipDisposeImage", kGenericError, As<::GpImage*>(image));
}
void* GdipAlloc(std::size_t size) {
  return gdiplus.Call<decltype(&::GdipAlloc)>("GdipAlloc", static_cast<void*>(nullptr), size);
}
void GdipFree(void* block) { gdiplus.CallVoid<decltype(&::GdipFree)>("GdipFree", block); }

}  // namespace platform

// GDI+ flat interface: start-up, encoder list, images from bitmaps and files, JPEG save.
#pragma once
#include "platform/types.h"

namespace platform {

GpStatus GdiplusStartup(std::uintptr_t* token, const GdiplusStartupInput* input, void* output);
void GdiplusShutdown(std::uintptr_t token);
GpStatus GdipGetImageEncodersSize(std::uint32_t* count, std::uint32_t* size);
GpStatus GdipGetImageEncoders(std::uint32_t count, std::uint32_t size, ImageCodecInfo* encoders);
GpStatus GdipCreateBitmapFromHBITMAP(Hbitmap bitmap, void* palette, GpImage* image);
// An image over pixels that stay the caller's, and must outlive it.
GpStatus GdipCreateBitmapFromScan0(std::int32_t width, std::int32_t height, std::int32_t stride,
                                   std::int32_t format, std::uint8_t* scan0, GpImage* image);
GpStatus GdipLoadImageFromFile(const char16_t* path, GpImage* image);
GpStatus GdipSaveImageToFile(GpImage image, const char16_t* path, const Guid* encoder,
                             const EncoderParameters* params);
GpStatus GdipDisposeImage(GpImage image);
void* GdipAlloc(std::size_t size);
void GdipFree(void* block);

}  // namespace platform

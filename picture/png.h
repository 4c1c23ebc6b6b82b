// The lossless forms of a picture: a device-independent bitmap as the
// clipboard carries it, and a PNG file written by GDI+'s own encoder.
#pragma once
#include <cstdint>
#include <string>
#include "picture/jpeg.h"

namespace corvane {

// The pixels as a packed device-independent bitmap: a BITMAPINFOHEADER, then
// 24-bit rows (blue, green, red), bottom row first, each padded to 4 bytes,
// BI_RGB. No alpha and no colour masks, which many programs misread. Empty
// when rows has no pixels.
std::string PackedDib(const PixelRows& rows);

// Writes the pixels of a packed DIB (as PackedDib made it) over path as a PNG
// file: 1 on success, else 0 (a failed save may leave anything at path, which
// its maker deletes). Starts and shuts down GDI+ inside the call.
int SaveDibAsPng(const char16_t* path, const std::string& dib);

// The whole contents of a file of at most limit bytes; nothing when it cannot
// be read whole or is larger.
bool ReadWholeFile(const char16_t* path, std::size_t limit, std::string& bytes);

}  // namespace corvane

// Windows graphics: device contexts, bitmaps, pens and brushes.
#pragma once
#include "platform/types.h"

namespace platform {

Hdc CreateCompatibleDC(Hdc dc);
// bits receives the address of the pixels, which live as long as the bitmap.
Hbitmap CreateDIBSection(Hdc dc, const BitmapInfo* info, std::uint32_t usage, void** bits, Handle section,
                         std::uint32_t offset);
Hgdiobj SelectObject(Hdc dc, Hgdiobj object);
Bool BitBlt(Hdc dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Hdc src,
            std::int32_t srcX, std::int32_t srcY, std::uint32_t rop);
// Finishes the drawing GDI may still hold back, before pixels are read directly.
Bool GdiFlush();
Bool DeleteDC(Hdc dc);
Bool DeleteObject(Hgdiobj object);
Hgdiobj GetStockObject(std::int32_t index);
Hgdiobj CreateSolidBrush(std::uint32_t color);
Hgdiobj CreatePen(std::int32_t style, std::int32_t width, std::uint32_t color);
Hgdiobj CreateFontIndirectW(const LogFont* font);
std::uint32_t SetTextColor(Hdc dc, std::uint32_t color);
std::int32_t SetBkMode(Hdc dc, std::int32_t mode);
Bool TextOutW(Hdc dc, std::int32_t x, std::int32_t y, const char16_t* text, std::int32_t length);
Bool GetTextExtentPoint32W(Hdc dc, const char16_t* text, std::int32_t length, Size* size);
Bool Rectangle(Hdc dc, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);

// The magnifier: a part of the desktop picture drawn larger, pixel for pixel.
Bool StretchBlt(Hdc dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Hdc src,
                std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth, std::int32_t srcHeight,
                std::uint32_t rop);
std::int32_t SetStretchBltMode(Hdc dc, std::int32_t mode);

// Drawing into a piece of a larger picture: the DC's logical point (x, y) lands
// on its device's (0, 0) after SetViewportOrgEx(dc, -x, -y, ...). previous may be null.
Bool SetViewportOrgEx(Hdc dc, std::int32_t x, std::int32_t y, Point* previous);

inline constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return r | (g << 8) | (static_cast<std::uint32_t>(b) << 16);
}
inline Hgdiobj AsObject(Hbitmap bitmap) { return reinterpret_cast<Hgdiobj>(bitmap); }

}  // namespace platform

#include "platform/gdi32.h"
#include "platform/win32/win.h"

namespace platform {
using namespace win32;

CORVANE_SAME_LAYOUT(BitmapInfoHeader, BITMAPINFOHEADER);
CORVANE_SAME_OFFSET(BitmapInfoHeader, BITMAPINFOHEADER, biClrImportant, biClrImportant);
CORVANE_SAME_LAYOUT(BitmapInfo, BITMAPINFO);
CORVANE_SAME_OFFSET(BitmapInfo, BITMAPINFO, bmiColors, bmiColors);

Hdc CreateCompatibleDC(Hdc dc) { return As<Hdc>(::CreateCompatibleDC(As<HDC>(dc))); }
Hbitmap CreateDIBSection(Hdc dc, const BitmapInfo* info, std::uint32_t usage, void** bits, Handle section,
                         std::uint32_t offset) {
  return As<Hbitmap>(::CreateDIBSection(As<HDC>(dc), As<const BITMAPINFO*>(info), usage, bits, As<HANDLE>(section),
                                        offset));
}
Hgdiobj SelectObject(Hdc dc, Hgdiobj object) { return As<Hgdiobj>(::SelectObject(As<HDC>(dc), As<HGDIOBJ>(object))); }
Bool BitBlt(Hdc dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Hdc src,
            std::int32_t srcX, std::int32_t srcY, std::uint32_t rop) {
  return ::BitBlt(As<HDC>(dest), x, y, width, height, As<HDC>(src), srcX, srcY, rop);
}
Bool GdiFlush() { return ::GdiFlush(); }
Bool DeleteDC(Hdc dc) { return ::DeleteDC(As<HDC>(dc)); }
Bool DeleteObject(Hgdiobj object) { return ::DeleteObject(As<HGDIOBJ>(object)); }
Hgdiobj GetStockObject(std::int32_t index) { return As<Hgdiobj>(::GetStockObject(index)); }
Hgdiobj CreateSolidBrush(std::uint32_t color) { return As<Hgdiobj>(::CreateSolidBrush(color)); }
Hgdiobj CreatePen(std::int32_t style, std::int32_t width, std::uint32_t color) {
  return As<Hgdiobj>(::CreatePen(style, width, color));
}
CORVANE_SAME_LAYOUT(LogFont, LOGFONTW);
CORVANE_SAME_LAYOUT(Size, SIZE);
Hgdiobj CreateFontIndirectW(const LogFont* font) {
  return As<Hgdiobj>(::CreateFontIndirectW(As<const LOGFONTW*>(font)));
}
std::uint32_t SetTextColor(Hdc dc, std::uint32_t color) { return ::SetTextColor(As<HDC>(dc), color); }
std::int32_t SetBkMode(Hdc dc, std::int32_t mode) { return ::SetBkMode(As<HDC>(dc), mode); }
Bool TextOutW(Hdc dc, std::int32_t x, std::int32_t y, const char16_t* text, std::int32_t length) {
  return ::TextOutW(As<HDC>(dc), x, y, W(text), length);
}
Bool GetTextExtentPoint32W(Hdc dc, const char16_t* text, std::int32_t length, Size* size) {
  return ::GetTextExtentPoint32W(As<HDC>(dc), W(text), length, As<SIZE*>(size));
}
Bool Rectangle(Hdc dc, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  return ::Rectangle(As<HDC>(dc), left, top, right, bottom);
}

Bool StretchBlt(Hdc dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Hdc src,
                std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth, std::int32_t srcHeight,
                std::uint32_t rop) {
  return ::StretchBlt(As<HDC>(dest), x, y, width, height, As<HDC>(src), srcX, srcY, srcWidth, srcHeight, rop);
}
std::int32_t SetStretchBltMode(Hdc dc, std::int32_t mode) { return ::SetStretchBltMode(As<HDC>(dc), mode); }

Bool SetViewportOrgEx(Hdc dc, std::int32_t x, std::int32_t y, Point* previous) {
  return ::SetViewportOrgEx(As<HDC>(dc), x, y, As<POINT*>(previous));
}

}  // namespace platform

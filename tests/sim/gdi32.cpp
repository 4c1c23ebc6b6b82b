// Simulated gdi32.
#include "platform/gdi32.h"
#include "tests/sim/sim.h"

namespace platform {
using sim::record;
using sim::result;

Hdc CreateCompatibleDC(Hdc dc) { record("CreateCompatibleDC", dc); return sim::handle<Hdc>(); }
Hbitmap CreateCompatibleBitmap(Hdc dc, std::int32_t width, std::int32_t height) {
  record("CreateCompatibleBitmap", dc, width, height);
  return sim::handle<Hbitmap>();
}
Hgdiobj SelectObject(Hdc dc, Hgdiobj object) { record("SelectObject", dc, object); return sim::handle<Hgdiobj>(); }
Bool BitBlt(Hdc dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Hdc src,
            std::int32_t srcX, std::int32_t srcY, std::uint32_t rop) {
  record("BitBlt", dest, x, y, width, height, src, srcX, srcY, rop);
  return 1;
}
Bool DeleteDC(Hdc dc) { record("DeleteDC", dc); return 1; }
Bool DeleteObject(Hgdiobj object) { record("DeleteObject", object); return 1; }
Hgdiobj GetStockObject(std::int32_t index) { record("GetStockObject", index); return sim::handle<Hgdiobj>(); }
Hgdiobj CreateSolidBrush(std::uint32_t color) { record("CreateSolidBrush", color); return sim::handle<Hgdiobj>(); }
Hgdiobj CreatePen(std::int32_t style, std::int32_t width, std::uint32_t color) {
  record("CreatePen", style, width, color);
  return sim::handle<Hgdiobj>();
}
Bool Rectangle(Hdc dc, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  record("Rectangle", dc, left, top, right, bottom);
  return 1;
}

}  // namespace platform

// Simulated gdi32. Counts what is made and released, and knows what is selected
// into which DC, because a bitmap, pen or brush still selected is not freed.
#include "platform/gdi32.h"
#include <map>
#include <set>
#include <vector>
#include "tests/sim/gdi_objects.h"
#include "tests/sim/sim.h"

namespace {
using sim::gdi::Kind;
struct Live {
  Kind kind;
  const void* window;
};
std::map<const void*, Live> g_live;
std::map<const void*, Kind> g_stock;                         // stock and DC default objects: never freed
std::map<std::int32_t, platform::Hgdiobj> g_stockObjects;   // of those, the stock objects by index
std::map<const void*, std::map<Kind, const void*>> g_selected;  // dc -> kind -> object
void* g_lastDibBits = nullptr;
std::map<const void*, std::vector<std::uint8_t>> g_dibPixels;  // bitmap -> its pixels, while it lives

const bool g_registered = (sim::onReset([] {
                             g_live.clear();
                             g_stock.clear();
                             g_stockObjects.clear();
                             g_selected.clear();
                             g_lastDibBits = nullptr;
                             g_dibPixels.clear();
                           }),
                           true);

bool isDc(Kind k) { return k == Kind::MemoryDc || k == Kind::ScreenDc || k == Kind::WindowDc || k == Kind::PaintDc; }
const char* name(Kind k) {
  switch (k) {
    case Kind::MemoryDc: return "memory DC";
    case Kind::ScreenDc: return "screen DC";
    case Kind::WindowDc: return "window DC";
    case Kind::PaintDc: return "paint DC";
    case Kind::Bitmap: return "bitmap";
    case Kind::Pen: return "pen";
    case Kind::Brush: return "brush";
    case Kind::Font: return "font";
  }
  return "?";
}
bool selectedAnywhere(const void* object) {
  for (const auto& [dc, slots] : g_selected)
    for (const auto& [kind, o] : slots)
      if (o == object) return true;
  return false;
}
}  // namespace

namespace sim {
namespace gdi {
void made(const void* object, Kind kind, const void* window) { g_live[object] = {kind, window}; }
bool releaseDc(const void* dc, Kind kind, const void* window) {
  auto it = g_live.find(dc);
  if (it == g_live.end() || it->second.kind != kind || it->second.window != window) return false;
  g_live.erase(it);
  g_selected.erase(dc);
  return true;
}
}  // namespace gdi

std::vector<std::string> liveGdiObjects() {
  std::vector<std::string> out;
  for (const auto& [object, live] : g_live) out.push_back(std::string(name(live.kind)) + " " + arg(object));
  return out;
}
void* lastDibBits() { return g_lastDibBits; }
void* dibBitsIn(platform::Hdc dc) {
  const auto slots = g_selected.find(dc);
  if (slots == g_selected.end()) return nullptr;
  const auto bitmap = slots->second.find(Kind::Bitmap);
  if (bitmap == slots->second.end()) return nullptr;
  const auto pixels = g_dibPixels.find(bitmap->second);
  return pixels == g_dibPixels.end() ? nullptr : pixels->second.data();
}
}  // namespace sim

namespace platform {
using sim::record;
using sim::result;

Hdc CreateCompatibleDC(Hdc dc) {
  record("CreateCompatibleDC", dc);
  if (!result<bool>("CreateCompatibleDC", true)) return nullptr;
  auto h = sim::handle<Hdc>();
  sim::gdi::made(h, Kind::MemoryDc);
  return h;
}
Hbitmap CreateDIBSection(Hdc dc, const BitmapInfo* info, std::uint32_t usage, void** bits, Handle section,
                         std::uint32_t offset) {
  const BitmapInfoHeader& header = info->bmiHeader;
  record("CreateDIBSection", dc, header.biWidth, header.biHeight, header.biBitCount, usage);
  if (bits != nullptr) *bits = nullptr;
  if (section != nullptr || offset != 0 || !result<bool>("CreateDIBSection", true)) return nullptr;  // no memory for it
  auto h = sim::handle<Hbitmap>();
  sim::gdi::made(h, Kind::Bitmap);
  // Pixels of a known pattern (sim::dibPixel), as a copy of the screen would leave them.
  const std::int32_t width = header.biWidth, height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  const std::int32_t bytes = header.biBitCount / 8;
  auto& pixels = g_dibPixels[h];
  pixels.resize(static_cast<std::size_t>(width) * height * bytes);
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint32_t p = sim::dibPixel(x, y);
      std::uint8_t* at = &pixels[(static_cast<std::size_t>(y) * width + x) * bytes];
      for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(p >> (8 * i));
    }
  g_lastDibBits = pixels.data();
  if (bits != nullptr) *bits = g_lastDibBits;
  return h;
}
Hgdiobj SelectObject(Hdc dc, Hgdiobj object) {
  record("SelectObject", dc, object);
  Kind kind;
  if (auto live = g_live.find(object); live != g_live.end() && !isDc(live->second.kind)) kind = live->second.kind;
  else if (auto stock = g_stock.find(object); stock != g_stock.end()) kind = stock->second;
  else return nullptr;  // not an object: the platform fails
  auto& slot = g_selected[dc][kind];
  const void* previous = slot;
  if (previous == nullptr) {  // a fresh DC holds a default object of each kind
    previous = sim::handle<Hgdiobj>();
    g_stock[previous] = kind;
  }
  slot = object;
  return static_cast<Hgdiobj>(const_cast<void*>(previous));
}
Bool BitBlt(Hdc dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Hdc src,
            std::int32_t srcX, std::int32_t srcY, std::uint32_t rop) {
  record("BitBlt", dest, x, y, width, height, src, srcX, srcY, rop);
  return result<Bool>("BitBlt", 1);
}
Bool GdiFlush() {
  record("GdiFlush");
  return 1;
}
Bool DeleteDC(Hdc dc) {
  record("DeleteDC", dc);
  return sim::gdi::releaseDc(dc, Kind::MemoryDc) ? 1 : 0;
}
Bool DeleteObject(Hgdiobj object) {
  record("DeleteObject", object);
  if (g_stock.count(object)) return 1;
  auto it = g_live.find(object);
  if (it == g_live.end() || isDc(it->second.kind) || selectedAnywhere(object)) return 0;
  g_live.erase(it);
  g_dibPixels.erase(object);
  return 1;
}
Hgdiobj GetStockObject(std::int32_t index) {
  record("GetStockObject", index);
  // The same object for the same index, as on the platform.
  Hgdiobj& h = g_stockObjects[index];
  if (h == nullptr) {
    h = sim::handle<Hgdiobj>();
    g_stock[h] = Kind::Brush;
  }
  return h;
}
Hgdiobj CreateSolidBrush(std::uint32_t color) {
  record("CreateSolidBrush", color);
  auto h = sim::handle<Hgdiobj>();
  sim::gdi::made(h, Kind::Brush);
  return h;
}
Hgdiobj CreatePen(std::int32_t style, std::int32_t width, std::uint32_t color) {
  record("CreatePen", style, width, color);
  auto h = sim::handle<Hgdiobj>();
  sim::gdi::made(h, Kind::Pen);
  return h;
}
Hgdiobj CreateFontIndirectW(const LogFont* font) {
  record("CreateFontIndirectW", font->lfFaceName, font->lfHeight);
  auto h = sim::handle<Hgdiobj>();
  sim::gdi::made(h, Kind::Font);
  return h;
}
std::uint32_t SetTextColor(Hdc dc, std::uint32_t color) { record("SetTextColor", dc, color); return 0; }
std::int32_t SetBkMode(Hdc dc, std::int32_t mode) { record("SetBkMode", dc, mode); return 2; }
Bool TextOutW(Hdc dc, std::int32_t x, std::int32_t y, const char16_t* text, std::int32_t length) {
  record("TextOutW", dc, x, y, std::u16string(text, static_cast<std::size_t>(length)).c_str());
  return 1;
}
// Every character 7 pixels wide and 15 high.
Bool GetTextExtentPoint32W(Hdc dc, const char16_t*, std::int32_t length, Size* size) {
  record("GetTextExtentPoint32W", dc, length);
  *size = {7 * length, 15};
  return 1;
}
Bool Rectangle(Hdc dc, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  record("Rectangle", dc, left, top, right, bottom);
  return 1;
}
Bool StretchBlt(Hdc dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Hdc src,
                std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth, std::int32_t srcHeight,
                std::uint32_t rop) {
  record("StretchBlt", dest, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop);
  return 1;
}
std::int32_t SetStretchBltMode(Hdc dc, std::int32_t mode) {
  record("SetStretchBltMode", dc, mode);
  return 1;
}

Bool SetViewportOrgEx(Hdc dc, std::int32_t x, std::int32_t y, Point* previous) {
  record("SetViewportOrgEx", dc, x, y);
  if (previous != nullptr) *previous = {};
  return 1;
}

}  // namespace platform

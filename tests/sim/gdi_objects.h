// Live GDI objects of the simulation, shared by the gdi32 and user32 parts:
// what was made and not yet released, and what is selected into which DC.
#pragma once
#include <string>

namespace sim::gdi {

enum class Kind { MemoryDc, ScreenDc, WindowDc, PaintDc, Bitmap, Pen, Brush, Font };

void made(const void* object, Kind kind, const void* window = nullptr);
// Removes a live DC of one of the DC kinds (and its selections); false when it
// is not live, or was got for another window.
bool releaseDc(const void* dc, Kind kind, const void* window = nullptr);

}  // namespace sim::gdi

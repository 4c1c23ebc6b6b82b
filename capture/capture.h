// Capture mode, the rectangle selection, the region grab and the post-selection menu.
#pragma once
#include <algorithm>
#include "platform/types.h"

namespace corvane {

// A dragged rectangle in screen order. Unlike the platform's rectangles, right
// and bottom are inside it: both corner pixels belong to the selection.
inline platform::Rect normalise(std::int32_t startX, std::int32_t startY, std::int32_t endX, std::int32_t endY) {
  return {std::min(startX, endX), std::min(startY, endY), std::max(startX, endX), std::max(startY, endY)};
}

void enterCaptureMode(platform::Hwnd window);
// Hides both windows and releases what capture mode held; changes no flag.
void leaveCaptureMode(platform::Hwnd window);
void placeSelectionWindow(std::int32_t startX, std::int32_t startY, std::int32_t endX, std::int32_t endY,
                          bool hideAfter);
platform::Lresult selectionWindowProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                      platform::Lparam lParam);

// Branches of mainWindowProc.
platform::Lresult captureModeBranch(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                    platform::Lparam lParam);
platform::Lresult postSelectionBranch(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                      platform::Lparam lParam);

// The left button came up in capture mode at (x, y), virtual-screen coordinates.
void handleButtonRelease(std::int32_t x, std::int32_t y);
// Builds and runs the post-selection menu; false when no popup menu could be made.
bool showPostSelectionMenu();
void grabRegion();
void finishSelection(platform::Hwnd window);

// The picture of the desktop that capture mode shows and grabs from.
void takeSnapshot();
void paintSnapshot(platform::Hwnd window);  // WM_PAINT of the main window
void releaseSnapshot();
// The current grab's DCs, bitmap and temporary file.
void releaseGrab();
// Everything capture mode may hold; called wherever capture mode ends. Safe to repeat.
void releaseCaptureResources();
// Hides the main window at the end of capture mode and frees what it held.
void hideCaptureWindow();

// Post-selection menu ids.
inline constexpr std::uint32_t IDM_UPLOAD = 0;
inline constexpr std::uint32_t IDM_UPLOADSAVE = 1;
inline constexpr std::uint32_t IDM_CANCEL = 3;

}  // namespace corvane

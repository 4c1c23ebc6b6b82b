// Capture mode, the rectangle selection, the region grab and the post-selection menu.
#pragma once
#include "platform/types.h"

namespace corvane {

void enterCaptureMode(platform::Hwnd window);
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

void grabRegion();
void finishSelection(platform::Hwnd window);

// Post-selection menu ids.
inline constexpr std::uint32_t IDM_UPLOAD = 0;
inline constexpr std::uint32_t IDM_UPLOADSAVE = 1;
inline constexpr std::uint32_t IDM_CANCEL = 3;

}  // namespace corvane

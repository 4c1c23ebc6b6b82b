// The process-wide state of the user-interface thread. Zero at process start;
// nothing here is touched by the version-check thread.
#pragma once
#include "platform/types.h"

namespace corvane {

struct Selection {
  std::int32_t startX, startY, endX, endY;  // drag order, not normalised
};

struct AppState {
  platform::Hinstance instance;
  platform::Hwnd mainWindow;
  platform::Hwnd selectionWindow;
  std::int32_t screenOriginX, screenOriginY;
  // Size of the virtual screen at start-up: the snapshot taken when capture mode
  // begins covers exactly this area.
  std::int32_t screenWidth, screenHeight;
  platform::NotifyIconData trayIcon;
  bool captureMode;
  bool menuPending;
  bool buttonDown;
  std::int32_t dragging;
  Selection selection;
  std::int32_t uploadChoice;
  platform::Hdc grabScreenDC, grabMemoryDC;
  platform::Hbitmap grabBitmap;
  // True while a grab's DCs, bitmap and temporary file are held and not yet released.
  bool grabHeld;
  char16_t tempFolder[260];
  char16_t tempFileName[260];
  // Picture of the whole virtual screen taken as capture mode begins: the main
  // window paints it (a window that paints nothing shows black) and the grab
  // copies from it. Held only while capture mode or its menu lasts.
  platform::Hdc snapshotDC;
  platform::Hbitmap snapshotBitmap;
  platform::Hgdiobj snapshotOldBitmap;
};

extern AppState app;

// Private messages to the main window and the tray callback.
inline constexpr std::uint32_t UM_TRAYICON = platform::WM_USER + 1;
inline constexpr std::uint32_t UM_CAPTURE = 12000;
inline constexpr std::uint32_t UM_FILEUPLOAD = 12001;
inline constexpr std::uint32_t UM_CANCELCAPTURE = 12002;

// Global hot-key ids.
inline constexpr std::int32_t HOTKEY_CAPTURE = 1;
inline constexpr std::int32_t HOTKEY_FILEUPLOAD = 3;
inline constexpr std::int32_t HOTKEY_ESCAPE = 4;

// Resources of the executable.
inline constexpr std::uintptr_t IDI_PROGRAM = 132;
inline constexpr std::uintptr_t IDC_CROSSHAIR = 2002;

inline constexpr char16_t kMainClassName[] = u"ZURAZIZIZIZAR";
inline constexpr char16_t kSelectionClassName[] = u"VOVIDEDIDIZEZA";

// The client version string sent with every request, and the product's texts.
inline constexpr char kClientVersion[] = "win:2.6";
inline constexpr char16_t kTrayTip[] = u"Corvane Tool 2.6 - Left click to enter capture mode";

}  // namespace corvane

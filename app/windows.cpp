// The two window classes, the two windows, the tray icon, and the main window
// procedure with its idle branch.
#include "app/shell.h"
#include "app/state.h"
#include "capture/capture.h"
#include "picture/file_upload.h"
#include "platform/gdi32.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/user32.h"

namespace corvane {
namespace {

void registerClass(platform::Hinstance instance, const char16_t* name, std::uint32_t style,
                   platform::WindowProc procedure, platform::Hgdiobj background) {
  platform::WndClass wc{};
  wc.style = style;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = platform::LoadIconW(instance, platform::MakeIntResource(IDI_PROGRAM));
  wc.hCursor = platform::LoadCursorW(instance, platform::MakeIntResource(IDC_CROSSHAIR));
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  platform::RegisterClassW(&wc);
}

void addTrayIcon(platform::Hwnd owner) {
  platform::NotifyIconData& icon = app.trayIcon;
  icon = {};
  icon.cbSize = kTrayIconRecordSize;
  icon.hWnd = owner;
  icon.uID = kTrayIconId;
  icon.uFlags = platform::NIF_MESSAGE | platform::NIF_ICON | platform::NIF_TIP;
  icon.uCallbackMessage = UM_TRAYICON;
  icon.hIcon = platform::LoadImageIconW(platform::GetModuleHandleW(nullptr), platform::MakeIntResource(IDI_PROGRAM),
                                        platform::IMAGE_ICON, 32, 32, platform::LR_DEFAULTCOLOR);
  constexpr std::size_t capacity = sizeof icon.szTip / sizeof icon.szTip[0];
  std::size_t i = 0;
  for (; i + 1 < capacity && kTrayTip[i] != 0; ++i) icon.szTip[i] = kTrayTip[i];
  icon.szTip[i] = 0;
  platform::Shell_NotifyIconW(platform::NIM_ADD, &icon);
}

}  // namespace

void registerWindowClasses(platform::Hinstance instance) {
  // No background brush: the main window shows the desktop snapshot, nothing else.
  registerClass(instance, kMainClassName, 0, mainWindowProc, nullptr);
  registerClass(instance, kSelectionClassName, platform::CS_HREDRAW | platform::CS_VREDRAW, selectionWindowProc,
                platform::GetStockObject(platform::WHITE_BRUSH));
}

bool createWindows(platform::Hinstance instance) {
  app.instance = instance;
  // Read once: a later change of the display layout is not followed.
  app.screenOriginX = platform::GetSystemMetrics(platform::SM_XVIRTUALSCREEN);
  app.screenOriginY = platform::GetSystemMetrics(platform::SM_YVIRTUALSCREEN);
  app.screenWidth = platform::GetSystemMetrics(platform::SM_CXVIRTUALSCREEN);
  app.screenHeight = platform::GetSystemMetrics(platform::SM_CYVIRTUALSCREEN);

  platform::Hwnd main = platform::CreateWindowExW(
      platform::WS_EX_TOPMOST | platform::WS_EX_TRANSPARENT | platform::WS_EX_TOOLWINDOW | platform::WS_EX_NOACTIVATE,
      kMainClassName, nullptr, platform::WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  if (main == nullptr) return false;
  platform::MoveWindow(main, app.screenOriginX, app.screenOriginY, app.screenWidth, app.screenHeight, 0);
  platform::ShowWindow(main, platform::SW_HIDE);
  platform::UpdateWindow(main);

  app.selectionWindow = platform::CreateWindowExW(
      platform::WS_EX_LAYERED | platform::WS_EX_TOOLWINDOW | platform::WS_EX_NOACTIVATE, kSelectionClassName, nullptr,
      platform::WS_POPUP, 100, 100, 300, 300, main, nullptr, instance, nullptr);
  platform::SetLayeredWindowAttributes(app.selectionWindow, platform::Rgb(255, 0, 0), 100,
                                       platform::LWA_COLORKEY | platform::LWA_ALPHA);
  addTrayIcon(main);
  // Stored last: until here every message takes the idle branch's defaults.
  app.mainWindow = main;
  return true;
}

platform::Lresult mainWindowProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                 platform::Lparam lParam) {
  if (app.menuPending) return postSelectionBranch(window, message, wParam, lParam);
  if (app.captureMode) return captureModeBranch(window, message, wParam, lParam);
  return idleBranch(window, message, wParam, lParam);
}

platform::Lresult idleBranch(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                             platform::Lparam lParam) {
  switch (message) {
    case UM_CAPTURE:
      enterCaptureMode(app.mainWindow);
      return 0;
    case UM_FILEUPLOAD:
      FileUploadCommand();
      app.captureMode = app.menuPending = false;
      return 0;
    case UM_CANCELCAPTURE:
      hideCaptureWindow();
      app.captureMode = app.menuPending = false;
      return 0;
    case platform::WM_COMMAND:
      runTrayCommand(static_cast<std::uint32_t>(wParam & 0xFFFF));
      return 0;
    case platform::WM_PAINT:
      // Capture mode's first paint comes while it is being entered.
      if (app.snapshotDC != nullptr) {
        paintSnapshot(window);
        return 0;
      }
      break;
    case UM_TRAYICON:
      if (lParam == platform::WM_LBUTTONUP) {
        enterCaptureMode(app.mainWindow);
        return 0;
      }
      if (lParam == platform::WM_RBUTTONUP) {
        showTrayMenu();
        app.menuPending = false;
        return 0;
      }
      break;
  }
  return platform::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace corvane

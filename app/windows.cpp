// The two window classes, the two windows, the tray icon, and the main window
// procedure with its idle branch.
#include "app/settings_dialog.h"
#include "app/shell.h"
#include "app/state.h"
#include "capture/capture.h"
#include "net/version_check.h"
#include "platform/gdi32.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/user32.h"

#include <optional>
#include <string>
#include <utility>

namespace corvane {
namespace {

// Resources of the executable.
constexpr std::uintptr_t IDI_PROGRAM = 132;
constexpr std::uintptr_t IDC_CROSSHAIR = 2002;

constexpr char16_t kMainClassName[] = u"ZURAZIZIZIZAR";
constexpr char16_t kSelectionClassName[] = u"VOVIDEDIDIZEZA";
constexpr char16_t kTrayTip[] = u"Corvane Tool 2.6 - Left click to enter capture mode";

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

// The tray's icon size: the small-icon metric at the taskbar's DPI (the
// taskbar's monitor may scale otherwise than ours), else at the system's.
std::int32_t trayIconSize() {
  std::uint32_t dpi = 0;
  if (platform::Hwnd taskbar = platform::FindWindowW(u"Shell_TrayWnd", nullptr)) dpi = platform::GetDpiForWindow(taskbar);
  if (dpi == 0) dpi = platform::GetDpiForSystem();
  const std::int32_t size = dpi != 0 ? platform::GetSystemMetricsForDpi(platform::SM_CXSMICON, dpi) : 0;
  return size > 0 ? size : 16;
}

// At logon the shell may not take icons yet (none runs, or it is too busy to
// answer): asked again each second for a while; a shell that starts later
// announces itself with TaskbarCreated all the same.
constexpr std::uintptr_t kTrayRetryTimer = 1;
// A newer version announced while capture mode or another modal loop runs is
// asked once they are over: looked at again every second until then.
constexpr std::uintptr_t kVersionQuestionTimer = 2;
constexpr std::uint32_t kVersionQuestionMs = 1000;
std::optional<std::u16string> pendingVersion;
constexpr std::uint32_t kTrayRetryMs = 1000;
constexpr int kTrayRetries = 120;
int trayRetriesLeft = 0;

void addTrayIcon(platform::Hwnd owner) {
  platform::NotifyIconData icon{};
  icon.cbSize = kTrayIconRecordSize;
  icon.hWnd = owner;
  icon.uID = kTrayIconId;
  icon.uFlags = platform::NIF_MESSAGE | platform::NIF_ICON | platform::NIF_TIP;
  icon.uCallbackMessage = UM_TRAYICON;
  // The image of the size the tray draws, from the icon's own images: no scaling blur.
  const std::int32_t size = trayIconSize();
  icon.hIcon = platform::LoadImageIconW(platform::GetModuleHandleW(nullptr), platform::MakeIntResource(IDI_PROGRAM),
                                        platform::IMAGE_ICON, size, size, platform::LR_DEFAULTCOLOR);
  constexpr std::size_t capacity = sizeof icon.szTip / sizeof icon.szTip[0];
  std::size_t i = 0;
  for (; i + 1 < capacity && kTrayTip[i] != 0; ++i) icon.szTip[i] = kTrayTip[i];
  icon.szTip[i] = 0;
  if (trayIcon().add(icon)) {
    if (std::exchange(trayRetriesLeft, 0) > 0) platform::KillTimer(owner, kTrayRetryTimer);
    return;
  }
  trayRetriesLeft = kTrayRetries;
  platform::SetTimer(owner, kTrayRetryTimer, kTrayRetryMs, nullptr);
}

void askAboutNewVersion(platform::Hwnd window) {
  if (!pendingVersion) return;
  const ModalScope modal(capture());
  if (!modal) {
    platform::SetTimer(window, kVersionQuestionTimer, kVersionQuestionMs, nullptr);
    return;
  }
  platform::KillTimer(window, kVersionQuestionTimer);
  const std::u16string version = *std::exchange(pendingVersion, std::nullopt);
  OfferNewVersion(version);
}

void retryTrayIcon(platform::Hwnd owner) {
  if (trayIcon().show() || --trayRetriesLeft <= 0) {
    trayRetriesLeft = 0;
    platform::KillTimer(owner, kTrayRetryTimer);
  }
}

// The tray's callback: the event is LOWORD of lParam in version 4 and all of
// it before; the same test reads both.
bool handleTrayEvent(platform::Wparam wParam, platform::Lparam lParam) {
  const auto event = static_cast<std::uint32_t>(lParam & 0xFFFF);
  if (event == platform::WM_LBUTTONUP || event == platform::NIN_KEYSELECT) return capture().handle(CaptureEvent::Start);
  const bool menu = trayIcon().version4() ? event == platform::WM_CONTEXTMENU : event == platform::WM_RBUTTONUP;
  if (!menu) return false;
  if (trayIcon().version4()) {
    // Where the shell anchors the menu: the click, or the icon for the keyboard.
    const platform::Point anchor{static_cast<std::int16_t>(wParam & 0xFFFF),
                                 static_cast<std::int16_t>((wParam >> 16) & 0xFFFF)};
    return showTrayMenu(&anchor);
  }
  return showTrayMenu(nullptr);
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
  // Made empty: capture mode moves it over the virtual screen each time it begins.
  platform::Hwnd main = platform::CreateWindowExW(
      platform::WS_EX_TOPMOST | platform::WS_EX_TRANSPARENT | platform::WS_EX_TOOLWINDOW | platform::WS_EX_NOACTIVATE,
      kMainClassName, nullptr, platform::WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  if (main == nullptr) return false;
  platform::ShowWindow(main, platform::SW_HIDE);
  platform::UpdateWindow(main);

  app.selectionWindow = platform::CreateWindowExW(
      platform::WS_EX_LAYERED | platform::WS_EX_TOOLWINDOW | platform::WS_EX_NOACTIVATE, kSelectionClassName, nullptr,
      platform::WS_POPUP, 100, 100, 300, 300, main, nullptr, instance, nullptr);
  platform::SetLayeredWindowAttributes(app.selectionWindow, platform::Rgb(255, 0, 0), 100,
                                       platform::LWA_COLORKEY | platform::LWA_ALPHA);
  app.taskbarCreated = platform::RegisterWindowMessageW(u"TaskbarCreated");
  // Run elevated, a window hears nothing from the less privileged shell unless let through.
  if (app.taskbarCreated != 0)
    platform::ChangeWindowMessageFilterEx(main, app.taskbarCreated, platform::MSGFLT_ALLOW, nullptr);
  addTrayIcon(main);
  capture().attach(main, app.selectionWindow);
  app.mainWindow = main;
  return true;
}

// Decodes and forwards: capture mode's events to the capture object, the
// tray's and the commands to the shell. What neither takes goes to the default.
platform::Lresult mainWindowProc(platform::Hwnd window, std::uint32_t message, platform::Wparam wParam,
                                 platform::Lparam lParam) {
  using E = CaptureEvent;
  auto forward = [&](E event) {
    return capture().handle(event, clientPoint(lParam)) ? 0 : platform::DefWindowProcW(window, message, wParam, lParam);
  };
  // A shell that (re)starts knows no icons and says so to every top-level window.
  if (message == app.taskbarCreated && message != 0) {
    // Made afresh: the new shell may sit on a monitor of another scale.
    if (trayIcon()) addTrayIcon(window);
    return 0;
  }
  switch (message) {
    case platform::WM_QUERYENDSESSION:
      return 1;  // nothing of ours is worth keeping a session for
    case platform::WM_ENDSESSION:
      if (wParam != 0) endSession();  // 0: another program refused, the session goes on
      return 0;
    case platform::WM_CLOSE:
      // Another program asks us to end (an uninstaller, taskkill, automation): as Exit does.
      runTrayCommand(IDM_EXIT);
      return 0;
    case platform::WM_DESTROY:
      // However the main window goes, the loop ends with it, and the hot keys with the loop.
      platform::PostQuitMessage(0);
      return 0;
    case platform::WM_MOUSEMOVE: return forward(E::Move);
    case platform::WM_LBUTTONDOWN: return forward(E::Press);
    case platform::WM_LBUTTONUP: return forward(E::Release);
    case platform::WM_RBUTTONDOWN: return forward(E::RightPress);
    case platform::WM_KEYDOWN:
      if (capture().handle(E::Key, {{}, static_cast<std::uint32_t>(wParam), platform::GetKeyState(platform::VK_SHIFT) < 0}))
        return 0;
      break;
    case platform::WM_CAPTURECHANGED:  // lParam: the window that takes the mouse
      if (reinterpret_cast<platform::Hwnd>(lParam) != window && capture().handle(E::MouseLost)) return 0;
      break;
    case platform::WM_CANCELMODE: return forward(E::MouseLost);
    case platform::WM_DISPLAYCHANGE: return forward(E::DisplayChange);
    case platform::WM_PAINT:
      if (capture().paint(window)) return 0;
      break;
    case UM_CAPTURE:
      capture().handle(E::Start);
      return 0;
    case UM_CANCELCAPTURE:
      capture().handle(E::Escape);
      return 0;
    case UM_FILEUPLOAD:
      runFileUpload();
      return 0;
    case platform::WM_COMMAND:
      runTrayCommand(static_cast<std::uint32_t>(wParam & 0xFFFF));
      return 0;
    case platform::WM_TIMER:
      if (wParam == kTrayRetryTimer) {
        retryTrayIcon(window);
        return 0;
      }
      if (wParam == kVersionQuestionTimer) {
        askAboutNewVersion(window);
        return 0;
      }
      break;
    case UM_NEWVERSION:
      pendingVersion = UnpackVersion(wParam, lParam);
      askAboutNewVersion(window);
      return 0;
    case UM_TRAYICON:
      if (handleTrayEvent(wParam, lParam)) return 0;
      break;
    case platform::WM_ENTERIDLE:
      if (wParam == platform::MSGF_DIALOGBOX) settingsDialogIdle(reinterpret_cast<platform::Hwnd>(lParam));
      return 0;
  }
  return platform::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace corvane

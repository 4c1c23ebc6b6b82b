// Process start-up: working directory, the dropped-file run, the resident run.
#include "app/hotkeys.h"
#include "app/shell.h"
#include "app/state.h"
#include "capture/capture.h"
#include "net/multipart.h"
#include "net/service_address.h"
#include "net/version_check.h"
#include "picture/file_upload.h"
#include "platform/guards.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/user32.h"
#include "settings/autostart.h"
#include "settings/settings.h"

namespace corvane {
namespace {

// The folder browser and the browser launch are shell services that want a
// single-threaded apartment on the thread that calls them: this one. The
// encoding wants it too where GDI+ encodes through the imaging codecs.
constexpr std::uint32_t kShellApartment = platform::COINIT_APARTMENTTHREADED | platform::COINIT_DISABLE_OLE1DDE;

// Relative paths (a dropped file given as "picture.png") count from the
// executable's folder, not from wherever the shell started us.
void enterExecutableFolder() {
  char16_t path[platform::MAX_PATH] = {};
  std::uint32_t length = platform::GetModuleFileNameW(nullptr, path, platform::MAX_PATH);
  // A path that fills the buffer was cut: its folder may be some other folder.
  if (length == 0 || length >= platform::MAX_PATH) return;
  path[length] = 0;
  while (length > 0 && path[length - 1] != u'\\') --length;
  if (length == 0) return;
  path[length - 1] = 0;
  platform::SetCurrentDirectoryW(path);
}

void startVersionCheck() {
  // Never waited for: the thread ends on its own after one exchange, and its handle is let go at once.
  // A newer version comes back to the main window as a message, asked there.
  const platform::UniqueHandle thread(platform::CreateThread(nullptr, kNetThreadStack, VersionCheckThread,
                                                             app.mainWindow,
                                                             platform::STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
}

// One resident program per session: autostart and a click on the executable
// meet here, and the later one ends before it shows anything or writes a setting.
constexpr char16_t kResidentMutex[] = u"Local\\Corvane.Tool.Resident";

int runResident(platform::Hinstance instance) {
  const platform::UniqueHandle resident(platform::CreateMutexW(nullptr, 0, kResidentMutex));
  if (resident && platform::GetLastError() == static_cast<std::uint32_t>(platform::ERROR_ALREADY_EXISTS)) return 0;
  LoadSettings();
  registerWindowClasses(instance);
  if (!createWindows(instance)) return 0;
  // Entered once the tray icon shows, for the rest of the run: nothing before
  // needs it, and loading COM costs tens of milliseconds under Wine.
  const platform::ComApartment com(kShellApartment);
  // A hot key another program holds is told in a balloon; the tray offers the same commands.
  registerHotKeys(ReadHotKeySettings());
  if (settings.versionCheck) startVersionCheck();
  capture().park();
  const int exitCode = runMessageLoop();
  releaseHotKeys();
  return exitCode;
}

}  // namespace

int runCorvane(platform::Hinstance instance, int argc, char16_t** args) {
  enterExecutableFolder();
  // An unquoted Run value of an earlier build, with a blank in the path, is
  // split into arguments that name no file: that start is the resident one.
  if (argc > 1 && StartedFromBareRunValue()) argc = 1;
  if (argc > 2) {
    platform::MessageBoxW(nullptr, u"Only one image at a time can be dropped!", u"Error", platform::MB_ICONERROR);
    return 1;
  }
  const ServiceSetting service = ReadServiceSetting();
  UseServiceAddress(service.address, service.key);  // before the version-check thread, and for a dropped file too
  if (argc == 2) {
    const platform::ComApartment com(kShellApartment);
    // Settings are not loaded for a dropped file: no copy is kept.
    ConvertAndUploadFile(args[1], {});
    return 1;
  }
  return runResident(instance);
}

}  // namespace corvane

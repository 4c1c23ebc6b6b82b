// The settings dialog (template IDD_SETTINGS in the resources) and its test of
// the service's address.
#include "app/settings_dialog.h"
#include <algorithm>
#include <atomic>
#include <new>
#include <string_view>
#include "app/dialog_template.h"
#include "app/hotkeys.h"
#include "app/state.h"
#include "capture/capture.h"
#include "net/failure_reason.h"
#include "net/multipart.h"
#include "net/service_address.h"
#include "platform/comctl32.h"
#include "platform/guards.h"
#include "platform/kernel32.h"
#include "platform/user32.h"
#include "resources/settings_dialog_ids.h"
#include "settings/settings.h"

namespace corvane {
namespace {

constexpr std::uint32_t kPrintScreenKey = 0x2C;  // VK_SNAPSHOT

// Keys the hot-key control names only with the extended flag: without it, it
// names the number pad's key of the same code ("Num 7" for Home).
bool IsExtendedKey(std::uint32_t key) {
  return (key >= 0x21 && key <= 0x28) || key == 0x2D || key == 0x2E || key == kPrintScreenKey;
}

std::u16string_view Trimmed(std::u16string_view text) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::u16string HotKeyProblem(HotKeyChord chord, const char16_t* which) {
  if (chord.none()) return {};
  const std::u16string text = HotKeyText(chord);
  if (text.empty())
    return std::u16string(u"That key cannot be the ") + which +
           u" hot key: choose a letter, digit, function or arrow key with Ctrl, Alt or Win.";
  if (ParseHotKeyText(text) != chord) return text + u" needs Ctrl, Alt or Win to be the " + which + u" hot key.";
  return {};
}

// ---- the test of an address, on a thread of its own ----------------------

// One test: the worker and the dialog each hold it, and whichever lets go
// last frees it. The dialog's window is posted to only under the lock and only
// while it is set, and the dialog clears it, under the lock, as it is
// destroyed: a closed dialog is never posted to, however late the answer.
struct ServiceTest {
  std::atomic<int> holders{2};
  std::atomic_flag lock = ATOMIC_FLAG_INIT;
  platform::Hwnd dialog;  // under lock
  ServiceAddress address;
  std::u16string answer;  // the worker's, read by the dialog once posted
  std::atomic<bool> answered{false};

  void acquire() {
    while (lock.test_and_set(std::memory_order_acquire)) platform::Sleep(0);
  }
  void release() { lock.clear(std::memory_order_release); }
};

void LetGo(ServiceTest* test) {
  if (test->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) delete test;
}

std::uint32_t ServiceTestThread(void* parameter) {
  auto* test = static_cast<ServiceTest*>(parameter);
  MultipartBody body;
  AddField(body, "version", kClientVersion);
  // Bounded like every exchange: a silent service ends the test with its reason.
  const Exchange exchange = PostMultipart(test->address, kVersionCheckPath, FinishBody(body));
  test->answer = exchange.stage == ExchangeStage::Done ? u"The service answered." : FailureReason(exchange);
  test->answered.store(true, std::memory_order_release);
  test->acquire();
  if (test->dialog != nullptr)
    platform::PostMessageW(test->dialog, UM_SERVICE_TESTED, 0, reinterpret_cast<platform::Lparam>(test));
  test->release();
  LetGo(test);
  return 0;
}

// ---- the dialog ---------------------------------------------------------------

struct DialogState {
  HotKeyChord openedCapture, openedFile;  // as the fields were filled
  std::uint16_t passwordChar = u'*';      // the key field's mask, as the control chose it
  ServiceTest* test = nullptr;            // the one running, held by the dialog
  platform::Hwnd window = nullptr;        // once it is made
};

// One dialog at a time: the modal gate lets no second one open.
DialogState* g_open = nullptr;

std::u16string FieldText(platform::Hwnd dialog, std::int32_t id) {
  char16_t text[kServiceAddressMaxLength + 2] = {};
  const std::uint32_t n = platform::GetDlgItemTextW(dialog, id, text, static_cast<std::int32_t>(std::size(text)));
  return std::u16string(Trimmed(std::u16string_view(text, std::min<std::size_t>(n, std::size(text) - 1))));
}

HotKeyChord FieldChord(platform::Hwnd dialog, std::int32_t id, HotKeyChord opened) {
  const auto value = static_cast<std::uint16_t>(platform::SendDlgItemMessageW(dialog, id, platform::HKM_GETHOTKEY, 0, 0));
  return ChordFromHotKeyControl(value, opened);
}

void ShowPrintScreenNote(platform::Hwnd dialog, const DialogState& state) {
  const bool show = TakesPrintScreen(FieldChord(dialog, IDC_CAPTURE_HOTKEY, state.openedCapture),
                                     FieldChord(dialog, IDC_FILE_HOTKEY, state.openedFile));
  platform::ShowWindow(platform::GetDlgItem(dialog, IDC_PRINT_SCREEN_NOTE), show ? platform::SW_SHOW : platform::SW_HIDE);
}

void FillFields(platform::Hwnd dialog, DialogState& state) {
  const ServiceSetting stored = ReadServiceSetting();
  platform::SendDlgItemMessageW(dialog, IDC_SERVICE_ADDRESS, platform::EM_SETLIMITTEXT, kServiceAddressMaxLength, 0);
  platform::SendDlgItemMessageW(dialog, IDC_UPLOAD_KEY, platform::EM_SETLIMITTEXT, kUploadKeyMaxLength, 0);
  platform::SetDlgItemTextW(dialog, IDC_SERVICE_ADDRESS, stored.address.c_str());
  platform::SetDlgItemTextW(dialog, IDC_UPLOAD_KEY, stored.key.c_str());
  const auto mask = static_cast<std::uint16_t>(
      platform::SendDlgItemMessageW(dialog, IDC_UPLOAD_KEY, platform::EM_GETPASSWORDCHAR, 0, 0));
  if (mask != 0) state.passwordChar = mask;
  state.openedCapture = captureHotKey();
  state.openedFile = fileUploadHotKey();
  platform::SendDlgItemMessageW(dialog, IDC_CAPTURE_HOTKEY, platform::HKM_SETHOTKEY,
                                HotKeyControlValue(state.openedCapture), 0);
  platform::SendDlgItemMessageW(dialog, IDC_FILE_HOTKEY, platform::HKM_SETHOTKEY,
                                HotKeyControlValue(state.openedFile), 0);
  ShowPrintScreenNote(dialog, state);
}

void ShowKey(platform::Hwnd dialog, const DialogState& state, bool shown) {
  platform::SendDlgItemMessageW(dialog, IDC_UPLOAD_KEY, platform::EM_SETPASSWORDCHAR, shown ? 0 : state.passwordChar, 0);
  platform::InvalidateRect(platform::GetDlgItem(dialog, IDC_UPLOAD_KEY), nullptr, 1);
}

void StartTest(platform::Hwnd dialog, DialogState& state) {
  if (state.test != nullptr) return;  // one at a time; its button is off meanwhile
  const std::u16string text = FieldText(dialog, IDC_SERVICE_ADDRESS);
  std::optional<ServiceAddress> address = text.empty() ? DefaultServiceAddress() : ParseServiceAddress(text);
  if (!address) {
    platform::SetDlgItemTextW(dialog, IDC_TEST_RESULT, u"This is not a service address.");
    return;
  }
  auto* test = new (std::nothrow) ServiceTest;
  if (test == nullptr) return;
  test->dialog = dialog;
  test->address = std::move(*address);
  const platform::UniqueHandle thread(platform::CreateThread(nullptr, kNetThreadStack, ServiceTestThread, test,
                                                             platform::STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (!thread) {
    delete test;
    platform::SetDlgItemTextW(dialog, IDC_TEST_RESULT, u"There was not enough memory.");
    return;
  }
  state.test = test;
  platform::SetDlgItemTextW(dialog, IDC_TEST_RESULT, u"Asking the service...");
  // Off while it runs; the focus goes back to the address first, or a button
  // turned off under it would leave the keyboard reaching no field.
  platform::SetFocus(platform::GetDlgItem(dialog, IDC_SERVICE_ADDRESS));
  platform::EnableWindow(platform::GetDlgItem(dialog, IDC_SERVICE_TEST), 0);
}

void TestAnswered(platform::Hwnd dialog, DialogState& state, platform::Lparam which) {
  ServiceTest* test = state.test;
  if (test == nullptr || reinterpret_cast<platform::Lparam>(test) != which ||
      !test->answered.load(std::memory_order_acquire))
    return;
  platform::SetDlgItemTextW(dialog, IDC_TEST_RESULT, test->answer.c_str());
  state.test = nullptr;
  test->acquire();
  test->dialog = nullptr;
  test->release();
  LetGo(test);
  platform::EnableWindow(platform::GetDlgItem(dialog, IDC_SERVICE_TEST), 1);
}

void Refuse(platform::Hwnd dialog, const std::u16string& reason, std::int32_t field) {
  platform::SetDlgItemTextW(dialog, IDC_REFUSAL, reason.c_str());
  if (field != 0) platform::SetFocus(platform::GetDlgItem(dialog, field));
}

void Accept(platform::Hwnd dialog, const DialogState& state) {
  const SettingsEntries entries{FieldText(dialog, IDC_SERVICE_ADDRESS), FieldText(dialog, IDC_UPLOAD_KEY),
                                FieldChord(dialog, IDC_CAPTURE_HOTKEY, state.openedCapture),
                                FieldChord(dialog, IDC_FILE_HOTKEY, state.openedFile)};
  const EntriesVerdict verdict = CheckSettingsEntries(entries);
  if (!verdict.reason.empty()) return Refuse(dialog, verdict.reason, verdict.field);
  // Taken before anything is written: a key another program holds refuses the whole change.
  const HotKeyChord oldCapture = captureHotKey(), oldFile = fileUploadHotKey();
  const std::u16string taken = changeHotKeys(entries.capture, entries.fileUpload);
  if (!taken.empty()) {
    pauseHotKeys();  // the fields keep seeing every key while the dialog stays open
    const bool captureTaken = taken.starts_with(HotKeyText(entries.capture) + u" ");
    return Refuse(dialog, taken, captureTaken ? IDC_CAPTURE_HOTKEY : IDC_FILE_HOTKEY);
  }
  if (!StoreServiceAndKeys({entries.address, entries.key, entries.capture, entries.fileUpload})) {
    changeHotKeys(oldCapture, oldFile);
    pauseHotKeys();
    return Refuse(dialog, u"The settings could not be written to the registry.", 0);
  }
  UseServiceAddress(entries.address, entries.key);
  platform::EndDialog(dialog, platform::IDOK);
}

std::intptr_t settingsDialogProc(platform::Hwnd dialog, std::uint32_t message, platform::Wparam wParam,
                                 platform::Lparam lParam) {
  DialogState* state = g_open;
  if (state == nullptr) return 0;
  switch (message) {
    case platform::WM_INITDIALOG:
      state->window = dialog;
      FillFields(dialog, *state);
      // Opened from the tray: in front, where the user looks for it.
      platform::SetForegroundWindow(dialog);
      return 1;  // the focus goes to the first field, the address
    case platform::WM_COMMAND: {
      const auto id = static_cast<std::int32_t>(wParam & 0xFFFF);
      const auto code = static_cast<std::uint32_t>((wParam >> 16) & 0xFFFF);
      // A field changed: a refusal of what it held before no longer stands.
      if (code == platform::EN_CHANGE) platform::SetDlgItemTextW(dialog, IDC_REFUSAL, u"");
      if (id == platform::IDOK) {
        Accept(dialog, *state);
      } else if (id == platform::IDCANCEL) {
        platform::EndDialog(dialog, platform::IDCANCEL);
      } else if (id == IDC_SERVICE_TEST && code == platform::BN_CLICKED) {
        StartTest(dialog, *state);
      } else if (id == IDC_SHOW_KEY && code == platform::BN_CLICKED) {
        ShowKey(dialog, *state,
                platform::SendDlgItemMessageW(dialog, IDC_SHOW_KEY, platform::BM_GETCHECK, 0, 0) == platform::BST_CHECKED);
      } else if ((id == IDC_CAPTURE_HOTKEY || id == IDC_FILE_HOTKEY) && code == platform::EN_CHANGE) {
        ShowPrintScreenNote(dialog, *state);
      } else {
        return 0;
      }
      return 1;
    }
    case UM_SERVICE_TESTED:
      TestAnswered(dialog, *state, lParam);
      return 1;
    case platform::WM_DESTROY:
      if (ServiceTest* test = std::exchange(state->test, nullptr)) {
        test->acquire();
        test->dialog = nullptr;
        test->release();
        LetGo(test);
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace

EntriesVerdict CheckSettingsEntries(const SettingsEntries& e) {
  if (!e.address.empty() && !ParseServiceAddress(e.address))
    return {u"The service address is not valid: write it as http://host or https://host, with a port and a path "
            u"if it has them.",
            IDC_SERVICE_ADDRESS};
  if (!e.key.empty()) {
    const bool plain = e.key.size() <= kUploadKeyMaxLength &&
                       std::all_of(e.key.begin(), e.key.end(), [](char16_t c) { return c > u' ' && c < 0x7F; });
    if (!plain)
      return {u"The upload key may hold only letters, digits and punctuation of plain ASCII, no blanks.",
              IDC_UPLOAD_KEY};
    // The built-in service is never sent a key.
    if (e.address.empty())
      return {u"An upload key goes only to your own service: enter its address too.", IDC_SERVICE_ADDRESS};
  }
  if (std::u16string problem = HotKeyProblem(e.capture, u"capture"); !problem.empty())
    return {problem, IDC_CAPTURE_HOTKEY};
  if (std::u16string problem = HotKeyProblem(e.fileUpload, u"file-upload"); !problem.empty())
    return {problem, IDC_FILE_HOTKEY};
  if (!e.capture.none() && e.capture == e.fileUpload)
    return {HotKeyText(e.capture) + u" cannot start both commands.", IDC_FILE_HOTKEY};
  return {};
}

std::uint16_t HotKeyControlValue(HotKeyChord chord) {
  if (chord.none() || chord.key > 0xFF) return 0;
  std::uint32_t flags = 0;
  if (chord.modifiers & platform::MOD_SHIFT) flags |= platform::HOTKEYF_SHIFT;
  if (chord.modifiers & platform::MOD_CONTROL) flags |= platform::HOTKEYF_CONTROL;
  if (chord.modifiers & platform::MOD_ALT) flags |= platform::HOTKEYF_ALT;
  if (IsExtendedKey(chord.key)) flags |= platform::HOTKEYF_EXT;
  return static_cast<std::uint16_t>(chord.key | flags << 8);
}

HotKeyChord ChordFromHotKeyControl(std::uint16_t value, HotKeyChord shown) {
  if (value == HotKeyControlValue(shown)) return shown;
  const std::uint32_t key = value & 0xFF, flags = value >> 8;
  if (key == 0) return {};
  HotKeyChord chord{0, key};
  if (flags & platform::HOTKEYF_SHIFT) chord.modifiers |= platform::MOD_SHIFT;
  if (flags & platform::HOTKEYF_CONTROL) chord.modifiers |= platform::MOD_CONTROL;
  if (flags & platform::HOTKEYF_ALT) chord.modifiers |= platform::MOD_ALT;
  return chord;
}

bool TakesPrintScreen(HotKeyChord capture, HotKeyChord fileUpload) {
  return capture.key == kPrintScreenKey || fileUpload.key == kPrintScreenKey;
}

void settingsDialogIdle(platform::Hwnd dialog) {
  if (g_open != nullptr && dialog != nullptr && dialog == g_open->window) ShowPrintScreenNote(dialog, *g_open);
}

void runSettingsDialog() {
  const ModalScope modal(capture());
  if (!modal) return;
  // The hot-key fields are the common controls' class.
  const platform::InitCommonControlsRecord classes{sizeof(platform::InitCommonControlsRecord),
                                                   platform::ICC_HOTKEY_CLASS};
  platform::InitCommonControlsEx(&classes);
  DialogState state;
  g_open = &state;
  pauseHotKeys();
  DialogBoxInMessageFont(app.instance, IDD_SETTINGS, app.mainWindow, settingsDialogProc, 0);
  resumeHotKeys();
  g_open = nullptr;
}

}  // namespace corvane

// Picture upload: the exchange with the web service, then the link handed to
// the save folder, the clipboard and the browser.
#include "net/upload.h"
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include "desktop/balloon.h"
#include "desktop/clipboard.h"
#include "net/failure_reason.h"
#include "net/multipart.h"
#include "net/reply_check.h"
#include "platform/guards.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/user32.h"
#include "settings/recent.h"

namespace corvane {
namespace {

constexpr std::size_t kCopyPathCapacity = 1024;  // characters, terminator included

void ShowError(platform::Hwnd owner, const char16_t* message) {
  platform::MessageBoxW(owner, message, u"Error", platform::MB_ICONERROR);
}

// The first line of a failure's message, as it has always read.
const char16_t* StageMessage(ExchangeStage stage) {
  switch (stage) {
    case ExchangeStage::Open: return u"Could not configure wininet";
    case ExchangeStage::Connect: return u"Could not initiate connection";
    case ExchangeStage::OpenRequest: return u"Could not initiate transfer";
    default: return u"Could not upload";
  }
}

// Makes folder and whichever of its parents are missing; true when it exists
// afterwards (or something of that name does: writing into it tells).
bool MakeFolder(std::u16string folder) {
  using namespace platform;
  while (folder.size() > 1 && folder.back() == u'\\') folder.pop_back();
  if (folder.empty()) return false;
  if (CreateDirectoryW(folder.c_str(), nullptr)) return true;
  std::uint32_t error = GetLastError();
  if (error == static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS)) return true;
  if (error != static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND)) return false;
  const std::size_t slash = folder.rfind(u'\\');
  // A missing drive (Q:\x) or share has no parent we could make.
  if (slash == std::u16string::npos || slash == 0 || (slash == 2 && folder[1] == u':')) return false;
  if (!MakeFolder(folder.substr(0, slash))) return false;
  return CreateDirectoryW(folder.c_str(), nullptr) ||
         GetLastError() == static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS);
}

// Copies every byte of the picture file into target, made afresh.
bool CopyBytes(const char16_t* picturePath, const char16_t* target) {
  using namespace platform;
  const UniqueHandle source(CreateFileW(picturePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
  if (!source) return false;
  UniqueHandle copy(CreateFileW(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!copy) return false;
  static constexpr std::uint32_t kChunk = 64 * 1024;
  std::string buffer(kChunk, '\0');
  bool ok = true;
  for (;;) {
    std::uint32_t read = 0, written = 0;
    if (!ReadFile(source.get(), buffer.data(), kChunk, &read, nullptr)) { ok = false; break; }
    if (read == 0) break;
    if (!WriteFile(copy.get(), buffer.data(), read, &written, nullptr) || written != read) { ok = false; break; }
  }
  // A close can be where a full disk shows, so the copy's is checked; the
  // source goes when the guard ends.
  if (!CloseHandle(copy.release())) ok = false;
  return ok;
}

bool IsLaunchableLink(std::string_view text) {
  // Bounded before the shell sees it: Wine's launch crashes on long text.
  if (text.size() > kMaxLinkPrefixLength + kMaxIdentifierLength + 2) return false;
  auto startsWithNoCase = [&](std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
      char c = text[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != prefix[i]) return false;
    }
    return true;
  };
  if (!startsWithNoCase("http://") && !startsWithNoCase("https://")) return false;
  // Links come here checked, without the service's line break: any control
  // character left would reach the shell as part of the address.
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

void ShowCopyError(platform::Hwnd owner, std::u16string_view folder) {
  const std::u16string text = folder.empty()
                                  ? u"Could not save a copy of the picture: no save folder is set."
                                  : u"Could not save a copy of the picture in the save folder " + std::u16string(folder);
  ShowError(owner, text.c_str());
}

// One try: the body built from the picture file and one exchange with the
// service. failure is the message's first line, or null when the reply is a
// link of this service; reason is the line that says why.
struct Attempt {
  const char16_t* failure = nullptr;
  std::u16string reason;
  std::string reply;
  std::string deleteKey;  // what the service gave to take the picture back, if anything
};

Attempt SendOnce(const char16_t* picturePath) {
  Exchange exchange;
  {
    MultipartBody body;
    AddField(body, "cv", kClientVersion);
    // A picture that cannot be read whole is not sent at all, rather than sent cut short.
    if (!AddFileField(body, "imagedata", picturePath))
      return {u"Could not open .jpg", u"The picture could not be read whole.", {}, {}};
    if (!Service().uploadKey.empty()) AddField(body, "key", Service().uploadKey);  // an own service's access key
    exchange = PostMultipart(kUploadPath, FinishBody(body));
  }
  if (exchange.stage != ExchangeStage::Done) return {StageMessage(exchange.stage), FailureReason(exchange), {}, {}};
  // Only a link of this service is the user's picture: anything else (an error
  // page, another host, an endless stream) is a failed upload and touches nothing.
  if (!LinkIdentifier(exchange.reply, ServiceLinkPrefix()))
    return {u"Could not upload", u"The service's answer is not a link to the picture.", {}, {}};
  return {nullptr, {}, std::move(exchange.reply), std::move(exchange.deleteKey)};
}

// How many "-2", "-3"... a kept picture's name tries: far more pictures than
// anyone takes in one second.
constexpr int kTimeNameTries = 100;

// prefix, "YYYYMMDD-HHMMSS" of a local time, and extension; the taken-th name
// after the first adds "-2", "-3"... Written digit by digit: the C library's
// formatted printing would add a tenth to the executable for this one name.
std::u16string TimeName(std::u16string_view prefix, const platform::SystemTime& t, int taken,
                        std::u16string_view extension) {
  std::u16string name(prefix);
  auto digits = [&name](unsigned value, int width) {
    char16_t text[10];
    int count = 0;
    do {
      text[count++] = static_cast<char16_t>(u'0' + value % 10);
      value /= 10;
    } while (value != 0 && count < 10);
    for (; count < width; ++count) text[count] = u'0';
    while (count > 0) name += text[--count];
  };
  digits(t.wYear, 4);
  digits(t.wMonth, 2);
  digits(t.wDay, 2);
  name += u'-';
  digits(t.wHour, 2);
  digits(t.wMinute, 2);
  digits(t.wSecond, 2);
  if (taken > 1) {
    name += u'-';
    digits(static_cast<unsigned>(taken), 1);
  }
  return name += extension;
}

}  // namespace

std::u16string KeepTimeNamedPicture(std::u16string_view saveFolder, std::u16string_view prefix,
                                    std::u16string_view extension, WritePicture write, const void* context) {
  using namespace platform;
  if (saveFolder.empty() || !MakeFolder(std::u16string(saveFolder))) return {};
  std::u16string folder(saveFolder);
  if (folder.back() != u'\\') folder += u'\\';
  SystemTime now{};
  GetLocalTime(&now);
  const std::u16string partial = folder + TimeName(prefix, now, 1, extension) + u".part";
  if (write(partial.c_str(), context)) {
    for (int taken = 1; taken <= kTimeNameTries; ++taken) {
      std::u16string target = folder + TimeName(prefix, now, taken, extension);
      if (MoveFileExW(partial.c_str(), target.c_str(), 0)) return target;
      const std::uint32_t error = GetLastError();
      if (error != static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS) &&
          error != static_cast<std::uint32_t>(ERROR_FILE_EXISTS))
        break;
    }
  }
  DeleteFileW(partial.c_str());
  return {};
}

std::u16string KeepUnsentPicture(std::u16string_view saveFolder, WritePicture write, const void* context) {
  return KeepTimeNamedPicture(saveFolder, u"unsent-", u".jpg", write, context);
}

UploadOutcome UploadPicture(platform::Hwnd owner, const char16_t* picturePath, const CopyRequest& copy,
                            KeepUnsent keepUnsent) {
  // The unsent copy in the save folder, once made.
  std::u16string kept = keepUnsent == KeepUnsent::Already ? std::u16string(picturePath) : std::u16string();
  Attempt attempt = SendOnce(picturePath);
  while (attempt.failure != nullptr) {
    // Kept before the user is asked, so that the message can name it; tried
    // again after each failure until it works, in case the folder was mended.
    if (keepUnsent == KeepUnsent::Yes && kept.empty())
      kept = KeepUnsentPicture(
          copy.saveFolder,
          [](const char16_t* target, const void* source) {
            return CopyBytes(static_cast<const char16_t*>(source), target);
          },
          picturePath);
    std::u16string text = attempt.failure + (u"\n" + attempt.reason);
    if (keepUnsent != KeepUnsent::No)
      text += kept.empty() ? std::u16string(u"\nThe picture could not be kept in the save folder.")
                           : u"\nThe picture is kept as " + kept;
    if (platform::MessageBoxW(owner, text.c_str(), u"Error", platform::MB_RETRYCANCEL | platform::MB_ICONERROR) !=
        platform::IDRETRY)
      return {};
    attempt = SendOnce(picturePath);
  }
  // What goes out is what was checked: the link without the line break the
  // service may end it with.
  const std::string link(WithoutLineBreak(attempt.reply));
  const std::string_view identifier = *LinkIdentifier(link, ServiceLinkPrefix());
  const CopyResult copied = copy.keep ? SaveCopy(picturePath, identifier, copy.saveFolder) : CopyResult::Written;
  // The service holds the picture now.
  if (!kept.empty()) platform::DeleteFileW(kept.c_str());
  RememberUpload(link, ServiceLinkPrefix(), attempt.deleteKey);
  const platform::Hwnd mainWindow = copy.mainWindow != nullptr ? copy.mainWindow : owner;
  const bool onClipboard = CopyTextToClipboard(mainWindow, link);
  OpenLink(link.c_str());
  // Said once the browser has the link; a link that silently never reaches the
  // clipboard would be a failure reported as success.
  if (!onClipboard && !ShowBalloon(mainWindow, kLinkNotCopiedTitle, kLinkNotCopiedText, BalloonIcon::Warning))
    ShowError(owner, (std::u16string(kLinkNotCopiedTitle) + u"\n" + kLinkNotCopiedText).c_str());
  // Told after the link is out: the upload itself succeeded.
  if (copied == CopyResult::Failed) ShowCopyError(owner, copy.saveFolder);
  return {1, copy.keep};
}

CopyResult SaveCopy(const char16_t* picturePath, std::string_view identifier, std::u16string_view saveFolder) {
  using namespace platform;
  const std::u16string name = CopyFileName(identifier);
  if (name.empty() || saveFolder.empty()) return CopyResult::Failed;
  // The separator goes in even after a trailing one: the file system takes "\\" as one.
  const std::u16string target = std::u16string(saveFolder) + u"\\" + name;
  if (target.size() + 1 > kCopyPathCapacity) return CopyResult::Failed;
  if (!MakeFolder(std::u16string(saveFolder))) return CopyResult::Failed;

  // Written beside its final name first, then put in place in one step.
  const std::u16string partial = target + u".part";
  if (CopyBytes(picturePath, partial.c_str()) &&
      MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
    return CopyResult::Written;
  DeleteFileW(partial.c_str());
  return CopyResult::Failed;
}

void OpenLink(const char* text) {
  if (text == nullptr || !IsLaunchableLink(text)) return;
  std::u16string wide;
  for (const char* p = text; *p != 0; ++p) wide += static_cast<char16_t>(static_cast<unsigned char>(*p));
  platform::ShellExecuteInfo info{};
  info.cbSize = sizeof info;
  // The user-interface thread or a dropped file's process may end right after
  // this call: the launch is finished before it returns, and a link no browser
  // takes fails silently (the link is on the clipboard), not with a shell box.
  info.fMask = platform::SEE_MASK_NOASYNC | platform::SEE_MASK_FLAG_NO_UI;
  info.lpVerb = u"open";
  info.lpFile = wide.c_str();
  platform::ShellExecuteExW(&info);
}

}  // namespace corvane

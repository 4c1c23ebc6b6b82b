// Picture upload: the exchange with the web service, then the link handed to
// the save folder, the clipboard and the browser.
#include "net/upload.h"
#include <cstring>
#include <string>
#include <string_view>
#include "net/multipart.h"
#include "platform/guards.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/user32.h"

namespace corvane {
namespace {

constexpr std::size_t kCopyPathCapacity = 1024;  // characters, terminator included
constexpr std::size_t kIdentifierMaxLength = 36;

void ShowError(platform::Hwnd owner, const char16_t* message) {
  platform::MessageBoxW(owner, message, u"Error", platform::MB_ICONERROR);
}

const char16_t* StageMessage(ExchangeStage stage) {
  switch (stage) {
    case ExchangeStage::Open: return u"Could not configure wininet";
    case ExchangeStage::Connect: return u"Could not initiate connection";
    case ExchangeStage::OpenRequest: return u"Could not initiate transfer";
    default: return u"Could not upload";
  }
}

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Names Windows opens as devices whatever folder or extension comes with them.
bool IsDeviceName(std::u16string_view name) {
  std::u16string_view base = name.substr(0, name.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);  // "NUL .jpg" is still the device
  std::u16string upper;
  for (char16_t c : base) upper += Upper(c);
  for (std::u16string_view device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
    if (upper == device) return true;
  if (upper.size() == 4 && (upper.starts_with(u"COM") || upper.starts_with(u"LPT"))) {
    char16_t n = upper[3];
    return (n >= u'1' && n <= u'9') || n == u'\u00B9' || n == u'\u00B2' || n == u'\u00B3';
  }
  return false;
}

// The identifier comes from the network: it must name a plain file inside the
// save folder, never a path, a stream or a device.
bool IsPlainFileName(std::u16string_view name) {
  if (name.empty() || name == u"." || name == u"..") return false;
  for (char16_t c : name) {
    if (c < 0x20 || c == 0x7F) return false;
    if (std::u16string_view(u"<>:\"/\\|?*").find(c) != std::u16string_view::npos) return false;
  }
  if (name.back() == u'.' || name.back() == u' ') return false;
  return !IsDeviceName(name);
}

// The copy path for a link, or empty when no copy may be written for it.
std::u16string CopyPathFor(std::string_view link, std::u16string_view folder) {
  std::u16string identifier;
  const std::size_t prefixLength = ServiceLinkPrefix().size();
  if (link.size() > prefixLength) {
    std::string_view raw = link.substr(prefixLength);
    // Only the first 36 characters are kept; no code page needs more than 4 bytes for one.
    raw = raw.substr(0, 4 * kIdentifierMaxLength);
    int length = static_cast<int>(raw.size());
    int units = platform::MultiByteToWideChar(platform::CP_ACP, 0, raw.data(), length, nullptr, 0);
    if (units > 0) {
      identifier.resize(static_cast<std::size_t>(units));
      units = platform::MultiByteToWideChar(platform::CP_ACP, 0, raw.data(), length, identifier.data(), units);
      identifier.resize(units > 0 ? static_cast<std::size_t>(units) : 0);
    }
  }
  if (identifier.size() > kIdentifierMaxLength) identifier.resize(kIdentifierMaxLength);
  if (!IsPlainFileName(identifier)) return {};

  folder = folder.substr(0, folder.find(u'\0'));
  if (folder.empty()) return {};
  // The separator goes in even after a trailing one: the file system takes "\\" as one.
  std::u16string path = std::u16string(folder) + u"\\" + identifier + u".jpg";
  if (path.size() + 1 > kCopyPathCapacity) return {};
  return path;
}

// Copies the picture file to target, replacing a file of that name. A copy
// that could not be written whole is removed rather than left truncated.
void CopyPicture(const char16_t* picturePath, const char16_t* target) {
  using namespace platform;
  Handle source = CreateFileW(picturePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (source == INVALID_HANDLE_VALUE) return;
  Handle copy = CreateFileW(target, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (copy == INVALID_HANDLE_VALUE) {
    CloseHandle(source);
    return;
  }
  static constexpr std::uint32_t kChunk = 64 * 1024;
  std::string buffer(kChunk, '\0');
  bool ok = true;
  for (;;) {
    std::uint32_t read = 0, written = 0;
    if (!ReadFile(source, buffer.data(), kChunk, &read, nullptr)) { ok = false; break; }
    if (read == 0) break;
    if (!WriteFile(copy, buffer.data(), read, &written, nullptr) || written != read) { ok = false; break; }
  }
  CloseHandle(copy);
  CloseHandle(source);
  if (!ok) DeleteFileW(target);
}

void SaveCopy(const char16_t* picturePath, std::string_view link, std::u16string_view folder) {
  std::u16string target = CopyPathFor(link, folder);
  if (!target.empty()) CopyPicture(picturePath, target.c_str());
}

bool IsLaunchableLink(std::string_view text) {
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
  // The service ends its links with a line break; that much goes through as it came.
  if (text.ends_with("\r\n")) text.remove_suffix(2);
  else if (text.ends_with('\n') || text.ends_with('\r')) text.remove_suffix(1);
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

}  // namespace

UploadOutcome UploadPicture(platform::Hwnd owner, const char16_t* picturePath, const CopyRequest& copy) {
  Exchange exchange;
  {
    MultipartBody body;
    AddField(body, "cv", kClientVersion);
    // A picture that cannot be read whole is not sent at all, rather than sent cut short.
    if (!AddFileField(body, "imagedata", picturePath)) {
      ShowError(owner, u"Could not open .jpg");
      return {};
    }
    exchange = PostMultipart(kUploadPath, FinishBody(body));
  }
  if (exchange.stage != ExchangeStage::Done) {
    ShowError(owner, StageMessage(exchange.stage));
    return {};
  }
  const std::string& link = exchange.reply;
  if (copy.keep) SaveCopy(picturePath, link, copy.saveFolder);
  CopyTextToClipboard(link.c_str());
  OpenLink(link.c_str());
  return {1, copy.keep};
}

void OpenLink(const char* text) {
  if (text == nullptr || !IsLaunchableLink(text)) return;
  std::u16string wide;
  for (const char* p = text; *p != 0; ++p) wide += static_cast<char16_t>(static_cast<unsigned char>(*p));
  platform::ShellExecuteInfo info{};
  info.cbSize = sizeof info;
  info.lpVerb = u"open";
  info.lpFile = wide.c_str();
  platform::ShellExecuteExW(&info);
}

void CopyTextToClipboard(const char* text) {
  using namespace platform;
  if (text == nullptr) return;
  std::size_t size = std::strlen(text) + 1;
  // The block belongs to the clipboard once it takes it; until then it is ours to free.
  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size));
  if (!block) return;
  void* memory = GlobalLock(block.get());
  if (memory == nullptr) return;
  std::memcpy(memory, text, size);
  GlobalUnlock(block.get());
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  if (SetClipboardData(CF_TEXT, block.get()) != nullptr) block.release();
  CloseClipboard();
}

}  // namespace corvane

// A selection's picture on the clipboard or in the save folder, without the
// web service: exact pixels, and never lost when one way is closed.
#include <array>
#include <string>

#include "capture/capture.h"
#include "desktop/balloon.h"
#include "desktop/clipboard.h"
#include "picture/png.h"
#include "platform/kernel32.h"
#include "platform/user32.h"
#include "settings/settings.h"

namespace corvane {
namespace {

// How many "-2", "-3"... a saved picture's name tries: far more pictures than
// anyone takes in one second.
constexpr int kNameTries = 100;

// Makes folder and whichever of its parents are missing; true when it exists afterwards.
bool makeFolder(std::u16string folder) {
  using namespace platform;
  while (folder.size() > 1 && folder.back() == u'\\') folder.pop_back();
  if (folder.empty()) return false;
  if (CreateDirectoryW(folder.c_str(), nullptr)) return true;
  const std::uint32_t error = GetLastError();
  if (error == static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS)) return true;
  if (error != static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND)) return false;
  const std::size_t slash = folder.rfind(u'\\');
  if (slash == std::u16string::npos || slash == 0 || (slash == 2 && folder[1] == u':')) return false;
  return makeFolder(folder.substr(0, slash)) &&
         (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
}

void appendDigits(std::u16string& text, unsigned value, int width) {
  char16_t digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value != 0 && count < 10);
  for (; count < width; ++count) digits[count] = u'0';
  while (count > 0) text += digits[--count];
}

}  // namespace

// "capture-YYYYMMDD-HHMMSS.png" in local time; the taken-th name after the
// first adds "-2", "-3"...
std::u16string SavedPictureName(const platform::SystemTime& t, int taken) {
  std::u16string name = u"capture-";
  appendDigits(name, t.wYear, 4);
  appendDigits(name, t.wMonth, 2);
  appendDigits(name, t.wDay, 2);
  name += u'-';
  appendDigits(name, t.wHour, 2);
  appendDigits(name, t.wMinute, 2);
  appendDigits(name, t.wSecond, 2);
  if (taken > 1) {
    name += u'-';
    appendDigits(name, static_cast<unsigned>(taken), 1);
  }
  return name + u".png";
}

// The PNG is written beside its name first and then renamed without
// replacing: an existing file is never overwritten, and a saved one is whole.
// Its full path, or empty when it could not be written.
std::u16string SavePictureFile(const std::string& dib, std::u16string_view saveFolder) {
  using namespace platform;
  if (saveFolder.empty() || !makeFolder(std::u16string(saveFolder))) return {};
  std::u16string folder(saveFolder);
  if (folder.back() != u'\\') folder += u'\\';
  SystemTime now{};
  GetLocalTime(&now);
  const std::u16string partial = folder + SavedPictureName(now, 1) + u".part";
  if (SaveDibAsPng(partial.c_str(), dib) == 1) {
    for (int taken = 1; taken <= kNameTries; ++taken) {
      std::u16string target = folder + SavedPictureName(now, taken);
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

// CF_DIB for every program that pastes pictures, and "PNG" beside it for those
// that read it; both the exact pixels. A PNG that cannot be made leaves the DIB alone.
bool CopyPictureToClipboard(platform::Hwnd owner, const std::string& dib) {
  if (dib.empty()) return false;
  std::string png;
  {
    TempJpegFile file;  // a temporary name of our prefix, deleted with it
    if (file.make() && SaveDibAsPng(file.name(), dib) == 1) {
      if (!ReadWholeFile(file.name(), dib.size() * 2 + (1u << 20), png)) png.clear();
    }
  }
  const std::uint32_t pngFormat = ClipboardFormat(u"PNG");
  std::array<ClipboardItem, 2> items{ClipboardItem{platform::CF_DIB, dib}, ClipboardItem{pngFormat, png}};
  const std::size_t count = png.empty() || pngFormat == 0 ? 1 : 2;
  return PutOnClipboard(owner, std::span<const ClipboardItem>(items.data(), count));
}

// Copy falls back to a file and Save to the clipboard: the picture exists
// nowhere else, and the user is told where it went.
void Capture::copyOrSave(Choice choice, const PixelRows& pixels) {
  using namespace platform;
  const Hwnd owner = windows_.main();
  const std::string dib = PackedDib(pixels);
  const std::u16string_view folder = SaveFolderPath();
  if (choice == Choice::Copy) {
    if (CopyPictureToClipboard(owner, dib)) return;
    const std::u16string saved = SavePictureFile(dib, folder);
    if (!saved.empty()) {
      ShowBalloon(owner, u"Could not copy the picture", u"It is saved as " + saved, BalloonIcon::Warning);
      return;
    }
  } else {
    const std::u16string saved = SavePictureFile(dib, folder);
    if (!saved.empty()) {
      ShowBalloon(owner, u"Picture saved", saved);
      return;
    }
    if (CopyPictureToClipboard(owner, dib)) {
      ShowBalloon(owner, u"Could not save the picture", u"It is on the clipboard. The save folder is " + std::u16string(folder),
                  BalloonIcon::Warning);
      return;
    }
  }
  MessageBoxW(owner, u"Could not save image", u"Error", MB_ICONERROR);
}

}  // namespace corvane

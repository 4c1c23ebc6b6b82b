// A selection's picture on the clipboard or in the save folder, without the
// web service: exact pixels, and never lost when one way is closed.
#include <array>
#include <string>

#include "capture/capture.h"
#include "desktop/balloon.h"
#include "desktop/clipboard.h"
#include "net/upload.h"
#include "picture/png.h"
#include "platform/kernel32.h"
#include "platform/user32.h"
#include "settings/settings.h"

namespace corvane {

// "capture-YYYYMMDD-HHMMSS.png" in the save folder, never over another file.
// Its full path, or empty when it could not be written.
std::u16string SavePictureFile(const std::string& dib, std::u16string_view saveFolder) {
  return KeepTimeNamedPicture(
      saveFolder, u"capture-", u".png",
      [](const char16_t* path, const void* pixels) {
        return SaveDibAsPng(path, *static_cast<const std::string*>(pixels)) == 1;
      },
      &dib);
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

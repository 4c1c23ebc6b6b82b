// The upload of a grabbed picture, and where it is encoded.
#include "picture/capture_upload.h"

#include <string>
#include "platform/user32.h"
#include "settings/settings.h"

namespace corvane {
namespace {

struct Encoding {
  platform::Hbitmap bitmap;
  const PixelRows* rows;
};

bool encodeInto(const char16_t* path, const void* context) {
  const auto* encoding = static_cast<const Encoding*>(context);
  return SaveBitmapAsJpeg(path, encoding->bitmap, encoding->rows) == 1;
}

std::u16string named(std::u16string_view what, std::u16string_view path) {
  return path.empty() ? std::u16string(what) : std::u16string(what) + u" " + std::u16string(path);
}

}  // namespace

UploadOutcome UploadCapture(platform::Hwnd owner, const TempJpegFile& file, platform::Hbitmap bitmap,
                            const PixelRows& rows, const CopyRequest& copy) {
  const Encoding encoding{bitmap, &rows};
  // Before the first picture that may go into the folder.
  TellRefusedSaveFolder(owner, copy.mainWindow != nullptr ? copy.mainWindow : owner);
  // The picture exists nowhere else: a failed upload keeps it in the save folder.
  if (file && encodeInto(file.name(), &encoding)) return UploadPicture(owner, file.name(), copy, KeepUnsent::Yes);
  // Without pixels there is nothing to write anywhere else either.
  if (rows.top == nullptr) {
    platform::MessageBoxW(owner, u"Could not save image", u"Error", platform::MB_ICONERROR);
    return {};
  }
  // A temporary folder that is full, read-only or gone does not cost the
  // capture: the save folder holds it instead, as the unsent picture it is
  // until the service has it.
  const std::u16string kept = KeepUnsentPicture(copy.saveFolder, encodeInto, &encoding);
  if (!kept.empty()) return UploadPicture(owner, kept.c_str(), copy, KeepUnsent::Already);
  const std::u16string text = u"Could not save image\n" + named(u"Neither the temporary folder", file.folder()) +
                              u" nor " +
                              (copy.saveFolder.empty() ? std::u16string(u"a save folder (none is set)")
                                                       : named(u"the save folder", copy.saveFolder)) +
                              u" can be written.";
  platform::MessageBoxW(owner, text.c_str(), u"Error", platform::MB_ICONERROR);
  return {};
}

}  // namespace corvane

// The File upload command (Alt+F, tray menu) and the upload of a picture file
// dropped on the executable: both convert the file into a temporary JPEG and
// upload that, never the file itself.
#include "picture/file_upload.h"

#include <string>

#include "net/upload.h"
#include "picture/jpeg.h"
#include "platform/comdlg32.h"
#include "platform/kernel32.h"
#include "platform/user32.h"
#include "settings/settings.h"

namespace corvane {
namespace {

// The last path chosen in the dialog; the source of the conversion that follows.
char16_t g_chosenPath[platform::MAX_PATH];

constexpr char16_t kFilter[] = u"Pics - PNG, JPG, GIF, BMP, TIF\0*.png;*.jpg;*.jpeg;*.gif;*.bmp;*.tif;*.tiff\0";

void showConversionFailure(const char16_t* why = nullptr) {
  const std::u16string text = why == nullptr ? u"Could not convert image" : u"Could not convert image\n" + std::u16string(why);
  platform::MessageBoxW(nullptr, text.c_str(), u"Error", platform::MB_ICONERROR);
}

}  // namespace

UploadOutcome FileUploadCommand(const CopyRequest& copy, platform::Hwnd owner) {
  char16_t file[platform::MAX_PATH] = {};
  platform::OpenFileName ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = kFilter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = platform::MAX_PATH;
  ofn.lpstrTitle = u"Select pic to upload";
  // The working directory stays the executable's folder, which relative dropped paths count from.
  ofn.Flags = platform::OFN_PATHMUSTEXIST | platform::OFN_FILEMUSTEXIST | platform::OFN_NONETWORKBUTTON |
              platform::OFN_NOCHANGEDIR;
  // Cancel, a closed dialog and a dialog error (a path too long for the buffer among them) end silently.
  if (platform::GetOpenFileNameW(&ofn) == 0) return {};

  std::size_t i = 0;
  for (; i + 1 < platform::MAX_PATH && file[i] != 0; ++i) g_chosenPath[i] = file[i];
  g_chosenPath[i] = 0;
  return ConvertAndUploadFile(g_chosenPath, copy);
}

UploadOutcome ConvertAndUploadFile(const char16_t* sourcePath, const CopyRequest& copy) {
  // Deleted on every way out; without a name made for this run there is
  // nothing to write into, and nothing of ours to delete.
  TempJpegFile temp;
  if (!temp.make()) {
    // The user's file is untouched; what to mend is the temporary folder.
    const std::u16string why = temp.folder()[0] == 0
                                   ? std::u16string(u"There is no temporary folder to convert it in.")
                                   : u"The temporary folder " + std::u16string(temp.folder()) + u" cannot be written.";
    showConversionFailure(why.c_str());
    return {};
  }
  if (ConvertFileToJpeg(temp.name(), sourcePath) != 1) {
    showConversionFailure();
    return {};
  }
  if (copy.keep) TellRefusedSaveFolder(nullptr, copy.mainWindow);  // before the copy goes into the folder
  // Shows its own failures. The source file still holds the picture: nothing is kept.
  return UploadPicture(nullptr, temp.name(), copy, KeepUnsent::No);
}

}  // namespace corvane

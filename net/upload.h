// The picture upload and what it does with the link: clipboard, browser, saved copy.
#pragma once
#include <string>
#include <string_view>
#include "platform/types.h"

namespace corvane {

// Whether the upload keeps a copy of the picture in the save folder, named
// after the link. The folder is read only when keep is set, or when a failed
// picture is to be kept (KeepUnsent below).
struct CopyRequest {
  bool keep = false;
  std::u16string_view saveFolder;
  // The main window, when the upload's messages have no owner (a file upload
  // from the tray): it owns the clipboard for the link, and its tray icon tells
  // of a link the clipboard did not take. Null: the owner does both.
  platform::Hwnd mainWindow = nullptr;
};

struct UploadOutcome {
  int result = 0;            // 1 when a link was received and handed on, else 0
  bool copyStepRan = false;  // the copy step ran, whether or not the copy could be written
};

// Whether a picture whose upload failed is kept in the save folder
// (copy.saveFolder). A capture exists nowhere else, so it is kept; a file
// upload's picture is still in the user's own file. Already: the picture file
// itself is the kept copy (see KeepUnsentPicture below): a failure names it, a
// success removes it.
enum class KeepUnsent { No, Yes, Already };

// The notice when the clipboard stayed busy past its wait: the link is in the
// browser, so a balloon says it, never a box to answer.
inline constexpr char16_t kLinkNotCopiedTitle[] = u"Link not copied";
inline constexpr char16_t kLinkNotCopiedText[] =
    u"Another program kept the clipboard busy, so the link could not be copied. It is open in your browser.";

// Uploads one JPEG file. Every failure of the upload shows its message, owned
// by owner (or by none), with Retry and Cancel; Retry sends the file again the
// same way, any number of times. With KeepUnsent::Yes a failure keeps a copy
// of the picture as "unsent-YYYYMMDD-HHMMSS.jpg" (local time; "-2", "-3"...
// when the name is taken) in the save folder, made if missing, and the message
// names it, or says the picture could not be kept (tried again at the next
// failure); a later success removes the kept copy. Cancel returns 0 and leaves the kept copy. The copy
// step runs only after a link was received. Never deletes the picture file.
UploadOutcome UploadPicture(platform::Hwnd owner, const char16_t* picturePath, const CopyRequest& copy,
                            KeepUnsent keepUnsent = KeepUnsent::No);

// Writes a picture into path; true when it is there whole.
using WritePicture = bool (*)(const char16_t* path, const void* context);

// Puts a picture into folder (made if missing) under the first free name
// "<prefix>YYYYMMDD-HHMMSS<extension>" in local time ("-2", "-3"... before the
// extension when it is taken): written beside it first, then renamed without
// replacing, so an existing file is never overwritten and a kept picture is
// whole. Its full path, or empty when it could not be written (nothing of it is
// left then).
std::u16string KeepTimeNamedPicture(std::u16string_view folder, std::u16string_view prefix,
                                    std::u16string_view extension, WritePicture write, const void* context);
// The same as "unsent-YYYYMMDD-HHMMSS.jpg" in the save folder.
std::u16string KeepUnsentPicture(std::u16string_view saveFolder, WritePicture write, const void* context);

enum class CopyResult { Written, Failed };

// Keeps a copy of the picture file in saveFolder (with or without a trailing
// backslash), named CopyFileName(identifier): saveFolder, "\\", the name. The
// folder is made with any missing parents first. The copy is written as
// "<name>.part" beside its final name and then put in place, replacing a file of
// that name: a copy is whole or absent, never cut short. Failed when the identifier
// gives no plain file name, the folder is empty or cannot be made, the path
// does not fit 1024 characters, or the bytes cannot all be written. Shows nothing.
CopyResult SaveCopy(const char16_t* picturePath, std::string_view identifier, std::u16string_view saveFolder);

// Opens a web link in the default browser; anything that is not a plain
// http:// or https:// link is ignored.
void OpenLink(const char* text);

}  // namespace corvane

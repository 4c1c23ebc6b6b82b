// The picture upload and what it does with the link: clipboard, browser, saved copy.
#pragma once
#include <string_view>
#include "platform/types.h"

namespace corvane {

// Whether the upload keeps a copy of the picture in the save folder, named
// after the link. The folder is read only when keep is set, or when a failed
// picture is to be kept (KeepUnsent below).
struct CopyRequest {
  bool keep = false;
  std::u16string_view saveFolder;
};

struct UploadOutcome {
  int result = 0;            // 1 when a link was received and handed on, else 0
  bool copyStepRan = false;  // the copy step ran, whether or not the copy could be written
};

// Whether a picture whose upload failed is kept in the save folder
// (copy.saveFolder). A capture exists nowhere else, so it is kept; a file
// upload's picture is still in the user's own file.
enum class KeepUnsent : bool { No, Yes };

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

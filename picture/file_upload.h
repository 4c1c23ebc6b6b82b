// The File upload command and the upload of a picture file dropped on the executable.
#pragma once
#include "net/upload.h"

namespace corvane {

// Opens the file dialog and uploads the chosen picture; copy says whether a
// copy is kept in the save folder. Gives back what the upload did (nothing
// when the dialog was cancelled). owner: the window the dialog belongs to.
UploadOutcome FileUploadCommand(const CopyRequest& copy, platform::Hwnd owner = nullptr);
UploadOutcome ConvertAndUploadFile(const char16_t* sourcePath, const CopyRequest& copy);

}  // namespace corvane

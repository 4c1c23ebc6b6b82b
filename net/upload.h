// The picture upload and what it does with the link: clipboard, browser, saved copy.
#pragma once
#include "platform/types.h"

namespace corvane {

// Uploads one JPEG file. Failures are shown in message boxes owned by owner
// (or by none). Returns 1 when a link was received and handed on, else 0.
// Never deletes the file.
int UploadPicture(platform::Hwnd owner, const char16_t* picturePath);

// Opens a web link in the default browser; anything that is not a plain
// http:// or https:// link is ignored.
void OpenLink(const char* text);

// Puts 8-bit text on the clipboard as CF_TEXT; silent on failure.
void CopyTextToClipboard(const char* text);

}  // namespace corvane

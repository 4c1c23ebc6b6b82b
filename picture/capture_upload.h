// The upload of a grabbed picture: encoded where it can be written, then sent.
#pragma once
#include "net/upload.h"
#include "picture/jpeg.h"

namespace corvane {

// Encodes the grabbed pixels (rows of bitmap) and uploads them; owner owns
// every message. The picture goes into file, the temporary JPEG file made for
// it; when that was not made or cannot be written, into the save folder
// (copy.saveFolder) under an unsent name, which a success removes and a failed
// upload keeps and names. Only when neither can be written is the picture
// lost: "Could not save image", and a second line that says why. Never deletes
// file: its guard does.
UploadOutcome UploadCapture(platform::Hwnd owner, const TempJpegFile& file, platform::Hbitmap bitmap,
                            const PixelRows& rows, const CopyRequest& copy);

}  // namespace corvane

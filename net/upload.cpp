// Picture upload. (To be built.)
#include "net/upload.h"

namespace corvane {

int UploadPicture(platform::Hwnd, const char16_t*) { return 0; }
void OpenLink(const char*) {}
void CopyTextToClipboard(const char*) {}

}  // namespace corvane

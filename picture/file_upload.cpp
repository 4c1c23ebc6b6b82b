// File upload command and dropped-file upload. (To be built.)
#include "picture/file_upload.h"

namespace corvane {

void FileUploadCommand() {}
void ConvertAndUploadFile(const char16_t*) {}

}  // namespace corvane

// The File upload command and the upload of a picture file dropped on the executable.
#pragma once

namespace corvane {

void FileUploadCommand();
void ConvertAndUploadFile(const char16_t* sourcePath);

}  // namespace corvane

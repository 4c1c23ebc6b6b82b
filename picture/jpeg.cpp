// JPEG encoding. (To be built.)
#include "picture/jpeg.h"

namespace corvane {

int FindEncoderClsid(const char16_t*, platform::Guid*) { return -1; }
int SaveBitmapAsJpeg(const char16_t*, platform::Hbitmap) { return 0; }
int ConvertFileToJpeg(const char16_t*, const char16_t*) { return 0; }
bool MakeTempJpegFile(char16_t (&folder)[260], char16_t (&name)[260]) {
  folder[0] = 0;
  name[0] = 0;
  return false;
}

}  // namespace corvane

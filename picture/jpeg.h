// JPEG encoding through GDI+, quality 95. Each call starts and shuts down GDI+.
#pragma once
#include "platform/types.h"

namespace corvane {

// Zero-based position of the encoder whose MIME type equals mimeType exactly
// (same code units, same length), or -1. clsid is written only on success.
// GDI+ must be running: the encodings below call it inside their own session.
int FindEncoderClsid(const char16_t* mimeType, platform::Guid* clsid);

// Pixels of a DIB section, or a rectangle of them, as the code that made the
// section knows them (the handle does not tell which row comes first): the
// top left pixel, and the distance in bytes from one row to the next, negative
// for a bottom-up section. With 24 bits a pixel is blue, green, red; with 32
// the fourth byte is unused.
struct PixelRows {
  std::int32_t width;
  std::int32_t height;
  std::int32_t stride;
  std::uint8_t* top;
  std::int32_t bitsPerPixel = 24;
};

// 1 when the JPEG file was written over outputPath, else 0. The bitmap is only
// read: the caller still owns it (it may stay selected into a memory DC). With
// rows, those pixels of the bitmap go to the encoder in place, and a picture
// GDI+ cannot make over them (or rows without pixels) is a failure; without,
// GDI+ copies the whole bitmap first and converts the copy row by row.
int SaveBitmapAsJpeg(const char16_t* outputPath, platform::Hbitmap bitmap, const PixelRows* rows = nullptr);

// 1 when sourcePath was decoded and written to outputPath as JPEG, else 0.
// A source that cannot be decoded leaves the output file as it was; a failed
// save may leave anything there, which the file's maker deletes.
int ConvertFileToJpeg(const char16_t* outputPath, const char16_t* sourcePath);

// The temporary JPEG file: an empty file made by the platform in the user's
// temporary folder with the prefix "rarodor"; a temporary folder that has gone
// is made again first. Returns false (and leaves name empty) when no name was
// made for this picture; nothing may then be written, uploaded or deleted
// under it. folder holds the temporary folder whenever the platform gave one.
bool MakeTempJpegFile(char16_t (&folder)[260], char16_t (&name)[260]);

// A temporary JPEG file of one picture, made by make() and deleted with its
// guard. Nothing is deleted under a name that was not made for it.
class TempJpegFile {
 public:
  TempJpegFile() = default;
  TempJpegFile(const TempJpegFile&) = delete;
  TempJpegFile& operator=(const TempJpegFile&) = delete;
  ~TempJpegFile();

  bool make() { return made_ = MakeTempJpegFile(folder_, name_); }
  explicit operator bool() const { return made_; }
  const char16_t* name() const { return name_; }
  // The temporary folder the platform gave, or empty.
  const char16_t* folder() const { return folder_; }
  // Deletes the file now; the name stays readable for whoever still holds it.
  void remove();

 private:
  char16_t folder_[260] = {};
  char16_t name_[260] = {};
  bool made_ = false;
};

}  // namespace corvane

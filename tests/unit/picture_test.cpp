// Picture preparation over the simulated Windows: encoder lookup, both JPEG
// encodings, the temporary file, the open dialog and the file upload.
#include <gtest/gtest.h>

#include <functional>

#include "net/multipart.h"
#include "net/upload.h"
#include "picture/file_upload.h"
#include "picture/jpeg.h"
#include "tests/sim/sim.h"

using namespace corvane;
using namespace std::string_literals;

namespace {

const platform::Guid kJpeg = sim::defaultEncoders()[1].clsid;
const platform::Guid kPng = sim::defaultEncoders()[4].clsid;
const platform::Guid kOther{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
const platform::Guid kUntouched{0xdeadbeef, 0, 0, {}};
const std::string kPngBytes = "\x89PNG\r\n\x1a\n pixels";
const std::string kJpegBytes = "\xFF\xD8\xFF\xE0 photo";
constexpr char16_t kPngPath[] = u"C:\\Pics\\shot.png";

std::string text(const platform::Guid& g) { return sim::guidText(g); }
std::string inQuotes(std::u16string_view s) { return "\"" + sim::utf8(s) + "\""; }

}  // namespace

TEST(FindEncoderClsid, FindsExactMimeTypeOnly) {
  struct Row {
    const char* name;
    std::vector<sim::Encoder> encoders;
    bool listFails;
    std::u16string mime;
    int position;
    platform::Guid clsid;
  };
  const Row rows[] = {
      {"the platform's list", sim::defaultEncoders(), false, u"image/jpeg", 1, kJpeg},
      {"jpeg at position 0", {{kOther, u"image/jpeg"}, {kPng, u"image/png"}}, false, u"image/jpeg", 0, kOther},
      {"after a near miss", {{kPng, u"image/JPEG"}, {kOther, u"image/jpeg"}}, false, u"image/jpeg", 1, kOther},
      {"missing", {{kPng, u"image/png"}, {kOther, u"image/gif"}}, false, u"image/jpeg", -1, kUntouched},
      {"other letter case", {{kOther, u"image/JPEG"}}, false, u"image/jpeg", -1, kUntouched},
      {"asked in other case", sim::defaultEncoders(), false, u"IMAGE/JPEG", -1, kUntouched},
      {"longer type", {{kOther, u"image/jpeg2"}}, false, u"image/jpeg", -1, kUntouched},
      {"shorter type", {{kOther, u"image/jpe"}}, false, u"image/jpeg", -1, kUntouched},
      {"no encoders", {}, false, u"image/jpeg", -1, kUntouched},
      {"list cannot be had", sim::defaultEncoders(), true, u"image/jpeg", -1, kUntouched},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    sim::reset();
    sim::setEncoders(row.encoders);
    if (row.listFails) sim::script("GdipGetImageEncoders", 1);
    platform::Guid clsid = kUntouched;
    EXPECT_EQ(FindEncoderClsid(row.mime.c_str(), &clsid), row.position);
    EXPECT_EQ(text(clsid), text(row.clsid));
    // An empty list is not fetched at all.
    EXPECT_EQ(sim::count("GdipGetImageEncoders"), row.encoders.empty() ? 0 : 1);
  }
}

// Whatever fails, the file holds the whole JPEG or nothing, the caller's
// bitmap and file stay theirs, and GDI+ is left as it was found.
TEST(JpegEncoding, ResultAndCleanUpForEachFailure) {
  // A rectangle of a 32-bit section 640 pixels wide, and the same with no pixels.
  auto* const section = reinterpret_cast<std::uint8_t*>(std::uintptr_t{0x7f0000000000});
  const PixelRows rows32{31, 7, 2560, section + 3 * 2560 + 40 * 4, 32};
  const PixelRows noPixels{31, 7, 2560, nullptr, 32};

  enum Op { Bitmap, Pixels, NoPixels, File };
  struct Row {
    const char* name;
    Op op;
    std::string source;  // the file's bytes; empty: no file
    std::function<void()> setup;
    int result;
  };
  auto none = [] {};
  const Row rows[] = {
      {"bitmap saved", Bitmap, "", none, 1},
      {"bitmap: GDI+ does not start", Bitmap, "", [] { sim::script("GdiplusStartup", 1); }, 0},
      {"bitmap: no memory for the picture", Bitmap, "", [] { sim::script("GdipAlloc", 0); }, 0},
      {"bitmap: handle not taken", Bitmap, "", [] { sim::script("GdipCreateBitmapFromHBITMAP", 2); }, 0},
      {"bitmap: no jpeg encoder", Bitmap, "", [] { sim::setEncoders({{kPng, u"image/png"}}); }, 0},
      {"bitmap: encoder in other case", Bitmap, "", [] { sim::setEncoders({{kJpeg, u"image/JPEG"}}); }, 0},
      {"bitmap: no encoders", Bitmap, "", [] { sim::setEncoders({}); }, 0},
      {"bitmap: save fails", Bitmap, "", [] { sim::script("GdipSaveImageToFile", 7); }, 0},
      {"pixels saved", Pixels, "", none, 1},
      {"pixels: no picture made over them", Pixels, "", [] { sim::script("GdipCreateBitmapFromScan0", 2); }, 0},
      {"pixels: none", NoPixels, "", none, 0},
      {"png converted", File, kPngBytes, none, 1},
      {"jpeg converted again", File, kJpegBytes, none, 1},
      {"file: GDI+ does not start", File, kPngBytes, [] { sim::script("GdiplusStartup", 1); }, 0},
      {"file: no memory for the picture", File, kPngBytes, [] { sim::script("GdipAlloc", 0); }, 0},
      {"file missing", File, "", none, 0},
      {"file not a picture", File, "hello, world", none, 0},
      {"file: no jpeg encoder", File, kPngBytes, [] { sim::setEncoders({{kPng, u"image/png"}}); }, 0},
      {"file: save fails", File, kPngBytes, [] { sim::script("GdipSaveImageToFile", 7); }, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    sim::reset();
    char16_t folder[260], temp[260];
    ASSERT_TRUE(MakeTempJpegFile(folder, temp));
    if (!row.source.empty()) sim::putFile(kPngPath, row.source);
    const auto bitmap = sim::handle<platform::Hbitmap>();
    row.setup();

    const int result = row.op == Bitmap     ? SaveBitmapAsJpeg(temp, bitmap)
                       : row.op == Pixels   ? SaveBitmapAsJpeg(temp, bitmap, &rows32)
                       : row.op == NoPixels ? SaveBitmapAsJpeg(temp, bitmap, &noPixels)
                                            : ConvertFileToJpeg(temp, kPngPath);

    EXPECT_EQ(result, row.result);
    const std::string origin = row.op == Bitmap   ? "bitmap " + sim::arg(static_cast<const void*>(bitmap))
                               : row.op == Pixels ? "pixels " + sim::arg(static_cast<const void*>(rows32.top))
                                                  : row.source;
    // The .tmp file receives the JPEG, or keeps what it had: nothing.
    EXPECT_EQ(sim::fileBytes(temp), row.result ? sim::savedJpeg(origin) : "");
    EXPECT_EQ(sim::fileBytes(kPngPath), row.source);  // the source is only read
    EXPECT_EQ(sim::count("DeleteObject"), 0);         // the bitmap stays the caller's
    if (row.op == Pixels) {
      // The rows read as they lie: width, height, stride, 32 bits without alpha.
      EXPECT_EQ(sim::last("GdipCreateBitmapFromScan0")->args,
                (std::vector<std::string>{"31", "7", "2560", "139273", sim::arg(static_cast<const void*>(rows32.top))}));
    }
    const auto gdiplus = sim::gdiplus();
    EXPECT_EQ(gdiplus.startups, gdiplus.shutdowns);
    EXPECT_EQ(gdiplus.badShutdowns, 0);
    EXPECT_EQ(gdiplus.callsWhileStopped, 0);
    EXPECT_EQ(gdiplus.imagesAtShutdown, 0);
    EXPECT_EQ(gdiplus.liveImages, 0);
    EXPECT_EQ(gdiplus.liveBlocks, 0);
  }
}

TEST(JpegEncoding, StartsGdiplusPlainlyAndSavesWithTheJpegEncoderAtQuality95) {
  const std::vector<sim::Encoder> lists[] = {sim::defaultEncoders(), {{kOther, u"image/jpeg"}}};
  for (const auto& list : lists) {
    for (bool fromFile : {false, true}) {
      SCOPED_TRACE(text(list[0].clsid) + (fromFile ? " file" : " bitmap"));
      sim::reset();
      sim::setEncoders(list);
      sim::putFile(kPngPath, kPngBytes);
      sim::putFolder(u"C:\\Temp");
      const int result = fromFile ? ConvertFileToJpeg(u"C:\\Temp\\out.tmp", kPngPath)
                                  : SaveBitmapAsJpeg(u"C:\\Temp\\out.tmp", sim::handle<platform::Hbitmap>());
      ASSERT_EQ(result, 1);
      // Version 1, no debug callback, background thread and external codecs allowed, no output record.
      EXPECT_EQ(sim::last("GdiplusStartup")->args, (std::vector<std::string>{"1", "null", "0", "0", "null"}));
      const auto& save = sim::last("GdipSaveImageToFile")->args;
      EXPECT_EQ(save[1], "\"C:\\Temp\\out.tmp\"");
      EXPECT_EQ(save[2], inQuotes(sim::utf16(text(list.size() == 1 ? kOther : kJpeg))));
      EXPECT_EQ(save[3], "\"1 {1d5be4b5-fa4a-452d-9cdd-5db35105e7eb} n1 t4 =95\"");
      if (!fromFile) {
        EXPECT_EQ(sim::last("GdipCreateBitmapFromHBITMAP")->args[1], "null");  // no palette
      }
    }
  }
}

TEST(TempJpegFile, MadeInTheTempFolderOrNotAtAll) {
  const std::u16string longFolder = u"C:\\" + std::u16string(250, u'd') + u"\\";
  struct Row {
    const char* name;
    std::function<void()> setup;
    bool made;
    int namesAsked;
  };
  const Row rows[] = {
      {"made", [] {}, true, 1},
      {"no temp folder", [] { sim::script("GetTempPathW", 0); }, false, 0},
      {"temp folder longer than the buffer", [] { sim::setTempPath(u"C:\\" + std::u16string(300, u'x') + u"\\"); },
       false, 0},
      {"no name made", [] { sim::script("GetTempFileNameW", 0); }, false, 1},
      {"temp folder read-only", [] { sim::lockFolder(u"C:\\Temp"); }, false, 1},
      {"temp folder deleted: made again", [] { sim::removeFolder(u"C:\\Temp"); }, true, 2},
      {"folder too long for a name, made first", [&] { sim::setTempPath(longFolder); }, false, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    sim::reset();
    row.setup();
    char16_t folder[260], name[260];
    name[0] = u'?';
    EXPECT_EQ(MakeTempJpegFile(folder, name), row.made);
    EXPECT_EQ(sim::last("GetTempPathW")->args[0], "260");
    EXPECT_EQ(sim::count("GetTempFileNameW"), row.namesAsked);
    if (row.namesAsked > 0) {
      EXPECT_EQ(sim::last("GetTempFileNameW")->args, (std::vector<std::string>{inQuotes(folder), "\"rarodor\"", "0"}));
    }
    if (row.made) {
      EXPECT_EQ(std::u16string(name), u"C:\\Temp\\rar1.tmp");
      EXPECT_TRUE(sim::hasFile(name));
      EXPECT_EQ(sim::fileBytes(name), "");
    } else {
      EXPECT_EQ(name[0], 0);
      EXPECT_TRUE(sim::filesIn(u"C:\\Temp").empty());
    }
  }
}

TEST(FileUploadCommand, OpensTheDialogAsTheToolAlwaysHas) {
  sim::reset();
  const auto owner = sim::handle<platform::Hwnd>();
  FileUploadCommand({}, owner);  // cancelled
  const auto& seen = sim::openDialog();
  const auto& r = seen.record;
  EXPECT_EQ(r.lStructSize, sizeof(platform::OpenFileName));
  EXPECT_EQ(r.hwndOwner, owner);
  EXPECT_EQ(r.hInstance, nullptr);
  EXPECT_EQ(seen.filter, u"Pics - PNG, JPG, GIF, BMP, TIF\0*.png;*.jpg;*.jpeg;*.gif;*.bmp;*.tif;*.tiff\0\0"s);
  EXPECT_EQ(r.lpstrCustomFilter, nullptr);
  EXPECT_EQ(r.nMaxCustFilter, 0u);
  EXPECT_EQ(r.nFilterIndex, 1u);
  EXPECT_NE(r.lpstrFile, nullptr);
  EXPECT_EQ(seen.fileAtOpen, u"");
  EXPECT_EQ(r.nMaxFile, 260u);
  EXPECT_EQ(r.lpstrFileTitle, nullptr);
  EXPECT_EQ(r.nMaxFileTitle, 0u);
  EXPECT_EQ(r.lpstrInitialDir, nullptr);
  EXPECT_EQ(seen.title, u"Select pic to upload");
  EXPECT_EQ(r.Flags, 0x21808u);  // the path and the file must exist, no network button, the folder kept
  EXPECT_EQ(r.nFileOffset, 0);
  EXPECT_EQ(r.nFileExtension, 0);
  EXPECT_EQ(r.lpstrDefExt, nullptr);
  EXPECT_EQ(r.lCustData, 0);
  EXPECT_EQ(r.lpfnHook, nullptr);
  EXPECT_EQ(r.lpTemplateName, nullptr);
  EXPECT_EQ(r.pvReserved, nullptr);
  EXPECT_EQ(r.dwReserved, 0u);
  EXPECT_EQ(r.FlagsEx, 0u);
}

TEST(FileUploadCommand, DialogWithoutAChoiceDoesNothing) {
  struct Row {
    const char* name;
    std::int64_t dialogResult;
    std::u16string chosen;
  };
  const Row rows[] = {
      {"cancelled", 0, u"C:\\Pics\\shot.png"},
      {"path too long for the buffer", 1, u"C:\\" + std::u16string(300, u'p') + u".png"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    sim::reset();
    sim::putFile(kPngPath, kPngBytes);
    sim::script("GetOpenFileNameW", row.dialogResult);
    sim::setChosenFile(row.chosen);
    EXPECT_EQ(FileUploadCommand({true, u"C:\\Saved"}).result, 0);
    EXPECT_TRUE(sim::boxes().empty());
    EXPECT_EQ(sim::gdiplus().startups, 0);
    EXPECT_EQ(sim::count("HttpSendRequestW"), 0);
    EXPECT_TRUE(sim::filesIn(u"C:\\Temp").empty());
  }
}

TEST(ConvertAndUploadFile, UploadsTheConvertedCopyAndAlwaysDeletesIt) {
  enum Via { Direct, Dialog };
  struct Row {
    const char* name;
    Via via;
    std::string source;  // empty: no such file
    std::function<void()> setup;
    bool converted;
    bool tempMade;
    bool sent = false;             // the converted picture reaches the service
    const char* shown = nullptr;  // the upload's failure, offered again with Retry and Cancel
  };
  auto none = [] {};
  auto serviceDown = [] { sim::script("HttpSendRequestW", 0); };
  const Row rows[] = {
      {"png uploaded", Direct, kPngBytes, none, true, true, true},
      {"chosen in the dialog", Dialog, kPngBytes, none, true, true, true},
      {"jpeg converted, not sent as it is", Direct, kJpegBytes, none, true, true, true},
      {"converted picture cannot be read whole", Direct, kPngBytes, [] { sim::failReadsAfter(3); }, true, true, false,
       "Could not open .jpg\nThe picture could not be read whole."},
      {"service down, Cancel", Direct, kPngBytes, serviceDown, true, true, false,
       "Could not upload\nThe service could not be reached."},
      {"service down, Retry sends it again", Dialog, kPngBytes,
       [&] { serviceDown(); sim::script("MessageBoxW", platform::IDRETRY); }, true, true, true,
       "Could not upload\nThe service could not be reached."},
      {"not a picture", Direct, "plain text", none, false, true},
      {"missing file", Direct, "", none, false, true},
      {"chosen file not a picture", Dialog, "MZ program", none, false, true},
      {"encoding fails", Direct, kPngBytes, [] { sim::script("GdipSaveImageToFile", 7); }, false, true},
      {"no temp name", Direct, kPngBytes, [] { sim::script("GetTempFileNameW", 0); }, false, false},
      {"no temp folder", Dialog, kPngBytes, [] { sim::script("GetTempPathW", 0); }, false, false},
      {"temp folder read-only", Direct, kPngBytes, [] { sim::lockFolder(u"C:\\Temp"); }, false, false},
  };
  // Without a temporary file the message says what to mend.
  auto conversionFailure = [](const Row& row) {
    std::string text = "Could not convert image";
    if (row.tempMade) return text;
    return text + (std::string(row.name) == "no temp folder" ? "\nThere is no temporary folder to convert it in."
                                                             : "\nThe temporary folder C:\\Temp\\ cannot be written.");
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    sim::reset();
    sim::scriptHttp({u"200", {corvane::ServiceLinkPrefix() + "abc"}, false});
    if (!row.source.empty()) sim::putFile(kPngPath, row.source);
    sim::putFile(u"C:\\Temp\\old.tmp", "someone else's");
    sim::putFolder(u"C:\\Saved");
    row.setup();
    UploadOutcome outcome;
    if (row.via == Dialog) {
      sim::script("GetOpenFileNameW", 1);
      sim::setChosenFile(kPngPath);
      outcome = FileUploadCommand({false, u"C:\\Saved"});
    } else {
      outcome = ConvertAndUploadFile(kPngPath, {false, u"C:\\Saved"});
    }

    if (row.tempMade) {
      EXPECT_EQ(sim::last("GdipLoadImageFromFile")->args[0], inQuotes(kPngPath));
    } else {
      EXPECT_EQ(sim::gdiplus().startups, 0);
    }
    // Only a converted picture goes out; a Retry finds the converted file still there.
    if (!row.converted) {
      EXPECT_EQ(sim::count("HttpSendRequestW"), 0);
    }
    if (row.sent) {
      EXPECT_NE(sim::lastHttpSend().body.find(sim::savedJpeg(row.source)), std::string::npos);
    }
    // The source file still holds the picture: no message names a kept copy, and none has an owner.
    std::vector<sim::Box> told;
    if (!row.converted) told.push_back({nullptr, sim::utf16(conversionFailure(row)), u"Error", 16});
    else if (row.shown) told.push_back({nullptr, sim::utf16(row.shown), u"Error", 21});
    EXPECT_EQ(sim::boxes(), told);
    // The converted copy is gone afterwards, whatever happened; nothing else there is touched.
    EXPECT_EQ(sim::filesIn(u"C:\\Temp"), std::vector<std::u16string>{u"C:\\Temp\\old.tmp"});
    EXPECT_TRUE(sim::filesIn(u"C:\\Saved").empty());
    EXPECT_EQ(sim::fileBytes(kPngPath), row.source);
    EXPECT_EQ(outcome.result, row.sent ? 1 : 0);
    EXPECT_FALSE(outcome.copyStepRan);
    EXPECT_EQ(sim::gdiplus().liveImages, 0);
    EXPECT_EQ(sim::fileHandlesOpen(), 0);
  }
}

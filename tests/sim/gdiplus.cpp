// Simulated GDI+: a scriptable encoder list laid out as the platform lays it out
// (records, then their strings, in one block), images that live between create
// or load and dispose, and files read from and written to the simulated store.
#include "platform/gdiplus.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "tests/sim/sim.h"

namespace {
using platform::GpImage;
using platform::GpStatus;

constexpr GpStatus kOk = 0, kGenericError = 1, kInvalidParameter = 2, kWin32Error = 7, kFileNotFound = 10,
                   kUnknownImageFormat = 13;

struct Image {
  std::string origin;  // what a saved JPEG is made from
};

std::vector<sim::Encoder> g_encoders = sim::defaultEncoders();
std::map<std::uintptr_t, Image> g_images;
std::set<void*> g_blocks;
std::set<std::uintptr_t> g_tokens;
sim::GdiplusCounts g_counts;

const bool g_registered = (sim::onReset([] {
                             g_encoders = sim::defaultEncoders();
                             g_images.clear();
                             g_blocks.clear();
                             g_tokens.clear();
                             g_counts = {};
                           }),
                           true);

void noteCall() {
  if (g_tokens.empty()) ++g_counts.callsWhileStopped;
}

std::size_t blockSize(const std::vector<sim::Encoder>& list) {
  std::size_t size = list.size() * sizeof(platform::ImageCodecInfo);
  for (const auto& e : list) size += (e.mimeType.size() + 1) * sizeof(char16_t);
  return size;
}

bool decodable(const std::string& bytes) {
  static const char* const signatures[] = {"\x89PNG", "BM", "GIF8", "\xFF\xD8\xFF", "II*", "MM"};
  for (const char* s : signatures)
    if (bytes.rfind(s, 0) == 0) return true;
  return false;
}

GpImage newImage(std::string origin) {
  auto h = sim::nextHandle();
  g_images[h] = {std::move(origin)};
  return reinterpret_cast<GpImage>(h);
}
}  // namespace

namespace sim {
std::vector<Encoder> defaultEncoders() {
  // The platform's built-in encoders, in the order it lists them.
  auto codec = [](std::uint32_t last) { return platform::Guid{0x557cf400u + last, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}}; };
  return {{codec(0), u"image/bmp"}, {codec(1), u"image/jpeg"}, {codec(2), u"image/gif"},
          {codec(5), u"image/tiff"}, {codec(6), u"image/png"}};
}
void setEncoders(std::vector<Encoder> list) { g_encoders = std::move(list); }
GdiplusCounts gdiplus() {
  GdiplusCounts counts = g_counts;
  counts.liveImages = static_cast<int>(g_images.size());
  return counts;
}
std::string guidText(const platform::Guid& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.data1, g.data2, g.data3,
                g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return text;
}
std::string savedJpeg(std::string_view origin) { return "\xFF\xD8" "q95:" + std::string(origin) + "\xFF\xD9"; }
}  // namespace sim

namespace platform {
using sim::record;
using sim::result;

GpStatus GdiplusStartup(std::uintptr_t* token, const GdiplusStartupInput* input, void* output) {
  record("GdiplusStartup", input->GdiplusVersion, input->DebugEventCallback, input->SuppressBackgroundThread,
         input->SuppressExternalCodecs, output);
  GpStatus status = result<GpStatus>("GdiplusStartup", kOk);
  if (status != kOk) return status;
  *token = sim::nextHandle();
  g_tokens.insert(*token);
  ++g_counts.startups;
  return kOk;
}
void GdiplusShutdown(std::uintptr_t token) {
  record("GdiplusShutdown", static_cast<std::uint64_t>(token));
  if (g_tokens.erase(token)) ++g_counts.shutdowns;
  else ++g_counts.badShutdowns;
  if (g_tokens.empty()) g_counts.imagesAtShutdown += static_cast<int>(g_images.size());
}
GpStatus GdipGetImageEncodersSize(std::uint32_t* count, std::uint32_t* size) {
  record("GdipGetImageEncodersSize");
  noteCall();
  *count = static_cast<std::uint32_t>(g_encoders.size());
  *size = static_cast<std::uint32_t>(blockSize(g_encoders));
  return kOk;
}
GpStatus GdipGetImageEncoders(std::uint32_t count, std::uint32_t size, ImageCodecInfo* encoders) {
  record("GdipGetImageEncoders", count, size);
  noteCall();
  if (count != g_encoders.size() || size != blockSize(g_encoders)) return kGenericError;
  auto* strings = reinterpret_cast<char16_t*>(encoders + count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto& e = g_encoders[i];
    encoders[i] = ImageCodecInfo{};
    encoders[i].Clsid = e.clsid;
    std::memcpy(strings, e.mimeType.c_str(), (e.mimeType.size() + 1) * sizeof(char16_t));
    encoders[i].MimeType = strings;
    strings += e.mimeType.size() + 1;
  }
  // A failed fill may leave stale records behind: here they would match "image/jpeg".
  const bool fail = result<GpStatus>("GdipGetImageEncoders", kOk) != kOk;
  if (fail)
    for (std::uint32_t i = 0; i < count; ++i) encoders[i].MimeType = u"image/jpeg";
  return fail ? kGenericError : kOk;
}
GpStatus GdipCreateBitmapFromHBITMAP(Hbitmap bitmap, void* palette, GpImage* image) {
  record("GdipCreateBitmapFromHBITMAP", bitmap, palette);
  noteCall();
  *image = nullptr;
  GpStatus status = result<GpStatus>("GdipCreateBitmapFromHBITMAP", bitmap ? kOk : kInvalidParameter);
  if (status == kOk) *image = newImage("bitmap " + sim::arg(static_cast<const void*>(bitmap)));
  return status;
}
GpStatus GdipCreateBitmapFromScan0(std::int32_t width, std::int32_t height, std::int32_t stride, std::int32_t format,
                                   std::uint8_t* scan0, GpImage* image) {
  record("GdipCreateBitmapFromScan0", width, height, stride, format, static_cast<const void*>(scan0));
  noteCall();
  *image = nullptr;
  GpStatus status = result<GpStatus>("GdipCreateBitmapFromScan0", scan0 ? kOk : kInvalidParameter);
  if (status == kOk) *image = newImage("pixels " + sim::arg(static_cast<const void*>(scan0)));
  return status;
}
GpStatus GdipLoadImageFromFile(const char16_t* path, GpImage* image) {
  record("GdipLoadImageFromFile", path);
  noteCall();
  *image = nullptr;
  GpStatus status = !sim::hasFile(path) ? kFileNotFound : decodable(sim::fileBytes(path)) ? kOk : kUnknownImageFormat;
  status = result<GpStatus>("GdipLoadImageFromFile", status);
  if (status == kOk) *image = newImage(sim::fileBytes(path));
  return status;
}
GpStatus GdipSaveImageToFile(GpImage image, const char16_t* path, const Guid* encoder, const EncoderParameters* params) {
  std::string paramText = "none";
  if (params) {
    paramText = std::to_string(params->Count);
    for (std::uint32_t i = 0; i < params->Count; ++i) {
      const auto& p = params->Parameter[i];
      paramText += " " + sim::guidText(p.Guid_) + " n" + std::to_string(p.NumberOfValues) + " t" + std::to_string(p.Type);
      if (p.Type == 4 && p.NumberOfValues == 1 && p.Value)
        paramText += " =" + std::to_string(*static_cast<const std::uint32_t*>(p.Value));
    }
  }
  record("GdipSaveImageToFile", image, path, encoder ? sim::guidText(*encoder).c_str() : nullptr, paramText.c_str());
  noteCall();
  auto it = g_images.find(reinterpret_cast<std::uintptr_t>(image));
  if (it == g_images.end() || encoder == nullptr) return kInvalidParameter;
  bool known = false;
  for (const auto& e : g_encoders) known |= std::memcmp(&e.clsid, encoder, sizeof *encoder) == 0;
  if (!known) return kFileNotFound;
  GpStatus status = result<GpStatus>("GdipSaveImageToFile", kOk);
  if (status != kOk) return status;
  std::u16string p(path);
  auto slash = p.rfind(u'\\');
  if (slash == std::u16string::npos || !sim::hasFolder(p.substr(0, slash))) return kWin32Error;
  if (!sim::hasFile(p) && sim::folderLocked(p.substr(0, slash))) return kWin32Error;
  sim::putFile(p, sim::savedJpeg(it->second.origin));
  return kOk;
}
GpStatus GdipDisposeImage(GpImage image) {
  record("GdipDisposeImage", image);
  noteCall();
  if (image == nullptr) return kInvalidParameter;
  return g_images.erase(reinterpret_cast<std::uintptr_t>(image)) ? kOk : kInvalidParameter;
}
void* GdipAlloc(std::size_t size) {
  record("GdipAlloc", static_cast<std::uint64_t>(size));
  noteCall();
  if (result<std::int64_t>("GdipAlloc", 1) == 0) return nullptr;
  void* block = std::malloc(size);
  g_blocks.insert(block);
  ++g_counts.liveBlocks;
  return block;
}
void GdipFree(void* block) {
  record("GdipFree", block);
  noteCall();
  if (g_blocks.erase(block)) --g_counts.liveBlocks;
  std::free(block);
}

}  // namespace platform

#include "app/dialog_template.h"
#include <algorithm>
#include <cstring>
#include "platform/kernel32.h"
#include "platform/user32.h"

namespace corvane {

namespace {
constexpr std::size_t kStyleOffset = 12;      // dlgVer, signature, helpID, exStyle
constexpr std::size_t kFixedHeader = 26;      // up to and with cx, cy
constexpr std::uint16_t kExtendedSignature = 0xFFFF;

std::uint16_t word(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// Past a sz_Or_Ord or a string at `at`: none (0x0000), an ordinal (0xFFFF and
// one word), else a string up to its terminator. 0 when the bytes end first.
std::size_t skipNameOrOrdinal(std::span<const std::uint8_t> bytes, std::size_t at, bool ordinalAllowed) {
  if (at + 2 > bytes.size()) return 0;
  if (ordinalAllowed && word(bytes, at) == 0xFFFF) return at + 4 <= bytes.size() ? at + 4 : 0;
  for (; at + 2 <= bytes.size(); at += 2)
    if (word(bytes, at) == 0) return at + 2;
  return 0;
}

void putWord(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}
}  // namespace

std::vector<std::uint8_t> WithFont(std::span<const std::uint8_t> in, const DialogFont& font) {
  if (in.size() < kFixedHeader || word(in, 0) != 1 || word(in, 2) != kExtendedSignature) return {};
  std::uint32_t style = 0;
  std::memcpy(&style, in.data() + kStyleOffset, sizeof style);
  if ((style & platform::DS_SETFONT) == 0) return {};
  std::size_t at = skipNameOrOrdinal(in, kFixedHeader, true);  // menu
  if (at != 0) at = skipNameOrOrdinal(in, at, true);           // class
  if (at != 0) at = skipNameOrOrdinal(in, at, false);          // title
  if (at == 0 || at + 6 > in.size()) return {};
  const std::size_t fontAt = at;
  std::size_t end = skipNameOrOrdinal(in, fontAt + 6, false);  // past the typeface
  if (end == 0) return {};
  end = (end + 3) & ~std::size_t{3};  // the first control starts on a DWORD
  if (end > in.size()) return {};

  std::vector<std::uint8_t> out(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(fontAt));
  style = (style | platform::DS_SETFONT) & ~platform::DS_FIXEDSYS;
  std::memcpy(out.data() + kStyleOffset, &style, sizeof style);
  putWord(out, font.points);
  putWord(out, font.weight);
  out.push_back(font.italic);
  out.push_back(font.charset);
  for (char16_t c : font.face) putWord(out, static_cast<std::uint16_t>(c));
  putWord(out, 0);
  while (out.size() % 4 != 0) out.push_back(0);
  out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(end), in.end());
  return out;
}

DialogFont MessageDialogFont(const platform::LogFont& messageFont, std::uint32_t systemDpi) {
  const std::int32_t pixels = messageFont.lfHeight < 0 ? -messageFont.lfHeight : messageFont.lfHeight;
  const std::uint32_t dpi = systemDpi == 0 ? 96 : systemDpi;
  const auto points = static_cast<std::uint16_t>(std::clamp<std::uint32_t>((pixels * 72u + dpi / 2) / dpi, 6, 72));
  const char16_t* face = messageFont.lfFaceName;
  const std::size_t length = std::find(face, face + 32, u'\0') - face;
  return {points, static_cast<std::uint16_t>(messageFont.lfWeight), messageFont.lfItalic, messageFont.lfCharSet,
          std::u16string_view(face, length)};
}

std::intptr_t DialogBoxInMessageFont(platform::Hinstance instance, std::uint16_t templateId, platform::Hwnd owner,
                                     platform::DialogProc proc, platform::Lparam initParam) {
  using namespace platform;
  const char16_t* name = MakeIntResource(templateId);
  NonClientMetrics metrics{};
  metrics.cbSize = sizeof metrics;
  if (const Hrsrc found = FindResourceW(instance, name, MakeIntResource(RT_DIALOG));
      found != nullptr && SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) &&
      metrics.lfMessageFont.lfFaceName[0] != u'\0') {
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(instance, found)));
    const std::uint32_t size = SizeofResource(instance, found);
    if (bytes != nullptr && size != 0) {
      // A vector of DWORDs, so that the template the dialog manager reads is DWORD-aligned.
      const std::vector<std::uint8_t> shown =
          WithFont({bytes, size}, MessageDialogFont(metrics.lfMessageFont, GetDpiForSystem()));
      if (!shown.empty()) {
        std::vector<std::uint32_t> aligned((shown.size() + 3) / 4);
        std::memcpy(aligned.data(), shown.data(), shown.size());
        return DialogBoxIndirectParamW(instance, aligned.data(), owner, proc, initParam);
      }
    }
  }
  return DialogBoxParamW(instance, name, owner, proc, initParam);
}

}  // namespace corvane

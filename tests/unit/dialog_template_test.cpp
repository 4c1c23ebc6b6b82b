// A dialog template given the message font: the header's font replaced, every
// control's bytes kept and DWORD-aligned, and broken templates refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/dialog_template.h"

namespace corvane {
namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}
void putText(std::vector<std::uint8_t>& out, std::u16string_view text) {
  for (char16_t c : text) put16(out, c);
  put16(out, 0);
}
void align(std::vector<std::uint8_t>& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

// An extended template with one control, as the resource compiler lays it out;
// `fontAt` and `controlAt` tell where its font and its control begin.
struct Built {
  std::vector<std::uint8_t> bytes;
  std::size_t fontAt, controlAt;
};
Built build(std::uint32_t style, std::u16string_view title, bool classOrdinal, std::u16string_view face) {
  Built t;
  put16(t.bytes, 1);
  put16(t.bytes, 0xFFFF);
  put32(t.bytes, 0);      // help id
  put32(t.bytes, 0);      // extended style
  put32(t.bytes, style);
  put16(t.bytes, 1);      // one control
  for (int i = 0; i < 4; ++i) put16(t.bytes, 10 * i);
  put16(t.bytes, 0);      // no menu
  if (classOrdinal) {
    put16(t.bytes, 0xFFFF);
    put16(t.bytes, 0x8002);
  } else {
    put16(t.bytes, 0);
  }
  putText(t.bytes, title);
  t.fontAt = t.bytes.size();
  put16(t.bytes, 8);
  put16(t.bytes, 400);
  t.bytes.push_back(0);
  t.bytes.push_back(1);
  putText(t.bytes, face);
  align(t.bytes);
  t.controlAt = t.bytes.size();
  for (std::uint8_t b = 1; b <= 26; ++b) t.bytes.push_back(b);  // a control's header, as opaque bytes
  putText(t.bytes, u"OK");
  return t;
}

std::uint32_t read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

TEST(DialogTemplate, TheFontIsReplacedAndTheControlsFollowAligned) {
  constexpr std::uint32_t kShellFont = platform::DS_SETFONT | platform::DS_FIXEDSYS;
  const struct {
    std::u16string_view title, was, face;
    bool classOrdinal;
  } cases[] = {
      {u"Corvane Tool settings", u"MS Shell Dlg", u"Segoe UI", false},
      {u"Ab", u"MS Shell Dlg", u"Tahoma", true},  // the face one character shorter in DWORDs
      {u"", u"X", u"Yu Gothic UI", false},        // longer than the one it replaces
      {u"T", u"Tahoma", u"A", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.face.begin(), c.face.end()));
    const Built in = build(kShellFont | 0x80C00000u, c.title, c.classOrdinal, c.was);
    const std::vector<std::uint8_t> out = WithFont(in.bytes, {9, 700, 1, 128, c.face});
    ASSERT_FALSE(out.empty());
    EXPECT_TRUE(std::equal(in.bytes.begin(), in.bytes.begin() + 12, out.begin()));
    EXPECT_EQ(read32(out, 12), platform::DS_SETFONT | 0x80C00000u);
    EXPECT_TRUE(std::equal(in.bytes.begin() + 16, in.bytes.begin() + static_cast<long>(in.fontAt), out.begin() + 16));
    std::vector<std::uint8_t> font;
    put16(font, 9);
    put16(font, 700);
    font.push_back(1);
    font.push_back(128);
    putText(font, c.face);
    EXPECT_TRUE(std::equal(font.begin(), font.end(), out.begin() + static_cast<long>(in.fontAt)));
    const std::size_t controlAt = (in.fontAt + font.size() + 3) & ~std::size_t{3};
    ASSERT_EQ(out.size(), controlAt + (in.bytes.size() - in.controlAt));
    EXPECT_TRUE(std::equal(in.bytes.begin() + static_cast<long>(in.controlAt), in.bytes.end(),
                           out.begin() + static_cast<long>(controlAt)));
  }
}

TEST(DialogTemplate, WhatIsNotAWholeExtendedTemplateWithAFontIsLeftAsCompiled) {
  const Built good = build(platform::DS_SETFONT, u"Title", false, u"MS Shell Dlg");
  std::vector<std::uint8_t> notExtended = good.bytes, noFont = build(0, u"Title", false, u"X").bytes;
  notExtended[2] = 0;
  const std::vector<std::uint8_t> cutInTitle(good.bytes.begin(), good.bytes.begin() + 34),
      cutInFace(good.bytes.begin(), good.bytes.begin() + static_cast<long>(good.fontAt) + 8);
  for (const std::vector<std::uint8_t>* bytes : std::initializer_list<const std::vector<std::uint8_t>*>{&notExtended, &noFont, &cutInTitle, &cutInFace})
    EXPECT_TRUE(WithFont(*bytes, {9, 400, 0, 1, u"Segoe UI"}).empty());
}

TEST(DialogTemplate, TheMessageFontInPointsAtTheSystemDpi) {
  const struct {
    std::int32_t height;
    std::uint32_t dpi;
    std::uint16_t points;
  } cases[] = {{-12, 96, 9}, {-15, 120, 9}, {-11, 96, 8}, {-24, 192, 9}, {16, 96, 12}, {-12, 0, 9}};
  for (const auto& c : cases) {
    platform::LogFont font{};
    font.lfHeight = c.height;
    font.lfWeight = 400;
    std::u16string_view(u"Segoe UI").copy(font.lfFaceName, 8);
    const DialogFont got = MessageDialogFont(font, c.dpi);
    EXPECT_EQ(got.points, c.points) << c.height << " at " << c.dpi;
    EXPECT_EQ(got.face, u"Segoe UI");
  }
}

}  // namespace
}  // namespace corvane

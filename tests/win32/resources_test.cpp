// The resources of the shipped corvane.exe, read back by the platform, and the
// record sizes the logic hands to the platform.
#include <gtest/gtest.h>
#include <string>
#include "app/shell.h"
#include "platform/types.h"
#include "platform/win32/win.h"
#include <commdlg.h>
#include <shellapi.h>

namespace {

// corvane.exe lies beside this test program; loaded for its resources only.
HMODULE program() {
  static HMODULE module = [] {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    folder.resize(folder.rfind(L'\\') + 1);
    return LoadLibraryExW((folder + L"corvane.exe").c_str(), nullptr,
                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  }();
  return module;
}

BITMAP bitmapOf(HBITMAP bitmap) {
  BITMAP b{};
  GetObjectW(bitmap, sizeof b, &b);
  return b;
}

TEST(Resources, ProgramIconLoadsAt32By32) {
  ASSERT_NE(program(), nullptr) << "corvane.exe beside the tests";
  HICON icon = static_cast<HICON>(LoadImageW(program(), MAKEINTRESOURCEW(132), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  EXPECT_TRUE(info.fIcon);
  ASSERT_NE(info.hbmColor, nullptr);
  BITMAP colour = bitmapOf(info.hbmColor);
  EXPECT_EQ(colour.bmWidth, 32);
  EXPECT_EQ(colour.bmHeight, 32);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
}

TEST(Resources, CrosshairCursorHasItsHotSpotWhereTheLinesCross) {
  ASSERT_NE(program(), nullptr);
  HCURSOR cursor = LoadCursorW(program(), MAKEINTRESOURCEW(2002));
  ASSERT_NE(cursor, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 15u);
  EXPECT_EQ(info.yHotspot, 16u);
  // Monochrome: no colour bitmap; the mask holds the AND half over the XOR half.
  EXPECT_EQ(info.hbmColor, nullptr);
  ASSERT_NE(info.hbmMask, nullptr);
  BITMAP mask = bitmapOf(info.hbmMask);
  ASSERT_EQ(mask.bmWidth, 32);
  ASSERT_EQ(mask.bmHeight, 64);
  std::string bits(mask.bmWidthBytes * 64, '\0');
  ASSERT_EQ(GetBitmapBits(info.hbmMask, static_cast<LONG>(bits.size()), bits.data()), static_cast<LONG>(bits.size()));
  auto bit = [&](int x, int row) { return (static_cast<unsigned char>(bits[row * mask.bmWidthBytes + x / 8]) >> (7 - x % 8)) & 1; };
  struct Pixel {
    int x, y, andBit, xorBit;
  } pixels[] = {
      {15, 16, 0, 1}, {3, 16, 0, 1}, {27, 16, 0, 1}, {15, 4, 0, 1}, {15, 28, 0, 1},  // white lines
      {2, 16, 0, 0},  {28, 16, 0, 0}, {15, 3, 0, 0}, {15, 29, 0, 0}, {14, 10, 0, 0}, // black outline
      {0, 0, 1, 0},   {29, 16, 1, 0}, {15, 30, 1, 0}, {20, 20, 1, 0},                // screen shows through
  };
  for (const auto& p : pixels) {
    EXPECT_EQ(bit(p.x, p.y), p.andBit) << p.x << "," << p.y;
    EXPECT_EQ(bit(p.x, 32 + p.y), p.xorBit) << p.x << "," << p.y;
  }
  DeleteObject(info.hbmMask);
}

TEST(Resources, ManifestAsksForNoElevationAndPerMonitorDpi) {
  ASSERT_NE(program(), nullptr);
  HRSRC found = FindResourceW(program(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr);
  const char* text = static_cast<const char*>(LockResource(LoadResource(program(), found)));
  std::string manifest(text, SizeofResource(program(), found));
  EXPECT_NE(manifest.find("level=\"asInvoker\" uiAccess=\"false\""), std::string::npos);
  EXPECT_NE(manifest.find(">PerMonitorV2"), std::string::npos);
  EXPECT_NE(manifest.find(">true/pm<"), std::string::npos);
}

TEST(RecordSizes, WhatTheLogicHandsOverIsWhatThePlatformExpects) {
  EXPECT_EQ(corvane::kTrayIconRecordSize, offsetof(NOTIFYICONDATAW, guidItem) + sizeof(GUID));
  EXPECT_EQ(corvane::kTrayIconRecordSize, sizeof(NOTIFYICONDATAW) - sizeof(HICON)) << "all but the balloon icon";
  EXPECT_NE(corvane::kTrayIconRecordSize, 952u) << "952 is the 32-bit record";
  EXPECT_EQ(sizeof(platform::OpenFileName), sizeof(OPENFILENAMEW));
}

}  // namespace

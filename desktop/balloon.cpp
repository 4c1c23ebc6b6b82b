#include "desktop/balloon.h"
#include <cstddef>
#include "platform/shell32.h"

namespace corvane {
namespace {
static_assert(sizeof platform::NotifyIconData::szInfo / sizeof(char16_t) == kBalloonTextLength + 1);

template <std::size_t N>
void CopyCut(char16_t (&to)[N], std::u16string_view from) {
  std::size_t n = from.size() < N - 1 ? from.size() : N - 1;
  for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
  to[n] = 0;
}

// The icon's balloon record: with an empty text, the shell removes the balloon.
platform::NotifyIconData BalloonRecord(platform::Hwnd window) {
  using namespace platform;
  NotifyIconData record{};
  record.cbSize = kTrayIconRecordSize;
  record.hWnd = window;
  record.uID = kTrayIconId;
  record.uFlags = NIF_INFO;
  return record;
}
}  // namespace

bool ShowBalloon(platform::Hwnd window, std::u16string_view title, std::u16string_view text, BalloonIcon icon) {
  if (window == nullptr) return false;
  platform::NotifyIconData record = BalloonRecord(window);
  CopyCut(record.szInfo, text);
  CopyCut(record.szInfoTitle, title);
  record.dwInfoFlags = static_cast<std::uint32_t>(icon);
  return platform::Shell_NotifyIconW(platform::NIM_MODIFY, &record) != 0;
}

bool HideBalloon(platform::Hwnd window) {
  if (window == nullptr) return false;
  platform::NotifyIconData record = BalloonRecord(window);
  return platform::Shell_NotifyIconW(platform::NIM_MODIFY, &record) != 0;
}

}  // namespace corvane

#include "desktop/clipboard.h"
#include <cstring>
#include <string>
#include <vector>
#include "platform/guards.h"
#include "platform/kernel32.h"
#include "platform/user32.h"

namespace corvane {
namespace {

// A movable global block holding bytes, owned until the clipboard takes it.
platform::UniqueGlobal BlockOf(std::string_view bytes) {
  using namespace platform;
  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, bytes.size() == 0 ? 1 : bytes.size()));
  if (!block) return block;
  void* memory = GlobalLock(block.get());
  if (memory == nullptr) return {};
  if (!bytes.empty()) std::memcpy(memory, bytes.data(), bytes.size());
  GlobalUnlock(block.get());
  return block;
}

// OpenClipboard fails while another window has it open; it is given back within
// moments, so the open is tried again until the wait is used up.
bool OpenWithRetries(platform::Hwnd owner) {
  using namespace platform;
  const std::uint64_t until = GetTickCount64() + kClipboardWaitMs;
  for (;;) {
    if (OpenClipboard(owner)) return true;
    if (GetTickCount64() >= until) return false;
    Sleep(kClipboardRetryMs);
  }
}

// A message-only window that owns the clipboard for a run that has no window of
// its own (a dropped file). What it puts there stays when it is destroyed: only
// data rendered on request would go with its owner, and we render none.
class StandInOwner {
 public:
  explicit StandInOwner(bool needed)
      : window_(needed ? platform::CreateWindowExW(0, u"Static", u"", 0, 0, 0, 0, 0, platform::HWND_MESSAGE,
                                                   nullptr, nullptr, nullptr)
                       : nullptr) {}
  StandInOwner(const StandInOwner&) = delete;
  StandInOwner& operator=(const StandInOwner&) = delete;
  ~StandInOwner() {
    if (window_ != nullptr) platform::DestroyWindow(window_);
  }
  platform::Hwnd get() const { return window_; }

 private:
  platform::Hwnd window_;
};

}  // namespace

bool PutOnClipboard(platform::Hwnd owner, std::span<const ClipboardItem> items) {
  using namespace platform;
  if (items.empty()) return false;
  // Every block is made before the clipboard is emptied: what the user had
  // there stays when ours cannot all be made.
  std::vector<UniqueGlobal> blocks;
  blocks.reserve(items.size());
  for (const ClipboardItem& item : items) {
    blocks.push_back(BlockOf(item.bytes));
    if (!blocks.back()) return false;
  }
  StandInOwner standIn(owner == nullptr);
  if (owner == nullptr) owner = standIn.get();
  if (owner == nullptr || !OpenWithRetries(owner)) return false;
  bool all = EmptyClipboard() != 0;
  for (std::size_t i = 0; all && i < items.size(); ++i) {
    // The block belongs to the clipboard once it takes it; until then it is ours to free.
    if (SetClipboardData(items[i].format, blocks[i].get()) != nullptr) {
      blocks[i].release();
    } else {
      all = false;
    }
  }
  CloseClipboard();
  return all;
}

bool CopyTextToClipboard(platform::Hwnd owner, std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return false;
  std::string ansi(text);
  ansi.push_back('\0');
  // The link is ASCII: each byte is one UTF-16 code unit, little-endian as Windows keeps it.
  std::string wide;
  wide.reserve(ansi.size() * 2);
  for (char c : ansi) {
    wide.push_back(c);
    wide.push_back('\0');
  }
  const ClipboardItem items[] = {{platform::CF_UNICODETEXT, wide}, {platform::CF_TEXT, ansi}};
  return PutOnClipboard(owner, items);
}

std::uint32_t ClipboardFormat(const char16_t* name) { return platform::RegisterClipboardFormatW(name); }

}  // namespace corvane

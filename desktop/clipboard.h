// The clipboard, as every part of the program writes it: opened with our window
// as its owner and retried while another program holds it.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include "platform/types.h"

namespace corvane {

// How long another program may hold the clipboard before we give up. Clipboard
// managers, remote sessions and office suites hold it for moments after each
// change; a second covers them without keeping the user waiting.
inline constexpr std::uint32_t kClipboardWaitMs = 1000;
inline constexpr std::uint32_t kClipboardRetryMs = 25;

struct ClipboardItem {
  std::uint32_t format;    // CF_TEXT, CF_UNICODETEXT, CF_DIB, or a registered format's number
  std::string_view bytes;  // the block's contents, copied into global memory
};

// Opens the clipboard with owner as its owner, retrying while another program
// holds it for up to kClipboardWaitMs, empties it and puts every item. A null
// owner would make SetClipboardData fail on Windows, so without one (a dropped
// file's run has no window) a message-only window of our own owns it for the
// call. True only when every item was taken; on false the clipboard may be
// empty or hold only some of the items. No items is false, nothing touched.
bool PutOnClipboard(platform::Hwnd owner, std::span<const ClipboardItem> items);

// 8-bit text (a link: ASCII) as CF_UNICODETEXT and CF_TEXT, both with their
// terminators. Text with a NUL inside is refused (false): the clipboard would
// show less than was meant.
bool CopyTextToClipboard(platform::Hwnd owner, std::string_view text);

// RegisterClipboardFormatW: the number of a named format ("PNG"); 0 on failure.
std::uint32_t ClipboardFormat(const char16_t* name);

}  // namespace corvane

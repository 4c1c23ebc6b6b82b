// Dialog templates shown in the user's message font: the font a template names
// is only what the resource compiler was given, so the program puts the
// system's own in its place before the dialog manager lays the dialog out.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>
#include "platform/types.h"

namespace corvane {

struct DialogFont {
  std::uint16_t points;
  std::uint16_t weight;
  std::uint8_t italic, charset;
  std::u16string_view face;
};

// An extended template (DLGTEMPLATEEX) with its font replaced and DS_SETFONT
// alone (no DS_FIXEDSYS: the face is used as given); the controls follow
// unchanged. Empty when the bytes are not a whole extended template with a font.
std::vector<std::uint8_t> WithFont(std::span<const std::uint8_t> dialogTemplate, const DialogFont& font);

// The message font as a dialog names it, in points at the system's DPI.
DialogFont MessageDialogFont(const platform::LogFont& messageFont, std::uint32_t systemDpi);

// Runs the executable's dialog template in the message font, or as compiled
// when the template cannot be read.
std::intptr_t DialogBoxInMessageFont(platform::Hinstance instance, std::uint16_t templateId, platform::Hwnd owner,
                                     platform::DialogProc proc, platform::Lparam initParam);

}  // namespace corvane

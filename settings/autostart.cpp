#include "settings/autostart.h"
#include "platform/kernel32.h"
#include "settings/settings_registry.h"

namespace corvane {
namespace {

constexpr bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view trimmed(std::u16string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

char16_t folded(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

bool sameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (folded(a[i]) != folded(b[i])) return false;
  return true;
}

}  // namespace

std::u16string AutostartCommand(std::u16string_view exePath) {
  std::u16string command;
  command.reserve(exePath.size() + 2);
  command += u'"';
  command += exePath;
  command += u'"';
  return command;
}

std::u16string AutostartPath(std::u16string_view command) {
  command = trimmed(command);
  if (command.empty() || command.front() != u'"') return std::u16string(command);
  const std::size_t close = command.find(u'"', 1);
  if (close == std::u16string_view::npos) return {};
  return std::u16string(command.substr(1, close - 1));
}

bool IsBareStartOf(std::u16string_view commandLine, std::u16string_view exePath) {
  commandLine = trimmed(commandLine);
  if (exePath.empty() || commandLine.empty() || commandLine.front() == u'"') return false;
  return sameName(commandLine, exePath);
}

bool StartedFromBareRunValue() {
  char16_t path[settings_detail::kPathCapacity];
  const std::uint32_t length = settings_detail::executablePath(path, settings_detail::kPathCapacity);
  const char16_t* line = platform::GetCommandLineW();
  if (length == 0 || line == nullptr) return false;
  return IsBareStartOf(line, std::u16string_view(path, length));
}

bool StartupDisabledBy(std::string_view data) {
  return !data.empty() && (static_cast<unsigned char>(data[0]) & 1) != 0;
}

}  // namespace corvane

#include "tests/sim/sim.h"
#include "app/hotkeys.h"
#include "app/state.h"
#include "capture/capture.h"
#include "settings/settings.h"

namespace sim {
namespace {
std::vector<Call> g_log;
std::map<std::string, std::deque<std::int64_t>> g_scripts;
std::uintptr_t g_next = 0x1000;
std::vector<ResetHook>& hooks() {
  static std::vector<ResetHook> h;
  return h;
}
}  // namespace

std::string Call::text() const {
  std::string s = name + "(";
  for (std::size_t i = 0; i < args.size(); ++i) s += (i ? ", " : "") + args[i];
  return s + ")";
}

std::string arg(std::int64_t v) { return std::to_string(v); }
std::string arg(std::uint64_t v) { return std::to_string(v); }
std::string arg(std::int32_t v) { return std::to_string(v); }
std::string arg(std::uint32_t v) { return std::to_string(v); }
std::string arg(std::uint16_t v) { return std::to_string(v); }
std::string arg(std::uint8_t v) { return std::to_string(v); }
std::string arg(bool v) { return v ? "1" : "0"; }
std::string arg(const char16_t* text) {
  if (text == nullptr) return "null";
  if (reinterpret_cast<std::uintptr_t>(text) < 0x10000) return "#" + std::to_string(reinterpret_cast<std::uintptr_t>(text));
  return "\"" + utf8(text) + "\"";
}
std::string arg(const char* text) { return text == nullptr ? "null" : "\"" + std::string(text) + "\""; }
std::string arg(const void* handle) {
  if (handle == nullptr) return "null";
  return "h" + std::to_string(reinterpret_cast<std::uintptr_t>(handle));
}

std::vector<Call>& log() { return g_log; }
std::vector<std::string> names() { return names(""); }
std::vector<std::string> names(std::string_view prefix) {
  std::vector<std::string> out;
  for (const auto& c : g_log)
    if (c.name.rfind(prefix, 0) == 0) out.push_back(c.name);
  return out;
}
int count(std::string_view name) {
  int n = 0;
  for (const auto& c : g_log) n += c.name == name;
  return n;
}
const Call* last(std::string_view name) {
  for (auto it = g_log.rbegin(); it != g_log.rend(); ++it)
    if (it->name == name) return &*it;
  return nullptr;
}

void script(const std::string& name, std::int64_t result) { g_scripts[name].push_back(result); }
bool scripted(const std::string& name, std::int64_t* result) {
  auto it = g_scripts.find(name);
  if (it == g_scripts.end() || it->second.empty()) return false;
  *result = it->second.front();
  it->second.pop_front();
  return true;
}
std::uintptr_t nextHandle() { return g_next += 0x10; }

std::string utf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) out += static_cast<char>(c);
    else if (c < 0x800) out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    else if (c < 0x10000)
      out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    else
      out += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
              static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
  }
  return out;
}
std::u16string utf16(std::string_view text) {
  std::u16string out;  // ASCII and Latin-1 are all the tests need
  for (unsigned char c : text) out += static_cast<char16_t>(c);
  return out;
}

std::uint32_t copyOut(std::u16string_view s, char16_t* out, std::uint32_t capacity) {
  if (s.size() + 1 > capacity) return static_cast<std::uint32_t>(s.size() + 1);
  for (std::size_t i = 0; i < s.size(); ++i) out[i] = s[i];
  out[s.size()] = 0;
  return static_cast<std::uint32_t>(s.size());
}

void onReset(ResetHook hook) { hooks().push_back(hook); }

void reset() {
  // What a test left held goes back to the simulation it came from, before that is cleared.
  corvane::capture().reset();
  corvane::releaseHotKeys();
  g_log.clear();
  g_scripts.clear();
  g_next = 0x1000;
  for (auto hook : hooks()) hook();
  corvane::app = {};
  corvane::settings = {};
}

}  // namespace sim

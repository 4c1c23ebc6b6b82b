// Simulated module path, environment, folder creation and last error (kernel32).
#include <map>
#include "platform/kernel32.h"
#include "tests/sim/sim.h"

namespace {
constexpr std::uint32_t kInsufficientBuffer = 122, kEnvVarNotFound = 203;
constexpr char16_t kDefaultProfile[] = u"C:\\Users\\user1";

std::u16string g_modulePath;
std::u16string g_commandLine;
std::u16string g_currentDirectory;
std::u16string g_heldMutex;  // a mutex name another process of the session holds
std::map<std::u16string, std::u16string> g_env;  // upper name -> value
std::uint32_t g_lastError = 0;
std::uint64_t g_tick = 0;
platform::SystemTime g_localTime{};

std::u16string upper(std::u16string_view s) {
  std::u16string u(s);
  for (auto& c : u)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return u;
}

void defaults() {
  g_modulePath = u"C:\\Tools\\corvane.exe";
  g_commandLine = u"\"C:\\Tools\\corvane.exe\"";
  g_currentDirectory = u"C:\\Windows\\System32";
  g_heldMutex.clear();
  g_env = {{u"USERPROFILE", kDefaultProfile}};
  g_lastError = 0;
  g_tick = 5'000'000'000;  // well past the 49 days at which a 32-bit count would wrap
  g_localTime = {2026, 3, 1, 9, 7, 5, 4, 321};  // Monday 9 March 2026, 07:05:04.321
  sim::putFolder(kDefaultProfile);
}

// Registered at first use, not at static initialisation: reset hooks run in the
// order registered, and this one must follow the file store's, which clears the
// folders, so that the profile folder exists in every test.
void ready() {
  static const bool once = (sim::onReset(defaults), defaults(), true);
  (void)once;
}
}  // namespace

namespace platform {
using sim::record;

std::uint32_t GetModuleFileNameW(Hinstance module, char16_t* path, std::uint32_t capacity) {
  ready();
  record("GetModuleFileNameW", module, capacity);
  if (capacity == 0) return 0;
  if (g_modulePath.size() < capacity) return sim::copyOut(g_modulePath, path, capacity);
  // Too long: the full capacity comes back. Newer systems end the cut text in a
  // terminator, older ones (and Wine) do not; the harsher of the two is kept here.
  for (std::uint32_t i = 0; i < capacity; ++i) path[i] = g_modulePath[i];
  g_lastError = kInsufficientBuffer;
  return capacity;
}
Bool SetCurrentDirectoryW(const char16_t* path) {
  ready();
  record("SetCurrentDirectoryW", path);
  g_currentDirectory = path;
  return 1;
}
std::uint32_t GetEnvironmentVariableW(const char16_t* name, char16_t* value, std::uint32_t capacity) {
  ready();
  record("GetEnvironmentVariableW", name, capacity);
  auto it = g_env.find(upper(name));
  if (it == g_env.end()) {
    g_lastError = kEnvVarNotFound;
    return 0;
  }
  return it->second.empty() ? 0 : sim::copyOut(it->second, value, capacity);
}
// %NAME% of a set variable is replaced by its value; anything else stays as written.
std::uint32_t ExpandEnvironmentStringsW(const char16_t* source, char16_t* expanded, std::uint32_t capacity) {
  ready();
  record("ExpandEnvironmentStringsW", source, capacity);
  std::u16string text(source), out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t close = text[i] == u'%' ? text.find(u'%', i + 1) : std::u16string::npos;
    auto it = close == std::u16string::npos ? g_env.end() : g_env.find(upper(text.substr(i + 1, close - i - 1)));
    if (it == g_env.end()) {
      out += text[i++];
      continue;
    }
    out += it->second;
    i = close + 1;
  }
  if (out.size() + 1 > capacity) return static_cast<std::uint32_t>(out.size() + 1);
  sim::copyOut(out, expanded, capacity);
  return static_cast<std::uint32_t>(out.size() + 1);
}
Bool CreateDirectoryW(const char16_t* path, void* security) {
  ready();
  record("CreateDirectoryW", path, security);
  std::int64_t failure;
  if (sim::scripted("CreateDirectoryW", &failure)) {
    g_lastError = static_cast<std::uint32_t>(failure);
    return 0;
  }
  std::u16string p(path);
  while (!p.empty() && p.back() == u'\\') p.pop_back();
  if (p.empty()) {
    g_lastError = ERROR_PATH_NOT_FOUND;
    return 0;
  }
  if (sim::hasFolder(p) || sim::hasFile(p)) {
    g_lastError = ERROR_ALREADY_EXISTS;
    return 0;
  }
  // Only the last component is made; a relative name's parent is the working folder.
  const auto slash = p.rfind(u'\\');
  if (slash != std::u16string::npos && !sim::hasFolder(p.substr(0, slash))) {
    g_lastError = ERROR_PATH_NOT_FOUND;
    return 0;
  }
  sim::putFolder(p);
  return 1;
}
std::uint32_t GetLastError() {
  ready();
  record("GetLastError");
  return g_lastError;
}
const char16_t* GetCommandLineW() {
  ready();
  return g_commandLine.c_str();
}
Handle CreateMutexW(void*, Bool, const char16_t* name) {
  ready();
  record("CreateMutexW", name);
  g_lastError = name != nullptr && g_heldMutex == name ? ERROR_ALREADY_EXISTS : 0;
  return sim::handle<Handle>();
}
// Recorded only: the test goes on, as the logic after it must tolerate.
void ExitProcess(std::uint32_t exitCode) { sim::record("ExitProcess", exitCode); }
std::uint64_t GetTickCount64() {
  ready();
  return g_tick;  // not logged: the time is read often and the order is no one's business
}
// The simulated clock moves on by the time slept; nothing else happens meanwhile.
void Sleep(std::uint32_t ms) {
  ready();
  record("Sleep", ms);
  g_tick += ms;
}
void GetLocalTime(SystemTime* time) {
  ready();
  record("GetLocalTime");
  *time = g_localTime;
}

}  // namespace platform

namespace sim {
void advanceClock(std::uint64_t ms) {
  ready();
  g_tick += ms;
}
void setClock(std::uint64_t tick) {
  ready();
  g_tick = tick;
}
void setLocalTime(const platform::SystemTime& time) {
  ready();
  g_localTime = time;
}
void setLastError(std::uint32_t code) {
  ready();
  g_lastError = code;
}
std::u16string currentDirectory() {
  ready();
  return g_currentDirectory;
}
void setCommandLine(std::u16string_view line) {
  ready();
  g_commandLine = line;
}
void holdMutexElsewhere(std::u16string_view name) {
  ready();
  g_heldMutex = name;
}
void setModulePath(std::u16string_view path) {
  ready();
  g_modulePath = path;
}
void setEnv(std::u16string_view name, std::u16string_view value) {
  ready();
  g_env[upper(name)] = value;
}
void unsetEnv(std::u16string_view name) {
  ready();
  g_env.erase(upper(name));
}
}  // namespace sim

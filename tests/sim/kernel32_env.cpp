// Simulated module path, environment and folders (kernel32).
#include "platform/kernel32.h"
#include <cstdlib>
#include <cstring>
#include "tests/sim/sim.h"

namespace {
std::uint32_t g_lastError = 0;
}

namespace platform {
using sim::record;
using sim::result;

std::uint32_t GetModuleFileNameW(Hinstance module, char16_t* path, std::uint32_t capacity) {
  record("GetModuleFileNameW", module, capacity);
  return sim::copyOut(u"C:\\Tools\\corvane.exe", path, capacity);
}
Bool SetCurrentDirectoryW(const char16_t* path) { record("SetCurrentDirectoryW", path); return 1; }
std::uint32_t GetEnvironmentVariableW(const char16_t* name, char16_t*, std::uint32_t capacity) {
  record("GetEnvironmentVariableW", name, capacity);
  return 0;
}
Bool CreateDirectoryW(const char16_t* path, void*) { record("CreateDirectoryW", path); return 1; }
std::uint32_t GetLastError() {
  record("GetLastError");
  return g_lastError;
}

}  // namespace platform

namespace sim {
void setLastError(std::uint32_t code) { g_lastError = code; }
}  // namespace sim

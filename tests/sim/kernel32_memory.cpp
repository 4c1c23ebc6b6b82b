// Simulated threads, global memory and code pages (kernel32).
#include "platform/kernel32.h"
#include <cstdlib>
#include <cstring>
#include "tests/sim/sim.h"

namespace platform {
using sim::record;
using sim::result;

Handle CreateThread(void*, std::size_t stackSize, ThreadProc, void* parameter, std::uint32_t flags,
                    std::uint32_t*) {
  // The thread is not run: tests call the start routine themselves.
  record("CreateThread", static_cast<std::uint64_t>(stackSize), parameter, flags);
  return sim::handle<Handle>();
}
Hglobal GlobalAlloc(std::uint32_t flags, std::size_t bytes) {
  record("GlobalAlloc", flags, static_cast<std::uint64_t>(bytes));
  if (result<int>("GlobalAlloc", 1) == 0) return nullptr;
  return reinterpret_cast<Hglobal>(std::calloc(bytes ? bytes : 1, 1));
}
void* GlobalLock(Hglobal block) {
  record("GlobalLock", block);
  return result<int>("GlobalLock", 1) ? block : nullptr;
}
Bool GlobalUnlock(Hglobal block) { record("GlobalUnlock", block); return 1; }
Hglobal GlobalFree(Hglobal block) {
  record("GlobalFree", block);
  std::free(block);
  return nullptr;
}
std::int32_t MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text, std::int32_t length,
                                 char16_t* wide, std::int32_t capacity) {
  // The simulated ANSI code page is Latin-1: each byte is one code unit.
  record("MultiByteToWideChar", codePage, flags, length, capacity);
  std::int32_t n = length < 0 ? static_cast<std::int32_t>(std::strlen(text)) + 1 : length;
  if (capacity == 0) return n;
  if (n > capacity) return 0;
  for (std::int32_t i = 0; i < n; ++i) wide[i] = static_cast<unsigned char>(text[i]);
  return n;
}

}  // namespace platform

// Simulated threads, global memory and code pages (kernel32).
#include "platform/kernel32.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include "tests/sim/sim.h"

namespace {
// A thread runs when it is first waited for (one never waited for never runs),
// all at once on the waiting thread; the clock then goes back to where the
// wait began, and the thread counts as ending when its run had moved it to.
struct Thread {
  platform::ThreadProc start;
  void* parameter;
  bool ran = false;
  std::uint64_t endsAt = 0;
  bool handleOpen = true;
};
std::map<platform::Handle, Thread> g_threads;
std::map<platform::Hglobal, std::size_t> g_blockSizes;  // live global blocks and their sizes
const bool g_registered = (sim::onReset([] {
                             g_threads.clear();
                             g_blockSizes.clear();
                           }),
                           true);
}  // namespace

namespace sim {
std::vector<ThreadMade> threads() {
  std::vector<ThreadMade> out;
  for (const auto& [handle, t] : g_threads) out.push_back({t.start, t.parameter, t.handleOpen});
  return out;
}
// CloseHandle (kernel32_files.cpp) of a thread's handle.
void threadHandleClosed(platform::Handle handle) {
  auto it = g_threads.find(handle);
  if (it != g_threads.end()) it->second.handleOpen = false;
}
}  // namespace sim

namespace platform {
using sim::record;
using sim::result;

Handle CreateThread(void*, std::size_t stackSize, ThreadProc start, void* parameter, std::uint32_t flags,
                    std::uint32_t*) {
  record("CreateThread", static_cast<std::uint64_t>(stackSize), parameter, flags);
  if (result<int>("CreateThread", 1) == 0) return nullptr;
  const Handle thread = sim::handle<Handle>();
  g_threads[thread] = {start, parameter};
  return thread;
}
std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t ms) {
  record("WaitForSingleObject", handle, ms);
  auto it = g_threads.find(handle);
  if (it == g_threads.end()) return 0xFFFFFFFFu;  // WAIT_FAILED
  Thread& t = it->second;
  const std::uint64_t now = GetTickCount64();
  if (!t.ran) {
    t.ran = true;
    t.start(t.parameter);
    t.endsAt = GetTickCount64();
    sim::setClock(now);
  }
  if (t.endsAt > now + ms) {
    sim::setClock(now + ms);
    return WAIT_TIMEOUT;
  }
  sim::setClock(std::max(now, t.endsAt));
  return WAIT_OBJECT_0;
}
Hglobal GlobalAlloc(std::uint32_t flags, std::size_t bytes) {
  record("GlobalAlloc", flags, static_cast<std::uint64_t>(bytes));
  if (result<int>("GlobalAlloc", 1) == 0) return nullptr;
  auto block = reinterpret_cast<Hglobal>(std::calloc(bytes ? bytes : 1, 1));
  g_blockSizes[block] = bytes;
  return block;
}
void* GlobalLock(Hglobal block) {
  record("GlobalLock", block);
  return result<int>("GlobalLock", 1) ? block : nullptr;
}
Bool GlobalUnlock(Hglobal block) { record("GlobalUnlock", block); return 1; }
Hglobal GlobalFree(Hglobal block) {
  record("GlobalFree", block);
  g_blockSizes.erase(block);
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

namespace sim {
std::size_t globalSize(platform::Hglobal block) {
  auto it = g_blockSizes.find(block);
  return it == g_blockSizes.end() ? 0 : it->second;
}
void freeGlobal(platform::Hglobal block) {
  g_blockSizes.erase(block);
  std::free(block);
}
}  // namespace sim

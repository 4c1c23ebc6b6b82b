// Simulated kernel32.
#include "platform/kernel32.h"
#include <cstdlib>
#include <cstring>
#include "tests/sim/sim.h"

namespace platform {
using sim::record;
using sim::result;

namespace {
std::uint32_t copyOut(const std::u16string& s, char16_t* out, std::uint32_t capacity) {
  if (s.size() + 1 > capacity) return static_cast<std::uint32_t>(s.size() + 1);
  std::memcpy(out, s.c_str(), (s.size() + 1) * sizeof(char16_t));
  return static_cast<std::uint32_t>(s.size());
}
}  // namespace

std::uint32_t GetModuleFileNameW(Hinstance module, char16_t* path, std::uint32_t capacity) {
  record("GetModuleFileNameW", module, capacity);
  return copyOut(u"C:\\Tools\\corvane.exe", path, capacity);
}
Bool SetCurrentDirectoryW(const char16_t* path) { record("SetCurrentDirectoryW", path); return 1; }
std::uint32_t GetEnvironmentVariableW(const char16_t* name, char16_t*, std::uint32_t capacity) {
  record("GetEnvironmentVariableW", name, capacity);
  return 0;
}
Bool CreateDirectoryW(const char16_t* path, void*) { record("CreateDirectoryW", path); return 1; }
std::uint32_t GetLastError() { record("GetLastError"); return 0; }
std::uint32_t GetTempPathW(std::uint32_t capacity, char16_t* path) {
  record("GetTempPathW", capacity);
  return copyOut(u"C:\\Temp\\", path, capacity);
}
std::uint32_t GetTempFileNameW(const char16_t* folder, const char16_t* prefix, std::uint32_t unique, char16_t* name) {
  record("GetTempFileNameW", folder, prefix, unique);
  copyOut(std::u16string(folder) + u"rar1.tmp", name, 260);
  return 1;
}
Bool DeleteFileW(const char16_t* path) { record("DeleteFileW", path); return 1; }
Handle CreateFileW(const char16_t* path, std::uint32_t access, std::uint32_t share, void*, std::uint32_t disposition,
                   std::uint32_t flags, Handle) {
  record("CreateFileW", path, access, share, disposition, flags);
  return INVALID_HANDLE_VALUE;
}
Bool ReadFile(Handle file, void*, std::uint32_t toRead, std::uint32_t* read, void*) {
  record("ReadFile", file, toRead);
  *read = 0;
  return 1;
}
Bool WriteFile(Handle file, const void*, std::uint32_t toWrite, std::uint32_t* written, void*) {
  record("WriteFile", file, toWrite);
  *written = toWrite;
  return 1;
}
Bool CloseHandle(Handle handle) { record("CloseHandle", handle); return 1; }
Handle CreateThread(void*, std::size_t stackSize, ThreadProc, void* parameter, std::uint32_t flags,
                    std::uint32_t*) {
  // The thread is not run: tests call the start routine themselves.
  record("CreateThread", static_cast<std::uint64_t>(stackSize), parameter, flags);
  return sim::handle<Handle>();
}
Hglobal GlobalAlloc(std::uint32_t flags, std::size_t bytes) {
  record("GlobalAlloc", flags, static_cast<std::uint64_t>(bytes));
  return reinterpret_cast<Hglobal>(std::calloc(bytes ? bytes : 1, 1));
}
void* GlobalLock(Hglobal block) { record("GlobalLock", block); return block; }
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
Hinstance GetModuleHandleW(const char16_t* name) { record("GetModuleHandleW", name); return sim::handle<Hinstance>(); }

}  // namespace platform

// Simulated kernel32.
#include "platform/kernel32.h"
#include <cstdlib>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include "tests/sim/sim.h"

namespace sim {
void threadHandleClosed(platform::Handle handle);  // kernel32_memory.cpp
}

namespace {
struct OpenFile {
  std::u16string key;
  std::size_t position;
  bool writable;
};
std::map<std::u16string, std::pair<std::u16string, std::string>> g_files;  // key -> (path, bytes)
std::map<std::uintptr_t, OpenFile> g_open;
std::set<std::u16string> g_folders;  // keys, without a trailing backslash
std::set<std::u16string> g_locked;   // folders in which no file can be made, renamed or deleted
std::u16string g_tempPath = u"C:\\Temp\\";
std::size_t g_readLimit = SIZE_MAX;  // bytes ReadFile still delivers before it fails

std::u16string keyOf(std::u16string_view path) {
  std::u16string k(path);
  for (auto& c : k)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return k;
}
const bool g_registered = (sim::onReset([] {
                             g_files.clear();
                             g_open.clear();
                             g_folders.clear();
                             g_folders.insert(u"C:\\TEMP");
                             g_locked.clear();
                             g_tempPath = u"C:\\Temp\\";
                             g_readLimit = SIZE_MAX;
                           }),
                           true);
// Whether a file at path cannot be made, renamed or deleted: its folder is
// locked. The last error is set when it cannot.
bool inLockedFolder(std::u16string_view path) {
  std::u16string k = keyOf(path);
  const auto slash = k.rfind(u'\\');
  if (slash == std::u16string::npos || !g_locked.count(k.substr(0, slash))) return false;
  sim::setLastError(platform::ERROR_ACCESS_DENIED);
  return true;
}
}  // namespace

namespace sim {
bool folderLocked(std::u16string_view path) {
  std::u16string k = keyOf(path);
  while (!k.empty() && k.back() == u'\\') k.pop_back();
  return g_locked.count(k) != 0;
}
void lockFolder(std::u16string_view path) {
  std::u16string k = keyOf(path);
  while (!k.empty() && k.back() == u'\\') k.pop_back();
  g_locked.insert(k);
}
void removeFolder(std::u16string_view path) {
  std::u16string k = keyOf(path);
  while (!k.empty() && k.back() == u'\\') k.pop_back();
  for (auto it = g_files.begin(); it != g_files.end();)
    it = it->first.rfind(k + u"\\", 0) == 0 ? g_files.erase(it) : std::next(it);
  for (auto it = g_folders.begin(); it != g_folders.end();)
    it = *it == k || it->rfind(k + u"\\", 0) == 0 ? g_folders.erase(it) : std::next(it);
}
void setTempPath(std::u16string path) { g_tempPath = std::move(path); }
void failReadsAfter(std::size_t bytes) { g_readLimit = bytes; }
int fileHandlesOpen() { return static_cast<int>(g_open.size()); }
void putFile(std::u16string_view path, std::string bytes) {
  auto slash = path.rfind(u'\\');
  if (slash != std::u16string_view::npos) putFolder(path.substr(0, slash));
  g_files[keyOf(path)] = {std::u16string(path), std::move(bytes)};
}
void putFolder(std::u16string_view path) {
  std::u16string k = keyOf(path);
  while (!k.empty() && k.back() == u'\\') k.pop_back();
  // Every parent exists too; a drive ("C:") always exists.
  for (auto slash = k.find(u'\\'); slash != std::u16string::npos; slash = k.find(u'\\', slash + 1))
    g_folders.insert(k.substr(0, slash));
  g_folders.insert(k);
}
bool hasFolder(std::u16string_view path) {
  std::u16string k = keyOf(path);
  while (!k.empty() && k.back() == u'\\') k.pop_back();
  return (k.size() == 2 && k[1] == u':') || g_folders.count(k) != 0;
}
bool hasFile(std::u16string_view path) { return g_files.count(keyOf(path)) != 0; }
std::string fileBytes(std::u16string_view path) {
  auto it = g_files.find(keyOf(path));
  return it == g_files.end() ? std::string() : it->second.second;
}
std::vector<std::u16string> filesIn(std::u16string_view folder) {
  std::u16string prefix = keyOf(folder);
  if (!prefix.empty() && prefix.back() != u'\\') prefix += u'\\';
  std::vector<std::u16string> out;
  for (const auto& [key, file] : g_files)
    if (key.rfind(prefix, 0) == 0 && key.find(u'\\', prefix.size()) == std::u16string::npos) out.push_back(file.first);
  return out;
}
}  // namespace sim

namespace platform {
using sim::record;
using sim::result;


std::uint32_t GetTempPathW(std::uint32_t capacity, char16_t* path) {
  record("GetTempPathW", capacity);
  if (sim::result<std::int64_t>("GetTempPathW", 1) == 0) return 0;
  return sim::copyOut(g_tempPath, path, capacity);
}
std::uint32_t GetTempFileNameW(const char16_t* folder, const char16_t* prefix, std::uint32_t unique, char16_t* name) {
  record("GetTempFileNameW", folder, prefix, unique);
  std::int64_t scriptedResult;
  if (sim::scripted("GetTempFileNameW", &scriptedResult) && scriptedResult == 0) return 0;  // no name made
  if (!sim::hasFolder(folder)) {
    sim::setLastError(267);  // ERROR_DIRECTORY
    return 0;
  }
  // The platform keeps three letters of the prefix and adds a hexadecimal number.
  for (unsigned n = 1;; ++n) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", n);
    std::u16string path = std::u16string(folder) + std::u16string(prefix).substr(0, 3) + sim::utf16(hex) + u".tmp";
    if (!sim::hasFile(path)) {
      if (path.size() + 1 > 260) return 0;  // the platform refuses folders this long
      if (inLockedFolder(path)) return 0;
      sim::putFile(path, "");
      sim::copyOut(path, name, 260);
      return n;
    }
  }
}
Bool DeleteFileW(const char16_t* path) {
  record("DeleteFileW", path);
  if (inLockedFolder(path)) return 0;
  return g_files.erase(keyOf(path)) ? 1 : 0;
}
Bool MoveFileExW(const char16_t* from, const char16_t* to, std::uint32_t flags) {
  record("MoveFileExW", from, to, flags);
  std::u16string source = keyOf(from), target = keyOf(to);
  std::u16string t(to);
  auto slash = t.rfind(u'\\');
  if (g_files.count(target) && !(flags & MOVEFILE_REPLACE_EXISTING) && g_files.count(source)) {
    sim::setLastError(ERROR_ALREADY_EXISTS);
    return 0;
  }
  if (inLockedFolder(from) || inLockedFolder(to)) return 0;
  if (!g_files.count(source) || slash == std::u16string::npos || !sim::hasFolder(t.substr(0, slash)) ||
      sim::hasFolder(t) || result<int>("MoveFileExW", 1) == 0) {
    sim::setLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  auto bytes = std::move(g_files[source].second);
  g_files.erase(source);
  g_files[target] = {t, std::move(bytes)};
  return 1;
}
Handle CreateFileW(const char16_t* path, std::uint32_t access, std::uint32_t share, void*, std::uint32_t disposition,
                   std::uint32_t flags, Handle) {
  record("CreateFileW", path, access, share, disposition, flags);
  std::u16string key = keyOf(path);
  if (disposition == CREATE_ALWAYS) {
    std::u16string p(path);
    auto slash = p.rfind(u'\\');
    if (slash == std::u16string::npos || !sim::hasFolder(p.substr(0, slash))) {
      sim::setLastError(ERROR_PATH_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    if (!g_files.count(key) && inLockedFolder(p)) return INVALID_HANDLE_VALUE;
    g_files[key] = {p, ""};
  } else if (!g_files.count(key)) {
    return INVALID_HANDLE_VALUE;
  }
  auto h = sim::nextHandle();
  g_open[h] = {key, 0, (access & GENERIC_WRITE) != 0};
  return reinterpret_cast<Handle>(h);
}
Bool ReadFile(Handle file, void* buffer, std::uint32_t toRead, std::uint32_t* read, void*) {
  record("ReadFile", file, toRead);
  auto it = g_open.find(reinterpret_cast<std::uintptr_t>(file));
  if (it == g_open.end()) return 0;
  const std::string& bytes = g_files[it->second.key].second;
  std::size_t left = bytes.size() - std::min(bytes.size(), it->second.position);
  *read = 0;
  if (left > 0 && g_readLimit == 0) return 0;  // the device fails before the end of the file
  std::size_t n = std::min({std::size_t{toRead}, left, g_readLimit});
  std::memcpy(buffer, bytes.data() + it->second.position, n);
  it->second.position += n;
  if (g_readLimit != SIZE_MAX) g_readLimit -= n;
  *read = static_cast<std::uint32_t>(n);
  return 1;
}
Bool WriteFile(Handle file, const void* buffer, std::uint32_t toWrite, std::uint32_t* written, void*) {
  record("WriteFile", file, toWrite);
  auto it = g_open.find(reinterpret_cast<std::uintptr_t>(file));
  if (it == g_open.end() || !it->second.writable || result<int>("WriteFile", 1) == 0) return 0;  // 0: disk full
  g_files[it->second.key].second.append(static_cast<const char*>(buffer), toWrite);
  *written = toWrite;
  return 1;
}
Bool CloseHandle(Handle handle) {
  record("CloseHandle", handle);
  sim::threadHandleClosed(handle);
  g_open.erase(reinterpret_cast<std::uintptr_t>(handle));
  return 1;
}
Bool GetFileSizeEx(Handle file, std::int64_t* size) {
  record("GetFileSizeEx", file);
  auto it = g_open.find(reinterpret_cast<std::uintptr_t>(file));
  if (it == g_open.end()) return 0;
  *size = static_cast<std::int64_t>(g_files[it->second.key].second.size());
  return 1;
}
Hinstance GetModuleHandleW(const char16_t* name) { record("GetModuleHandleW", name); return sim::handle<Hinstance>(); }
// The simulated executable carries no resources.
Hrsrc FindResourceW(Hinstance, const char16_t*, const char16_t*) { return nullptr; }
Hglobal LoadResource(Hinstance, Hrsrc) { return nullptr; }
const void* LockResource(Hglobal) { return nullptr; }
std::uint32_t SizeofResource(Hinstance, Hrsrc) { return 0; }
std::uint32_t GetCurrentProcessId() { return sim::kOurProcessId; }

}  // namespace platform

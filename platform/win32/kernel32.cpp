#include "platform/kernel32.h"
#include "platform/win32/win.h"
#include <new>

namespace platform {
using namespace win32;

std::uint32_t GetModuleFileNameW(Hinstance module, char16_t* path, std::uint32_t capacity) {
  return ::GetModuleFileNameW(As<HMODULE>(module), W(path), capacity);
}
Bool SetCurrentDirectoryW(const char16_t* path) { return ::SetCurrentDirectoryW(W(path)); }
std::uint32_t GetEnvironmentVariableW(const char16_t* name, char16_t* value, std::uint32_t capacity) {
  return ::GetEnvironmentVariableW(W(name), W(value), capacity);
}
std::uint32_t ExpandEnvironmentStringsW(const char16_t* source, char16_t* expanded, std::uint32_t capacity) {
  return ::ExpandEnvironmentStringsW(W(source), W(expanded), capacity);
}
Bool CreateDirectoryW(const char16_t* path, void* security) {
  return ::CreateDirectoryW(W(path), As<LPSECURITY_ATTRIBUTES>(security));
}
std::uint32_t GetLastError() { return ::GetLastError(); }
const char16_t* GetCommandLineW() { return As<const char16_t*>(::GetCommandLineW()); }
Handle CreateMutexW(void* security, Bool initialOwner, const char16_t* name) {
  return As<Handle>(::CreateMutexW(static_cast<SECURITY_ATTRIBUTES*>(security), initialOwner, W(name)));
}
std::uint32_t GetTempPathW(std::uint32_t capacity, char16_t* path) { return ::GetTempPathW(capacity, W(path)); }
std::uint32_t GetTempFileNameW(const char16_t* folder, const char16_t* prefix, std::uint32_t unique, char16_t* name) {
  return ::GetTempFileNameW(W(folder), W(prefix), unique, W(name));
}
Bool DeleteFileW(const char16_t* path) { return ::DeleteFileW(W(path)); }
Bool MoveFileExW(const char16_t* from, const char16_t* to, std::uint32_t flags) {
  return ::MoveFileExW(W(from), W(to), flags);
}
std::uint64_t GetTickCount64() { return ::GetTickCount64(); }
void Sleep(std::uint32_t ms) { ::Sleep(ms); }
CORVANE_SAME_LAYOUT(SystemTime, SYSTEMTIME);
void GetLocalTime(SystemTime* time) { ::GetLocalTime(As<LPSYSTEMTIME>(time)); }
void ExitProcess(std::uint32_t exitCode) { ::ExitProcess(exitCode); }
Handle CreateFileW(const char16_t* path, std::uint32_t access, std::uint32_t share, void* security,
                   std::uint32_t disposition, std::uint32_t flags, Handle templateFile) {
  return As<Handle>(::CreateFileW(W(path), access, share, As<LPSECURITY_ATTRIBUTES>(security), disposition, flags,
                                  As<HANDLE>(templateFile)));
}
Bool ReadFile(Handle file, void* buffer, std::uint32_t toRead, std::uint32_t* read, void* overlapped) {
  return ::ReadFile(As<HANDLE>(file), buffer, toRead, As<LPDWORD>(read), As<LPOVERLAPPED>(overlapped));
}
Bool WriteFile(Handle file, const void* buffer, std::uint32_t toWrite, std::uint32_t* written, void* overlapped) {
  return ::WriteFile(As<HANDLE>(file), buffer, toWrite, As<LPDWORD>(written), As<LPOVERLAPPED>(overlapped));
}
Bool CloseHandle(Handle handle) { return ::CloseHandle(As<HANDLE>(handle)); }
Bool GetFileSizeEx(Handle file, std::int64_t* size) {
  LARGE_INTEGER value;
  if (!::GetFileSizeEx(As<HANDLE>(file), &value)) return FALSE;
  *size = value.QuadPart;
  return TRUE;
}
namespace {
// The portable start routine is called through a routine of the platform's own
// type rather than through a cast function pointer.
struct ThreadStart {
  ThreadProc start;
  void* parameter;
};
DWORD WINAPI runThread(LPVOID raw) {
  ThreadStart start = *static_cast<ThreadStart*>(raw);
  delete static_cast<ThreadStart*>(raw);
  return start.start(start.parameter);
}
}  // namespace

Handle CreateThread(void* security, std::size_t stackSize, ThreadProc start, void* parameter, std::uint32_t flags,
                    std::uint32_t* threadId) {
  auto* bundle = new (std::nothrow) ThreadStart{start, parameter};
  if (bundle == nullptr) return nullptr;
  HANDLE thread = ::CreateThread(As<LPSECURITY_ATTRIBUTES>(security), stackSize, runThread, bundle, flags,
                                 As<LPDWORD>(threadId));
  if (thread == nullptr) delete bundle;
  return As<Handle>(thread);
}
std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t ms) { return ::WaitForSingleObject(As<HANDLE>(handle), ms); }
Hglobal GlobalAlloc(std::uint32_t flags, std::size_t bytes) { return As<Hglobal>(::GlobalAlloc(flags, bytes)); }
void* GlobalLock(Hglobal block) { return ::GlobalLock(As<HGLOBAL>(block)); }
Bool GlobalUnlock(Hglobal block) { return ::GlobalUnlock(As<HGLOBAL>(block)); }
Hglobal GlobalFree(Hglobal block) { return As<Hglobal>(::GlobalFree(As<HGLOBAL>(block))); }
std::int32_t MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text, std::int32_t length,
                                 char16_t* wide, std::int32_t capacity) {
  return ::MultiByteToWideChar(codePage, flags, text, length, W(wide), capacity);
}
Hinstance GetModuleHandleW(const char16_t* name) { return As<Hinstance>(::GetModuleHandleW(W(name))); }
Hrsrc FindResourceW(Hinstance module, const char16_t* name, const char16_t* type) {
  return As<Hrsrc>(::FindResourceW(As<HMODULE>(module), W(name), W(type)));
}
Hglobal LoadResource(Hinstance module, Hrsrc resource) {
  return As<Hglobal>(::LoadResource(As<HMODULE>(module), As<HRSRC>(resource)));
}
const void* LockResource(Hglobal loaded) { return ::LockResource(As<HGLOBAL>(loaded)); }
std::uint32_t SizeofResource(Hinstance module, Hrsrc resource) {
  return ::SizeofResource(As<HMODULE>(module), As<HRSRC>(resource));
}

std::uint32_t GetCurrentProcessId() { return ::GetCurrentProcessId(); }

}  // namespace platform

// Kernel: module path, working directory, environment, files, folders,
// temporary names, threads, global memory and code pages.
#pragma once
#include "platform/types.h"

namespace platform {

std::uint32_t GetModuleFileNameW(Hinstance module, char16_t* path, std::uint32_t capacity);
// The process's whole command line, as its starter wrote it (unparsed); owned by the system.
const char16_t* GetCommandLineW();
// A named mutex of this session (Local\\...); GetLastError() tells whether it already existed.
Handle CreateMutexW(void* security, Bool initialOwner, const char16_t* name);
Bool SetCurrentDirectoryW(const char16_t* path);
std::uint32_t GetEnvironmentVariableW(const char16_t* name, char16_t* value, std::uint32_t capacity);
// The characters written, terminator included; more than capacity when the
// text does not fit (nothing usable written then); 0 on failure.
std::uint32_t ExpandEnvironmentStringsW(const char16_t* source, char16_t* expanded, std::uint32_t capacity);
Bool CreateDirectoryW(const char16_t* path, void* security);
std::uint32_t GetLastError();
std::uint32_t GetTempPathW(std::uint32_t capacity, char16_t* path);
std::uint32_t GetTempFileNameW(const char16_t* folder, const char16_t* prefix, std::uint32_t unique,
                               char16_t* name);
Bool DeleteFileW(const char16_t* path);
Bool MoveFileExW(const char16_t* from, const char16_t* to, std::uint32_t flags);
// Milliseconds since the system started; never wraps in practice.
std::uint64_t GetTickCount64();
// Suspends this thread for ms milliseconds.
void Sleep(std::uint32_t ms);
// The current date and time in the user's time zone.
void GetLocalTime(SystemTime* time);
// Ends the process at once: no loop, message box or destructor of ours runs any more.
void ExitProcess(std::uint32_t exitCode);

Handle CreateFileW(const char16_t* path, std::uint32_t access, std::uint32_t share, void* security,
                   std::uint32_t disposition, std::uint32_t flags, Handle templateFile);
Bool ReadFile(Handle file, void* buffer, std::uint32_t toRead, std::uint32_t* read, void* overlapped);
Bool WriteFile(Handle file, const void* buffer, std::uint32_t toWrite, std::uint32_t* written,
               void* overlapped);
Bool CloseHandle(Handle handle);
// The size of an open file in bytes; 0 on failure (size then untouched).
Bool GetFileSizeEx(Handle file, std::int64_t* size);

Handle CreateThread(void* security, std::size_t stackSize, ThreadProc start, void* parameter,
                    std::uint32_t flags, std::uint32_t* threadId);
// WAIT_OBJECT_0 once the thread (or other object) is signalled, WAIT_TIMEOUT after ms.
std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t ms);

Hglobal GlobalAlloc(std::uint32_t flags, std::size_t bytes);
void* GlobalLock(Hglobal block);
Bool GlobalUnlock(Hglobal block);
Hglobal GlobalFree(Hglobal block);

std::int32_t MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text,
                                 std::int32_t length, char16_t* wide, std::int32_t capacity);

Hinstance GetModuleHandleW(const char16_t* name);
// A resource of the module: found, loaded and read in place (owned by the module, never freed).
Hrsrc FindResourceW(Hinstance module, const char16_t* name, const char16_t* type);
Hglobal LoadResource(Hinstance module, Hrsrc resource);
const void* LockResource(Hglobal loaded);
std::uint32_t SizeofResource(Hinstance module, Hrsrc resource);

// The running process, to tell its own windows from other programs'.
std::uint32_t GetCurrentProcessId();

}  // namespace platform

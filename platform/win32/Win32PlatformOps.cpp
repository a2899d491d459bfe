// Win32PlatformOps' handles and memory, and the layouts the logic mirrors.
// The other operations live in a file each by concern: Win32Folders,
// Win32Files, Win32PrivateFolder, Win32Processes, Win32Versions, Win32Ini,
// Win32System, Win32Output, Win32Security.
#include "platform/win32/Win32PlatformOps.h"

#include <windows.h>

#include <cstddef>
#include <cstdlib>

// The logic walks TOKEN_GROUPS through its own mirror of the layout.
static_assert(sizeof(TokenGroupEntry) == sizeof(SID_AND_ATTRIBUTES));
static_assert(offsetof(TokenGroupEntry, attributes) ==
              offsetof(SID_AND_ATTRIBUTES, Attributes));
static_assert(offsetof(TokenGroupList, groups) ==
              offsetof(TOKEN_GROUPS, Groups));
static_assert(sizeof(OsHandle) == sizeof(HANDLE));
static_assert(sizeof(unsigned long) == sizeof(DWORD));

void Win32PlatformOps::CloseOsHandle(OsHandle handle) { CloseHandle(handle); }

void* Win32PlatformOps::AllocateZeroed(std::size_t size) {
  return std::calloc(1, size);
}

void Win32PlatformOps::FreeBlock(void* block) { std::free(block); }

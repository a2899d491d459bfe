// What the program asks of the machine: the Windows folder, the registry,
// environment variables, the user profiles.
#include <windows.h>

#include "platform/win32/Win32PlatformOps.h"

unsigned Win32PlatformOps::GetWindowsDir(char* buffer, unsigned size) {
  return GetWindowsDirectoryA(buffer, size);
}

long Win32PlatformOps::ReadRegistryValue(const char* keyPath,
                                         const char* valueName,
                                         unsigned char* buffer,
                                         unsigned long* size,
                                         unsigned long* type) {
  // The 32-bit view: what the shipped 32-bit program sees on 64-bit Windows,
  // and what its 64-bit twin must see too. Only reading is asked for: an
  // ACL that lets administrators read the key but not change it is enough.
  HKEY key = nullptr;
  const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0,
                                    KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key);
  if (opened != ERROR_SUCCESS) return opened;
  const LONG queried =
      RegQueryValueExA(key, valueName, nullptr, type, buffer, size);
  RegCloseKey(key);
  return queried;
}

unsigned long Win32PlatformOps::ExpandEnvironment(const char* text,
                                                  char* buffer,
                                                  unsigned long size) {
  return ExpandEnvironmentStringsA(text, buffer, size);
}

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

int Win32PlatformOps::ListProfileDirs(std::string* dirs) {
  dirs->clear();
  HKEY list = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\"
                    "ProfileList",
                    0, KEY_READ | KEY_WOW64_64KEY, &list) != ERROR_SUCCESS) {
    return 0;
  }
  char sid[256];
  for (DWORD index = 0;; ++index) {
    DWORD sidLength = sizeof sid;
    const LONG listed = RegEnumKeyExA(list, index, sid, &sidLength, nullptr,
                                      nullptr, nullptr, nullptr);
    if (listed == ERROR_NO_MORE_ITEMS) break;
    if (listed != ERROR_SUCCESS) continue;
    char stored[MAX_PATH];
    DWORD storedSize = sizeof stored;
    char dir[MAX_PATH];
    // RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, expanded; a terminated string.
    if (RegGetValueA(list, sid, "ProfileImagePath",
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, stored, &storedSize) != ERROR_SUCCESS) {
      continue;
    }
    const DWORD expanded = ExpandEnvironmentStringsA(stored, dir, MAX_PATH);
    if (expanded == 0 || expanded > MAX_PATH) continue;
    *dirs += dir;
    *dirs += '\0';
  }
  RegCloseKey(list);
  return 1;
}

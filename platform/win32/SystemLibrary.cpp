#include "platform/win32/SystemLibrary.h"

#include "platform/BoundedString.h"

void RestrictDllSearchToSystemFolder() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  // KERNEL32 is always loaded, and always from the system folder.
  const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  const auto setDefaultDllDirectories =
      kernel32 == nullptr ? nullptr
                          : LookUpFunction<SetDefaultDllDirectoriesFn>(
                                kernel32, "SetDefaultDllDirectories");
  if (setDefaultDllDirectories != nullptr &&
      setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return;
  }
  SetDllDirectoryA("");
}

HMODULE LoadSystemLibrary(const char* fileName) {
  const HMODULE module =
      LoadLibraryExA(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr) return module;
  // Without KB2533623 the flag is refused as an invalid parameter; the
  // full path names the system folder's copy just as well.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH ||
      !AppendBounded(path, sizeof path, "\\") ||
      !AppendBounded(path, sizeof path, fileName)) {
    return nullptr;
  }
  return LoadLibraryA(path);
}

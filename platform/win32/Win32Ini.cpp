// Windows' profile functions, handed only private copies of INI files.
#include <windows.h>

#include "platform/win32/Win32FileNames.h"
#include "platform/win32/Win32PlatformOps.h"

namespace {

// Wine keeps a parsed copy of the file and trusts it while the file's time
// stamp is unchanged, also after a write that never reached the disk, and
// one private copy's name holds every target's bytes in turn; flushing
// drops that copy, so what follows reads the file as it is on disk.
void DropCachedProfile(const char* path) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
}

}  // namespace

int Win32PlatformOps::ReadIniInt(const char* section, const char* key,
                                 const char* path) {
  DropCachedProfile(path);
  return static_cast<int>(GetPrivateProfileIntA(section, key, 0, path));
}

int Win32PlatformOps::WriteIniString(const char* section, const char* key,
                                     const char* value, const char* path) {
  DropCachedProfile(path);
  return WritePrivateProfileStringA(section, key, value, path) ? 1 : 0;
}

int Win32PlatformOps::ReadIniString(const char* section, const char* key,
                                    const char* path, std::string* value) {
  DropCachedProfile(path);
  for (DWORD size = 256; size <= kMaxTextSize; size *= 16) {
    value->assign(size, '\0');
    const DWORD length =
        GetPrivateProfileStringA(section, key, "", &(*value)[0], size, path);
    // size - 1 means the value was cut short.
    if (length < size - 1) {
      value->resize(length);
      return 1;
    }
  }
  value->clear();
  return 0;
}

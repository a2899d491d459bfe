// Windows' profile functions, handed only private copies of INI files.
// Their wide forms: a copy's path may hold characters the ANSI code page
// cannot spell (an administrator's temporary folder). The section, key
// and value are the program's ANSI text.
#include <windows.h>

#include "platform/win32/Win32FileNames.h"
#include "platform/win32/Win32PlatformOps.h"

namespace {

// Wine keeps a parsed copy of the file and trusts it while the file's time
// stamp is unchanged, also after a write that never reached the disk, and
// one private copy's name holds every target's bytes in turn; flushing
// drops that copy, so what follows reads the file as it is on disk.
void DropCachedProfile(const std::wstring& path) {
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());
}

// UTF-16 as ANSI, as the A functions would hand it out.
bool WideToAnsi(const wchar_t* wide, std::size_t wideLength,
                std::string* ansi) {
  ansi->clear();
  if (wideLength == 0) return true;
  const int length =
      WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(wideLength),
                          nullptr, 0, nullptr, nullptr);
  if (length <= 0) return false;
  ansi->assign(static_cast<std::size_t>(length), '\0');
  return WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(wideLength),
                             &(*ansi)[0], length, nullptr, nullptr) == length;
}

// The section and key as UTF-16; false when either cannot be converted.
bool NamesToWide(const char* section, const char* key,
                 std::wstring* wideSection, std::wstring* wideKey) {
  return AnsiToWide(section, wideSection) && AnsiToWide(key, wideKey);
}

}  // namespace

int Win32PlatformOps::ReadIniInt(const char* section, const char* key,
                                 const char* path) {
  std::wstring widePath, wideSection, wideKey;
  if (!CopyPathToWide(path, &widePath) ||
      !NamesToWide(section, key, &wideSection, &wideKey))
    return 0;
  DropCachedProfile(widePath);
  return static_cast<int>(GetPrivateProfileIntW(
      wideSection.c_str(), wideKey.c_str(), 0, widePath.c_str()));
}

int Win32PlatformOps::WriteIniString(const char* section, const char* key,
                                     const char* value, const char* path) {
  std::wstring widePath, wideSection, wideKey, wideValue;
  if (!CopyPathToWide(path, &widePath) ||
      !NamesToWide(section, key, &wideSection, &wideKey) ||
      !AnsiToWide(value, &wideValue)) {
    return 0;
  }
  DropCachedProfile(widePath);
  return WritePrivateProfileStringW(wideSection.c_str(), wideKey.c_str(),
                                    wideValue.c_str(), widePath.c_str())
             ? 1
             : 0;
}

int Win32PlatformOps::ReadIniString(const char* section, const char* key,
                                    const char* path, std::string* value) {
  value->clear();
  std::wstring widePath, wideSection, wideKey;
  if (!CopyPathToWide(path, &widePath) ||
      !NamesToWide(section, key, &wideSection, &wideKey))
    return 0;
  DropCachedProfile(widePath);
  std::wstring wide;
  for (DWORD size = 256; size <= kMaxTextSize; size *= 16) {
    wide.assign(size, L'\0');
    const DWORD length =
        GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), L"",
                                 &wide[0], size, widePath.c_str());
    // size - 1 means the value was cut short.
    if (length < size - 1) return WideToAnsi(wide.data(), length, value);
  }
  return 0;
}

// Windows' version functions, handed only private copies of the files
// they look into. Their wide forms: a copy's path may hold characters the
// ANSI code page cannot spell. The logic still gets ANSI text.
#include <windows.h>

#include <cstddef>
#include <cwchar>
#include <string>

#include "platform/win32/SystemLibrary.h"
#include "platform/win32/Win32FileNames.h"
#include "platform/win32/Win32PlatformOps.h"

namespace {

// The three version functions, loaded from the system folder's VERSION.dll
// at first use: VERSION is not a KnownDLL, so a static import would be
// looked for beside the exe first.
struct VersionFunctions {
  bool tried = false;
  HMODULE module = nullptr;  // stays loaded for the life of the process
  decltype(&GetFileVersionInfoSizeW) getSize = nullptr;
  decltype(&GetFileVersionInfoW) getInfo = nullptr;
  decltype(&VerQueryValueW) queryValue = nullptr;
};
VersionFunctions g_version;

// Null when the DLL or any of the three cannot be had. (The program has one
// thread, so first use needs no lock.)
const VersionFunctions* Version() {
  if (!g_version.tried) {
    g_version.tried = true;
    g_version.module = LoadSystemLibrary("version.dll");
    if (g_version.module != nullptr) {
      g_version.getSize = LookUpFunction<decltype(&GetFileVersionInfoSizeW)>(
          g_version.module, "GetFileVersionInfoSizeW");
      g_version.getInfo = LookUpFunction<decltype(&GetFileVersionInfoW)>(
          g_version.module, "GetFileVersionInfoW");
      g_version.queryValue = LookUpFunction<decltype(&VerQueryValueW)>(
          g_version.module, "VerQueryValueW");
    }
  }
  const bool complete =
      g_version.getSize && g_version.getInfo && g_version.queryValue;
  return complete ? &g_version : nullptr;
}

// Whether the file's version resource, if it has one, lies within the
// file as the system maps it. A resource directory that points elsewhere
// makes the version functions read unmapped memory; the loader's own
// mapping tells, without parsing the file by hand. A file the loader does
// not take as a data file is left to the version functions to judge.
bool VersionResourceLiesInFile(const std::wstring& path) {
  const HMODULE file =
      LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (file == nullptr) return true;
  bool inside = true;
  const HRSRC resource =
      FindResourceA(file, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
  if (resource != nullptr) {
    const DWORD size = SizeofResource(file, resource);
    const HGLOBAL loaded = LoadResource(file, resource);
    const char* data = static_cast<const char*>(LockResource(loaded));
    MEMORY_BASIC_INFORMATION memory;
    inside = data != nullptr &&
             VirtualQuery(data, &memory, sizeof memory) == sizeof memory &&
             memory.State == MEM_COMMIT &&
             static_cast<const char*>(memory.BaseAddress) + memory.RegionSize -
                     data >=
                 static_cast<std::ptrdiff_t>(size);
  }
  FreeLibrary(file);
  return inside;
}

}  // namespace

unsigned long Win32PlatformOps::GetVersionInfoSize(const char* path) {
  // Without the version functions every file reads as having no version
  // resource, which counts as new enough: the same rule as for a file that
  // really has none. So does a file whose resource lies outside it.
  const VersionFunctions* version = Version();
  std::wstring widePath;
  if (version == nullptr || !CopyPathToWide(path, &widePath) ||
      !VersionResourceLiesInFile(widePath)) {
    return 0;
  }
  return version->getSize(widePath.c_str(), nullptr);
}

int Win32PlatformOps::GetVersionInfo(const char* path, unsigned long size,
                                     void* block) {
  const VersionFunctions* version = Version();
  std::wstring widePath;
  return version != nullptr && CopyPathToWide(path, &widePath) &&
                 version->getInfo(widePath.c_str(), 0, size, block)
             ? 1
             : 0;
}

int Win32PlatformOps::QueryVersionValue(const void* block, const char* subBlock,
                                        const void** data, unsigned* length) {
  void* found = nullptr;
  UINT foundLength = 0;
  const VersionFunctions* version = Version();
  std::wstring wideSubBlock;
  if (version == nullptr || !AnsiToWide(subBlock, &wideSubBlock) ||
      !version->queryValue(block, wideSubBlock.c_str(), &found, &foundLength)) {
    return 0;
  }
  // Values under \StringFileInfo are UTF-16 in a wide block; the logic
  // reads ANSI text, kept here until the next query. Everything else
  // (\VarFileInfo\Translation, the root) is binary and goes as it is.
  const std::wstring strings = L"\\StringFileInfo\\";
  if (wideSubBlock.size() <= strings.size() ||
      !SamePathText(wideSubBlock.substr(0, strings.size()), strings)) {
    *data = found;
    *length = foundLength;
    return 1;
  }
  const std::size_t characters =
      wcsnlen(static_cast<const wchar_t*>(found), foundLength);
  versionText_.clear();
  if (characters > 0) {
    const int wideLength = static_cast<int>(characters);
    const int ansiLength =
        WideCharToMultiByte(CP_ACP, 0, static_cast<const wchar_t*>(found),
                            wideLength, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0) return 0;
    versionText_.assign(static_cast<std::size_t>(ansiLength), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, static_cast<const wchar_t*>(found),
                            wideLength, &versionText_[0], ansiLength, nullptr,
                            nullptr) != ansiLength) {
      return 0;
    }
  }
  *data = versionText_.c_str();
  *length = static_cast<unsigned>(versionText_.size() + 1);
  return 1;
}

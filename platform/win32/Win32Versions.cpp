// Windows' version functions, handed only private copies of the files
// they look into.
#include <windows.h>

#include <cstddef>

#include "platform/win32/SystemLibrary.h"
#include "platform/win32/Win32PlatformOps.h"

namespace {

// The three version functions, loaded from the system folder's VERSION.dll
// at first use: VERSION is not a KnownDLL, so a static import would be
// looked for beside the exe first.
struct VersionFunctions {
  bool tried = false;
  HMODULE module = nullptr;  // stays loaded for the life of the process
  decltype(&GetFileVersionInfoSizeA) getSize = nullptr;
  decltype(&GetFileVersionInfoA) getInfo = nullptr;
  decltype(&VerQueryValueA) queryValue = nullptr;
};
VersionFunctions g_version;

// Null when the DLL or any of the three cannot be had. (The program has one
// thread, so first use needs no lock.)
const VersionFunctions* Version() {
  if (!g_version.tried) {
    g_version.tried = true;
    g_version.module = LoadSystemLibrary("version.dll");
    if (g_version.module != nullptr) {
      g_version.getSize = LookUpFunction<decltype(&GetFileVersionInfoSizeA)>(
          g_version.module, "GetFileVersionInfoSizeA");
      g_version.getInfo = LookUpFunction<decltype(&GetFileVersionInfoA)>(
          g_version.module, "GetFileVersionInfoA");
      g_version.queryValue = LookUpFunction<decltype(&VerQueryValueA)>(
          g_version.module, "VerQueryValueA");
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
bool VersionResourceLiesInFile(const char* path) {
  const HMODULE file = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
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
  if (version == nullptr || !VersionResourceLiesInFile(path)) return 0;
  return version->getSize(path, nullptr);
}

int Win32PlatformOps::GetVersionInfo(const char* path, unsigned long size,
                                     void* block) {
  const VersionFunctions* version = Version();
  return version != nullptr && version->getInfo(path, 0, size, block) ? 1 : 0;
}

int Win32PlatformOps::QueryVersionValue(const void* block, const char* subBlock,
                                        const void** data, unsigned* length) {
  void* found = nullptr;
  UINT foundLength = 0;
  const VersionFunctions* version = Version();
  if (version == nullptr ||
      !version->queryValue(block, subBlock, &found, &foundLength)) {
    return 0;
  }
  *data = found;
  *length = foundLength;
  return 1;
}

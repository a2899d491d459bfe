#include "platform/Win32PlatformOps.h"

#include <io.h>
#include <windows.h>
// After windows.h:
#include <aclapi.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "platform/SystemLibrary.h"

// The logic walks TOKEN_GROUPS through its own mirror of the layout.
static_assert(sizeof(TokenGroupEntry) == sizeof(SID_AND_ATTRIBUTES));
static_assert(offsetof(TokenGroupEntry, attributes) ==
              offsetof(SID_AND_ATTRIBUTES, Attributes));
static_assert(offsetof(TokenGroupList, groups) ==
              offsetof(TOKEN_GROUPS, Groups));
static_assert(sizeof(OsHandle) == sizeof(HANDLE));
static_assert(sizeof(unsigned long) == sizeof(DWORD));

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

// The largest INI file or value the program reads whole; anything larger is
// no scanner preference file, and is left alone.
constexpr DWORD kMaxTextSize = 16 * 1024 * 1024;

// Every other opener may read, write and delete.
constexpr DWORD kShareEverything =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Closes a file handle when it goes out of scope.
struct FileHandle {
  HANDLE handle;
  ~FileHandle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

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

// A file as the file system knows it, whatever path names it.
struct FileIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && indexHigh == other.indexHigh &&
           indexLow == other.indexLow;
  }
};

bool IdentifyHandle(HANDLE file, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file, &information)) return false;
  *identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh,
               information.nFileIndexLow};
  return true;
}

// Opens the file for its attributes only, sharing everything: such a
// handle takes no part in sharing and cannot be in anybody's way.
bool IdentifyFile(const char* path, FileIdentity* identity) {
  const FileHandle file = {CreateFileA(path, FILE_READ_ATTRIBUTES,
                                       kShareEverything, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr)};
  return file.handle != INVALID_HANDLE_VALUE &&
         IdentifyHandle(file.handle, identity);
}

// Text in the ANSI code page as UTF-16.
bool AnsiToWide(const std::string& ansi, std::wstring* wide) {
  wide->clear();
  if (ansi.empty()) return true;
  const int length = static_cast<int>(ansi.size());
  const int wideLength =
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  if (wideLength <= 0) return false;
  wide->assign(static_cast<std::size_t>(wideLength), L'\0');
  return MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, &(*wide)[0],
                             wideLength) == wideLength;
}

// The longest path the wide functions hand out, in characters.
constexpr DWORD kLongPathLength = 32768;

// Two names as the file system compares them: ordinal, ignoring case.
bool SamePathText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The path without trailing separators (a root keeps its own).
std::wstring WithoutTrailingSeparator(std::wstring path) {
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) {
    path.pop_back();
  }
  return path;
}

// The path of the object behind the handle, every link resolved
// (GetFinalPathNameByHandleW), its volume named as `volumeName` asks.
bool FinalPath(HANDLE handle, DWORD volumeName, std::wstring* path) {
  path->assign(kLongPathLength, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(
      handle, &(*path)[0], kLongPathLength, FILE_NAME_NORMALIZED | volumeName);
  if (length == 0 || length >= kLongPathLength) return false;
  path->resize(length);
  *path = WithoutTrailingSeparator(*path);
  return true;
}

// A final path in DOS form as the program spells paths: "\\?\C:\x" as
// "C:\x", "\\?\UNC\server\share" as "\\server\share".
std::wstring WithoutLongPathPrefix(const std::wstring& path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\" + path.substr(7);
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
  return path;
}

// The path made absolute and canonical (GetFullPathNameW: doubled and
// forward separators, "." and ".."), then with its 8.3 short names
// expanded (GetLongPathNameW), which resolves no link.
bool LongFullPath(std::wstring* path) {
  std::wstring full(kLongPathLength, L'\0');
  DWORD length =
      GetFullPathNameW(path->c_str(), kLongPathLength, &full[0], nullptr);
  if (length == 0 || length >= kLongPathLength) return false;
  full.resize(length);
  std::wstring expanded(kLongPathLength, L'\0');
  length = GetLongPathNameW(full.c_str(), &expanded[0], kLongPathLength);
  if (length == 0 || length >= kLongPathLength) return false;
  expanded.resize(length);
  *path = WithoutTrailingSeparator(expanded);
  return true;
}

HANDLE StreamHandle(StdStream stream) {
  return GetStdHandle(stream == StdStream::kOut ? STD_OUTPUT_HANDLE
                                                : STD_ERROR_HANDLE);
}

}  // namespace

unsigned Win32PlatformOps::GetWindowsDir(char* buffer, unsigned size) {
  return GetWindowsDirectoryA(buffer, size);
}

int Win32PlatformOps::PathExists(const char* path) {
  return _access(path, 0) == 0 ? 1 : 0;
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

int Win32PlatformOps::ReadIniInt(const char* section, const char* key,
                                 const char* path) {
  return static_cast<int>(GetPrivateProfileIntA(section, key, 0, path));
}

int Win32PlatformOps::WriteIniString(const char* section, const char* key,
                                     const char* value, const char* path) {
  return WritePrivateProfileStringA(section, key, value, path) ? 1 : 0;
}

int Win32PlatformOps::ReadIniString(const char* section, const char* key,
                                    const char* path, std::string* value) {
  // Wine keeps a parsed copy of the file and trusts it while the file's
  // time stamp is unchanged, also after a write that never reached the
  // disk; flushing drops that copy, so what follows is read from disk.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
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

int Win32PlatformOps::HoldFolder(const char* path, OsHandle* folder) {
  // FILE_LIST_DIRECTORY, so that the sharing counts; no FILE_SHARE_DELETE,
  // so that nobody can rename it, delete it or put a link in its place.
  const HANDLE opened =
      CreateFileA(path, FILE_LIST_DIRECTORY | SYNCHRONIZE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(opened, &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    CloseHandle(opened);
    return 0;
  }
  *folder = opened;
  return 1;
}

int Win32PlatformOps::OpenHeldFile(const char* path, OsHandle* file,
                                   int* created) {
  // Attribute access alone takes no part in sharing: whatever share mode
  // the profile API asks for, this handle cannot refuse it.
  constexpr DWORD kIdentityOnly = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
  HANDLE opened = CreateFileA(path, kIdentityOnly, kShareEverything, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  *created = 0;
  if (opened == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return 0;
    // The name itself, not what a dangling link there points to: a link
    // of that name makes CREATE_NEW fail.
    opened = CreateFileA(
        path, kIdentityOnly, kShareEverything, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return 0;
    *created = 1;
  }
  *file = opened;
  return 1;
}

int Win32PlatformOps::ReopenHeldFile(OsHandle file, FileAccess access,
                                     OsHandle* reopened) {
  DWORD rights = DELETE;
  if (access == FileAccess::kRead) rights = GENERIC_READ;
  if (access == FileAccess::kWrite) rights = GENERIC_WRITE;
  const HANDLE handle = ReOpenFile(file, rights, kShareEverything, 0);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  *reopened = handle;
  return 1;
}

int Win32PlatformOps::ReadHeldFile(OsHandle reading, std::string* bytes) {
  bytes->clear();
  LARGE_INTEGER size;
  LARGE_INTEGER start = {};
  if (!GetFileSizeEx(reading, &size) || size.QuadPart > kMaxTextSize ||
      !SetFilePointerEx(reading, start, nullptr, FILE_BEGIN)) {
    return 0;
  }
  bytes->resize(static_cast<std::size_t>(size.QuadPart));
  DWORD done = 0;
  for (DWORD total = 0; total < bytes->size(); total += done) {
    if (!ReadFile(reading, &(*bytes)[total],
                  static_cast<DWORD>(bytes->size()) - total, &done, nullptr) ||
        done == 0) {
      return 0;
    }
  }
  return 1;
}

int Win32PlatformOps::RewriteHeldFile(OsHandle writing,
                                      const std::string& bytes) {
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(writing, start, nullptr, FILE_BEGIN)) return 0;
  DWORD done = 0;
  for (std::size_t total = 0; total < bytes.size(); total += done) {
    if (!WriteFile(writing, bytes.data() + total,
                   static_cast<DWORD>(bytes.size() - total), &done, nullptr) ||
        done == 0) {
      return 0;
    }
  }
  return SetEndOfFile(writing) && FlushFileBuffers(writing) ? 1 : 0;
}

int Win32PlatformOps::DeleteHeldFile(OsHandle deleting) {
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(deleting, FileDispositionInfo, &disposition,
                                    sizeof disposition)
             ? 1
             : 0;
}

int Win32PlatformOps::PathNamesHeldFile(const char* path, OsHandle file) {
  FileIdentity named;
  FileIdentity held;
  return IdentifyFile(path, &named) && IdentifyHandle(file, &held) &&
                 named == held
             ? 1
             : 0;
}

int Win32PlatformOps::HandleIsAtPath(OsHandle handle, const char* path) {
  std::wstring built;
  std::wstring final;
  return AnsiToWide(path, &built) && LongFullPath(&built) &&
                 FinalPath(handle, VOLUME_NAME_DOS, &final) &&
                 SamePathText(WithoutLongPathPrefix(final), built)
             ? 1
             : 0;
}

unsigned long Win32PlatformOps::LinkCount(OsHandle file) {
  BY_HANDLE_FILE_INFORMATION information;
  return GetFileInformationByHandle(file, &information)
             ? information.nNumberOfLinks
             : 0;
}

int Win32PlatformOps::IsProgramRunning(const char* exePath) {
  // The same file, however its path is spelled (a doubled or trailing
  // separator from the registry, another case, an 8.3 name, '/'): both
  // sides as the object manager names them. No process's image is opened:
  // a user's program of that name, wherever it lies, is only asked for its
  // path.
  std::wstring program;
  {
    const FileHandle probe = {CreateFileA(exePath, FILE_READ_ATTRIBUTES,
                                          kShareEverything, nullptr,
                                          OPEN_EXISTING, 0, nullptr)};
    if (probe.handle == INVALID_HANDLE_VALUE ||
        !FinalPath(probe.handle, VOLUME_NAME_NT, &program)) {
      return 1;
    }
  }
  const std::wstring fileName = program.substr(program.find_last_of(L'\\') + 1);
  const FileHandle snapshot = {CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
  if (snapshot.handle == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.handle, &entry); more;
       more = Process32NextW(snapshot.handle, &entry)) {
    if (!SamePathText(entry.szExeFile, fileName)) continue;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                       entry.th32ProcessID);
    if (process == nullptr) return 1;
    std::wstring image(kLongPathLength, L'\0');
    DWORD length = kLongPathLength;
    const BOOL named = QueryFullProcessImageNameW(process, PROCESS_NAME_NATIVE,
                                                  &image[0], &length);
    CloseHandle(process);
    if (!named) return 1;
    image.resize(length);
    if (SamePathText(image, program)) return 1;
  }
  return 0;
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

int Win32PlatformOps::AppendLine(const char* path, const std::string& line) {
  const FileHandle file = {
      CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE) return 0;
  const std::string text = line + "\r\n";
  DWORD written = 0;
  return WriteFile(file.handle, text.data(), static_cast<DWORD>(text.size()),
                   &written, nullptr) &&
                 written == text.size()
             ? 1
             : 0;
}

void Win32PlatformOps::DescribeRun(std::string* utcTime, std::string* computer,
                                   std::string* user) {
  SYSTEMTIME now;
  GetSystemTime(&now);
  char time[32];
  wsprintfA(time, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth,
            now.wDay, now.wHour, now.wMinute, now.wSecond);
  *utcTime = time;
  char name[256];
  DWORD length = sizeof name;
  *computer = GetComputerNameA(name, &length) ? name : "?";
  length = sizeof name;
  *user = GetUserNameA(name, &length) ? name : "?";
}

int Win32PlatformOps::AnsiToCodePage(const std::string& ansi, unsigned codePage,
                                     std::string* converted) {
  converted->clear();
  if (ansi.empty()) return 1;
  std::wstring wide;
  if (!AnsiToWide(ansi, &wide)) return 0;
  const int wideLength = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(codePage, 0, wide.data(), wideLength,
                                         nullptr, 0, nullptr, nullptr);
  if (length <= 0) return 0;
  converted->assign(static_cast<std::size_t>(length), '\0');
  return WideCharToMultiByte(codePage, 0, wide.data(), wideLength,
                             &(*converted)[0], length, nullptr,
                             nullptr) == length
             ? 1
             : 0;
}

int Win32PlatformOps::IsConsole(StdStream stream) {
  DWORD mode = 0;
  return GetConsoleMode(StreamHandle(stream), &mode) ? 1 : 0;
}

unsigned Win32PlatformOps::ConsoleOutputCodePage() {
  return GetConsoleOutputCP();
}

int Win32PlatformOps::WriteConsoleAnsi(StdStream stream,
                                       const std::string& ansi) {
  std::wstring wide;
  if (!AnsiToWide(ansi, &wide)) return 0;
  DWORD written = 0;
  for (std::size_t done = 0; done < wide.size(); done += written) {
    if (!WriteConsoleW(StreamHandle(stream), wide.data() + done,
                       static_cast<DWORD>(wide.size() - done), &written,
                       nullptr) ||
        written == 0) {
      return 0;
    }
  }
  return 1;
}

int Win32PlatformOps::WriteStream(StdStream stream, const std::string& bytes) {
  const HANDLE handle = StreamHandle(stream);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  for (std::size_t done = 0; done < bytes.size(); done += written) {
    if (!WriteFile(handle, bytes.data() + done,
                   static_cast<DWORD>(bytes.size() - done), &written,
                   nullptr) ||
        written == 0) {
      return 0;
    }
  }
  return 1;
}

OsHandle Win32PlatformOps::CreateNamedMutex(const char* name,
                                            unsigned long* lastError) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
  *lastError = GetLastError();
  return mutex;
}

OsHandle Win32PlatformOps::CreateAdminOnlyMutex(const char* name,
                                                unsigned long* lastError) {
  // O:BA owner Administrators; D:P a protected DACL that gives SYSTEM and
  // Administrators full access and nobody else any.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
          "O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1, &descriptor,
          nullptr)) {
    *lastError = GetLastError();
    return nullptr;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  const HANDLE mutex = CreateMutexA(&attributes, FALSE, name);
  *lastError = GetLastError();
  LocalFree(descriptor);
  return mutex;
}

int Win32PlatformOps::IsOwnedByAdministrators(OsHandle object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION,
                      &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return 0;
  }
  const bool administrators =
      owner != nullptr && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                           IsWellKnownSid(owner, WinLocalSystemSid));
  LocalFree(descriptor);
  return administrators ? 1 : 0;
}

void Win32PlatformOps::CloseOsHandle(OsHandle handle) { CloseHandle(handle); }

int Win32PlatformOps::OpenProcessTokenForQuery(OsHandle* token) {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return 0;
  *token = opened;
  return 1;
}

int Win32PlatformOps::GetTokenGroups(OsHandle token, void* buffer,
                                     unsigned long size, unsigned long* needed,
                                     unsigned long* lastError) {
  if (GetTokenInformation(token, TokenGroups, buffer, size, needed)) return 1;
  *lastError = GetLastError();
  return 0;
}

int Win32PlatformOps::AllocateAdministratorsSid(OsSid* sid) {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID allocated = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &allocated)) {
    return 0;
  }
  *sid = allocated;
  return 1;
}

int Win32PlatformOps::EqualSids(OsSid first, OsSid second) {
  return EqualSid(first, second) ? 1 : 0;
}

void Win32PlatformOps::FreeOsSid(OsSid sid) { FreeSid(sid); }

void* Win32PlatformOps::AllocateZeroed(std::size_t size) {
  return std::calloc(1, size);
}

void Win32PlatformOps::FreeBlock(void* block) { std::free(block); }

void Win32PlatformOps::DebugOutput(const char* text) {
  OutputDebugStringA(text);
}

void Win32PlatformOps::ShowMessage(OsWindow owner, const char* text,
                                   const char* caption) {
  MessageBoxA(static_cast<HWND>(owner), text, caption, MB_OK);
}

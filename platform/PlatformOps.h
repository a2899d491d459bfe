// The operating-system services the program's logic calls. The logic never
// includes a Win32 header: it reaches Windows only through this interface, so
// it builds anywhere and is tested against an in-memory fake as well as the
// real implementation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Opaque Win32 handles (HANDLE, PSID, HWND) as the logic sees them.
using OsHandle = void*;
using OsSid = void*;
using OsWindow = void*;

// The platform's path limit including the terminator (MAX_PATH). Paths and
// messages are built in buffers of this size.
constexpr std::size_t kPathBufferSize = 260;

// Win32 error and registry-type values the logic compares against.
namespace os_error {
constexpr unsigned long kSuccess = 0;
constexpr unsigned long kFileNotFound = 2;
constexpr unsigned long kAccessDenied = 5;
constexpr unsigned long kInvalidHandle = 6;
constexpr unsigned long kInsufficientBuffer = 122;
constexpr unsigned long kMoreData = 234;
constexpr unsigned long kAlreadyExists = 183;
}  // namespace os_error

namespace reg_type {
constexpr unsigned long kString = 1;        // REG_SZ
constexpr unsigned long kExpandString = 2;  // REG_EXPAND_SZ
constexpr unsigned long kBinary = 3;        // REG_BINARY
constexpr unsigned long kDword = 4;         // REG_DWORD
}  // namespace reg_type

// The layout of TOKEN_GROUPS, so the logic can walk the group list that
// GetTokenGroups fills. The Win32 implementation checks that the layouts
// agree on both 32- and 64-bit builds.
struct TokenGroupEntry {
  OsSid sid;
  std::uint32_t attributes;
};
struct TokenGroupList {
  std::uint32_t groupCount;
  TokenGroupEntry groups[1];
};

// Code pages the logic names: CP_ACP (the ANSI code page, in which the
// program's text is) and CP_UTF8.
namespace code_page {
constexpr unsigned kAnsi = 0;
constexpr unsigned kUtf8 = 65001;
}  // namespace code_page

// What a handle reopened from a held file may do.
enum class FileAccess { kRead, kWrite, kDelete };

// The console program's two output streams.
enum class StdStream { kOut, kErr };

// The entries of a list in which each is followed by a terminator, as the
// profile list below is handed out.
inline std::vector<std::string> SplitTerminatedList(const std::string& list) {
  std::vector<std::string> entries;
  for (std::size_t start = 0; start < list.size();) {
    std::size_t end = list.find('\0', start);
    if (end == std::string::npos) end = list.size();
    entries.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

class PlatformOps {
 public:
  virtual ~PlatformOps() = default;

  // GetWindowsDirectoryA: the directory without a trailing backslash. Returns
  // the length copied, 0 on failure, or the size needed (> size - 1) when the
  // buffer is too small, in which case the buffer holds nothing usable.
  virtual unsigned GetWindowsDir(char* buffer, unsigned size) = 0;

  // _access(path, 0): 1 when the file or directory exists, else 0.
  virtual int PathExists(const char* path) = 0;

  // RegOpenKeyExA(HKLM, keyPath, KEY_QUERY_VALUE, 32-bit view) and
  // RegQueryValueExA(valueName) into buffer; *size is the buffer size on
  // entry and the byte count stored (or needed) on return, *type the value's
  // type. The key is closed before returning. Returns the Win32 error code:
  // 0 on success, kMoreData when the buffer was too small. The bytes are
  // stored as they are in the registry: nothing guarantees a terminator.
  virtual long ReadRegistryValue(const char* keyPath, const char* valueName,
                                 unsigned char* buffer, unsigned long* size,
                                 unsigned long* type) = 0;

  // ExpandEnvironmentStringsA: the characters stored or needed, terminator
  // included; more than `size` when the buffer is too small (it then holds
  // nothing usable), 0 on failure.
  virtual unsigned long ExpandEnvironment(const char* text, char* buffer,
                                          unsigned long size) = 0;

  // GetFileVersionInfoSizeA: the size of the version block, 0 when the file
  // has none (or cannot be read).
  virtual unsigned long GetVersionInfoSize(const char* path) = 0;
  // GetFileVersionInfoA into a block of `size` bytes: non-zero on success.
  virtual int GetVersionInfo(const char* path, unsigned long size,
                             void* block) = 0;
  // VerQueryValueA: non-zero and *data pointing into the block on success.
  // *length is in bytes for binary values such as "\VarFileInfo\Translation"
  // and in characters for string values.
  virtual int QueryVersionValue(const void* block, const char* subBlock,
                                const void** data, unsigned* length) = 0;

  // GetPrivateProfileIntA with default 0: 0 when the file, the section or
  // the key is missing.
  virtual int ReadIniInt(const char* section, const char* key,
                         const char* path) = 0;
  // WritePrivateProfileStringA: non-zero on success. Replaces or adds the key
  // (and its section), keeps the rest of the file, creates a missing file in
  // an existing directory.
  virtual int WriteIniString(const char* section, const char* key,
                             const char* value, const char* path) = 0;

  // GetPrivateProfileStringA of section/key, read from the file as it is
  // on disk now (Wine's copy cached in the process is dropped first); ""
  // when the file, the section or the key is missing. 0 when the text
  // could not be read whole.
  virtual int ReadIniString(const char* section, const char* key,
                            const char* path, std::string* value) = 0;

  // The checked write keeps a file's identity with a handle that takes no
  // part in sharing, and reads or puts it back only through handles reopened
  // from it and closed again before the profile API is called: Windows'
  // profile functions lock the file themselves and document no share mode,
  // so a handle of ours with data or delete access open across their call
  // could make them fail.

  // Holds a folder open for listing, sharing reading and writing but not
  // deleting: while held it can be neither renamed nor replaced, by a link
  // or anything else. Closed with CloseOsHandle. 0 when it is no folder or
  // cannot be opened.
  virtual int HoldFolder(const char* path, OsHandle* folder) = 0;
  // Opens a file for its attributes only (FILE_READ_ATTRIBUTES |
  // SYNCHRONIZE), sharing everything. An existing file is opened through any
  // link on its path; a missing one is created empty (*created = 1), but
  // never through a link: a name that is a dangling link fails. Closed with
  // CloseOsHandle. 0 on failure.
  virtual int OpenHeldFile(const char* path, OsHandle* file, int* created) = 0;
  // ReOpenFile of a held file for one kind of access, sharing everything:
  // the same file, whatever its path names by now. Closed with
  // CloseOsHandle before any profile call. 0 on failure.
  virtual int ReopenHeldFile(OsHandle file, FileAccess access,
                             OsHandle* reopened) = 0;
  // The file's bytes from its start, through a handle reopened for reading;
  // 0 when they cannot be read whole.
  virtual int ReadHeldFile(OsHandle reading, std::string* bytes) = 0;
  // Replaces the file's content with `bytes` in place (a full disk has no
  // room for a copy) and flushes it, through a handle reopened for writing.
  // Non-zero on success.
  virtual int RewriteHeldFile(OsHandle writing, const std::string& bytes) = 0;
  // Marks the file for removal through a handle reopened for deleting,
  // never by name: it goes when that handle is closed. Non-zero on success.
  virtual int DeleteHeldFile(OsHandle deleting) = 0;
  // Whether `path` still names the held file: the same volume serial
  // number and file index. 0 when it names another file, or none.
  virtual int PathNamesHeldFile(const char* path, OsHandle file) = 0;
  // Whether the file or folder behind the handle is the one `path` names
  // with no link on the way: its final path (GetFinalPathNameByHandleW,
  // every link resolved) is `path` with its 8.3 short names expanded,
  // compared as the file system compares names (ordinal, ignoring case).
  // 0 when it leads elsewhere or cannot be told.
  virtual int HandleIsAtPath(OsHandle handle, const char* path) = 0;
  // How many names (hard links) the held file has; 0 when it cannot be told.
  virtual unsigned long LinkCount(OsHandle file) = 0;

  // Whether a process runs whose program is the file at exePath: the same
  // file, however either path is spelled (compared by native final path,
  // without opening any other program's file). A process of that file name
  // that cannot be asked for its image counts: the answer errs towards
  // "running".
  virtual int IsProgramRunning(const char* exePath) = 0;
  // The profile folder of every user profile on the machine (from the
  // registry's ProfileList, variables expanded), each followed by a
  // terminator. 0 when the list cannot be read.
  virtual int ListProfileDirs(std::string* dirs) = 0;
  // Appends `line` and a line break to the file, creating it. Non-zero on
  // success.
  virtual int AppendLine(const char* path, const std::string& line) = 0;
  // For a log line: the time now in UTC as "2026-12-08T19:04:24Z", the
  // computer's name and the user's ("?" for one that cannot be had).
  virtual void DescribeRun(std::string* utcTime, std::string* computer,
                           std::string* user) = 0;

  // Text in the ANSI code page (paths, version strings) converted to
  // `codePage` (through UTF-16); 0 when it cannot be converted.
  virtual int AnsiToCodePage(const std::string& ansi, unsigned codePage,
                             std::string* converted) = 0;

  // Whether the stream is a console (GetConsoleMode succeeds on it), and
  // not a pipe or a file.
  virtual int IsConsole(StdStream stream) = 0;
  // GetConsoleOutputCP: the console's code page (the OEM one unless
  // changed), 0 when the process has no console.
  virtual unsigned ConsoleOutputCodePage() = 0;
  // ANSI text shown on a console as UTF-16 (WriteConsoleW), so that no
  // code page stands between it and the screen. Non-zero on success.
  virtual int WriteConsoleAnsi(StdStream stream, const std::string& ansi) = 0;
  // The bytes as they are (WriteFile). Non-zero on success.
  virtual int WriteStream(StdStream stream, const std::string& bytes) = 0;

  // CreateMutexA(no attributes, not owned, name), then GetLastError into
  // *lastError. Null on failure; kAlreadyExists when the name was held.
  virtual OsHandle CreateNamedMutex(const char* name,
                                    unsigned long* lastError) = 0;
  // CreateMutexA, not owned, with a security descriptor of its own: owner
  // BUILTIN\Administrators, full access for SYSTEM and Administrators and
  // none for anyone else. *lastError as for CreateNamedMutex; kAccessDenied
  // when a mutex of that name exists that this caller may not open,
  // kInvalidHandle when the name is held by an object of another type.
  virtual OsHandle CreateAdminOnlyMutex(const char* name,
                                        unsigned long* lastError) = 0;
  // Whether the object's owner is BUILTIN\Administrators or LocalSystem:
  // only an administrator or SYSTEM can have made it so. 0 when the owner
  // cannot be read.
  virtual int IsOwnedByAdministrators(OsHandle object) = 0;
  virtual void CloseOsHandle(OsHandle handle) = 0;

  // OpenProcessToken(current process, TOKEN_QUERY): non-zero on success.
  virtual int OpenProcessTokenForQuery(OsHandle* token) = 0;
  // GetTokenInformation(TokenGroups): non-zero on success; on failure
  // *lastError holds GetLastError (kInsufficientBuffer with *needed set when
  // the buffer was too small).
  virtual int GetTokenGroups(OsHandle token, void* buffer, unsigned long size,
                             unsigned long* needed,
                             unsigned long* lastError) = 0;
  // AllocateAndInitializeSid for S-1-5-32-544: non-zero on success; the SID
  // is freed with FreeOsSid.
  virtual int AllocateAdministratorsSid(OsSid* sid) = 0;
  virtual int EqualSids(OsSid first, OsSid second) = 0;
  virtual void FreeOsSid(OsSid sid) = 0;

  // A zero-filled block, or null when the allocation fails; freed with
  // FreeBlock.
  virtual void* AllocateZeroed(std::size_t size) = 0;
  virtual void FreeBlock(void* block) = 0;

  // OutputDebugStringA.
  virtual void DebugOutput(const char* text) = 0;
  // MessageBoxA(owner, text, caption, MB_OK): modal, one OK button, no icon.
  virtual void ShowMessage(OsWindow owner, const char* text,
                           const char* caption) = 0;
};

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

// How opening a path in a folder a user may change came out.
enum class OpenOutcome {
  kOpened,
  kMissing,         // the folder or the file is not there
  kLeadsElsewhere,  // a link (junction, symbolic link, mount point) on the
                    // way, a final path other than the one built, or a file
                    // to be written that has a second name
  kCannotCheck,     // the path cannot be checked here: a volume mounted in
                    // a folder, a share whose final path cannot be had
  kInUse,           // another program holds it (or a folder on the way)
                    // open without sharing what we ask for
  kDenied,          // its security shuts this caller out
  kOplockBreak,     // another program's opportunistic lock on it is being
                    // broken; nothing was opened, and an open a moment
                    // later may succeed
  kFailed,          // anything else
};

// What a file is opened for (OpenFileIn).
enum class FileUse {
  kRead,
  kRewrite,
  kAttributes,  // its identity alone: no data access, which no other
                // program's sharing can refuse
  kAppend,      // appending lines to a log: created when missing
  kUpdate,      // as kRewrite, but a missing file stays missing (kMissing)
};

// The console program's two output streams.
enum class StdStream { kOut, kErr };

// A user profile of the machine, as ListUserProfiles hands it out.
struct UserProfile {
  std::string sid;      // "S-1-5-21-..."
  std::string account;  // "DOMAIN\\user" where Windows resolves it, else ""
  // Its folder in the ANSI code page, for reports alone ('?' for a
  // character the code page lacks): the folder is opened by its SID.
  std::string folder;
  // Why it cannot be examined: "" when it can.
  std::string problem;
};

class PlatformOps {
 public:
  virtual ~PlatformOps() = default;

  // GetWindowsDirectoryA: the directory without a trailing backslash. Returns
  // the length copied, 0 on failure, or the size needed (> size - 1) when the
  // buffer is too small, in which case the buffer holds nothing usable.
  virtual unsigned GetWindowsDir(char* buffer, unsigned size) = 0;

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

  // Windows' own version and profile functions below are handed only paths
  // of private copies (WritePrivateCopy): never a path into a folder a user
  // may change, where a link planted there would lend them our rights. Such
  // a path is opaque text: it may hold characters the ANSI code page
  // cannot spell, and is only ever handed back to these functions.

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

  // Files in folders a user may change are reached only through handles:
  // the folder opened from its volume's root following no link, the file
  // opened relative to that folder's handle, following no link either. A
  // user may move, link or swap anything there at any moment; a handle
  // keeps naming what was checked, wherever its name has gone.

  // Opens the folder `path` names, from its volume's root ("C:\", a subst
  // drive's, "\\server\share\"), one component at a time relative to the
  // handle of the one before, following no link. '/' separators, doubled
  // and trailing separators, "." and ".." (resolved in the text) and a
  // "\\?\" prefix are accepted. Shares everything, so that no other
  // opener is refused. Closed with CloseOsHandle.
  virtual OpenOutcome OpenFolder(const char* path, OsHandle* folder) = 0;
  // Opens `name` (a name, no separator) in an opened folder, following no
  // link, and never waits for another program's opportunistic lock. A
  // reparse point that redirects a name (a junction, a symbolic link) is
  // kLeadsElsewhere; a file that merely carries another kind of reparse
  // point (compressed by WOF, deduplicated, a cloud placeholder) is opened
  // as the file it is. kRead shares everything; kAttributes asks for no
  // data access and shares everything; kRewrite asks for reading, writing
  // and deleting and shares reading alone, so that no other writer gets in
  // between reading and writing; kAppend asks for appending and deleting
  // and shares reading and writing. kRewrite and kAppend create a missing
  // file (*created = 1); kUpdate is kRewrite that creates nothing. All
  // three are kLeadsElsewhere for a file with more than one name. Closed
  // with CloseOsHandle.
  virtual OpenOutcome OpenFileIn(OsHandle folder, const char* name, FileUse use,
                                 OsHandle* file, int* created) = 0;
  // The whole file from its start through an opened file's handle; 0 when
  // it is larger than maxSize or cannot be read whole.
  virtual int ReadOpenedFile(OsHandle file, std::size_t maxSize,
                             std::string* bytes) = 0;
  // Replaces the content of a file opened for kRewrite with `bytes` in
  // place (a full disk has no room for a copy) and flushes it. Non-zero on
  // success.
  virtual int RewriteOpenedFile(OsHandle file, const std::string& bytes) = 0;
  // Marks a file opened for kRewrite for removal through its handle, never
  // by name: it goes when the handle is closed. Non-zero on success.
  virtual int DeleteOpenedFile(OsHandle file) = 0;
  // Appends `line` and a line break to a file opened for kAppend. Non-zero
  // on success.
  virtual int AppendToOpenedFile(OsHandle file, const std::string& line) = 0;
  // Sleep: how an open waits, briefly, for another program's oplock break.
  virtual void Pause(unsigned milliseconds) = 0;

  // The run's private folder, made at first use under the temporary folder
  // Windows gives the caller (GetTempPath2W where there is one: for SYSTEM
  // %WINDIR%\SystemTemp; else GetTempPathW) or, where none can be made
  // there, under %WINDIR%\Temp: a fresh random name, failing if it exists,
  // owned by SYSTEM or Administrators with a protected DACL for them alone
  // and a High mandatory label (for a caller outside Administrators, the
  // caller's own, shut to everyone else), and held open without sharing
  // deletion for the whole run. Copies are made, written and removed
  // relative to that handle. Writes `bytes` as `name` in it (replacing an
  // earlier copy) and gives its path. Non-zero on success.
  virtual int WritePrivateCopy(const char* name, const std::string& bytes,
                               std::string* path) = 0;
  // A copy's bytes, as the profile functions left them. Non-zero on
  // success.
  virtual int ReadPrivateCopy(const std::string& path, std::string* bytes) = 0;
  // Removes the private folder with everything in it, if one was made.
  // Called when the run ends, on every way out.
  virtual void RemovePrivateFolder() = 0;

  // Whether a process runs whose image is the file opened as `program`
  // (OpenFileIn, kAttributes will do): every process's image, reached from
  // its volume's root following no link and opened for its attributes
  // alone, is compared with the program by file identity, whatever name
  // started it. A process that is gone, or whose image cannot be reached,
  // is not the program. Non-zero also when the program's own identity or
  // the process list cannot be read: the answer errs towards "running".
  // SeDebugPrivilege, where held, is enabled for the look and put back.
  virtual int IsProgramRunning(OsHandle program) = 0;
  // Every user profile on the machine, from the registry's ProfileList
  // (read with the wide functions, ProfileImagePath REG_SZ or
  // REG_EXPAND_SZ, expanded): user SIDs alone (S-1-5-21-..., S-1-12-1-...),
  // no ".bak" key of a profile being repaired. 0 when the list cannot be
  // read.
  virtual int ListUserProfiles(std::vector<UserProfile>* profiles) = 0;
  // Opens the profile folder of `sid` (its ProfileImagePath as the wide
  // functions read it, so any character serves) from its volume's root,
  // following no link, as OpenFolder does.
  virtual OpenOutcome OpenProfileFolder(const std::string& sid,
                                        OsHandle* folder) = 0;
  // Opens the folder `relative` ("AppData\\Local", no drive, no "." or
  // "..") below an opened folder, one component at a time relative to the
  // one before, following no link. Closed with CloseOsHandle.
  virtual OpenOutcome OpenFolderBelow(OsHandle base, const char* relative,
                                      OsHandle* folder) = 0;
  // Where an opened folder is, as Windows' final path of it tells
  // ("C:\\Program Files (x86)\\Lumora", however the path that opened it was
  // spelled), in the ANSI code page. 0 when it cannot be had or spelled.
  virtual int FolderFinalPath(OsHandle folder, std::string* path) = 0;
  // The SID of the user this process runs as ("S-1-5-18" for SYSTEM).
  virtual int CallerSid(std::string* sid) = 0;
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

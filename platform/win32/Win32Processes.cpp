// Whether the capture application runs: every process's image is compared
// with the program file the caller opened, by the file's identity. A user
// names their own programs as they like and keeps their folders as they
// like; neither makes the check say "running", and no name a process was
// started by (an 8.3 name, another hard link) hides the program.
#include <windows.h>
// After windows.h:
#include <tlhelp32.h>
#include <winternl.h>

#include <cstring>
#include <string>

#include "platform/win32/NtOpenRelative.h"
#include "platform/win32/Win32FileNames.h"
#include "platform/win32/Win32PlatformOps.h"

namespace {

// SeDebugPrivilege enabled for as long as it lives, where the caller holds
// it (administrators and SYSTEM do), so that OpenProcess may ask another
// user's process for its image; then put back as it was, so that the rest
// of the run holds no more than it was given.
class DebugPrivilege {
 public:
  DebugPrivilege() {
    TOKEN_PRIVILEGES wanted = {};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(),
                          TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          &token_.handle) ||
        !LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege",
                               &wanted.Privileges[0].Luid) ||
        !AdjustTokenPrivileges(token_.handle, FALSE, &wanted, sizeof previous_,
                               &previous_, &size)) {
      previous_.PrivilegeCount = 0;
    }
  }
  DebugPrivilege(const DebugPrivilege&) = delete;
  DebugPrivilege& operator=(const DebugPrivilege&) = delete;
  // PreviousState lists only the privileges whose state the call changed:
  // none where it was enabled already or is not held.
  ~DebugPrivilege() {
    if (previous_.PrivilegeCount != 0 &&
        !AdjustTokenPrivileges(token_.handle, FALSE, &previous_, 0, nullptr,
                               nullptr)) {
      OutputDebugStringA("VRP: SeDebugPrivilege could not be put back");
    }
  }

 private:
  ScopedHandle token_ = {nullptr};
  TOKEN_PRIVILEGES previous_ = {};
};

// A file's identity: its volume's serial number and its file ID, 128 bits
// where the volume gives them (FILE_ID_INFO: ReFS's IDs do not fit in 64),
// else the 64-bit index of BY_HANDLE_FILE_INFORMATION. Both files are read
// the same way, and two identities read differently never match.
struct FileIdentity {
  bool wide = false;
  ULONGLONG volume = 0;
  unsigned char id[16] = {};
};

bool ReadIdentity(HANDLE file, FileIdentity* identity) {
  FILE_ID_INFO wide;
  if (GetFileInformationByHandleEx(file, FileIdInfo, &wide, sizeof wide)) {
    identity->wide = true;
    identity->volume = wide.VolumeSerialNumber;
    std::memcpy(identity->id, wide.FileId.Identifier, sizeof identity->id);
    return true;
  }
  BY_HANDLE_FILE_INFORMATION narrow;
  if (!GetFileInformationByHandle(file, &narrow)) return false;
  identity->volume = narrow.dwVolumeSerialNumber;
  const ULONGLONG index =
      (ULONGLONG{narrow.nFileIndexHigh} << 32) | narrow.nFileIndexLow;
  std::memcpy(identity->id, &index, sizeof index);
  return true;
}

bool SameIdentity(const FileIdentity& a, const FileIdentity& b) {
  return a.wide == b.wide && a.volume == b.volume &&
         std::memcmp(a.id, b.id, sizeof a.id) == 0;
}

// "\Device\HarddiskVolume2\" of "\Device\HarddiskVolume2\Apps\x.exe".
std::wstring NativeVolumePrefix(const std::wstring& native) {
  const std::size_t device = native.find(L'\\', 1);
  const std::size_t volume =
      device == std::wstring::npos ? device : native.find(L'\\', device + 1);
  return volume == std::wstring::npos ? std::wstring()
                                      : native.substr(0, volume + 1);
}

// The root through which the program's volume is opened: its DOS name
// ("\\?\C:\") where the program's own final paths tell it, since Wine
// opens no "\\?\GLOBALROOT" path; else through GLOBALROOT.
std::wstring VolumeRoot(HANDLE program, const std::wstring& native,
                        const std::wstring& volume) {
  std::wstring dos;
  const std::wstring below = native.substr(volume.size());
  if (!FinalPath(program, VOLUME_NAME_DOS, &dos) ||
      dos.size() <= below.size() ||
      !SamePathText(dos.substr(dos.size() - below.size()), below)) {
    return L"\\\\?\\GLOBALROOT" + volume;
  }
  return dos.substr(0, dos.size() - below.size());
}

// Whether the image at `below` (its path under the volume's root) is the
// program. Whoever started the process chose that path, so it is reached
// from the volume's root one component at a time, relative to the one
// before and through no link (a link to a user's share would make the
// machine log on there). Every open, the folders' too, asks for attributes
// alone, which no other program's sharing refuses ("Creating and Opening
// Files"): a user who holds a folder shut stops nothing. An image that
// cannot be reached so is not the program: the program's own folders are
// no user's to hold or link.
bool ImageIsProgram(const std::wstring& root, const std::wstring& below,
                    const FileIdentity& program) {
  ScopedHandle current = {CreateFileW(
      root.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareEverything,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (current.handle == INVALID_HANDLE_VALUE) return false;
  for (std::size_t start = 0; start < below.size();) {
    std::size_t end = below.find(L'\\', start);
    const bool last = end == std::wstring::npos;
    if (last) end = below.size();
    const ULONG kind = last ? FILE_NON_DIRECTORY_FILE : FILE_DIRECTORY_FILE;
    const RelativeOpen how = {
        FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareEverything, FILE_OPEN,
        kind | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT |
            FILE_OPEN_FOR_BACKUP_INTENT | FILE_COMPLETE_IF_OPLOCKED};
    HANDLE next = nullptr;
    ULONG_PTR opening = 0;
    if (OpenRelative(current.handle, below.substr(start, end - start), how,
                     &next, &opening) < 0) {
      return false;
    }
    CloseHandle(current.handle);
    current.handle = next;
    // A link at the end is a file of its own, whose identity is not the
    // program's; one on the way leads wherever its maker chose.
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!last && (!GetFileInformationByHandleEx(
                      current.handle, FileAttributeTagInfo, &tag, sizeof tag) ||
                  RedirectsName(tag.FileAttributes, tag.ReparseTag))) {
      return false;
    }
    start = end + 1;
  }
  FileIdentity image;
  return ReadIdentity(current.handle, &image) && SameIdentity(image, program);
}

}  // namespace

int Win32PlatformOps::IsProgramRunning(OsHandle program) {
  // Both paths as the object manager names them: equal text is the same
  // file however either was spelled when opened. Other text on the
  // program's volume (an 8.3 name, another hard link, a folder mounted
  // twice) is told by the file's identity.
  std::wstring programPath;
  FileIdentity programId;
  if (!FinalPath(program, VOLUME_NAME_NT, &programPath) ||
      !ReadIdentity(program, &programId)) {
    return 1;
  }
  const std::wstring volume = NativeVolumePrefix(programPath);
  const std::wstring root = volume.empty()
                                ? std::wstring()
                                : VolumeRoot(program, programPath, volume);
  const DebugPrivilege debug;
  const ScopedHandle snapshot = {
      CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
  if (snapshot.handle == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  // The list holds this process at least: an empty one was not read.
  if (!Process32FirstW(snapshot.handle, &entry)) return 1;
  do {
    // Gone since the snapshot: not the program. With SeDebugPrivilege any
    // process may be asked, and PROCESS_QUERY_LIMITED_INFORMATION is given
    // even for protected ones ("Process Security and Access Rights").
    const ScopedHandle process = {OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION,
                                              FALSE, entry.th32ProcessID)};
    if (process.handle == nullptr) continue;
    std::wstring image(kLongPathLength, L'\0');
    DWORD length = kLongPathLength;
    if (!QueryFullProcessImageNameW(process.handle, PROCESS_NAME_NATIVE,
                                    &image[0], &length)) {
      continue;
    }
    image.resize(length);
    if (SamePathText(image, programPath)) return 1;
    if (!volume.empty() && image.size() > volume.size() &&
        SamePathText(image.substr(0, volume.size()), volume) &&
        ImageIsProgram(root, image.substr(volume.size()), programId)) {
      return 1;
    }
  } while (Process32NextW(snapshot.handle, &entry));
  return GetLastError() == ERROR_NO_MORE_FILES ? 0 : 1;
}

// Whether the capture application runs: every process of its file name is
// asked for its image, which is compared with the program file the caller
// opened.
#include <windows.h>
// After windows.h:
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "platform/win32/NtOpenRelative.h"
#include "platform/win32/Win32FileNames.h"
#include "platform/win32/Win32PlatformOps.h"

namespace {

// Lets OpenProcess ask another user's process for its image, where the
// caller holds SeDebugPrivilege (administrators and SYSTEM do). Whether it
// took changes nothing below: a process that cannot be asked counts as
// running.
void EnableDebugPrivilege() {
  ScopedHandle token = {nullptr};
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES,
                       &token.handle) &&
      LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege",
                            &privileges.Privileges[0].Luid) &&
      !AdjustTokenPrivileges(token.handle, FALSE, &privileges, 0, nullptr,
                             nullptr)) {
    OutputDebugStringA("VRP: SeDebugPrivilege could not be enabled");
  }
}

// "\Device\HarddiskVolume2\" of "\Device\HarddiskVolume2\Apps\x.exe".
std::wstring NativeVolumePrefix(const std::wstring& native) {
  const std::size_t device = native.find(L'\\', 1);
  const std::size_t volume =
      device == std::wstring::npos ? device : native.find(L'\\', device + 1);
  return volume == std::wstring::npos ? std::wstring()
                                      : native.substr(0, volume + 1);
}

// How the image at a native path on the program's volume is opened: by the
// DOS name of that volume where the program's own final paths tell it
// (Wine opens no "\\?\GLOBALROOT" path), else through GLOBALROOT.
std::wstring ImageOpenPath(const std::wstring& image,
                           const std::wstring& volume,
                           const std::wstring& dosVolume) {
  return dosVolume.empty() ? L"\\\\?\\GLOBALROOT" + image
                           : dosVolume + image.substr(volume.size());
}

// "\\?\C:\" for the program at "\Device\HarddiskVolume2\x\y.exe" and
// "\\?\C:\x\y.exe": both final paths name the same path below the volume.
std::wstring DosVolume(HANDLE program, const std::wstring& native,
                       const std::wstring& volume) {
  std::wstring dos;
  const std::wstring below = native.substr(volume.size());
  if (!FinalPath(program, VOLUME_NAME_DOS, &dos) ||
      dos.size() <= below.size() ||
      !SamePathText(dos.substr(dos.size() - below.size()), below)) {
    return std::wstring();
  }
  return dos.substr(0, dos.size() - below.size());
}

// Whether the image is the program file: the same volume serial number and
// file index. The image's path comes from whoever started the process, so
// it is reached as every target's file is, from the volume's root and
// through no link (a link to a user's share would make the machine log on
// there); its file is opened for its attributes alone. One that cannot be
// reached so cannot be told apart, and counts.
bool ImageIsProgram(const std::wstring& path,
                    const BY_HANDLE_FILE_INFORMATION& program) {
  // "\\?\C:\" and the folders below it; a volume without a drive letter
  // ("\\?\GLOBALROOT\Device\...") cannot be checked.
  const std::size_t drive = path.find(L':');
  if (drive == std::wstring::npos || path.size() <= drive + 1) return true;
  std::size_t start = drive + 2;
  std::vector<std::wstring> components;
  for (std::size_t end; (end = path.find(L'\\', start)) != std::wstring::npos;
       start = end + 1) {
    components.push_back(path.substr(start, end - start));
  }
  HANDLE opened = nullptr;
  if (OpenFolderFromRoot(path.substr(0, drive + 2), components, &opened) !=
      OpenOutcome::kOpened) {
    return true;
  }
  const ScopedHandle folder = {opened};
  const RelativeOpen how = {
      FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareEverything, FILE_OPEN,
      FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT |
          FILE_SYNCHRONOUS_IO_NONALERT | FILE_COMPLETE_IF_OPLOCKED};
  HANDLE image = nullptr;
  ULONG_PTR opening = 0;
  if (OpenRelative(folder.handle, path.substr(start), how, &image, &opening) <
      0) {
    return true;
  }
  const ScopedHandle file = {image};
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file.handle, &information)) {
    return true;
  }
  return information.dwVolumeSerialNumber == program.dwVolumeSerialNumber &&
         information.nFileIndexHigh == program.nFileIndexHigh &&
         information.nFileIndexLow == program.nFileIndexLow;
}

}  // namespace

int Win32PlatformOps::IsProgramRunning(OsHandle program) {
  // Both sides as the object manager names them: the same file however
  // either path was spelled. Where the names differ but the image lies on
  // the program's volume (another name of the file, a folder mounted
  // twice), the file IDs tell.
  std::wstring programPath;
  BY_HANDLE_FILE_INFORMATION programId;
  if (!FinalPath(program, VOLUME_NAME_NT, &programPath) ||
      !GetFileInformationByHandle(program, &programId)) {
    return 1;
  }
  const std::wstring volume = NativeVolumePrefix(programPath);
  const std::wstring dosVolume =
      volume.empty() ? std::wstring() : DosVolume(program, programPath, volume);
  const std::wstring fileName =
      programPath.substr(programPath.find_last_of(L'\\') + 1);
  EnableDebugPrivilege();
  const ScopedHandle snapshot = {
      CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
  if (snapshot.handle == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.handle, &entry); more;
       more = Process32NextW(snapshot.handle, &entry)) {
    if (!SamePathText(entry.szExeFile, fileName)) continue;
    const ScopedHandle process = {OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION,
                                              FALSE, entry.th32ProcessID)};
    if (process.handle == nullptr) return 1;
    std::wstring image(kLongPathLength, L'\0');
    DWORD length = kLongPathLength;
    if (!QueryFullProcessImageNameW(process.handle, PROCESS_NAME_NATIVE,
                                    &image[0], &length)) {
      return 1;
    }
    image.resize(length);
    if (SamePathText(image, programPath)) return 1;
    if (!volume.empty() && image.size() > volume.size() &&
        SamePathText(image.substr(0, volume.size()), volume) &&
        ImageIsProgram(ImageOpenPath(image, volume, dosVolume), programId)) {
      return 1;
    }
  }
  return 0;
}

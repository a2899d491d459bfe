// OpenFolder: a folder a user may change, opened from its volume's root one
// component at a time, each relative to the handle of the one before and
// none through a link. A path string is handed to Windows once, for the
// root, which no user can redirect; every later step names one component
// relative to a handle that keeps naming the folder checked.
#include <windows.h>
// After windows.h:
#include <winternl.h>

#include <string>
#include <vector>

#include "platform/win32/NtOpenRelative.h"
#include "platform/win32/Win32FileNames.h"
#include "platform/win32/Win32PlatformOps.h"

namespace {

// What a folder is opened for: its attributes alone, to see whether it is
// a link. Opening relative to it needs no access on its handle, and an
// open that asks for no data access is one that no other program's sharing
// can refuse and that breaks no oplock ("Creating and Opening Files",
// "Oplock Semantics"): a user who holds a folder on the way shut stops
// nothing.
constexpr ACCESS_MASK kFolderAccess = FILE_READ_ATTRIBUTES | SYNCHRONIZE;

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, wcslen(prefix), prefix) == 0;
}

// The path split into its volume's root ("C:\", "\\server\share\") and its
// components, after the text alone was made canonical: '/' as '\', a
// "\\?\" prefix dropped, "." and ".." and doubled separators resolved by
// GetFullPathNameW, which touches no file.
bool SplitFolderPath(std::wstring text, std::wstring* root,
                     std::vector<std::wstring>* components) {
  for (wchar_t& c : text) {
    if (c == L'/') c = L'\\';
  }
  if (StartsWith(text, L"\\\\?\\UNC\\")) {
    text = L"\\\\" + text.substr(8);
  } else if (StartsWith(text, L"\\\\?\\")) {
    text = text.substr(4);
  }
  // Only a path from a drive's or a share's root: a relative one would be
  // resolved against whatever the current directory is.
  const bool driveRoot =
      text.size() >= 3 && text[1] == L':' && text[2] == L'\\';
  if (!driveRoot && !StartsWith(text, L"\\\\")) return false;
  std::wstring full(kLongPathLength, L'\0');
  const DWORD length =
      GetFullPathNameW(text.c_str(), kLongPathLength, &full[0], nullptr);
  if (length == 0 || length >= kLongPathLength) return false;
  full.resize(length);

  std::size_t rest = 0;
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
    rest = 3;
  } else if (StartsWith(full, L"\\\\") && !StartsWith(full, L"\\\\.\\") &&
             !StartsWith(full, L"\\\\?\\")) {
    // "\\server\share\": the share is the root, as Windows treats it.
    const std::size_t server = full.find(L'\\', 2);
    if (server == std::wstring::npos || server == 2) return false;
    const std::size_t share = full.find(L'\\', server + 1);
    if (share == server + 1) return false;
    rest = share == std::wstring::npos ? full.size() : share + 1;
  } else {
    return false;
  }
  *root = full.substr(0, rest);
  if (root->back() != L'\\') *root += L'\\';
  components->clear();
  while (rest < full.size()) {
    std::size_t end = full.find(L'\\', rest);
    if (end == std::wstring::npos) end = full.size();
    if (end > rest) components->push_back(full.substr(rest, end - rest));
    rest = end + 1;
  }
  return true;
}

// A mount point's layout as FSCTL_GET_REPARSE_POINT hands it out (the
// MountPointReparseBuffer of REPARSE_DATA_BUFFER, which only the driver
// kit's headers declare).
struct MountPointReparse {
  DWORD tag;
  WORD dataLength;
  WORD reserved;
  WORD substituteOffset;
  WORD substituteLength;
  WORD printOffset;
  WORD printLength;
  wchar_t names[1];
};

// A link is no way into a folder we write in: it leads wherever its maker
// chose. A mount point of a whole volume is no user's redirection, but
// what lies behind it is not on the path's volume and cannot be checked
// against the path as the rest is. Neither can a mount point whose target
// cannot be read: Wine shows a Unix mount point in its prefix so, and
// answers FSCTL_GET_REPARSE_POINT with ERROR_NOT_A_REPARSE_POINT.
OpenOutcome LinkOutcome(HANDLE folder, DWORD tag) {
  if (tag != IO_REPARSE_TAG_MOUNT_POINT) return OpenOutcome::kLeadsElsewhere;
  std::vector<unsigned char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD size = 0;
  if (!DeviceIoControl(folder, FSCTL_GET_REPARSE_POINT, nullptr, 0,
                       buffer.data(), static_cast<DWORD>(buffer.size()), &size,
                       nullptr) ||
      size < offsetof(MountPointReparse, names)) {
    return OpenOutcome::kCannotCheck;
  }
  const auto* mount = reinterpret_cast<const MountPointReparse*>(buffer.data());
  const std::size_t end = offsetof(MountPointReparse, names) +
                          mount->substituteOffset + mount->substituteLength;
  if (end > size) return OpenOutcome::kLeadsElsewhere;
  const std::wstring target(
      mount->names + mount->substituteOffset / sizeof(wchar_t),
      mount->substituteLength / sizeof(wchar_t));
  const std::wstring volume = L"\\??\\Volume{";
  return target.size() > volume.size() &&
                 SamePathText(target.substr(0, volume.size()), volume)
             ? OpenOutcome::kCannotCheck
             : OpenOutcome::kLeadsElsewhere;
}

// One component opened in the folder before it, never through a link.
OpenOutcome OpenComponent(HANDLE parent, const std::wstring& name,
                          HANDLE* opened) {
  // FILE_COMPLETE_IF_OPLOCKED, as for files: a folder a user made may
  // carry the user's oplock, and no run waits for its break.
  const RelativeOpen how = {kFolderAccess, kShareEverything, FILE_OPEN,
                            FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT |
                                FILE_SYNCHRONOUS_IO_NONALERT |
                                FILE_OPEN_FOR_BACKUP_INTENT |
                                FILE_COMPLETE_IF_OPLOCKED};
  HANDLE handle = nullptr;
  ULONG_PTR information = 0;
  const LONG status = OpenRelative(parent, name, how, &handle, &information);
  if (status < 0) return OutcomeOfStatus(status);
  ScopedHandle component = {handle};
  if (status == nt_status::kOplockBreakInProgress) {
    return OpenOutcome::kOplockBreak;
  }
  FILE_ATTRIBUTE_TAG_INFO tag;
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag,
                                    sizeof tag)) {
    return OpenOutcome::kFailed;
  }
  if (RedirectsName(tag.FileAttributes, tag.ReparseTag)) {
    return LinkOutcome(handle, tag.ReparseTag);
  }
  component.handle = nullptr;
  *opened = handle;
  return OpenOutcome::kOpened;
}

// The name the final path gives an opened component: the long name where
// `name` is the 8.3 name of that very folder (the entry of the parent's
// listing with its file ID), else `name`. The listing is read through the
// parent's handle, which no user can redirect.
std::wstring FinalName(HANDLE parent, HANDLE child, const std::wstring& name) {
  BY_HANDLE_FILE_INFORMATION opened;
  if (name.find(L'~') == std::wstring::npos ||
      !GetFileInformationByHandle(child, &opened)) {
    return name;
  }
  const LONGLONG id = static_cast<LONGLONG>(
      (ULONGLONG{opened.nFileIndexHigh} << 32) | opened.nFileIndexLow);
  // Listing needs a handle of the parent that may list it.
  const ScopedHandle lister = {ReOpenFile(parent, FILE_LIST_DIRECTORY,
                                          kShareEverything,
                                          FILE_FLAG_BACKUP_SEMANTICS)};
  if (lister.handle == INVALID_HANDLE_VALUE) return name;
  std::vector<unsigned char> buffer(64 * 1024);
  for (FILE_INFO_BY_HANDLE_CLASS listing = FileIdBothDirectoryRestartInfo;
       GetFileInformationByHandleEx(lister.handle, listing, buffer.data(),
                                    static_cast<DWORD>(buffer.size()));
       listing = FileIdBothDirectoryInfo) {
    for (std::size_t offset = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(
          buffer.data() + offset);
      const std::wstring shortName(entry->ShortName,
                                   entry->ShortNameLength / sizeof(wchar_t));
      if (entry->FileId.QuadPart == id && SamePathText(shortName, name)) {
        return std::wstring(entry->FileName,
                            entry->FileNameLength / sizeof(wchar_t));
      }
      if (entry->NextEntryOffset == 0) break;
      offset += entry->NextEntryOffset;
    }
  }
  return name;
}

// Opens each of `components` below the folder behind `start` (which stays
// the caller's), every one relative to the one before and none through a
// link, and checks where the walk ended against the start's own final
// path: a subst drive or a share, whose final path is another spelling of
// the same folder, is checked like any other.
OpenOutcome WalkBelow(HANDLE start, const std::vector<std::wstring>& components,
                      HANDLE* folder) {
  std::wstring expected;
  if (!FinalPath(start, VOLUME_NAME_DOS, &expected)) {
    return OpenOutcome::kCannotCheck;
  }
  ScopedHandle current = {nullptr};
  for (const std::wstring& name : components) {
    const HANDLE parent = current.handle != nullptr ? current.handle : start;
    HANDLE next = nullptr;
    const OpenOutcome opened = OpenComponent(parent, name, &next);
    if (opened != OpenOutcome::kOpened) return opened;
    expected += L"\\" + FinalName(parent, next, name);
    if (current.handle != nullptr) CloseHandle(current.handle);
    current.handle = next;
  }
  if (current.handle == nullptr) return OpenOutcome::kFailed;
  // Wine follows a Unix symbolic link in its prefix without showing it as
  // a reparse point; only the final path tells where the walk ended.
  std::wstring final;
  if (!FinalPath(current.handle, VOLUME_NAME_DOS, &final)) {
    return OpenOutcome::kCannotCheck;
  }
  if (!SamePathText(final, expected)) return OpenOutcome::kLeadsElsewhere;
  *folder = current.handle;
  current.handle = nullptr;
  return OpenOutcome::kOpened;
}

}  // namespace

OpenOutcome OpenFolderAt(const std::wstring& path, HANDLE* folder) {
  std::wstring root;
  std::vector<std::wstring> components;
  if (!SplitFolderPath(path, &root, &components)) return OpenOutcome::kFailed;
  return OpenFolderFromRoot(root, components, folder);
}

OpenOutcome Win32PlatformOps::OpenFolder(const char* path, OsHandle* folder) {
  std::wstring wide;
  if (!AnsiToWide(path, &wide)) return OpenOutcome::kFailed;
  HANDLE opened = nullptr;
  const OpenOutcome outcome = OpenFolderAt(wide, &opened);
  if (outcome == OpenOutcome::kOpened) *folder = opened;
  return outcome;
}

OpenOutcome Win32PlatformOps::OpenFolderBelow(OsHandle base,
                                              const char* relative,
                                              OsHandle* folder) {
  std::wstring text;
  if (!AnsiToWide(relative, &text)) return OpenOutcome::kFailed;
  std::vector<std::wstring> components;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find(L'\\', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring name = text.substr(start, end - start);
    if (name.empty() || name == L"." || name == L".." ||
        name.find_first_of(L"/:") != std::wstring::npos) {
      return OpenOutcome::kFailed;
    }
    components.push_back(name);
    start = end + 1;
  }
  HANDLE opened = nullptr;
  const OpenOutcome outcome = WalkBelow(base, components, &opened);
  if (outcome == OpenOutcome::kOpened) *folder = opened;
  return outcome;
}

int Win32PlatformOps::FolderFinalPath(OsHandle folder, std::string* path) {
  std::wstring final;
  if (!FinalPath(folder, VOLUME_NAME_DOS, &final)) return 0;
  if (final.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    final = L"\\\\" + final.substr(8);
  } else if (final.compare(0, 4, L"\\\\?\\") == 0) {
    final = final.substr(4);
  }
  // A volume's root keeps its backslash: "C:" alone names whatever folder
  // is current on drive C.
  if (final.size() == 2 && final[1] == L':') final += L'\\';
  return WideToAnsiExact(final, path) ? 1 : 0;
}

OpenOutcome OpenFolderFromRoot(const std::wstring& root,
                               const std::vector<std::wstring>& components,
                               HANDLE* folder) {
  ScopedHandle current = {CreateFileW(root.c_str(), kFolderAccess,
                                      kShareEverything, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (current.handle == INVALID_HANDLE_VALUE) {
    switch (GetLastError()) {
      case ERROR_PATH_NOT_FOUND:
      case ERROR_FILE_NOT_FOUND:
      case ERROR_BAD_NETPATH:
      case ERROR_BAD_NET_NAME:
        return OpenOutcome::kMissing;
      case ERROR_SHARING_VIOLATION:
        return OpenOutcome::kInUse;
      case ERROR_ACCESS_DENIED:
        return OpenOutcome::kDenied;
      default:
        return OpenOutcome::kFailed;
    }
  }
  if (components.empty()) {
    // The root itself, checked as any folder is: its final path is its own.
    std::wstring final;
    if (!FinalPath(current.handle, VOLUME_NAME_DOS, &final)) {
      return OpenOutcome::kCannotCheck;
    }
    *folder = current.handle;
    current.handle = nullptr;
    return OpenOutcome::kOpened;
  }
  return WalkBelow(current.handle, components, folder);
}

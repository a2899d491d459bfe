// Files in a folder a user may change, reached only through the folder's
// handle and then only through their own: opened relative to the folder,
// following no link, read, rewritten and removed through that handle.
#include <windows.h>
// After windows.h:
#include <winternl.h>

#include <string>

#include "platform/win32/NtOpenRelative.h"
#include "platform/win32/Win32FileNames.h"
#include "platform/win32/Win32PlatformOps.h"

namespace {

// A name that opens exactly one entry of the folder: no separator, no
// stream, no "." or "..".
bool IsPlainName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(L"\\/:") == std::wstring::npos;
}

// Refuses an opened file: one this open created goes again when closed.
OpenOutcome Refuse(HANDLE file, bool created, OpenOutcome outcome) {
  if (created) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (!SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                    sizeof disposition)) {
      outcome = OpenOutcome::kFailed;
    }
  }
  CloseHandle(file);
  return outcome;
}

// Whether the opened file is what the folder's handle and the name lead
// to, and may be used as asked.
OpenOutcome CheckOpened(HANDLE folder, const std::wstring& name, HANDLE file,
                        FileUse use) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag,
                                    sizeof tag) ||
      !GetFileInformationByHandle(file, &information)) {
    return OpenOutcome::kFailed;
  }
  if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    return OpenOutcome::kLeadsElsewhere;
  }
  // Another name of the file may lie in a folder the user owns: what we
  // write there, they could read and change as their own.
  if (use == FileUse::kRewrite && information.nNumberOfLinks != 1) {
    return OpenOutcome::kLeadsElsewhere;
  }
  // Wine follows a Unix symbolic link without showing it as a reparse
  // point; only the final path tells.
  std::wstring folderPath;
  std::wstring filePath;
  if (!FinalPath(folder, VOLUME_NAME_DOS, &folderPath) ||
      !FinalPath(file, VOLUME_NAME_DOS, &filePath)) {
    return OpenOutcome::kCannotCheck;
  }
  return SamePathText(filePath, folderPath + L"\\" + name)
             ? OpenOutcome::kOpened
             : OpenOutcome::kLeadsElsewhere;
}

}  // namespace

OpenOutcome Win32PlatformOps::OpenFileIn(OsHandle folder, const char* name,
                                         FileUse use, OsHandle* file,
                                         int* created) {
  *created = 0;
  std::wstring wideName;
  if (!AnsiToWide(name, &wideName) || !IsPlainName(wideName)) {
    return OpenOutcome::kFailed;
  }
  // A rewrite shares reading alone, so no other writer comes between our
  // read and our write, and asks for deletion to take back a file it made.
  const ULONG options = FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT |
                        FILE_SYNCHRONOUS_IO_NONALERT |
                        FILE_COMPLETE_IF_OPLOCKED;
  const RelativeOpen how =
      use == FileUse::kRead
          ? RelativeOpen{GENERIC_READ | SYNCHRONIZE, kShareEverything,
                         FILE_OPEN, options}
          : RelativeOpen{GENERIC_READ | GENERIC_WRITE | DELETE | SYNCHRONIZE,
                         FILE_SHARE_READ, FILE_OPEN_IF, options};
  HANDLE opened = nullptr;
  ULONG_PTR information = 0;
  const LONG status =
      OpenRelative(folder, wideName, how, &opened, &information);
  if (status == nt_status::kObjectNameNotFound ||
      status == nt_status::kObjectPathNotFound) {
    return OpenOutcome::kMissing;
  }
  if (status < 0) return OpenOutcome::kFailed;
  // FILE_COMPLETE_IF_OPLOCKED: where another program holds an oplock on
  // the file, NtCreateFile returns STATUS_OPLOCK_BREAK_IN_PROGRESS at once
  // instead of waiting for the break (Microsoft's ZwCreateFile and
  // NtCreateFile documentation). A user who holds the oplock could time a
  // swap to our wait; the run gives up instead.
  const bool made = information == FILE_CREATED;
  if (status == nt_status::kOplockBreakInProgress) {
    return Refuse(opened, made, OpenOutcome::kFailed);
  }
  const OpenOutcome checked = CheckOpened(folder, wideName, opened, use);
  if (checked != OpenOutcome::kOpened) return Refuse(opened, made, checked);
  *file = opened;
  *created = made ? 1 : 0;
  return OpenOutcome::kOpened;
}

int Win32PlatformOps::ReadOpenedFile(OsHandle file, std::size_t maxSize,
                                     std::string* bytes) {
  bytes->clear();
  LARGE_INTEGER size;
  LARGE_INTEGER start = {};
  if (!GetFileSizeEx(file, &size) ||
      static_cast<unsigned long long>(size.QuadPart) > maxSize ||
      !SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
    return 0;
  }
  bytes->resize(static_cast<std::size_t>(size.QuadPart));
  DWORD done = 0;
  for (std::size_t total = 0; total < bytes->size(); total += done) {
    if (!ReadFile(file, &(*bytes)[total],
                  static_cast<DWORD>(bytes->size() - total), &done, nullptr) ||
        done == 0) {
      return 0;
    }
  }
  return 1;
}

int Win32PlatformOps::RewriteOpenedFile(OsHandle file,
                                        const std::string& bytes) {
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return 0;
  DWORD done = 0;
  for (std::size_t total = 0; total < bytes.size(); total += done) {
    if (!WriteFile(file, bytes.data() + total,
                   static_cast<DWORD>(bytes.size() - total), &done, nullptr) ||
        done == 0) {
      return 0;
    }
  }
  return SetEndOfFile(file) && FlushFileBuffers(file) ? 1 : 0;
}

int Win32PlatformOps::DeleteOpenedFile(OsHandle file) {
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                    sizeof disposition)
             ? 1
             : 0;
}

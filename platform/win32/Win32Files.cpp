// Files in a folder a user may change, reached only through the folder's
// handle and then only through their own: opened relative to the folder,
// following no link, read, rewritten and removed through that handle.
#include <windows.h>
// After windows.h:
#include <winternl.h>

#include <cstring>
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
  if (RedirectsName(tag.FileAttributes, tag.ReparseTag)) {
    return OpenOutcome::kLeadsElsewhere;
  }
  // Another name of the file may lie in a folder the user owns: what we
  // write there, they could read and change as their own.
  if (use != FileUse::kRead && use != FileUse::kAttributes &&
      information.nNumberOfLinks != 1) {
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

namespace {

// How a file is opened for each use. A rewrite (or an update, which makes
// no file) shares reading alone, so no other writer comes between our read
// and our write, and asks for deletion to take back a file it made; an append
// shares reading and writing with other runs that log to the same file.
RelativeOpen HowToOpen(FileUse use, ULONG options) {
  switch (use) {
    case FileUse::kRead:
      return {GENERIC_READ | SYNCHRONIZE, kShareEverything, FILE_OPEN, options};
    case FileUse::kAttributes:
      return {FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareEverything, FILE_OPEN,
              options};
    case FileUse::kAppend:
      return {FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | DELETE | SYNCHRONIZE,
              FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN_IF, options};
    case FileUse::kRewrite:
    case FileUse::kUpdate:
      break;
  }
  return {
      GENERIC_READ | GENERIC_WRITE | DELETE | SYNCHRONIZE, FILE_SHARE_READ,
      static_cast<ULONG>(use == FileUse::kUpdate ? FILE_OPEN : FILE_OPEN_IF),
      options};
}

// Reparse tags that keep a file's data in the file system itself, behind
// a filter in the kernel: WOF compression (compact /exe) and
// deduplication. Others that redirect no name (cloud files, projected
// files) hand the data over from a provider a user may run, which could
// make this run wait on it or feed it what it likes; such a file cannot be
// checked. Microsoft's "Reparse Point Tags" page names the tags.
constexpr DWORD kWofTag = 0x80000017;    // IO_REPARSE_TAG_WOF
constexpr DWORD kDedupTag = 0x80000013;  // IO_REPARSE_TAG_DEDUP
// FILE_ATTRIBUTE_OFFLINE, _RECALL_ON_OPEN and _RECALL_ON_DATA_ACCESS ("File
// Attribute Constants"): data that is not on the volume.
constexpr DWORD kDataElsewhere = 0x00001000 | 0x00040000 | 0x00400000;

// A file that carries a reparse point which redirects no name was opened
// as the reparse point itself, whose data is not the file's. It is opened
// again through the filter that keeps its data, by its file ID (relative
// to the folder's handle, which names the volume), so that no name is
// looked up again and no link planted in between is followed; the first
// handle is closed before, since it shares less than the second asks.
OpenOutcome OpenThroughFilter(HANDLE folder, RelativeOpen how, FileUse use,
                              HANDLE* file) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  BY_HANDLE_FILE_INFORMATION first;
  if (!GetFileInformationByHandleEx(*file, FileAttributeTagInfo, &tag,
                                    sizeof tag) ||
      !GetFileInformationByHandle(*file, &first)) {
    return OpenOutcome::kFailed;
  }
  if ((tag.FileAttributes & kDataElsewhere) != 0) {
    return OpenOutcome::kCannotCheck;
  }
  if (!(tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return OpenOutcome::kOpened;
  }
  if (tag.ReparseTag != kWofTag && tag.ReparseTag != kDedupTag) {
    return OpenOutcome::kCannotCheck;
  }
  const ULONGLONG id =
      (ULONGLONG{first.nFileIndexHigh} << 32) | first.nFileIndexLow;
  std::wstring byId(sizeof id / sizeof(wchar_t), L'\0');
  std::memcpy(&byId[0], &id, sizeof id);
  how.options = (how.options & ~static_cast<ULONG>(FILE_OPEN_REPARSE_POINT)) |
                FILE_OPEN_BY_FILE_ID;
  how.disposition = FILE_OPEN;
  CloseHandle(*file);
  *file = nullptr;
  HANDLE reopened = nullptr;
  ULONG_PTR information = 0;
  const LONG status = OpenRelative(folder, byId, how, &reopened, &information);
  if (status < 0) return OutcomeOfStatus(status);
  *file = reopened;
  if (status == nt_status::kOplockBreakInProgress) {
    return OpenOutcome::kOplockBreak;
  }
  BY_HANDLE_FILE_INFORMATION second;
  if (!GetFileInformationByHandle(reopened, &second)) {
    return OpenOutcome::kFailed;
  }
  // A second name made in between counts as it would have at first.
  return second.dwVolumeSerialNumber == first.dwVolumeSerialNumber &&
                 (use == FileUse::kRead || use == FileUse::kAttributes ||
                  second.nNumberOfLinks == 1)
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
  const RelativeOpen how = HowToOpen(
      use, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT |
               FILE_SYNCHRONOUS_IO_NONALERT | FILE_COMPLETE_IF_OPLOCKED);
  HANDLE opened = nullptr;
  ULONG_PTR information = 0;
  const LONG status =
      OpenRelative(folder, wideName, how, &opened, &information);
  if (status < 0) return OutcomeOfStatus(status);
  // FILE_COMPLETE_IF_OPLOCKED: where another program holds an oplock on
  // the file, NtCreateFile returns STATUS_OPLOCK_BREAK_IN_PROGRESS at once
  // instead of waiting for the break (Microsoft's ZwCreateFile and
  // NtCreateFile documentation). A user who holds the oplock could time a
  // swap to our wait; the caller tries again a moment later instead.
  const bool made = information == FILE_CREATED;
  if (status == nt_status::kOplockBreakInProgress) {
    return Refuse(opened, made, OpenOutcome::kOplockBreak);
  }
  OpenOutcome checked = CheckOpened(folder, wideName, opened, use);
  if (checked == OpenOutcome::kOpened && !made) {
    checked = OpenThroughFilter(folder, how, use, &opened);
  }
  if (checked != OpenOutcome::kOpened) {
    if (opened == nullptr) return checked;
    return Refuse(opened, made, checked);
  }
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

int Win32PlatformOps::AppendToOpenedFile(OsHandle file,
                                         const std::string& line) {
  // A handle with FILE_APPEND_DATA and no FILE_WRITE_DATA writes at the
  // end of the file, wherever another run's line went.
  const std::string text = line + "\r\n";
  DWORD written = 0;
  return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written,
                   nullptr) &&
                 written == text.size()
             ? 1
             : 0;
}

void Win32PlatformOps::Pause(unsigned milliseconds) { Sleep(milliseconds); }

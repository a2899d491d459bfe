// The run's private folder: where Windows' profile and version functions,
// which take paths and follow every link on them, are handed copies of
// files from folders a user may change.
//
// The folder is a safe room. It is made in one step with its security
// descriptor, and its handle is held without sharing deletion until the run
// ends, so nobody can rename it and put a link in its place. For an elevated
// caller it is owned by Administrators and carries a High mandatory label
// with no write-up, so that the same administrator's unelevated processes
// can neither write into it nor change its rights. Every copy is made,
// read and removed relative to the held handle, following no link; only
// the profile and version functions get a path, built from the handle's
// own final path.
#include <windows.h>
// After windows.h:
#include <aclapi.h>
#include <ntsecapi.h>
#include <sddl.h>
#include <winternl.h>

#include <string>
#include <vector>

#include "platform/win32/NtOpenRelative.h"
#include "platform/win32/SystemLibrary.h"
#include "platform/win32/Win32FileNames.h"
#include "platform/win32/Win32PlatformOps.h"

namespace {

constexpr wchar_t kPrefix[] = L"vrp-";
constexpr std::size_t kRandomDigits = 16;
constexpr LONG kObjectNameCollision = static_cast<LONG>(0xC0000035);

// The temporary folder Windows gives the caller, with a trailing
// backslash: GetTempPath2W where Windows has it (a SYSTEM caller then gets
// %WINDIR%\SystemTemp, which no user may list), else GetTempPathW.
bool TempFolder(std::wstring* folder) {
  using GetTempPath2WFn = DWORD(WINAPI*)(DWORD, LPWSTR);
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  const auto getTempPath2 =
      kernel32 == nullptr
          ? nullptr
          : LookUpFunction<GetTempPath2WFn>(kernel32, "GetTempPath2W");
  wchar_t path[MAX_PATH + 1];
  const DWORD length = getTempPath2 != nullptr
                           ? getTempPath2(MAX_PATH + 1, path)
                           : GetTempPathW(MAX_PATH + 1, path);
  if (length == 0 || length > MAX_PATH) return false;
  folder->assign(path, length);
  return true;
}

// %WINDIR%\Temp\: where the folder goes when the temporary folder is
// missing or cannot take it. Only administrators and SYSTEM may list it.
bool WindowsTempFolder(std::wstring* folder) {
  wchar_t path[MAX_PATH];
  const UINT length = GetWindowsDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  folder->assign(path, length);
  if (folder->back() != L'\\') *folder += L'\\';
  *folder += L"Temp\\";
  return true;
}

// The security descriptor of a new private folder, as SDDL. A caller whose
// token holds Administrators enabled (elevated, or SYSTEM) gives it owner
// Administrators (SYSTEM for SYSTEM), a DACL for SYSTEM and Administrators
// alone and a High label with no write-up: its unelevated processes run at
// Medium and are shut out. Any other caller can set neither that owner nor
// that label; its folder is its own, shut to everyone else.
bool FolderSddl(std::wstring* sddl) {
  ScopedHandle token = {nullptr};
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.handle)) {
    return false;
  }
  unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!GetTokenInformation(token.handle, TokenUser, buffer, sizeof buffer,
                           &size)) {
    return false;
  }
  const PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
  unsigned char adminsSid[SECURITY_MAX_SID_SIZE];
  DWORD adminsSize = sizeof adminsSid;
  BOOL administrator = FALSE;
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, adminsSid,
                          &adminsSize) ||
      !CheckTokenMembership(nullptr, adminsSid, &administrator)) {
    return false;
  }
  const std::wstring rooms = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  if (IsWellKnownSid(user, WinLocalSystemSid)) {
    *sddl = L"O:SY" + rooms + L"S:(ML;OICI;NW;;;HI)";
    return true;
  }
  if (administrator) {
    *sddl = L"O:BA" + rooms + L"S:(ML;OICI;NW;;;HI)";
    return true;
  }
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(user, &text)) return false;
  const std::wstring sid = text;
  LocalFree(text);
  *sddl = L"O:" + sid + rooms + L"(A;OICI;FA;;;" + sid + L")";
  return true;
}

// "vrp-" and 16 hex digits from the system's random source.
bool RandomName(std::wstring* name) {
  unsigned char random[kRandomDigits / 2];
  if (!RtlGenRandom(random, sizeof random)) return false;
  const wchar_t* digits = L"0123456789abcdef";
  *name = kPrefix;
  for (unsigned char byte : random) {
    *name += digits[byte >> 4];
    *name += digits[byte & 15];
  }
  return true;
}

bool IsPrivateFolderName(const std::wstring& name) {
  if (name.size() != wcslen(kPrefix) + kRandomDigits ||
      !SamePathText(name.substr(0, wcslen(kPrefix)), kPrefix)) {
    return false;
  }
  return name.find_first_not_of(L"0123456789abcdefABCDEF", wcslen(kPrefix)) ==
         std::wstring::npos;
}

// Every name in the folder behind `folder` (a handle that may list it),
// "." and ".." left out; attributes[i] belongs to names[i].
bool ListFolder(HANDLE folder, std::vector<std::wstring>* names,
                std::vector<DWORD>* attributes) {
  std::vector<unsigned char> buffer(64 * 1024);
  for (FILE_INFO_BY_HANDLE_CLASS listing = FileIdBothDirectoryRestartInfo;;
       listing = FileIdBothDirectoryInfo) {
    if (!GetFileInformationByHandleEx(folder, listing, buffer.data(),
                                      static_cast<DWORD>(buffer.size()))) {
      return GetLastError() == ERROR_NO_MORE_FILES;
    }
    for (std::size_t offset = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(
          buffer.data() + offset);
      const std::wstring name(entry->FileName,
                              entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") {
        names->push_back(name);
        attributes->push_back(entry->FileAttributes);
      }
      if (entry->NextEntryOffset == 0) break;
      offset += entry->NextEntryOffset;
    }
  }
}

// Marks an opened file or folder for removal through its handle. POSIX
// semantics, where the system has them, take the name away at once even
// while another program (an antivirus scanner) holds the file open, so the
// folder can go too.
bool DeleteThroughHandle(HANDLE handle) {
  // FileDispositionInfoEx and its flags, of Windows 10 1607 (Microsoft's
  // FILE_DISPOSITION_INFO_EX documentation), which the headers hide from a
  // program that also runs on older systems; those refuse the class.
  constexpr auto kDispositionInfoEx =
      static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
  DWORD posix = 0x1 | 0x2;  // DELETE | POSIX_SEMANTICS
  if (SetFileInformationByHandle(handle, kDispositionInfoEx, &posix,
                                 sizeof posix)) {
    return true;
  }
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                    sizeof disposition) != 0;
}

// Removes what the folder holds, each entry opened relative to its handle
// as the entry itself (a link is removed, never followed), and then the
// folder through `folder`, which must carry DELETE and list access. An
// entry that cannot go is passed over, so it holds back only the folder.
// True when the folder is marked for removal.
bool EmptyAndRemove(HANDLE folder) {
  std::vector<std::wstring> names;
  std::vector<DWORD> attributes;
  if (!ListFolder(folder, &names, &attributes)) return false;
  for (const std::wstring& name : names) {
    const RelativeOpen how = {DELETE | SYNCHRONIZE, kShareEverything, FILE_OPEN,
                              FILE_NON_DIRECTORY_FILE |
                                  FILE_OPEN_REPARSE_POINT |
                                  FILE_SYNCHRONOUS_IO_NONALERT};
    HANDLE entry = nullptr;
    ULONG_PTR information = 0;
    if (OpenRelative(folder, name, how, &entry, &information) < 0) continue;
    DeleteThroughHandle(entry);
    CloseHandle(entry);
  }
  return DeleteThroughHandle(folder);
}

// Removes the private folders that earlier runs, killed before they could
// clean up, left in `temp`: only ones of our name, made by an administrator
// or SYSTEM (a user's folder of that name is theirs), not a link, and not
// held by a run still going (which shares no deletion: the open fails).
void RemoveStaleFolders(HANDLE temp) {
  const ScopedHandle lister = {ReOpenFile(
      temp, FILE_LIST_DIRECTORY, kShareEverything, FILE_FLAG_BACKUP_SEMANTICS)};
  std::vector<std::wstring> names;
  std::vector<DWORD> attributes;
  if (lister.handle == INVALID_HANDLE_VALUE ||
      !ListFolder(lister.handle, &names, &attributes)) {
    return;
  }
  for (std::size_t index = 0; index < names.size(); ++index) {
    if (!IsPrivateFolderName(names[index]) ||
        (attributes[index] & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      continue;
    }
    // A folder another program holds, or holds an oplock on, is in use:
    // its oplock's break is never waited for (anyone may make a vrp-*
    // folder where SYSTEM's temporary folder is %WINDIR%\Temp).
    const RelativeOpen how = {DELETE | FILE_LIST_DIRECTORY | READ_CONTROL |
                                  FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                              0, FILE_OPEN,
                              FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT |
                                  FILE_SYNCHRONOUS_IO_NONALERT |
                                  FILE_COMPLETE_IF_OPLOCKED};
    HANDLE opened = nullptr;
    ULONG_PTR information = 0;
    const LONG status =
        OpenRelative(temp, names[index], how, &opened, &information);
    if (status < 0) continue;
    const ScopedHandle stale = {opened};
    if (status == nt_status::kOplockBreakInProgress) continue;
    FILE_ATTRIBUTE_TAG_INFO tag;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!GetFileInformationByHandleEx(opened, FileAttributeTagInfo, &tag,
                                      sizeof tag) ||
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        GetSecurityInfo(opened, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                        &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
      continue;
    }
    const bool administrators =
        owner != nullptr &&
        (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
         IsWellKnownSid(owner, WinLocalSystemSid));
    LocalFree(descriptor);
    if (administrators) EmptyAndRemove(opened);
  }
}

// Makes a private folder of a fresh name in `temp` (with a trailing
// backslash) and hands out its held handle. An existing folder of that
// name is never used: someone else may have made it.
bool MakeFolderIn(const std::wstring& temp, PSECURITY_DESCRIPTOR descriptor,
                  HANDLE* made) {
  const ScopedHandle parent = {
      CreateFileW(temp.c_str(), FILE_TRAVERSE | SYNCHRONIZE, kShareEverything,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (parent.handle == INVALID_HANDLE_VALUE) return false;
  RemoveStaleFolders(parent.handle);
  // Listing and DELETE serve the removal at the end; sharing no deletion
  // keeps the folder where it is until then.
  const RelativeOpen how = {DELETE | FILE_LIST_DIRECTORY | FILE_TRAVERSE |
                                FILE_READ_ATTRIBUTES | READ_CONTROL |
                                SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
                            FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT |
                                FILE_SYNCHRONOUS_IO_NONALERT,
                            descriptor};
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::wstring name;
    if (!RandomName(&name)) return false;
    ULONG_PTR information = 0;
    const LONG status =
        OpenRelative(parent.handle, name, how, made, &information);
    if (status >= 0) return true;
    if (status != kObjectNameCollision) return false;
  }
  return false;
}

// Makes the private folder under the temporary folder or, failing that,
// under %WINDIR%\Temp.
bool MakePrivateFolder(HANDLE* made) {
  std::wstring sddl;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!FolderSddl(&sddl) ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(
          sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  std::wstring temp;
  bool created = TempFolder(&temp) && MakeFolderIn(temp, descriptor, made);
  if (!created && WindowsTempFolder(&temp)) {
    created = MakeFolderIn(temp, descriptor, made);
  }
  LocalFree(descriptor);
  return created;
}

// The path the profile and version functions are handed for `name` in the
// folder whose final path is `folder` ("\\?\C:\...\vrp-..."): without the
// "\\?\" where the result fits in MAX_PATH, which every function takes.
std::wstring CopyPath(const std::wstring& folder, const std::wstring& name) {
  const std::wstring full = folder + L"\\" + name;
  std::wstring plain;
  if (full.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    plain = L"\\\\" + full.substr(8);
  } else if (full.compare(0, 4, L"\\\\?\\") == 0) {
    plain = full.substr(4);
  }
  return !plain.empty() && plain.size() < MAX_PATH ? plain : full;
}

bool Utf8ToWide(const std::string& utf8, std::wstring* wide) {
  wide->clear();
  if (utf8.empty()) return true;
  const int length = static_cast<int>(utf8.size());
  const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS,
                                             utf8.data(), length, nullptr, 0);
  if (wideLength <= 0) return false;
  wide->assign(static_cast<std::size_t>(wideLength), L'\0');
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length,
                             &(*wide)[0], wideLength) == wideLength;
}

bool WideToUtf8(const std::wstring& wide, std::string* utf8) {
  utf8->clear();
  if (wide.empty()) return true;
  const int wideLength = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(),
                          wideLength, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return false;
  utf8->assign(static_cast<std::size_t>(length), '\0');
  return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(),
                             wideLength, &(*utf8)[0], length, nullptr,
                             nullptr) == length;
}

// How a copy is opened in the folder: as the entry itself, never through
// a link.
constexpr ULONG kCopyOptions = FILE_NON_DIRECTORY_FILE |
                               FILE_OPEN_REPARSE_POINT |
                               FILE_SYNCHRONOUS_IO_NONALERT;

}  // namespace

bool Win32PlatformOps::CopyPathToWide(const char* path, std::wstring* wide) {
  return Utf8ToWide(path, wide);
}

Win32PlatformOps::~Win32PlatformOps() { RemovePrivateFolder(); }

int Win32PlatformOps::WritePrivateCopy(const char* name,
                                       const std::string& bytes,
                                       std::string* path) {
  std::wstring wideName;
  if (!AnsiToWide(name, &wideName) || wideName.empty() || wideName == L"." ||
      wideName == L".." ||
      wideName.find_first_of(L"\\/:") != std::wstring::npos) {
    return 0;
  }
  if (privateFolder_ == nullptr) {
    HANDLE made = nullptr;
    if (!MakePrivateFolder(&made)) return 0;
    privateFolder_ = made;
    if (!FinalPath(made, VOLUME_NAME_DOS, &privateFolderPath_)) {
      RemovePrivateFolder();
      return 0;
    }
  }
  if (!WideToUtf8(CopyPath(privateFolderPath_, wideName), path)) return 0;
  const RelativeOpen how = {GENERIC_WRITE | DELETE | SYNCHRONIZE, 0,
                            FILE_OVERWRITE_IF, kCopyOptions};
  HANDLE opened = nullptr;
  ULONG_PTR information = 0;
  if (OpenRelative(privateFolder_, wideName, how, &opened, &information) < 0) {
    return 0;
  }
  const ScopedHandle file = {opened};
  DWORD done = 0;
  for (std::size_t total = 0; total < bytes.size(); total += done) {
    if (!WriteFile(opened, bytes.data() + total,
                   static_cast<DWORD>(bytes.size() - total), &done, nullptr) ||
        done == 0) {
      // A copy cut short is nothing the profile functions may see.
      DeleteThroughHandle(opened);
      return 0;
    }
  }
  return 1;
}

int Win32PlatformOps::ReadPrivateCopy(const std::string& path,
                                      std::string* bytes) {
  // Only a name in our own folder is read, and through the folder's handle.
  std::wstring wide;
  if (privateFolder_ == nullptr || !Utf8ToWide(path, &wide)) return 0;
  const std::size_t slash = wide.rfind(L'\\');
  if (slash == std::wstring::npos) return 0;
  const std::wstring name = wide.substr(slash + 1);
  if (name.empty() || !SamePathText(wide, CopyPath(privateFolderPath_, name))) {
    return 0;
  }
  const RelativeOpen how = {GENERIC_READ | SYNCHRONIZE, FILE_SHARE_READ,
                            FILE_OPEN, kCopyOptions};
  HANDLE opened = nullptr;
  ULONG_PTR information = 0;
  if (OpenRelative(privateFolder_, name, how, &opened, &information) < 0) {
    return 0;
  }
  const ScopedHandle file = {opened};
  return ReadOpenedFile(opened, kMaxTextSize, bytes);
}

void Win32PlatformOps::RemovePrivateFolder() {
  if (privateFolder_ == nullptr) return;
  // A folder that cannot go yet (a copy held by another program) is left
  // to the next run, which removes it as stale.
  if (!EmptyAndRemove(privateFolder_)) {
    DebugOutput("VRP: the private folder could not be removed");
  }
  CloseHandle(privateFolder_);
  privateFolder_ = nullptr;
  privateFolderPath_.clear();
}

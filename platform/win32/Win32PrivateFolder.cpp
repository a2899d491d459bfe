// The run's private folder: where Windows' profile and version functions,
// which take paths and follow every link on them, are handed copies of
// files from folders a user may change. Nobody but SYSTEM, Administrators
// and the caller may reach into it, and its name is new to every run.
#include <windows.h>
// After windows.h:
#include <ntsecapi.h>
#include <sddl.h>

#include <string>

#include "platform/win32/SystemLibrary.h"
#include "platform/win32/Win32FileNames.h"
#include "platform/win32/Win32PlatformOps.h"

namespace {

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

// The caller's user SID as SDDL text ("S-1-5-18" for SYSTEM).
bool CallerSid(std::wstring* sid) {
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
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid,
                              &text)) {
    return false;
  }
  *sid = text;
  LocalFree(text);
  return true;
}

// "vrp-" and 16 hex digits from the system's random source.
bool RandomName(std::wstring* name) {
  unsigned char random[8];
  if (!RtlGenRandom(random, sizeof random)) return false;
  const wchar_t* digits = L"0123456789abcdef";
  *name = L"vrp-";
  for (unsigned char byte : random) {
    *name += digits[byte >> 4];
    *name += digits[byte & 15];
  }
  return true;
}

// Makes a new folder of a fresh name, owned by the caller, with a protected
// DACL: SYSTEM, Administrators and the caller, nobody else, and nothing
// inherited from the folder above. An existing folder of that name is never
// used: someone else may have made it.
bool MakePrivateFolder(std::wstring* made) {
  std::wstring temp;
  std::wstring sid;
  if (!TempFolder(&temp) || !CallerSid(&sid)) return false;
  const std::wstring sddl =
      L"O:" + sid + L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + sid +
      L")";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  bool created = false;
  for (int attempt = 0; attempt < 4 && !created; ++attempt) {
    std::wstring name;
    if (!RandomName(&name)) break;
    const std::wstring path = temp + name;
    if (CreateDirectoryW(path.c_str(), &attributes)) {
      *made = path;
      created = true;
    } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  LocalFree(descriptor);
  return created;
}

// UTF-16 as ANSI, failing where a character has no exact ANSI form: the
// profile functions would open another path.
bool WideToAnsi(const std::wstring& wide, std::string* ansi) {
  const int wideLength = static_cast<int>(wide.size());
  BOOL lossy = FALSE;
  const int length =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                          nullptr, 0, nullptr, &lossy);
  if (length <= 0 || lossy) return false;
  ansi->assign(static_cast<std::size_t>(length), '\0');
  return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                             wideLength, &(*ansi)[0], length, nullptr,
                             &lossy) == length &&
         !lossy;
}

}  // namespace

Win32PlatformOps::~Win32PlatformOps() { RemovePrivateFolder(); }

int Win32PlatformOps::WritePrivateCopy(const char* name,
                                       const std::string& bytes,
                                       std::string* path) {
  std::wstring wideName;
  if (!AnsiToWide(name, &wideName) || wideName.empty() ||
      wideName.find_first_of(L"\\/:") != std::wstring::npos) {
    return 0;
  }
  if (privateFolder_.empty() && !MakePrivateFolder(&privateFolder_)) return 0;
  const std::wstring copy = privateFolder_ + L"\\" + wideName;
  if (!WideToAnsi(copy, path)) return 0;
  const ScopedHandle file = {CreateFileW(copy.c_str(), GENERIC_WRITE, 0,
                                         nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE) return 0;
  DWORD done = 0;
  for (std::size_t total = 0; total < bytes.size(); total += done) {
    if (!WriteFile(file.handle, bytes.data() + total,
                   static_cast<DWORD>(bytes.size() - total), &done, nullptr) ||
        done == 0) {
      return 0;
    }
  }
  return 1;
}

int Win32PlatformOps::ReadPrivateCopy(const std::string& path,
                                      std::string* bytes) {
  // Only what lies in our own folder is read by its path.
  std::wstring wide;
  if (privateFolder_.empty() || !AnsiToWide(path, &wide) ||
      wide.size() <= privateFolder_.size() ||
      !SamePathText(wide.substr(0, privateFolder_.size() + 1),
                    privateFolder_ + L"\\")) {
    return 0;
  }
  const ScopedHandle file = {CreateFileW(wide.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr)};
  return file.handle != INVALID_HANDLE_VALUE &&
                 ReadOpenedFile(file.handle, kMaxTextSize, bytes)
             ? 1
             : 0;
}

void Win32PlatformOps::RemovePrivateFolder() {
  if (privateFolder_.empty()) return;
  WIN32_FIND_DATAW found;
  const HANDLE listing =
      FindFirstFileW((privateFolder_ + L"\\*").c_str(), &found);
  if (listing != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring entry = found.cFileName;
      // A file that cannot go leaves the folder too; both stay in the
      // caller's temporary folder, shut to everyone else.
      if (entry != L"." && entry != L".." &&
          !DeleteFileW((privateFolder_ + L"\\" + entry).c_str())) {
        break;
      }
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
  }
  if (!RemoveDirectoryW(privateFolder_.c_str())) {
    DebugOutput("VRP: the private folder could not be removed");
  }
  privateFolder_.clear();
}

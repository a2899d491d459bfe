// The user profiles of the machine, from the registry's ProfileList, read
// with the wide functions: a profile folder may have a name the ANSI code
// page cannot spell, and is then still reached, by its SID.
#include <windows.h>
// After windows.h:
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/win32/NtOpenRelative.h"
#include "platform/win32/Win32FileNames.h"
#include "platform/win32/Win32PlatformOps.h"

namespace {

constexpr const wchar_t* kProfileList =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, wcslen(prefix), prefix) == 0;
}

// A local or domain account (S-1-5-21-...) or an Azure AD one
// (S-1-12-1-...): services' SIDs (S-1-5-18, -19, -20) have no user who
// scans, and a ".bak" key is Windows' copy of a profile it is repairing.
bool IsUserSid(const std::wstring& sid) {
  return (StartsWith(sid, L"S-1-5-21-") || StartsWith(sid, L"S-1-12-1-")) &&
         sid.find(L'.') == std::wstring::npos;
}

// The profile folder of `sid` as ProfileImagePath holds it (REG_SZ, or
// REG_EXPAND_SZ with its variables expanded); false when there is none.
bool ProfileFolder(HKEY list, const std::wstring& sid, std::wstring* folder) {
  std::wstring stored(kLongPathLength, L'\0');
  DWORD size = kLongPathLength * sizeof(wchar_t);
  if (RegGetValueW(list, sid.c_str(), L"ProfileImagePath",
                   RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                   &stored[0], &size) != ERROR_SUCCESS) {
    return false;
  }
  stored.resize(wcsnlen(stored.c_str(), size / sizeof(wchar_t)));
  folder->assign(kLongPathLength, L'\0');
  const DWORD expanded =
      ExpandEnvironmentStringsW(stored.c_str(), &(*folder)[0], kLongPathLength);
  if (expanded == 0 || expanded > kLongPathLength) return false;
  folder->resize(expanded - 1);
  return !folder->empty();
}

// "DOMAIN\user" for the SID, where Windows can tell; "" where it cannot
// (a deleted account, a domain out of reach).
std::string AccountName(const std::wstring& sidText) {
  PSID sid = nullptr;
  if (!ConvertStringSidToSidW(sidText.c_str(), &sid)) return std::string();
  wchar_t name[256];
  wchar_t domain[256];
  DWORD nameLength = 256;
  DWORD domainLength = 256;
  SID_NAME_USE use;
  const BOOL found = LookupAccountSidW(nullptr, sid, name, &nameLength, domain,
                                       &domainLength, &use);
  LocalFree(sid);
  return found ? WideToAnsiShown(std::wstring(domain) + L"\\" + name)
               : std::string();
}

struct ScopedKey {
  HKEY key = nullptr;
  ~ScopedKey() {
    if (key != nullptr) RegCloseKey(key);
  }
};

bool OpenProfileList(ScopedKey* list) {
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileList, 0,
                       KEY_READ | KEY_WOW64_64KEY, &list->key) == ERROR_SUCCESS;
}

}  // namespace

int Win32PlatformOps::ListUserProfiles(std::vector<UserProfile>* profiles) {
  profiles->clear();
  ScopedKey list;
  if (!OpenProfileList(&list)) return 0;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    const LONG listed = RegEnumKeyExW(list.key, index, name, &nameLength,
                                      nullptr, nullptr, nullptr, nullptr);
    if (listed == ERROR_NO_MORE_ITEMS) break;
    if (listed != ERROR_SUCCESS) return 0;
    const std::wstring sid(name, nameLength);
    if (!IsUserSid(sid)) continue;
    UserProfile profile;
    profile.sid = WideToAnsiShown(sid);
    profile.account = AccountName(sid);
    std::wstring folder;
    if (ProfileFolder(list.key, sid, &folder)) {
      profile.folder = WideToAnsiShown(folder);
    } else {
      profile.problem = "its ProfileImagePath cannot be read";
    }
    profiles->push_back(profile);
  }
  return 1;
}

OpenOutcome Win32PlatformOps::OpenProfileFolder(const std::string& sid,
                                                OsHandle* folder) {
  std::wstring wideSid;
  std::wstring path;
  ScopedKey list;
  if (!AnsiToWide(sid, &wideSid) || !IsUserSid(wideSid) ||
      !OpenProfileList(&list) || !ProfileFolder(list.key, wideSid, &path)) {
    return OpenOutcome::kFailed;
  }
  HANDLE opened = nullptr;
  const OpenOutcome outcome = OpenFolderAt(path, &opened);
  if (outcome == OpenOutcome::kOpened) *folder = opened;
  return outcome;
}

int Win32PlatformOps::CallerSid(std::string* sid) {
  ScopedHandle token = {nullptr};
  unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.handle) ||
      !GetTokenInformation(token.handle, TokenUser, buffer, sizeof buffer,
                           &size)) {
    return 0;
  }
  char* text = nullptr;
  if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid,
                              &text)) {
    return 0;
  }
  *sid = text;
  LocalFree(text);
  return 1;
}

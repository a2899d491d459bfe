// Named mutexes, their owners, and the process token's groups.
#include <windows.h>
// After windows.h:
#include <aclapi.h>
#include <sddl.h>

#include "platform/win32/Win32PlatformOps.h"

OsHandle Win32PlatformOps::CreateNamedMutex(const char* name,
                                            unsigned long* lastError) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
  *lastError = GetLastError();
  return mutex;
}

OsHandle Win32PlatformOps::CreateAdminOnlyMutex(const char* name,
                                                unsigned long* lastError) {
  // O:BA owner Administrators; D:P a protected DACL that gives SYSTEM and
  // Administrators full access and nobody else any.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
          "O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1, &descriptor,
          nullptr)) {
    *lastError = GetLastError();
    return nullptr;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  const HANDLE mutex = CreateMutexA(&attributes, FALSE, name);
  *lastError = GetLastError();
  LocalFree(descriptor);
  return mutex;
}

int Win32PlatformOps::IsOwnedByAdministrators(OsHandle object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION,
                      &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return 0;
  }
  const bool administrators =
      owner != nullptr && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                           IsWellKnownSid(owner, WinLocalSystemSid));
  LocalFree(descriptor);
  return administrators ? 1 : 0;
}

int Win32PlatformOps::OpenProcessTokenForQuery(OsHandle* token) {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return 0;
  *token = opened;
  return 1;
}

int Win32PlatformOps::GetTokenGroups(OsHandle token, void* buffer,
                                     unsigned long size, unsigned long* needed,
                                     unsigned long* lastError) {
  if (GetTokenInformation(token, TokenGroups, buffer, size, needed)) return 1;
  *lastError = GetLastError();
  return 0;
}

int Win32PlatformOps::AllocateAdministratorsSid(OsSid* sid) {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID allocated = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &allocated)) {
    return 0;
  }
  *sid = allocated;
  return 1;
}

int Win32PlatformOps::EqualSids(OsSid first, OsSid second) {
  return EqualSid(first, second) ? 1 : 0;
}

void Win32PlatformOps::FreeOsSid(OsSid sid) { FreeSid(sid); }

#include "app/InstanceGuard.h"

int AcquireInstanceGuard(PlatformOps& ops, OsHandle* guard, const char* name) {
  unsigned long lastError = 0;
  *guard = ops.CreateNamedMutex(name, &lastError);
  if (*guard != nullptr && lastError != os_error::kAlreadyExists) return 0;
  if (*guard != nullptr) {
    ops.CloseOsHandle(*guard);
    *guard = nullptr;
  }
  return 1;
}

int AcquireMachineGuard(PlatformOps& ops, OsHandle* guard) {
  constexpr unsigned long kAccessDenied = 5;
  unsigned long lastError = 0;
  *guard = ops.CreateNamedMutex(kMachineGuardName, &lastError);
  if (*guard != nullptr && lastError != os_error::kAlreadyExists) return 0;
  if (*guard != nullptr) {
    ops.CloseOsHandle(*guard);
    *guard = nullptr;
    return 1;
  }
  // Denied: either this user may not create machine-wide names (then only
  // an existing one tells of another copy) or one exists that this user
  // may not open.
  return lastError == kAccessDenied && !ops.NamedMutexExists(kMachineGuardName)
             ? 0
             : 1;
}

void ReleaseInstanceGuard(PlatformOps& ops, OsHandle& guard) {
  if (guard == nullptr) return;
  ops.CloseOsHandle(guard);
  guard = nullptr;
}

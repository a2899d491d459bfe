#include "guards/InstanceGuard.h"

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

void ReleaseInstanceGuard(PlatformOps& ops, OsHandle& guard) {
  if (guard == nullptr) return;
  ops.CloseOsHandle(guard);
  guard = nullptr;
}

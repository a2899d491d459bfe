#include "guards/WriterLock.h"

WriterLock AcquireWriterLock(PlatformOps& ops, OsHandle* lock) {
  unsigned long lastError = 0;
  *lock = ops.CreateAdminOnlyMutex(kWriterLockName, &lastError);
  if (*lock == nullptr) {
    // Ours would let this caller in, and is a mutex: a name it may not
    // open, or an object of another type, was made by someone else.
    return lastError == os_error::kAccessDenied ||
                   lastError == os_error::kInvalidHandle
               ? WriterLock::kSquatted
               : WriterLock::kBusy;
  }
  if (lastError != os_error::kAlreadyExists) return WriterLock::kHeld;
  const bool ours = ops.IsOwnedByAdministrators(*lock) != 0;
  ops.CloseOsHandle(*lock);
  *lock = nullptr;
  return ours ? WriterLock::kBusy : WriterLock::kSquatted;
}

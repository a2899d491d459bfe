#include "tests/e2e/SquattedMutex.h"

#include <sddl.h>

HANDLE HoldSquattedMutex(const char* name) {
  // A protected DACL that denies everyone everything.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
          "D:P(D;;GA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
    return nullptr;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  const HANDLE mutex = CreateMutexA(&attributes, FALSE, name);
  LocalFree(descriptor);
  return mutex;
}

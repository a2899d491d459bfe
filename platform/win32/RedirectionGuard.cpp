#include "platform/win32/RedirectionGuard.h"

#include <windows.h>

#include "platform/win32/SystemLibrary.h"

void EnableRedirectionGuard() {
  using SetPolicyFn = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
  // Looked up, not imported: Windows 7 has no SetProcessMitigationPolicy,
  // and an import it lacks would stop the program from starting at all.
  const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  const auto setPolicy =
      kernel32 == nullptr
          ? nullptr
          : LookUpFunction<SetPolicyFn>(kernel32, "SetProcessMitigationPolicy");
  if (setPolicy == nullptr) return;
  PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy = {};
  policy.EnforceRedirectionTrust = 1;
  // Refused as an unknown policy where Windows does not know it: no error.
  setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
}

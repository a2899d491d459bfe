#include "platform/win32/NtOpenRelative.h"

#include <winternl.h>

#include "platform/win32/SystemLibrary.h"

LONG OpenRelative(HANDLE parent, const std::wstring& name,
                  const RelativeOpen& how, HANDLE* opened,
                  ULONG_PTR* information) {
  // ntdll is in every process, loaded before the exe; importing it
  // statically would add a DLL to the exe's import list for one function.
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto ntCreateFile =
      ntdll == nullptr
          ? nullptr
          : LookUpFunction<decltype(&NtCreateFile)>(ntdll, "NtCreateFile");
  const std::size_t bytes = name.size() * sizeof(wchar_t);
  if (ntCreateFile == nullptr || bytes > 0xFFFE) return nt_status::kNotCalled;
  UNICODE_STRING objectName;
  objectName.Length = static_cast<USHORT>(bytes);
  objectName.MaximumLength = static_cast<USHORT>(bytes);
  objectName.Buffer = const_cast<PWSTR>(name.data());
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE,
                             parent, how.security);
  IO_STATUS_BLOCK status = {};
  HANDLE handle = nullptr;
  const NTSTATUS result = ntCreateFile(
      &handle, how.access, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL,
      how.share, how.disposition, how.options, nullptr, 0);
  if (result >= 0) {
    *opened = handle;
    *information = status.Information;
  }
  return result;
}

OpenOutcome OutcomeOfStatus(LONG status) {
  switch (status) {
    case nt_status::kObjectNameNotFound:
    case nt_status::kObjectPathNotFound:
    case nt_status::kNotADirectory:
      return OpenOutcome::kMissing;
    case nt_status::kSharingViolation:
    case nt_status::kDeletePending:
      return OpenOutcome::kInUse;
    case nt_status::kAccessDenied:
      return OpenOutcome::kDenied;
    default:
      break;
  }
  return OpenOutcome::kFailed;
}

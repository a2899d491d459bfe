// Opening one name relative to a folder's handle (NtCreateFile with a root
// directory): the only way Windows offers to open what a folder holds
// without handing it a path that a user could redirect on the way.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/PlatformOps.h"

// NtCreateFile's options are not in <winternl.h> everywhere.
#ifndef FILE_COMPLETE_IF_OPLOCKED
#define FILE_COMPLETE_IF_OPLOCKED 0x00000100
#endif

// The NTSTATUS values the callers tell apart.
namespace nt_status {
constexpr LONG kOplockBreakInProgress = 0x00000108;
constexpr LONG kObjectNameNotFound = static_cast<LONG>(0xC0000034);
constexpr LONG kObjectPathNotFound = static_cast<LONG>(0xC000003A);
constexpr LONG kNotADirectory = static_cast<LONG>(0xC0000103);
constexpr LONG kAccessDenied = static_cast<LONG>(0xC0000022);
constexpr LONG kSharingViolation = static_cast<LONG>(0xC0000043);
constexpr LONG kDeletePending = static_cast<LONG>(0xC0000056);
// Any status the call could not even be made for (ntdll without the
// function, a name too long for a UNICODE_STRING).
constexpr LONG kNotCalled = static_cast<LONG>(0xC0000001);
}  // namespace nt_status

struct RelativeOpen {
  ACCESS_MASK access;
  ULONG share;
  ULONG disposition;  // FILE_OPEN, FILE_OPEN_IF
  ULONG options;      // FILE_DIRECTORY_FILE, FILE_OPEN_REPARSE_POINT, ...
  // What a file or folder this open creates is made with, in the same
  // call, so that it never exists without it; null for the default.
  PSECURITY_DESCRIPTOR security = nullptr;
};

// NtCreateFile of `name` in the folder behind `parent`, the name compared
// ignoring case as Win32 compares it. Returns the NTSTATUS; where it is a
// success (>= 0) *opened is the handle and *information what the call did
// (FILE_OPENED, FILE_CREATED).
LONG OpenRelative(HANDLE parent, const std::wstring& name,
                  const RelativeOpen& how, HANDLE* opened,
                  ULONG_PTR* information);

// What a failed NtCreateFile stands for: missing, held by another program
// (a sharing violation, a delete pending behind another handle), denied,
// or failed.
OpenOutcome OutcomeOfStatus(LONG status);

// Whether a reparse point redirects a name elsewhere: a junction, a mount
// point, a symbolic link. Microsoft's "Reparse Point Tags" page gives such
// tags the name-surrogate bit (IsReparseTagNameSurrogate); the others (WOF
// compression, deduplication, cloud placeholders) only change how the
// file's data is kept, and the file is opened as what it is.
inline bool RedirectsName(DWORD attributes, DWORD tag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         IsReparseTagNameSurrogate(tag);
}

// The folder at `root` ("\\?\C:\", "\\server\share\") and then each of
// `components`, as OpenFolder walks it: every component relative to the one
// before, none through a link, none waiting for another program's oplock,
// and the final path checked against the root's. *folder is closed by the
// caller.
// The folder at `path` ("C:\\...", "\\\\?\\C:\\...", "\\\\server\\share\\..."),
// walked as OpenFolderFromRoot walks it.
OpenOutcome OpenFolderAt(const std::wstring& path, HANDLE* folder);

OpenOutcome OpenFolderFromRoot(const std::wstring& root,
                               const std::vector<std::wstring>& components,
                               HANDLE* folder);

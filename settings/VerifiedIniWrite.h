// Writing one key of an INI file so that the file is never left worse off
// and nothing but that file is written: the folder is held and the file's
// path must lead to it with no link on the way; the write is checked
// against the file's bytes, read once before it and once after it, and
// undone when anything but the key changed.
#pragma once

#include "platform/PlatformOps.h"

enum class IniWriteResult {
  kWritten,      // the key reads back as written, everything else as before
  kUndone,       // the write failed and the file is back as it was
  kRefused,      // not written: the path leads elsewhere (a link on the
                 // way, or a file with more than one name)
  kNotRestored,  // the write failed and the file could not be put back
};

// Writes value under section/key with WritePrivateProfileStringA:
// - holds the file's folder (it can be neither renamed nor replaced until
//   the write is checked) and refuses unless the folder's and the file's
//   final paths are the ones built and the file has one name;
// - keeps the file's identity with a handle that takes no part in sharing
//   (creating the file empty if it is missing), and reads its bytes first
//   through a handle reopened from it and closed before the profile call;
// - counts the write only when the call succeeded, the path still names the
//   file, its bytes read the same way parse as before but for the key,
//   which holds `value` (whichever way the profile API reads a UTF-8
//   byte-order mark), and the profile API reads the key back as `value`.
// Otherwise the kept bytes are written back, or the file it created is
// removed, through the held file and only while the path still names it:
// nothing is ever written to a path resolved after the check failed, and a
// put-back counts only once it is read back. A file that cannot be held or
// read first is not written at all.
IniWriteResult WriteIniValueVerified(PlatformOps& ops, const char* path,
                                     const char* section, const char* key,
                                     const char* value);

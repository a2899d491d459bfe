// Writing one key of an INI file so that the file is never left worse off:
// the write is checked by reading the whole file back through the profile
// API, and undone when anything but the key changed.
#pragma once

#include <string>

#include "platform/PlatformOps.h"

enum class IniWriteResult {
  kWritten,      // the key reads back as written, everything else as before
  kUndone,       // the write failed and the file is back as it was
  kNotRestored,  // the write failed and the file could not be put back
};

// Writes value under section/key with WritePrivateProfileStringA, after
// keeping the file's bytes and everything the profile API reads from it.
// The write counts only when the call succeeded, the key reads back as
// written and every other section and key reads back as before (what the
// API reads, not the bytes: it may respace lines). Otherwise the original
// bytes are put back, or the file it created is removed. A file whose
// content cannot be kept first is not written at all (kUndone).
IniWriteResult WriteIniValueVerified(PlatformOps& ops, const char* path,
                                     const char* section, const char* key,
                                     const char* value);

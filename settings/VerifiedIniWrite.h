// Writing one key of an INI file so that the file is never left worse off:
// the write is checked against the file's bytes, read once before it and
// once after it through one handle, and undone through that handle when
// anything but the key changed.
#pragma once

#include "platform/PlatformOps.h"

enum class IniWriteResult {
  kWritten,      // the key reads back as written, everything else as before
  kUndone,       // the write failed and the file is back as it was
  kNotRestored,  // the write failed and the file could not be put back
};

// Writes value under section/key with WritePrivateProfileStringA, holding
// the file open (creating it empty if it is missing) and keeping its bytes
// first. The write counts only when the call succeeded, the file read
// through the held handle parses as before but for the key, which holds
// `value`, and the profile API reads the key back as `value`. Otherwise
// the kept bytes are written back through the handle, or the file it
// created is removed through it, and only while the path still names that
// file: nothing is ever written to a path resolved after the check failed.
// A file that cannot be held or read first is not written at all.
IniWriteResult WriteIniValueVerified(PlatformOps& ops, const char* path,
                                     const char* section, const char* key,
                                     const char* value);

// Writing one key of an INI file so that the file is never left worse off
// and nothing but that file is written: the file is reached through handles
// alone (its folder from the volume's root, following no link), Windows'
// profile function edits a private copy, and the edited bytes go into the
// file through the one handle that read it, and are read back.
#pragma once

#include "platform/OpenedFile.h"
#include "platform/PlatformOps.h"

enum class IniWriteResult {
  kWritten,      // the key reads back as written, everything else as before
  kUndone,       // not written, or written wrong and put back as it was
  kRefused,      // not written: the path leads elsewhere (a link on the
                 // way, or a file with more than one name)
  kCannotCheck,  // not written: where the path leads cannot be checked
  kNotRestored,  // written wrong and could not be put back
};

// Writes value under section/key:
// - opens the file for rewriting through its folder's handle (creating it
//   empty if it is missing), sharing reading alone, so that no other writer
//   gets in between the read and the write, and reads its bytes;
// - WritePrivateProfileStringA edits a private copy of them; the edit
//   counts only when the call succeeded, the copy's bytes parse as before
//   but for the key, which holds `value` (read the way the profile API
//   reads a UTF-8 byte-order mark, as a sample in the private folder shows),
//   and the profile API reads the key back as `value`;
// - the edited bytes replace the file's through its handle and are read
//   back byte for byte.
// Otherwise the file's bytes are put back, or the file it created is
// removed, through the same handle, and a put-back counts only once it is
// read back. Nothing is written to a path, and nothing to the file before
// the edit was checked.
// *notOpened, when given, says why a file left alone (kUndone) could not
// be opened or read; it stays as it was otherwise.
IniWriteResult WriteIniValueVerified(PlatformOps& ops, const char* path,
                                     const char* section, const char* key,
                                     const char* value,
                                     CheckFailure* notOpened = nullptr);

// The same for a file already opened (for kRewrite or kUpdate) as `opened`
// tells; kMissing is kUndone with nothing to say.
IniWriteResult WriteOpenedIniValue(PlatformOps& ops, const OpenedFile& file,
                                   OpenOutcome opened, const char* section,
                                   const char* key, const char* value,
                                   CheckFailure* notOpened = nullptr);

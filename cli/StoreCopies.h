// What the console program does with the per-user VirtualStore copies of
// the INI files: set gives them the value written to their machine files,
// test and detect count one that reads otherwise as a mismatch, and sync
// makes the caller's own copies follow the machine's files.
#pragma once

#include <string>

#include "cli/CommandLine.h"
#include "cli/Inventory.h"
#include "cli/Verbs.h"
#include "platform/PlatformOps.h"

// A line on standard error for each copy of a Found target that cannot be
// read, each profile that cannot be examined, and a profile list that
// cannot be read: none may pass for a copy that holds the value.
std::string UnexaminedCopyLines(const Inventory& inventory);

// Whether every copy of a Found target holds `value`.
bool CopiesHold(const Inventory& inventory, int value);

// What writing the copies came to.
struct CopyWriteSummary {
  bool changed = false;      // one was written (or would be)
  bool failed = false;       // one was not, or a profile was not looked in
  bool notRestored = false;  // one may be left damaged
};

// After set wrote the machine files: gives each copy of a file that now
// holds `value` that value (mode as for the machine files), saying on
// standard error which copy could not be written, whose, and why.
CopyWriteSummary WriteCopiesOfWrittenFiles(PlatformOps& ops,
                                           Inventory& inventory, int value,
                                           WriteMode mode, std::string* err);

// vrpset sync: the caller's own copies of the Found targets' files made to
// follow the machine files, as they read now. Needs no administrator.
int RunSync(PlatformOps& ops, const Command& command, ConsoleText* console);

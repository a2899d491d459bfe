// The console program's exit statuses. None is 3010 or 1641, which every
// deployment engine reads as "restart the computer".
#pragma once

#include "platform/QuietTerminate.h"

namespace exit_status {
constexpr int kSuccess = 0;        // for test: the setting matches
constexpr int kNoMatch = 1;        // test: the setting does not match
constexpr int kUsage = 2;          // usage error; the usage on stderr
constexpr int kNotApplicable = 3;  // no target installed and new enough
constexpr int kPartial = 4;        // some INI file could not be written
constexpr int kNotAdministrator = 5;
// An INI file may be left damaged: a write went wrong and the file could
// not be put back as it was.
constexpr int kNotRestored = 7;
// An exception escaped: the run ended before it could tell what it did.
constexpr int kUnexpectedEnd = kUnexpectedEndStatus;
// ERROR_INSTALL_ALREADY_RUNNING: Intune and Configuration Manager retry it.
constexpr int kBusy = 1618;
}  // namespace exit_status

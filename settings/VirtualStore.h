// Per-user VirtualStore copies of the INI files. A 32-bit program without a
// manifest, run by a standard user, may not write a file under the Windows
// folder, either Program Files folder or ProgramData; Windows then writes
// the user's own copy under %LOCALAPPDATA%\VirtualStore\<path without its
// drive>, and from then on that program reads the copy instead (Microsoft's
// UAC virtualization documentation). So the setting takes effect for such a
// user only once the copy holds it too. Copies are found, read and written
// through the user's profile folder, opened by SID from its volume's root,
// following no link; a copy is never made.
#pragma once

#include <string>
#include <vector>

#include "detect/ScanTargets.h"
#include "platform/OpenedFile.h"
#include "platform/PlatformOps.h"
#include "settings/SkipSetting.h"

// One user's copy of one INI file.
struct StoreCopy {
  std::size_t slot;  // its machine file's index in kIniFiles
  ScanTarget target;
  std::string sid;
  std::string user;  // the account's name where Windows resolves it
  std::string path;  // where it lies, for reports
  // Its folder below the profile folder ("AppData\Local\VirtualStore\...").
  std::string folderInProfile;
  StoredOption value = StoredOption::kNoFile;
  CheckFailure failure = CheckFailure::kNone;  // why it is kUnreadable, or
                                               // why it was not written
  FileWriteOutcome outcome = FileWriteOutcome::kNotApplicable;  // after set
};

// A profile whose copies cannot be looked for: the platform's word on it,
// or why its folder could not be opened.
struct ProfileProblem {
  UserProfile profile;
  CheckFailure folderFailure;
  std::string folder;  // the folder that failed, for reports
};

struct VirtualStoreScan {
  std::vector<StoreCopy> copies;
  std::vector<ProfileProblem> problems;
  // False when the profile list itself cannot be read.
  bool profilesListed = true;
};

// Looks in every user profile (or only that of `onlySid`, when given) for
// copies of each INI file that lies under a virtualized folder: those of
// the Found targets where their folders are (the folder's final path, so
// that any spelling of the install directory finds the same copy), and
// those under the Windows folder of targets not Found (a copy outlives its
// program). A profile folder that is not there has no copies.
VirtualStoreScan FindStoreCopies(PlatformOps& ops,
                                 const DetectionResult& detection,
                                 const std::string& onlySid = std::string());

// Gives each copy the value of its slot in `values` (kSkipOn or kSkipOff;
// any other value leaves that slot's copies alone) through the checked
// write, only where it differs (nothing at all for kWhatIf), and never
// makes one: a copy gone meanwhile stays gone. Sets each copy's outcome;
// true when none failed.
bool WriteStoreCopies(PlatformOps& ops, VirtualStoreScan& scan,
                      const int (&values)[kIniFileCount], const char* key,
                      WriteMode mode);

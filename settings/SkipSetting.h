// The option in the INI files of the Found targets: read into one tri-state
// value when the dialog opens, written back on OK with a report per target.
// What reading and writing find and do is returned per file, so that the
// dialog and the console program can each tell it their own way.
#pragma once

#include <functional>

#include "detect/ScanTargets.h"
#include "platform/OpenedFile.h"
#include "platform/PlatformOps.h"

// The option's tri-state value; the same numbers are the check box's states.
enum SkipState { kSkipOff = 0, kSkipOn = 1, kSkipMixed = 2 };

// The option's key; its section is [Special].
constexpr const char* kSkipSettingKey = "EnableVeloRidePass";
constexpr const char* kSkipSettingSection = "Special";

// The one reading rule, for the dialog's check box and every command of the
// console program: the option is on only when the profile API reads the
// value as the integer 1 from a private copy of the file's bytes, read
// through handles that follow no link. Anything else, a missing key,
// section or file, a file that cannot be read or leads elsewhere, is off.
bool IsOptionOn(PlatformOps& ops, const char* path, const char* key);

// The option in one file as the reports tell it: on or off by that rule,
// whether the file is there at all, and whether it could be read: a file
// that cannot be read (held shut by another program, behind a link) is
// off for the check box, but never holds a state.
// `why`, when given, says why a file read as kUnreadable could not be
// examined.
enum class StoredOption { kNoFile, kOff, kOn, kUnreadable };
StoredOption ReadStoredOption(PlatformOps& ops, const char* path,
                              const char* key, CheckFailure* why = nullptr);

// The same for a file already opened (for reading) as `opened` tells.
StoredOption ReadOpenedOption(PlatformOps& ops, const OpenedFile& file,
                              OpenOutcome opened, const char* key,
                              CheckFailure* why = nullptr);

// Whether a file whose option was read as `stored` already holds `state`
// (On or Off): a missing file holds Off, an unreadable one nothing.
bool OptionHolds(StoredOption stored, int state);

// Reads `key` from every INI file of every Found target (a Found ISIS target
// has two) and sets *state: Off when none reads as the integer 1, On when
// all do, Mixed otherwise. A missing file, section or key reads as off.
void ReadSkipSetting(PlatformOps& ops, const DetectionResult& detection,
                     int* state, const char* key);

// What writing did to one INI file.
enum class FileWriteOutcome {
  kNotApplicable,     // its target is not Found: left alone
  kChanged,           // written: it now holds the value
  kAlreadySet,        // it already read as the value: not written
  kWouldChange,       // a what-if run: it would be written
  kFailed,            // not written, and left as it was
  kRefused,           // not written: its path leads elsewhere (a link on
                      // the way, or a file with more than one name)
  kCannotCheck,       // not written: where its path leads cannot be checked
  kFailedNotRestored  // not written, and could not be put back either
};

enum class WriteMode {
  kEveryFile,           // the dialog: every file is written
  kOnlyWhereDifferent,  // files that already read as the value are left
                        // alone: a missing file is never made to hold Off
  kWhatIf,              // nothing is written; says what would be
};

// Whether the outcome is one of a file left as it was against our will.
bool IsWriteFailure(FileWriteOutcome outcome);

// Opens a file for a use, as an OpenedFile's Open or OpenBelow does.
using FileOpener = std::function<OpenOutcome(OpenedFile& file, FileUse use)>;

// One file's checked write of "1" (On) or "0" (Off) under `key`, the file
// reached by `open`: opened for reading first unless mode is kEveryFile
// (left alone where it already holds the state; nothing written at all
// for kWhatIf), then for writeUse (kRewrite, or kUpdate to make no file).
FileWriteOutcome WriteOptionTo(PlatformOps& ops, const FileOpener& open,
                               FileUse writeUse, const char* key, int state,
                               WriteMode mode, CheckFailure* why);

struct OptionWriteResult {
  FileWriteOutcome files[kIniFileCount];  // in kIniFiles order
  // Why a file that failed could not be opened or read, where that is why.
  CheckFailure reasons[kIniFileCount];
  // Targets with a failed file, and those whose probe could not be
  // examined: nothing can be said of them but that they were not written.
  TargetFlags failed;
  TargetFlags notRestored;  // targets with a file that may be left damaged
};

// Writes "1" (On) or "0" (Off) under `key` to every INI file of every Found
// target, in the order ISIS (RX-M7720B, RX-M7710B), TWAIN, capture
// application, each write verified and undone when it went wrong, and
// clears the found flag of every target with a failed file. A target that
// could not be checked counts as failed. `state` must be On or Off.
OptionWriteResult WriteOption(PlatformOps& ops, DetectionResult& detection,
                              int state, const char* key, WriteMode mode);

// The dialog's OK: WriteOption on every file, then an "Error" box listing
// the targets with a failed write (and again, under a line of their own,
// those with a file that could not be put back), then an "End" box listing
// the targets still Found, both owned by `owner`. Mixed (or any other state)
// writes nothing and shows nothing.
void WriteSkipSetting(PlatformOps& ops, DetectionResult& detection,
                      OsWindow owner, int state, const char* key);

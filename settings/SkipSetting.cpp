#include "settings/SkipSetting.h"

#include "platform/OpenedFile.h"
#include "settings/VerifiedIniWrite.h"
#include "settings/VirtualStore.h"

namespace {

const char* ValueText(int state) { return state == kSkipOn ? "1" : "0"; }

FileWriteOutcome WriteOneFile(PlatformOps& ops, const char* path,
                              const char* key, int state, WriteMode mode,
                              CheckFailure* why) {
  return WriteOptionTo(
      ops,
      [path](OpenedFile& file, FileUse use) { return file.Open(path, use); },
      FileUse::kRewrite, key, state, mode, why);
}

}  // namespace

FileWriteOutcome WriteOptionTo(PlatformOps& ops, const FileOpener& open,
                               FileUse writeUse, const char* key, int state,
                               WriteMode mode, CheckFailure* why) {
  if (mode != WriteMode::kEveryFile) {
    OpenedFile file(ops);
    const OpenOutcome opened = open(file, FileUse::kRead);
    CheckFailure unread = CheckFailure::kNone;
    const StoredOption stored =
        ReadOpenedOption(ops, file, opened, key, &unread);
    if (OptionHolds(stored, state)) return FileWriteOutcome::kAlreadySet;
    // What-if writes nothing, so it cannot find out that a file it could
    // not even read will not be written either: it says so now.
    if (mode == WriteMode::kWhatIf && stored == StoredOption::kUnreadable) {
      if (why != nullptr) *why = unread;
      return FileWriteOutcome::kFailed;
    }
  }
  if (mode == WriteMode::kWhatIf) return FileWriteOutcome::kWouldChange;
  OpenedFile file(ops);
  const OpenOutcome opened = open(file, writeUse);
  // An update makes no file: one gone meanwhile has nothing to hold.
  if (writeUse == FileUse::kUpdate && opened == OpenOutcome::kMissing) {
    return FileWriteOutcome::kNotApplicable;
  }
  switch (WriteOpenedIniValue(ops, file, opened, kSkipSettingSection, key,
                              ValueText(state), why)) {
    case IniWriteResult::kWritten:
      return FileWriteOutcome::kChanged;
    case IniWriteResult::kUndone:
      return FileWriteOutcome::kFailed;
    case IniWriteResult::kRefused:
      return FileWriteOutcome::kRefused;
    case IniWriteResult::kCannotCheck:
      return FileWriteOutcome::kCannotCheck;
    case IniWriteResult::kNotRestored:
      break;
  }
  return FileWriteOutcome::kFailedNotRestored;
}

bool IsWriteFailure(FileWriteOutcome outcome) {
  return outcome == FileWriteOutcome::kFailed ||
         outcome == FileWriteOutcome::kRefused ||
         outcome == FileWriteOutcome::kCannotCheck ||
         outcome == FileWriteOutcome::kFailedNotRestored;
}

StoredOption ReadStoredOption(PlatformOps& ops, const char* path,
                              const char* key, CheckFailure* why) {
  OpenedFile file(ops);
  const OpenOutcome opened = file.Open(path, FileUse::kRead);
  return ReadOpenedOption(ops, file, opened, key, why);
}

StoredOption ReadOpenedOption(PlatformOps& ops, const OpenedFile& file,
                              OpenOutcome opened, const char* key,
                              CheckFailure* why) {
  if (opened == OpenOutcome::kMissing) return StoredOption::kNoFile;
  std::string copy;
  if (opened != OpenOutcome::kOpened ||
      !file.CopyToPrivate(kIniCopyName, kMaxIniFileSize, &copy)) {
    if (why != nullptr) *why = file.failure();
    return StoredOption::kUnreadable;
  }
  return ops.ReadIniInt(kSkipSettingSection, key, copy.c_str()) == 1
             ? StoredOption::kOn
             : StoredOption::kOff;
}

bool IsOptionOn(PlatformOps& ops, const char* path, const char* key) {
  return ReadStoredOption(ops, path, key) == StoredOption::kOn;
}

bool OptionHolds(StoredOption stored, int state) {
  return stored != StoredOption::kUnreadable &&
         (stored == StoredOption::kOn) == (state == kSkipOn);
}

void ReadSkipSetting(PlatformOps& ops, const DetectionResult& detection,
                     int* state, const char* key) {
  int on = 0;
  int off = 0;
  for (const IniFileSlot& slot : kIniFiles) {
    if (!FoundFlag(detection, slot.target)) continue;
    if (IsOptionOn(ops, detection.*slot.path, key)) {
      ++on;
    } else {
      ++off;
    }
  }
  if (on == 0) {
    *state = kSkipOff;
  } else {
    *state = off == 0 ? kSkipOn : kSkipMixed;
  }
}

OptionWriteResult WriteOption(PlatformOps& ops, DetectionResult& detection,
                              int state, const char* key, WriteMode mode) {
  // Found flags as they were before writing: a target whose first ISIS file
  // failed still has its second file written.
  TargetFlags toWrite = {};
  CopyFoundFlags(detection, toWrite);
  OptionWriteResult result = {};
  CopyUncheckedFlags(detection, result.failed);
  for (std::size_t i = 0; i < kIniFileCount; ++i) {
    const IniFileSlot& slot = kIniFiles[i];
    result.files[i] = FileWriteOutcome::kNotApplicable;
    if (!FlagOf(toWrite, slot.target)) continue;
    result.files[i] = WriteOneFile(ops, detection.*slot.path, key, state, mode,
                                   &result.reasons[i]);
    if (IsWriteFailure(result.files[i])) {
      FlagOf(result.failed, slot.target) = 1;
      if (result.files[i] == FileWriteOutcome::kFailedNotRestored) {
        FlagOf(result.notRestored, slot.target) = 1;
      }
      FoundFlag(detection, slot.target) = 0;
    }
  }
  return result;
}

namespace {

// Gives the copies of every file that now holds `state` that state, as
// vrpset set does; a copy that fails puts its target with the failed ones.
// The users whose copies were not written (or not looked for) are added to
// *users, one display line each.
void WriteCopies(PlatformOps& ops, VirtualStoreScan& store,
                 DetectionResult& detection, OptionWriteResult& result,
                 int state, const char* key, std::string* users) {
  int values[kIniFileCount] = {};
  for (std::size_t i = 0; i < kIniFileCount; ++i) {
    values[i] = result.files[i] == FileWriteOutcome::kChanged ? state : -1;
  }
  WriteStoreCopies(ops, store, values, key, WriteMode::kOnlyWhereDifferent);
  for (const StoreCopy& copy : store.copies) {
    if (!IsWriteFailure(copy.outcome)) continue;
    FlagOf(result.failed, copy.target) = 1;
    if (copy.outcome == FileWriteOutcome::kFailedNotRestored) {
      FlagOf(result.notRestored, copy.target) = 1;
    }
    FoundFlag(detection, copy.target) = 0;
    *users += "    " + (copy.user.empty() ? copy.sid : copy.user) + "\n";
  }
  if (!store.profilesListed) *users += "    every user: no profile list\n";
  for (const ProfileProblem& problem : store.problems) {
    *users += "    " +
              (problem.profile.account.empty() ? problem.profile.sid
                                               : problem.profile.account) +
              "\n";
  }
}

}  // namespace

void WriteSkipSetting(PlatformOps& ops, DetectionResult& detection,
                      OsWindow owner, int state, const char* key) {
  if (state != kSkipOn && state != kSkipOff) return;
  // Copies are looked for while every Found target still counts.
  VirtualStoreScan store = FindStoreCopies(ops, detection);
  OptionWriteResult result =
      WriteOption(ops, detection, state, key, WriteMode::kEveryFile);
  std::string users;
  WriteCopies(ops, store, detection, result, state, key, &users);

  if (AnySet(result.failed) || !users.empty()) {
    MessageText error;
    error.Append("INI file write error!\n\n");
    BuildTargetList(error, result.failed);
    if (AnySet(result.notRestored)) {
      error.Append("\nNot restored, check the INI files of:\n\n");
      BuildTargetList(error, result.notRestored);
    }
    if (!users.empty()) {
      error.Append("\nVirtualStore copies not written, of:\n");
      error.Append(users.c_str());
    }
    ops.ShowMessage(owner, error.text, "Error");
  }
  TargetFlags changed = {};
  CopyFoundFlags(detection, changed);
  if (AnySet(changed)) {
    MessageText report;
    report.Append("VRP setting is changed for following application.\n\n");
    BuildTargetList(report, changed);
    ops.ShowMessage(owner, report.text, "End");
  }
}

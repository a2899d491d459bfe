#include "settings/SkipSetting.h"

#include "platform/OpenedFile.h"
#include "settings/VerifiedIniWrite.h"

namespace {

const char* ValueText(int state) { return state == kSkipOn ? "1" : "0"; }

FileWriteOutcome WriteOneFile(PlatformOps& ops, const char* path,
                              const char* key, int state, WriteMode mode,
                              CheckFailure* why) {
  if (mode != WriteMode::kEveryFile &&
      OptionHolds(ReadStoredOption(ops, path, key), state)) {
    return FileWriteOutcome::kAlreadySet;
  }
  if (mode == WriteMode::kWhatIf) return FileWriteOutcome::kWouldChange;
  switch (WriteIniValueVerified(ops, path, kSkipSettingSection, key,
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

bool IsFailure(FileWriteOutcome outcome) {
  return outcome == FileWriteOutcome::kFailed ||
         outcome == FileWriteOutcome::kRefused ||
         outcome == FileWriteOutcome::kCannotCheck ||
         outcome == FileWriteOutcome::kFailedNotRestored;
}

}  // namespace

StoredOption ReadStoredOption(PlatformOps& ops, const char* path,
                              const char* key, CheckFailure* why) {
  OpenedFile file(ops);
  const OpenOutcome opened = file.Open(path, FileUse::kRead);
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
    if (IsFailure(result.files[i])) {
      FlagOf(result.failed, slot.target) = 1;
      if (result.files[i] == FileWriteOutcome::kFailedNotRestored) {
        FlagOf(result.notRestored, slot.target) = 1;
      }
      FoundFlag(detection, slot.target) = 0;
    }
  }
  return result;
}

void WriteSkipSetting(PlatformOps& ops, DetectionResult& detection,
                      OsWindow owner, int state, const char* key) {
  if (state != kSkipOn && state != kSkipOff) return;
  const OptionWriteResult result =
      WriteOption(ops, detection, state, key, WriteMode::kEveryFile);

  if (AnySet(result.failed)) {
    MessageText error;
    error.Append("INI file write error!\n\n");
    BuildTargetList(error, result.failed);
    if (AnySet(result.notRestored)) {
      error.Append("\nNot restored, check the INI files of:\n\n");
      BuildTargetList(error, result.notRestored);
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

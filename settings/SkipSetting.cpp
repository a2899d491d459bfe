#include "settings/SkipSetting.h"

#include <new>
#include <string>

#include "settings/VerifiedIniWrite.h"

namespace {

const char* ValueText(int state) { return state == kSkipOn ? "1" : "0"; }

// Whether the file's stored value is exactly the text to be written. Any
// doubt (no such key, a read that fails, no memory) says no, so the file is
// written and checked.
bool HoldsExactly(PlatformOps& ops, const char* path, const char* key,
                  const char* value) {
  try {
    std::string stored;
    return ReadIniValueText(ops, path, kSkipSettingSection, key, &stored) &&
           stored == value;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

FileWriteOutcome WriteOneFile(PlatformOps& ops, const char* path,
                              const char* key, const char* value,
                              WriteMode mode) {
  if (mode != WriteMode::kEveryFile && HoldsExactly(ops, path, key, value)) {
    return FileWriteOutcome::kAlreadySet;
  }
  if (mode == WriteMode::kWhatIf) return FileWriteOutcome::kWouldChange;
  switch (WriteIniValueVerified(ops, path, kSkipSettingSection, key, value)) {
    case IniWriteResult::kWritten:
      return FileWriteOutcome::kChanged;
    case IniWriteResult::kUndone:
      return FileWriteOutcome::kFailed;
    case IniWriteResult::kNotRestored:
      break;
  }
  return FileWriteOutcome::kFailedNotRestored;
}

bool IsFailure(FileWriteOutcome outcome) {
  return outcome == FileWriteOutcome::kFailed ||
         outcome == FileWriteOutcome::kFailedNotRestored;
}

}  // namespace

StoredOption ReadStoredOption(PlatformOps& ops, const char* path,
                              const char* key) {
  if (!ops.PathExists(path)) return StoredOption::kNoFile;
  return ops.ReadIniInt(kSkipSettingSection, key, path) == 1
             ? StoredOption::kOn
             : StoredOption::kOff;
}

void ReadSkipSetting(PlatformOps& ops, const DetectionResult& detection,
                     int* state, const char* key) {
  int on = 0;
  int off = 0;
  for (const IniFileSlot& slot : kIniFiles) {
    if (!FoundFlag(detection, slot.target)) continue;
    if (ops.ReadIniInt(kSkipSettingSection, key, detection.*slot.path) == 1) {
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
  const char* value = ValueText(state);
  // Found flags as they were before writing: a target whose first ISIS file
  // failed still has its second file written.
  TargetFlags toWrite = {};
  CopyFoundFlags(detection, toWrite);
  OptionWriteResult result = {};
  for (std::size_t i = 0; i < kIniFileCount; ++i) {
    const IniFileSlot& slot = kIniFiles[i];
    result.files[i] = FileWriteOutcome::kNotApplicable;
    if (!FlagOf(toWrite, slot.target)) continue;
    result.files[i] = WriteOneFile(ops, detection.*slot.path, key, value, mode);
    if (IsFailure(result.files[i])) {
      FlagOf(result.failed, slot.target) = 1;
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

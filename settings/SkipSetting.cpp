#include "settings/SkipSetting.h"

#include "settings/VerifiedIniWrite.h"

namespace {

constexpr const char* kSection = "Special";

}  // namespace

void ReadSkipSetting(PlatformOps& ops, const DetectionResult& detection,
                     int* state, const char* key) {
  int on = 0;
  int off = 0;
  for (const IniFileSlot& slot : kIniFiles) {
    if (!FoundFlag(detection, slot.target)) continue;
    if (ops.ReadIniInt(kSection, key, detection.*slot.path) == 1) {
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

void WriteSkipSetting(PlatformOps& ops, DetectionResult& detection,
                      OsWindow owner, int state, const char* key) {
  if (state != kSkipOn && state != kSkipOff) return;
  const char* value = state == kSkipOn ? "1" : "0";

  // Found flags as they were before writing: a target whose first ISIS file
  // failed still has its second file written.
  TargetFlags toWrite = {};
  CopyFoundFlags(detection, toWrite);
  TargetFlags failed = {};
  for (const IniFileSlot& slot : kIniFiles) {
    if (!FlagOf(toWrite, slot.target)) continue;
    if (WriteIniValueVerified(ops, detection.*slot.path, kSection, key,
                              value) != IniWriteResult::kWritten) {
      FlagOf(failed, slot.target) = 1;
      FoundFlag(detection, slot.target) = 0;
    }
  }

  if (AnySet(failed)) {
    MessageText error;
    error.Append("INI file write error!\n\n");
    BuildTargetList(error, failed);
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

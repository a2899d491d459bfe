#include "cli/Inventory.h"

#include "detect/Detectors.h"
#include "detect/VersionCheck.h"

namespace {

// <profile>\AppData\Local\VirtualStore\<Windows folder without its drive>
// <INI suffix>: where Windows redirects a write under the Windows folder by
// a program it virtualizes.
void FindVirtualStoreCopies(PlatformOps& ops, Inventory& inventory) {
  char windowsDir[kPathBufferSize];
  const unsigned length = ops.GetWindowsDir(windowsDir, sizeof windowsDir);
  if (length < 3 || length >= sizeof windowsDir || windowsDir[1] != ':') {
    return;
  }
  std::string profiles;
  if (!ops.ListProfileDirs(&profiles)) return;
  for (const std::string& profile : SplitTerminatedList(profiles)) {
    for (const IniFileSlot& slot : kIniFiles) {
      if (slot.target == ScanTarget::Capture) continue;  // not under Windows
      const std::string copy = profile + "\\AppData\\Local\\VirtualStore" +
                               (windowsDir + 2) + slot.suffix;
      if (copy.size() >= kPathBufferSize || !ops.PathExists(copy.c_str())) {
        continue;
      }
      inventory.virtualStore.push_back(
          {slot.target, copy,
           ReadStoredOption(ops, copy.c_str(), kSkipSettingKey)});
    }
  }
}

}  // namespace

Inventory TakeInventory(PlatformOps& ops, bool withVirtualStore) {
  Inventory inventory;
  TargetFlags tooOld = {};
  ProbePaths probes = {};
  DetectAllTargets(ops, inventory.detection, tooOld, &probes);
  for (ScanTarget target : kAllTargets) {
    TargetReport& report = inventory.targets[static_cast<std::size_t>(target)];
    if (FoundFlag(inventory.detection, target)) {
      report.status = TargetStatus::Found;
    } else if (FlagOf(tooOld, target)) {
      report.status = TargetStatus::TooOld;
    }
    char version[kPathBufferSize];
    const char* probe = probes[static_cast<std::size_t>(target)];
    inventory.probes[static_cast<std::size_t>(target)] = probe;
    if (report.status != TargetStatus::Absent &&
        ReadFileVersion(ops, probe, version)) {
      report.version = version;
    }
  }
  for (const IniFileSlot& slot : kIniFiles) {
    if (!FoundFlag(inventory.detection, slot.target)) continue;
    const char* path = inventory.detection.*slot.path;
    inventory.files.push_back(
        {slot.target, path, ReadStoredOption(ops, path, kSkipSettingKey)});
  }
  if (withVirtualStore) FindVirtualStoreCopies(ops, inventory);
  return inventory;
}

bool AnyUsable(const Inventory& inventory) { return !inventory.files.empty(); }

const char* CombinedState(const Inventory& inventory) {
  if (!AnyUsable(inventory)) return "none";
  int on = 0;
  for (const IniFileReport& file : inventory.files) {
    on += file.value == StoredOption::kOn ? 1 : 0;
  }
  if (on == 0) return "off";
  return on == static_cast<int>(inventory.files.size()) ? "on" : "mixed";
}

const char* TargetName(ScanTarget target) { return InfoOf(target).name; }

const char* StatusName(TargetStatus status) {
  switch (status) {
    case TargetStatus::Found:
      return "found";
    case TargetStatus::TooOld:
      return "too old";
    case TargetStatus::Absent:
      break;
  }
  return "not installed";
}

const char* OptionName(StoredOption value) {
  switch (value) {
    case StoredOption::kOn:
      return "on";
    case StoredOption::kOff:
      return "off";
    case StoredOption::kNoFile:
      break;
  }
  return "no file";
}

const char* OutcomeName(FileWriteOutcome outcome) {
  switch (outcome) {
    case FileWriteOutcome::kChanged:
      return "changed";
    case FileWriteOutcome::kAlreadySet:
      return "already set";
    case FileWriteOutcome::kWouldChange:
      return "would change";
    case FileWriteOutcome::kFailed:
      return "failed";
    case FileWriteOutcome::kFailedNotRestored:
      return "failed, not restored";
    case FileWriteOutcome::kNotApplicable:
      break;
  }
  return "not applicable";
}

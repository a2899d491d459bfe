#include "cli/Inventory.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "detect/Detectors.h"
#include "detect/VersionCheck.h"

Inventory TakeInventory(PlatformOps& ops, bool withVirtualStore,
                        const std::string& onlySid) {
  Inventory inventory;
  TargetFlags tooOld = {};
  ProbePaths probes = {};
  DetectAllTargets(ops, inventory.detection, tooOld, &probes);
  for (ScanTarget target : kAllTargets) {
    TargetReport& report = inventory.targets[static_cast<std::size_t>(target)];
    const auto index = static_cast<std::size_t>(target);
    report.failure = inventory.detection.probeFailure[index];
    if (FoundFlag(inventory.detection, target)) {
      report.status = TargetStatus::Found;
    } else if (FlagOf(tooOld, target)) {
      report.status = TargetStatus::TooOld;
    } else if (report.failure != CheckFailure::kNone) {
      report.status = TargetStatus::Unchecked;
    }
    char version[kPathBufferSize];
    const char* probe = probes[index];
    inventory.probes[index] = probe;
    if ((report.status == TargetStatus::Found ||
         report.status == TargetStatus::TooOld) &&
        ReadProgramVersion(ops, probe, version)) {
      report.version = version;
    }
  }
  for (std::size_t i = 0; i < kIniFileCount; ++i) {
    const IniFileSlot& slot = kIniFiles[i];
    if (!FoundFlag(inventory.detection, slot.target)) continue;
    const char* path = inventory.detection.*slot.path;
    CheckFailure failure = CheckFailure::kNone;
    const StoredOption value =
        ReadStoredOption(ops, path, kSkipSettingKey, &failure);
    inventory.files.push_back({i, slot.target, path, value, failure});
  }
  if (withVirtualStore) {
    inventory.store = FindStoreCopies(ops, inventory.detection, onlySid);
  }
  return inventory;
}

bool AnyUsable(const Inventory& inventory) { return !inventory.files.empty(); }

StoredOption MachineValue(const Inventory& inventory, std::size_t slot) {
  for (const IniFileReport& file : inventory.files) {
    if (file.slot == slot) return file.value;
  }
  return StoredOption::kNoFile;
}

bool CopyDiffers(const Inventory& inventory, const StoreCopy& copy) {
  if (!FoundFlag(inventory.detection, copy.target)) return false;
  const bool machineOn =
      MachineValue(inventory, copy.slot) == StoredOption::kOn;
  return copy.value == StoredOption::kUnreadable ||
         (copy.value == StoredOption::kOn) != machineOn;
}

bool AnyUnchecked(const Inventory& inventory) {
  return std::any_of(std::begin(inventory.targets), std::end(inventory.targets),
                     [](const TargetReport& t) {
                       return t.status == TargetStatus::Unchecked;
                     });
}

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

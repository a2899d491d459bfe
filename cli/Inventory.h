// What the console program finds on the machine: each target's status and
// version, the option in each INI file, and the per-user VirtualStore
// copies that a program without a manifest, run without elevation, reads
// instead of the real files under a folder Windows virtualizes.
#pragma once

#include <string>
#include <vector>

#include "detect/ScanTargets.h"
#include "platform/PlatformOps.h"
#include "settings/SkipSetting.h"
#include "settings/VirtualStore.h"

struct TargetReport {
  TargetStatus status = TargetStatus::Absent;
  std::string version;  // the probe file's FileVersion; empty when none
  CheckFailure failure = CheckFailure::kNone;  // why it is Unchecked
};

struct IniFileReport {
  std::size_t slot;  // index into kIniFiles
  ScanTarget target;
  std::string path;
  StoredOption value;
  // Why it is kUnreadable and, after set, why it could not be written.
  CheckFailure failure = CheckFailure::kNone;
  FileWriteOutcome outcome = FileWriteOutcome::kNotApplicable;  // after set
};

struct Inventory {
  DetectionResult detection;
  TargetReport targets[kTargetCount];  // by ScanTarget
  std::string probes[kTargetCount];    // each target's probe file
  // Every INI file of every Found target, in the order they are written.
  std::vector<IniFileReport> files;
  VirtualStoreScan store;  // per-user copies that exist
};

// Detects the targets (in the dialog's order) and reads the option from
// each of their files; with `withVirtualStore`, also looks in every user
// profile (or only that of `onlySid`) for VirtualStore copies of every INI
// file that lies under the Windows folder, either Program Files folder or
// ProgramData.
Inventory TakeInventory(PlatformOps& ops, bool withVirtualStore,
                        const std::string& onlySid = std::string());

// What the machine file of a slot read as: kNoFile where it was not read.
StoredOption MachineValue(const Inventory& inventory, std::size_t slot);

// Whether a copy of a Found target reads otherwise than its machine file
// (or cannot be read at all): its user scans with another value.
bool CopyDiffers(const Inventory& inventory, const StoreCopy& copy);

// Whether any target is Found.
bool AnyUsable(const Inventory& inventory);

// Whether any target could not be checked.
bool AnyUnchecked(const Inventory& inventory);

// The option across all files of all Found targets: "on", "off", "mixed",
// or "none" when no target is Found.
const char* CombinedState(const Inventory& inventory);

// The target's name in the reports: "TWAIN", "ISIS", "Lumora".
const char* TargetName(ScanTarget target);

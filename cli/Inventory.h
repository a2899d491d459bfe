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

struct TargetReport {
  TargetStatus status = TargetStatus::Absent;
  std::string version;  // the probe file's FileVersion; empty when none
  CheckFailure failure = CheckFailure::kNone;  // why it is Unchecked
};

struct IniFileReport {
  std::size_t slot;  // index into kIniFiles; kIniFileCount for a copy
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
  std::vector<IniFileReport> virtualStore;  // copies that exist
};

// Detects the targets (in the dialog's order) and reads the option from
// each of their files; with `withVirtualStore`, also looks in every user
// profile for VirtualStore copies of every INI file that lies under the
// Windows folder, either Program Files folder or ProgramData.
Inventory TakeInventory(PlatformOps& ops, bool withVirtualStore);

// Whether any target is Found.
bool AnyUsable(const Inventory& inventory);

// Whether any target could not be checked.
bool AnyUnchecked(const Inventory& inventory);

// The option across all files of all Found targets: "on", "off", "mixed",
// or "none" when no target is Found.
const char* CombinedState(const Inventory& inventory);

// The target's name in the reports: "TWAIN", "ISIS", "Lumora".
const char* TargetName(ScanTarget target);

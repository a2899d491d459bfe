#include "cli/Inventory.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <utility>

#include "detect/Detectors.h"
#include "detect/VersionCheck.h"

namespace {

// The folders whose writes Windows redirects for a program it virtualizes
// (a 32-bit program without a manifest, run without elevation): the
// Windows folder, both Program Files folders and ProgramData, each
// "X:\..." without a trailing backslash.
std::vector<std::string> VirtualizedFolders(PlatformOps& ops) {
  std::vector<std::string> folders;
  char buffer[kPathBufferSize];
  const unsigned length = ops.GetWindowsDir(buffer, sizeof buffer);
  if (length > 0 && length < sizeof buffer) folders.push_back(buffer);
  for (const char* variable : {"%ProgramFiles%", "%ProgramFiles(x86)%",
                               "%ProgramW6432%", "%ProgramData%"}) {
    const unsigned long needed =
        ops.ExpandEnvironment(variable, buffer, sizeof buffer);
    // An unknown variable stays as it is, '%' and all.
    if (needed > 0 && needed <= sizeof buffer &&
        std::strchr(buffer, '%') == nullptr) {
      folders.push_back(buffer);
    }
  }
  std::vector<std::string> usable;
  for (std::string& folder : folders) {
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    if (folder.size() >= 3 && folder[1] == ':') usable.push_back(folder);
  }
  return usable;
}

bool StartsWithFolder(const std::string& path, const std::string& folder) {
  if (path.size() <= folder.size() || path[folder.size()] != '\\') {
    return false;
  }
  for (std::size_t i = 0; i < folder.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(path[i])) !=
        std::tolower(static_cast<unsigned char>(folder[i]))) {
      return false;
    }
  }
  return true;
}

// The INI files whose copies are looked for: those under the Windows folder
// whether or not their target was found (a copy outlives its program), and
// the capture application's where its folder is known.
std::vector<std::pair<ScanTarget, std::string>> CandidateFiles(
    PlatformOps& ops, const Inventory& inventory) {
  std::vector<std::pair<ScanTarget, std::string>> candidates;
  char windowsDir[kPathBufferSize];
  const unsigned length = ops.GetWindowsDir(windowsDir, sizeof windowsDir);
  for (const IniFileSlot& slot : kIniFiles) {
    if (slot.target == ScanTarget::Capture) {
      const char* path = inventory.detection.*slot.path;
      if (*path != '\0') candidates.push_back({slot.target, path});
    } else if (length > 0 && length < sizeof windowsDir) {
      candidates.push_back(
          {slot.target, windowsDir + std::string(slot.suffix)});
    }
  }
  return candidates;
}

// <profile>\AppData\Local\VirtualStore\<path without its drive>: where
// Windows redirects such a program's write.
void FindVirtualStoreCopies(PlatformOps& ops, Inventory& inventory) {
  const std::vector<std::string> folders = VirtualizedFolders(ops);
  std::string profiles;
  if (folders.empty() || !ops.ListProfileDirs(&profiles)) return;
  const auto candidates = CandidateFiles(ops, inventory);
  for (const std::string& profile : SplitTerminatedList(profiles)) {
    for (const auto& candidate : candidates) {
      const std::string& path = candidate.second;
      const bool virtualized = std::any_of(
          folders.begin(), folders.end(), [&](const std::string& folder) {
            return StartsWithFolder(path, folder);
          });
      if (!virtualized) continue;
      const std::string copy =
          profile + "\\AppData\\Local\\VirtualStore" + path.substr(2);
      if (copy.size() >= kPathBufferSize) continue;
      // A user's own folder: read as every target's file is, through
      // handles that follow no link.
      CheckFailure failure = CheckFailure::kNone;
      const StoredOption option =
          ReadStoredOption(ops, copy.c_str(), kSkipSettingKey, &failure);
      if (option == StoredOption::kNoFile) continue;
      inventory.virtualStore.push_back(
          {kIniFileCount, candidate.first, copy, option, failure});
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
  if (withVirtualStore) FindVirtualStoreCopies(ops, inventory);
  return inventory;
}

bool AnyUsable(const Inventory& inventory) { return !inventory.files.empty(); }

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

#include "settings/VirtualStore.h"

#include <cctype>
#include <cstring>

namespace {

constexpr const char* kStoreInProfile = "AppData\\Local\\VirtualStore";

// "C:\Program Files (x86)\Lumora" of "C:\Program Files (x86)\Lumora\x":
// the folder of a path, without its trailing separator.
std::string FolderOf(const std::string& path) {
  return path.substr(0, path.find_last_of('\\'));
}

// Where an opened folder really is; `spelled` where that cannot be told
// (a folder that is not there).
std::string FinalFolder(PlatformOps& ops, const std::string& spelled) {
  OsHandle folder = nullptr;
  std::string final;
  if (ops.OpenFolder(spelled.c_str(), &folder) != OpenOutcome::kOpened) {
    return spelled;
  }
  if (!ops.FolderFinalPath(folder, &final)) final = spelled;
  ops.CloseOsHandle(folder);
  while (final.size() > 3 && final.back() == '\\') final.pop_back();
  return final;
}

// The folders whose writes Windows redirects for a program it virtualizes:
// the Windows folder, both Program Files folders and ProgramData, each
// "X:\..." as its final path tells.
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
  for (const std::string& folder : folders) {
    const std::string final = FinalFolder(ops, folder);
    if (final.size() >= 3 && final[1] == ':') usable.push_back(final);
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

// A machine INI file whose copies are looked for: its slot and its folder
// below its drive's root ("Program Files (x86)\Lumora").
struct Candidate {
  std::size_t slot;
  std::string folderBelowRoot;
};

// The INI files of the Found targets where their folders really are, and
// those under the Windows folder of targets not Found (a copy outlives its
// program), each under a virtualized folder.
std::vector<Candidate> CandidateFiles(PlatformOps& ops,
                                      const DetectionResult& detection) {
  const std::vector<std::string> virtualized = VirtualizedFolders(ops);
  std::vector<Candidate> candidates;
  char windowsDir[kPathBufferSize];
  const unsigned length = ops.GetWindowsDir(windowsDir, sizeof windowsDir);
  for (std::size_t slot = 0; slot < kIniFileCount; ++slot) {
    const IniFileSlot& file = kIniFiles[slot];
    std::string path;
    if (FoundFlag(detection, file.target)) {
      path = detection.*file.path;
    } else if (file.target != ScanTarget::Capture && length > 0 &&
               length < sizeof windowsDir) {
      path = windowsDir + std::string(file.suffix);
    }
    if (path.empty()) continue;
    const std::string folder = FinalFolder(ops, FolderOf(path));
    for (const std::string& root : virtualized) {
      if (folder == root || StartsWithFolder(folder, root)) {
        candidates.push_back({slot, folder.substr(3)});
        break;
      }
    }
  }
  return candidates;
}

}  // namespace

VirtualStoreScan FindStoreCopies(PlatformOps& ops,
                                 const DetectionResult& detection,
                                 const std::string& onlySid) {
  VirtualStoreScan scan;
  std::vector<UserProfile> profiles;
  if (!ops.ListUserProfiles(&profiles)) {
    scan.profilesListed = false;
    return scan;
  }
  const std::vector<Candidate> candidates = CandidateFiles(ops, detection);
  for (const UserProfile& profile : profiles) {
    if (!onlySid.empty() && profile.sid != onlySid) continue;
    if (!profile.problem.empty()) {
      scan.problems.push_back({profile, CheckFailure::kNone, ""});
      continue;
    }
    OsHandle folder = nullptr;
    const OpenOutcome opened = ops.OpenProfileFolder(profile.sid, &folder);
    if (opened == OpenOutcome::kMissing) continue;
    if (opened != OpenOutcome::kOpened) {
      scan.problems.push_back({profile, FailureOf(opened), profile.folder});
      continue;
    }
    bool folderProblem = false;
    for (const Candidate& candidate : candidates) {
      const IniFileSlot& slot = kIniFiles[candidate.slot];
      const std::string folderInProfile =
          std::string(kStoreInProfile) + "\\" + candidate.folderBelowRoot;
      OpenedFile copy(ops);
      const OpenOutcome found =
          copy.OpenBelow(folder, folderInProfile, kIniCopyName, FileUse::kRead);
      if (found == OpenOutcome::kMissing) continue;
      // A folder on the way that cannot be opened (or is a link) hides
      // whether there is a copy at all: the profile cannot be examined.
      if (!copy.reachedFolder()) {
        if (!folderProblem) {
          scan.problems.push_back({profile, copy.failure(),
                                   profile.folder + "\\" + folderInProfile});
        }
        folderProblem = true;
        continue;
      }
      StoreCopy entry = {
          candidate.slot,
          slot.target,
          profile.sid,
          profile.account,
          profile.folder + "\\" + folderInProfile + "\\" + kIniCopyName,
          folderInProfile};
      entry.value =
          ReadOpenedOption(ops, copy, found, kSkipSettingKey, &entry.failure);
      scan.copies.push_back(entry);
    }
    ops.CloseOsHandle(folder);
  }
  return scan;
}

bool WriteStoreCopies(PlatformOps& ops, VirtualStoreScan& scan,
                      const int (&values)[kIniFileCount], const char* key,
                      WriteMode mode) {
  bool written = true;
  for (StoreCopy& copy : scan.copies) {
    const int value = values[copy.slot];
    if (value != kSkipOn && value != kSkipOff) continue;
    OsHandle folder = nullptr;
    const OpenOutcome opened = ops.OpenProfileFolder(copy.sid, &folder);
    if (opened != OpenOutcome::kOpened) {
      copy.outcome = FileWriteOutcome::kFailed;
      copy.failure = FailureOf(opened);
      written = false;
      continue;
    }
    copy.failure = CheckFailure::kNone;
    // A copy is only ever updated: one made now would pin its user to it.
    copy.outcome = WriteOptionTo(
        ops,
        [&](OpenedFile& file, FileUse use) {
          return file.OpenBelow(folder, copy.folderInProfile, kIniCopyName,
                                use);
        },
        FileUse::kUpdate, key, value, mode, &copy.failure);
    ops.CloseOsHandle(folder);
    written = written && !IsWriteFailure(copy.outcome);
  }
  return written;
}

#include "detect/Detectors.h"

#include <cstring>
#include <string>

#include "detect/VersionCheck.h"
#include "platform/BoundedString.h"
#include "platform/OpenedFile.h"

namespace {

// The version functions read a private copy of a probe, never the probe.
bool CopyProbe(const OpenedFile& program, std::string* copy) {
  return program.CopyToPrivate("Probe.bin", kMaxProgramFileSize, copy);
}

// Builds every INI path of the target from its base directory. On a path
// that would not fit, all of them are emptied and false is returned.
bool BuildIniPaths(DetectionResult& result, ScanTarget target,
                   const char* baseDir) {
  for (const IniFileSlot& slot : kIniFiles) {
    if (slot.target != target) continue;
    char* path = result.*slot.path;
    if (!CopyBounded(path, kPathBufferSize, baseDir) ||
        !AppendBounded(path, kPathBufferSize, slot.suffix)) {
      ClearIniPaths(result, target);
      return false;
    }
  }
  return true;
}

// The steps shared by every target once its base directory is known: probe
// file, version test, INI paths.
int DetectUnder(PlatformOps& ops, DetectionResult& result, ScanTarget target,
                const char* baseDir, int* tooOld, char* probePath) {
  const TargetInfo& info = InfoOf(target);
  char probe[kPathBufferSize];
  const bool built = CopyBounded(probe, sizeof probe, baseDir) &&
                     AppendBounded(probe, sizeof probe, info.probeSuffix);
  if (probePath != nullptr)
    CopyBounded(probePath, kPathBufferSize, built ? probe : "");
  OpenedFile program(ops);
  const OpenOutcome opened =
      built ? program.Open(probe, FileUse::kRead) : OpenOutcome::kMissing;
  if (opened == OpenOutcome::kMissing) {
    ClearIniPaths(result, target);
    return 0;
  }
  // A probe that is there but cannot be examined (another program holds
  // it shut, it lies behind a link, no private copy of it can be made) is
  // neither missing, too old nor new enough: the target cannot be checked,
  // and every report says why.
  std::string copy;
  if (opened != OpenOutcome::kOpened || !CopyProbe(program, &copy)) {
    result.probeFailure[static_cast<std::size_t>(target)] = program.failure();
    ClearIniPaths(result, target);
    return 0;
  }
  if (IsFileVersionOlder(ops, copy.c_str(), info.minMajor, info.minMinor)) {
    *tooOld = 1;
    ClearIniPaths(result, target);
    return 0;
  }
  return BuildIniPaths(result, target, baseDir) ? 1 : 0;
}

int DetectUnderWindowsDir(PlatformOps& ops, DetectionResult& result,
                          ScanTarget target, int* tooOld, char* probePath) {
  char windowsDir[kPathBufferSize];
  const unsigned length = ops.GetWindowsDir(windowsDir, sizeof windowsDir);
  if (length == 0 || length >= sizeof windowsDir) {
    if (probePath != nullptr) probePath[0] = '\0';
    ClearIniPaths(result, target);
    return 0;
  }
  return DetectUnder(ops, result, target, windowsDir, tooOld, probePath);
}

// Replaces `dir` by its environment variables expanded; false when that
// fails or the result would not fit.
bool ExpandInPlace(PlatformOps& ops, char (&dir)[kPathBufferSize]) {
  char expanded[kPathBufferSize];
  const unsigned long length =
      ops.ExpandEnvironment(dir, expanded, sizeof expanded);
  if (length == 0 || length > sizeof expanded) return false;
  if (std::memchr(expanded, '\0', length) == nullptr) return false;
  std::memcpy(dir, expanded, length);
  return true;
}

// Reads the install directory into `dir`. True only for a non-empty string
// value terminated inside the buffer; the registry guarantees neither. A
// REG_EXPAND_SZ value is expanded (as the installer meant it, say
// "%ProgramFiles%\Lumora"); a REG_SZ value is used as stored.
bool ReadInstallDir(PlatformOps& ops, char (&dir)[kPathBufferSize]) {
  unsigned long size = sizeof dir;
  unsigned long type = 0;
  const long status = ops.ReadRegistryValue(
      kCaptureAppKey, kCaptureAppValue, reinterpret_cast<unsigned char*>(dir),
      &size, &type);
  if (status != os_error::kSuccess) return false;
  if (type != reg_type::kString && type != reg_type::kExpandString) {
    return false;
  }
  if (size == 0 || size > sizeof dir) return false;
  if (std::memchr(dir, '\0', size) == nullptr) return false;
  if (type == reg_type::kExpandString && !ExpandInPlace(ops, dir)) {
    return false;
  }
  return dir[0] != '\0';
}

}  // namespace

int DetectTwainDriver(PlatformOps& ops, DetectionResult& result, int* tooOld,
                      char* probePath) {
  return DetectUnderWindowsDir(ops, result, ScanTarget::Twain, tooOld,
                               probePath);
}

int DetectIsisDriver(PlatformOps& ops, DetectionResult& result, int* tooOld,
                     char* probePath) {
  return DetectUnderWindowsDir(ops, result, ScanTarget::Isis, tooOld,
                               probePath);
}

int DetectCaptureApp(PlatformOps& ops, DetectionResult& result, int* tooOld,
                     char* probePath) {
  // The install directory is read straight into the INI path's buffer; it
  // is copied out before the path is built in place.
  if (!ReadInstallDir(ops, result.m_szCaptureIni)) {
    if (probePath != nullptr) probePath[0] = '\0';
    ClearIniPaths(result, ScanTarget::Capture);
    return 0;
  }
  char installDir[kPathBufferSize];
  std::memcpy(installDir, result.m_szCaptureIni, sizeof installDir);
  return DetectUnder(ops, result, ScanTarget::Capture, installDir, tooOld,
                     probePath);
}

void DetectAllTargets(PlatformOps& ops, DetectionResult& result,
                      TargetFlags& tooOld, ProbePaths* probes) {
  using Detector = int (*)(PlatformOps&, DetectionResult&, int*, char*);
  const Detector detectors[kTargetCount] = {DetectTwainDriver, DetectIsisDriver,
                                            DetectCaptureApp};
  for (ScanTarget target : kAllTargets) {
    const auto index = static_cast<std::size_t>(target);
    FlagOf(tooOld, target) = 0;
    result.probeFailure[index] = CheckFailure::kNone;
    FoundFlag(result, target) =
        detectors[index](ops, result, &FlagOf(tooOld, target),
                         probes != nullptr ? (*probes)[index] : nullptr);
  }
}

bool ReadProgramVersion(PlatformOps& ops, const char* path,
                        char (&version)[kPathBufferSize]) {
  version[0] = '\0';
  OpenedFile program(ops);
  std::string copy;
  return program.Open(path, FileUse::kRead) == OpenOutcome::kOpened &&
         CopyProbe(program, &copy) &&
         ReadFileVersion(ops, copy.c_str(), version);
}

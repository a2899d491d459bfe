// The three pieces of scanning software whose INI files hold the option, and
// what detection found out about them.
#pragma once

#include <cstddef>

#include "platform/OpenedFile.h"
#include "platform/PlatformOps.h"

// Listed and detected in this order; used as an index into TargetFlags.
enum class ScanTarget { Twain = 0, Isis = 1, Capture = 2 };
constexpr std::size_t kTargetCount = 3;
constexpr ScanTarget kAllTargets[kTargetCount] = {
    ScanTarget::Twain, ScanTarget::Isis, ScanTarget::Capture};

// Unchecked: its probe file is there but could not be examined.
enum class TargetStatus { Found, TooOld, Absent, Unchecked };

// One integer flag (1 or 0) per target, indexed by ScanTarget.
using TargetFlags = int[kTargetCount];

inline int& FlagOf(TargetFlags& flags, ScanTarget target) {
  return flags[static_cast<std::size_t>(target)];
}
inline int FlagOf(const TargetFlags& flags, ScanTarget target) {
  return flags[static_cast<std::size_t>(target)];
}

// What the main dialog holds per target after detection. A path is empty
// unless its target was Found.
struct DetectionResult {
  int m_bIsisFound = 0;
  int m_bTwainFound = 0;
  int m_bCaptureFound = 0;
  char m_szIsisIniA[kPathBufferSize] = "";  // model RX-M7720B
  char m_szIsisIniB[kPathBufferSize] = "";  // model RX-M7710B
  char m_szTwainIni[kPathBufferSize] = "";
  // Also the buffer the capture application's install directory is read into.
  char m_szCaptureIni[kPathBufferSize] = "";
  // Per target (by ScanTarget): why its probe file, which is there, could
  // not be examined. Such a target is neither Found, too old nor missing:
  // it cannot be checked, and every write counts it as failed.
  CheckFailure probeFailure[kTargetCount] = {};
};

int& FoundFlag(DetectionResult& result, ScanTarget target);
int FoundFlag(const DetectionResult& result, ScanTarget target);

// The three found flags as TargetFlags.
void CopyFoundFlags(const DetectionResult& result, TargetFlags& found);
// A flag for each target whose probe could not be examined.
void CopyUncheckedFlags(const DetectionResult& result, TargetFlags& unchecked);

// Whether any target's flag is set.
bool AnySet(const TargetFlags& flags);

struct TargetInfo {
  const char* name;         // its name in the console program's reports
  const char* displayLine;  // its line in every message
  int minMajor;             // oldest usable version
  int minMinor;
  // Appended to the target's base directory (the Windows directory, or the
  // capture application's install directory): the file probed.
  const char* probeSuffix;
};

const TargetInfo& InfoOf(ScanTarget target);

// One INI file of a Found target: the DetectionResult member that holds its
// path and the suffix appended to the target's base directory.
struct IniFileSlot {
  ScanTarget target;
  char (DetectionResult::*path)[kPathBufferSize];
  const char* suffix;
};

// Every INI file in the order they are read and written: ISIS (RX-M7720B,
// then RX-M7710B), TWAIN, capture application.
constexpr std::size_t kIniFileCount = 4;
extern const IniFileSlot kIniFiles[kIniFileCount];

// Empties every INI path of the target.
void ClearIniPaths(DetectionResult& result, ScanTarget target);

// A fixed 260-byte message, appended to without overflow.
struct MessageText {
  char text[kPathBufferSize] = "";
  void Append(const char* part);
  bool IsEmpty() const { return text[0] == '\0'; }
};

// Appends the display lines of the targets whose flag is set, in target
// order.
void BuildTargetList(MessageText& message, const TargetFlags& chosen);

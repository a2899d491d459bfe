// The run-time state the main dialog owns for its whole life.
#pragma once

#include "detect/ScanTargets.h"
#include "platform/PlatformOps.h"

// The option's tri-state value; the same numbers are the check box's states.
enum SkipState { kSkipOff = 0, kSkipOn = 1, kSkipMixed = 2 };

struct SettingToolState {
  OsHandle m_hGuard = nullptr;  // the instance-guard mutex
  DetectionResult detection;    // found flags and INI paths
  int m_nSkipState = kSkipOff;  // exchanged with the check box
};

// The run-time state the main dialog owns for its whole life.
#pragma once

#include "detect/ScanTargets.h"
#include "platform/PlatformOps.h"
#include "settings/SkipSetting.h"

struct SettingToolState {
  OsHandle m_hGuard = nullptr;  // the instance-guard mutex
  // The machine-wide writer lock; null when someone else squatted it.
  OsHandle m_hWriterLock = nullptr;
  DetectionResult detection;    // found flags and INI paths
  int m_nSkipState = kSkipOff;  // exchanged with the check box
};

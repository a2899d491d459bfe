// The option in the INI files of the Found targets: read into one tri-state
// value when the dialog opens, written back on OK with a report per target.
#pragma once

#include "detect/ScanTargets.h"
#include "platform/PlatformOps.h"

// The option's tri-state value; the same numbers are the check box's states.
enum SkipState { kSkipOff = 0, kSkipOn = 1, kSkipMixed = 2 };

// The option's key; its section is [Special].
constexpr const char* kSkipSettingKey = "EnableVeloRidePass";

// Reads `key` from every INI file of every Found target (a Found ISIS target
// has two) and sets *state: Off when none reads as the integer 1, On when
// all do, Mixed otherwise. A missing file, section or key reads as off.
void ReadSkipSetting(PlatformOps& ops, const DetectionResult& detection,
                     int* state, const char* key);

// Writes "1" (On) or "0" (Off) under `key` to every INI file of every Found
// target, in the order ISIS (RX-M7720B, RX-M7710B), TWAIN, capture
// application, each write verified and undone when it went wrong, then
// reports: an "Error" box listing the targets with a failed write (whose
// found flags it clears), then an "End" box listing the targets still
// Found. Both boxes are owned by `owner`. Mixed (or any other
// state) writes nothing and shows nothing.
void WriteSkipSetting(PlatformOps& ops, DetectionResult& detection,
                      OsWindow owner, int state, const char* key);

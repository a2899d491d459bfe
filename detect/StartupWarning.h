// The warning shown at start-up about targets that are too old or not
// installed.
#pragma once

#include "detect/ScanTargets.h"

// Fills `warning` from the found and too-old flags of the three targets: an
// old-version section listing the too-old targets, then a not-installed
// section listing those neither Found nor too old. Empty when every target
// was Found.
void BuildStartupWarning(const TargetFlags& found, const TargetFlags& tooOld,
                         MessageText& warning);

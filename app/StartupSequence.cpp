#include "app/StartupSequence.h"

#include "detect/Detectors.h"
#include "detect/StartupWarning.h"
#include "guards/AdminCheck.h"
#include "guards/InstanceGuard.h"
#include "guards/WriterLock.h"
#include "settings/SkipSetting.h"

namespace {

constexpr const char* kAlreadyRunning = "VRP setting tool is already executed.";
constexpr const char* kNotAdministrator =
    "You must be logged on with Administrative privilege to run this "
    "program.";
constexpr const char* kCloseScannerAppWarning =
    "You must close the scanning application before change the setting by "
    "this program.";

}  // namespace

StartupOutcome RunStartupSequence(PlatformOps& ops, OsWindow owner,
                                  SettingToolState& state) {
  if (AcquireInstanceGuard(ops, &state.m_hGuard, kInstanceGuardName)) {
    ops.ShowMessage(owner, kAlreadyRunning, "Error");
    return StartupOutcome::EndProcess;
  }
  // On a refusal here the guard's handle stays open; the system closes it
  // when the process ends. The writer lock comes after this test, so that
  // a standard user's copy left at this box blocks nobody else.
  if (!IsAdministrator(ops)) {
    ops.ShowMessage(owner, kNotAdministrator, "Error");
    return StartupOutcome::EndProcess;
  }
  // A lock someone else squatted is no reason to refuse: carry on without.
  if (AcquireWriterLock(ops, &state.m_hWriterLock) == WriterLock::kBusy) {
    ops.ShowMessage(owner, kAlreadyRunning, "Error");
    return StartupOutcome::EndProcess;
  }

  DetectionResult& detection = state.detection;
  TargetFlags tooOld = {};
  DetectAllTargets(ops, detection, tooOld);

  // A target whose probe could not be examined is neither old nor missing:
  // it is left out of the warning, and OK lists it under the error box.
  TargetFlags present = {};
  CopyFoundFlags(detection, present);
  TargetFlags unchecked = {};
  CopyUncheckedFlags(detection, unchecked);
  for (ScanTarget target : kAllTargets) {
    FlagOf(present, target) |= FlagOf(unchecked, target);
  }
  MessageText warning;
  BuildStartupWarning(present, tooOld, warning);
  if (!warning.IsEmpty()) ops.ShowMessage(owner, warning.text, "Warning");

  if (!AnySet(present)) return StartupOutcome::EndProcess;
  ops.ShowMessage(owner, kCloseScannerAppWarning, "Warning");
  ReadSkipSetting(ops, detection, &state.m_nSkipState, kSkipSettingKey);
  return StartupOutcome::ShowDialog;
}

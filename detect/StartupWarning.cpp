#include "detect/StartupWarning.h"

namespace {

TargetStatus StatusOf(const TargetFlags& found, const TargetFlags& tooOld,
                      ScanTarget target) {
  if (FlagOf(found, target)) return TargetStatus::Found;
  return FlagOf(tooOld, target) ? TargetStatus::TooOld : TargetStatus::Absent;
}

// Sets a flag for each target with the given status; true when any is set.
bool SelectByStatus(const TargetFlags& found, const TargetFlags& tooOld,
                    TargetStatus status, TargetFlags& selected) {
  for (ScanTarget target : kAllTargets) {
    FlagOf(selected, target) = StatusOf(found, tooOld, target) == status;
  }
  return AnySet(selected);
}

}  // namespace

void BuildStartupWarning(const TargetFlags& found, const TargetFlags& tooOld,
                         MessageText& warning) {
  warning = MessageText{};
  TargetFlags selected = {};
  if (SelectByStatus(found, tooOld, TargetStatus::TooOld, selected)) {
    warning.Append(
        "The version of the following application or driver is old.\n"
        "The setting is ignored for following  application or driver. \n\n");
    BuildTargetList(warning, selected);
    warning.Append("\n");
  }
  if (SelectByStatus(found, tooOld, TargetStatus::Absent, selected)) {
    warning.Append("The following application or driver is not installed.\n\n");
    BuildTargetList(warning, selected);
  }
}

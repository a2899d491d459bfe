#include "detect/ScanTargets.h"

#include "platform/BoundedString.h"

namespace {

const TargetInfo kTargetInfo[kTargetCount] = {
    {"TWAIN", "    TWAIN\n", 9, 0, "\\twain_32\\Norvtw32\\NorvM7720.ds"},
    {"ISIS", "    ISIS\n", 3, 0, "\\Pixtran\\RXM7720.pxn"},
    {"Lumora", "    Lumora\n", 1, 1, "\\LumoraApp.exe"},
};

int DetectionResult::*FoundMember(ScanTarget target) {
  switch (target) {
    case ScanTarget::Twain:
      return &DetectionResult::m_bTwainFound;
    case ScanTarget::Isis:
      return &DetectionResult::m_bIsisFound;
    case ScanTarget::Capture:
      break;
  }
  return &DetectionResult::m_bCaptureFound;
}

}  // namespace

const IniFileSlot kIniFiles[kIniFileCount] = {
    {ScanTarget::Isis, &DetectionResult::m_szIsisIniA,
     "\\Pixtran\\Norvel RX-M7720B\\UnitPrefs.ini"},
    {ScanTarget::Isis, &DetectionResult::m_szIsisIniB,
     "\\Pixtran\\Norvel RX-M7710B\\UnitPrefs.ini"},
    {ScanTarget::Twain, &DetectionResult::m_szTwainIni,
     "\\twain_32\\Norvtw32\\UnitPrefs.ini"},
    {ScanTarget::Capture, &DetectionResult::m_szCaptureIni, "\\UnitPrefs.ini"},
};

int& FoundFlag(DetectionResult& result, ScanTarget target) {
  return result.*FoundMember(target);
}

int FoundFlag(const DetectionResult& result, ScanTarget target) {
  return result.*FoundMember(target);
}

void CopyFoundFlags(const DetectionResult& result, TargetFlags& found) {
  for (ScanTarget target : kAllTargets) {
    FlagOf(found, target) = FoundFlag(result, target);
  }
}

void CopyUncheckedFlags(const DetectionResult& result, TargetFlags& unchecked) {
  for (ScanTarget target : kAllTargets) {
    FlagOf(unchecked, target) =
        result.probeFailure[static_cast<std::size_t>(target)] !=
        CheckFailure::kNone;
  }
}

bool AnySet(const TargetFlags& flags) {
  for (ScanTarget target : kAllTargets) {
    if (FlagOf(flags, target)) return true;
  }
  return false;
}

const TargetInfo& InfoOf(ScanTarget target) {
  return kTargetInfo[static_cast<std::size_t>(target)];
}

void ClearIniPaths(DetectionResult& result, ScanTarget target) {
  for (const IniFileSlot& slot : kIniFiles) {
    if (slot.target == target) (result.*slot.path)[0] = '\0';
  }
}

void MessageText::Append(const char* part) {
  // Every message the program builds is shorter than the buffer; should one
  // ever not be, it is cut at a whole part rather than overflowing.
  AppendBounded(text, sizeof text, part);
}

void BuildTargetList(MessageText& message, const TargetFlags& chosen) {
  for (ScanTarget target : kAllTargets) {
    if (FlagOf(chosen, target)) message.Append(InfoOf(target).displayLine);
  }
}

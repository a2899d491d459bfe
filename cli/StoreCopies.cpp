#include "cli/StoreCopies.h"

#include <algorithm>

#include "cli/ExitStatus.h"
#include "cli/Reports.h"

namespace {

bool CountsForFound(const Inventory& inventory, const StoreCopy& copy) {
  return FoundFlag(inventory.detection, copy.target) != 0;
}

std::string Whose(const StoreCopy& copy) {
  return " (VirtualStore copy of " +
         (copy.user.empty() ? copy.sid : copy.user) + ")";
}

// Says which copies were not written and why; sets what the summary needs.
void TellCopyOutcomes(const Inventory& inventory, CopyWriteSummary* summary,
                      std::string* err) {
  for (const StoreCopy& copy : inventory.store.copies) {
    summary->changed = summary->changed ||
                       copy.outcome == FileWriteOutcome::kChanged ||
                       copy.outcome == FileWriteOutcome::kWouldChange;
    if (!IsWriteFailure(copy.outcome)) continue;
    summary->failed = true;
    summary->notRestored = summary->notRestored ||
                           copy.outcome == FileWriteOutcome::kFailedNotRestored;
    const CheckFailure why = copy.failure;
    *err += copy.path + Whose(copy) + " was not written: " +
            (why != CheckFailure::kNone ? CheckFailureText(why)
                                        : "it could not be written") +
            ".\r\n";
  }
  if (!inventory.store.problems.empty() || !inventory.store.profilesListed) {
    summary->failed = true;
    *err += ProblemLines(inventory);
  }
}

}  // namespace

std::string UnexaminedCopyLines(const Inventory& inventory) {
  std::string lines;
  for (const StoreCopy& copy : inventory.store.copies) {
    if (!CountsForFound(inventory, copy) ||
        copy.value != StoredOption::kUnreadable) {
      continue;
    }
    lines += std::string(TargetName(copy.target)) +
             " cannot be checked: " + copy.path + Whose(copy) + ": " +
             CheckFailureText(copy.failure) + ".\r\n";
  }
  return lines + ProblemLines(inventory);
}

bool CopiesHold(const Inventory& inventory, int value) {
  return std::all_of(inventory.store.copies.begin(),
                     inventory.store.copies.end(), [&](const StoreCopy& copy) {
                       return !CountsForFound(inventory, copy) ||
                              OptionHolds(copy.value, value);
                     });
}

CopyWriteSummary WriteCopiesOfWrittenFiles(PlatformOps& ops,
                                           Inventory& inventory, int value,
                                           WriteMode mode, std::string* err) {
  // A copy follows its machine file only where that file now holds the
  // value: one whose file failed keeps what its user has.
  int values[kIniFileCount] = {-1, -1, -1, -1};
  for (const IniFileReport& file : inventory.files) {
    if (file.outcome == FileWriteOutcome::kChanged ||
        file.outcome == FileWriteOutcome::kAlreadySet ||
        file.outcome == FileWriteOutcome::kWouldChange) {
      values[file.slot] = value;
    }
  }
  WriteStoreCopies(ops, inventory.store, values, kSkipSettingKey, mode);
  CopyWriteSummary summary;
  TellCopyOutcomes(inventory, &summary, err);
  return summary;
}

int RunSync(PlatformOps& ops, const Command& command, ConsoleText* console) {
  std::string caller;
  if (!ops.CallerSid(&caller)) {
    console->err = "Who runs this cannot be told: nothing was written.\r\n";
    return exit_status::kPartial;
  }
  Inventory inventory = TakeInventory(ops, true, caller);
  int values[kIniFileCount] = {-1, -1, -1, -1};
  for (const IniFileReport& file : inventory.files) {
    if (file.value == StoredOption::kUnreadable) continue;
    values[file.slot] = file.value == StoredOption::kOn ? kSkipOn : kSkipOff;
  }
  WriteStoreCopies(
      ops, inventory.store, values, kSkipSettingKey,
      command.whatIf ? WriteMode::kWhatIf : WriteMode::kOnlyWhereDifferent);
  CopyWriteSummary written;
  TellCopyOutcomes(inventory, &written, &console->err);
  // A copy of a file that cannot be read was left: it cannot be told what
  // it should hold.
  for (const StoreCopy& copy : inventory.store.copies) {
    if (FoundFlag(inventory.detection, copy.target) &&
        MachineValue(inventory, copy.slot) == StoredOption::kUnreadable) {
      written.failed = true;
      console->err += copy.path + " was not written: its machine file " +
                      "cannot be read.\r\n";
    }
  }
  SetSummary summary = {kSkipOff,  command.whatIf, written.changed,
                        "success", false,          exit_status::kSuccess,
                        "sync"};
  if (written.notRestored) {
    summary.result = "not restored";
    summary.exitStatus = exit_status::kNotRestored;
  } else if (written.failed) {
    summary.result = "partial";
    summary.exitStatus = exit_status::kPartial;
  }
  console->out = command.format == OutputFormat::kJson
                     ? SetAsJson(ops, inventory, summary)
                     : SetAsText(inventory, summary);
  return summary.exitStatus;
}

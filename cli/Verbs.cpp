#include "cli/Verbs.h"

#include <algorithm>

#include "cli/ExitStatus.h"
#include "cli/Inventory.h"
#include "cli/Reports.h"
#include "cli/StoreCopies.h"
#include "guards/AdminCheck.h"
#include "guards/InstanceGuard.h"
#include "guards/WriterLock.h"
#include "platform/OpenedFile.h"
#include "settings/SkipSetting.h"

const char* const kUsage =
    "Usage: vrpset COMMAND [VALUE] [SWITCHES]\r\n"
    "\r\n"
    "Switches the EnableVeloRidePass option of the installed scanner\r\n"
    "software, as VRPSettingTool.exe does, for deployment tools.\r\n"
    "\r\n"
    "  vrpset query [/fo text|csv|json] [/nh]\r\n"
    "      Each program's status and version, the option in each INI\r\n"
    "      file, the combined state and per-user VirtualStore copies.\r\n"
    "  vrpset test on|off [/machineonly]\r\n"
    "      Exit 0 when every INI file, and every user's VirtualStore\r\n"
    "      copy of one, holds the value, 1 when not or when a program,\r\n"
    "      a file, a copy or a profile cannot be checked, 3 when no\r\n"
    "      program is installed and new enough. /machineonly leaves\r\n"
    "      the copies out.\r\n"
    "  vrpset detect on|off\r\n"
    "      One line and exit 0 when every INI file and VirtualStore\r\n"
    "      copy holds the value; nothing and exit 0 when not; when a\r\n"
    "      program, a file, a copy or a profile cannot be checked, a\r\n"
    "      message on standard error and exit 1;\r\n"
    "      when no program is installed and new enough, a message on\r\n"
    "      standard error and exit 3.\r\n"
    "  vrpset set on|off [/whatif] [/force] [/log:PATH] [/machineonly]\r\n"
    "                    [/fo text|json]\r\n"
    "      Writes the value (administrators only), and gives every\r\n"
    "      existing VirtualStore copy the value of its file; makes none.\r\n"
    "      /whatif writes nothing; /force writes while LumoraApp.exe\r\n"
    "      runs; /log appends a line per run to PATH; /machineonly\r\n"
    "      leaves the copies alone.\r\n"
    "  vrpset sync [/whatif] [/fo text|json]\r\n"
    "      Gives the caller's own existing VirtualStore copies the values\r\n"
    "      of the machine's files (no administrator needed).\r\n"
    "\r\n"
    "Exit status: 0 success, 1 no match or something cannot be checked\r\n"
    "(test, detect), 2 usage error, 3 no program installed and new\r\n"
    "enough (test, detect, set), 4 some INI file or copy not written,\r\n"
    "or some program or profile cannot be checked (set, sync), 5 not an\r\n"
    "administrator, 6 ended unexpectedly, 7 some INI file or copy not\r\n"
    "written and not put back (check it), 1618 busy (another copy, or\r\n"
    "LumoraApp.exe running).\r\n";

namespace {

// Whether the capture application may be running: its program file, opened
// for its identity alone (which no other program's sharing can refuse)
// through handles that follow no link, is a running process's image. One
// that cannot be opened is taken as running; one gone or behind a link
// blocks nothing, since its INI file's write is refused on its own.
bool CaptureAppMayRun(PlatformOps& ops, const char* programPath) {
  OpenedFile program(ops);
  switch (program.Open(programPath, FileUse::kAttributes)) {
    case OpenOutcome::kOpened:
      return ops.IsProgramRunning(program.handle()) != 0;
    case OpenOutcome::kInUse:
    case OpenOutcome::kDenied:
    case OpenOutcome::kOplockBreak:
    case OpenOutcome::kFailed:
      return true;
    case OpenOutcome::kMissing:
    case OpenOutcome::kLeadsElsewhere:
    case OpenOutcome::kCannotCheck:
      break;
  }
  return false;
}

// A line on standard error for each target whose probe could not be
// examined and, withFiles, each INI file that could not, naming it and why.
std::string UncheckedLines(const Inventory& inventory, bool withFiles) {
  std::string lines;
  for (ScanTarget target : kAllTargets) {
    const auto index = static_cast<std::size_t>(target);
    const TargetReport& report = inventory.targets[index];
    if (report.status != TargetStatus::Unchecked) continue;
    lines += std::string(TargetName(target)) +
             " cannot be checked: " + inventory.probes[index] + ": " +
             CheckFailureText(report.failure) + ".\r\n";
  }
  for (const IniFileReport& file : inventory.files) {
    if (!withFiles || file.value != StoredOption::kUnreadable) continue;
    lines += std::string(TargetName(file.target)) +
             " cannot be checked: " + file.path + ": " +
             CheckFailureText(file.failure) + ".\r\n";
  }
  return lines;
}

constexpr const char* kNothingUsable =
    "No scanner software is installed and new enough.\r\n";

bool AllFilesHold(const Inventory& inventory, int value) {
  return std::all_of(inventory.files.begin(), inventory.files.end(),
                     [value](const IniFileReport& file) {
                       return OptionHolds(file.value, value);
                     });
}

int RunQuery(PlatformOps& ops, const Command& command, ConsoleText* console) {
  const Inventory inventory = TakeInventory(ops, true);
  switch (command.format) {
    case OutputFormat::kCsv:
      console->out = QueryAsCsv(inventory, !command.noHeader);
      break;
    case OutputFormat::kJson:
      console->out = QueryAsJson(ops, inventory);
      break;
    case OutputFormat::kText:
      console->out = QueryAsText(inventory);
      break;
  }
  return exit_status::kSuccess;
}

int RunTestOrDetect(PlatformOps& ops, const Command& command,
                    ConsoleText* console) {
  const Inventory inventory = TakeInventory(ops, !command.machineOnly);
  // What could not be examined holds no value: never "not applicable",
  // never a match.
  console->err = UncheckedLines(inventory, true);
  if (AnyUsable(inventory)) console->err += UnexaminedCopyLines(inventory);
  if (!console->err.empty()) return exit_status::kNoMatch;
  if (!AnyUsable(inventory)) {
    console->err = kNothingUsable;
    return exit_status::kNotApplicable;
  }
  // A user whose copy reads otherwise scans with the other value.
  const bool matches = AllFilesHold(inventory, command.value) &&
                       CopiesHold(inventory, command.value);
  if (command.verb == Verb::kTest) {
    return matches ? exit_status::kSuccess : exit_status::kNoMatch;
  }
  if (matches) {
    console->out = std::string("EnableVeloRidePass is ") +
                   (command.value == kSkipOn ? "on" : "off") + "\r\n";
  }
  return exit_status::kSuccess;
}

// The writer lock, given back when the run ends.
class HeldWriterLock {
 public:
  explicit HeldWriterLock(PlatformOps& ops)
      : ops_(ops), outcome_(AcquireWriterLock(ops, &handle_)) {}
  ~HeldWriterLock() { ReleaseInstanceGuard(ops_, handle_); }
  HeldWriterLock(const HeldWriterLock&) = delete;
  HeldWriterLock& operator=(const HeldWriterLock&) = delete;
  WriterLock outcome() const { return outcome_; }

 private:
  PlatformOps& ops_;
  OsHandle handle_ = nullptr;
  WriterLock outcome_;
};

void AppendLog(PlatformOps& ops, const Command& command,
               const std::string& words, const char* result, int status,
               ConsoleText* console) {
  if (command.logPath.empty()) return;
  std::string time;
  std::string computer;
  std::string user;
  ops.DescribeRun(&time, &computer, &user);
  const std::string line = time + "\t" + computer + "\t" + user + "\t" + words +
                           "\t" + result + "\t" + std::to_string(status);
  // The log's folder may be one a user can change: it is reached as every
  // target's file is, and a log behind a link is not written.
  OpenedFile log(ops);
  if (log.Open(command.logPath.c_str(), FileUse::kAppend) !=
          OpenOutcome::kOpened ||
      !ops.AppendToOpenedFile(log.handle(), line)) {
    const CheckFailure why = log.failure();
    console->err += "Cannot write the log file " + command.logPath +
                    (why == CheckFailure::kNone
                         ? std::string()
                         : std::string(": ") + CheckFailureText(why)) +
                    ".\r\n";
  }
}

int RunSet(PlatformOps& ops, const Command& command, const std::string& words,
           ConsoleText* console) {
  auto refuse = [&](const char* message, const char* result, int status) {
    console->err += message;
    AppendLog(ops, command, words, result, status, console);
    return status;
  };
  // Only a token in which Administrators counts can write: an
  // administrator's unelevated token would be refused file by file.
  if (!IsAdministrator(ops)) {
    return refuse(
        "You must be logged on with Administrative privilege to run this "
        "program: run vrpset elevated (Run as administrator) or as "
        "SYSTEM.\r\n",
        "not administrator", exit_status::kNotAdministrator);
  }
  const HeldWriterLock lock(ops);
  if (lock.outcome() == WriterLock::kBusy) {
    return refuse("VRP setting tool is already executed.\r\n", "busy",
                  exit_status::kBusy);
  }
  const bool squatted = lock.outcome() == WriterLock::kSquatted;
  if (squatted) {
    console->err += std::string("The lock ") + kWriterLockName +
                    " was made by another user: writing without it.\r\n";
  }
  Inventory inventory = TakeInventory(ops, !command.machineOnly);
  SetSummary summary = {command.value, command.whatIf, false,
                        "success",     squatted,       exit_status::kSuccess};
  console->err += UncheckedLines(inventory, false);
  if (!AnyUsable(inventory) && !AnyUnchecked(inventory)) {
    summary.result = "not applicable";
    summary.exitStatus = exit_status::kNotApplicable;
    console->err += kNothingUsable;
  } else {
    // The capture application may write its INI file back when it exits.
    if (inventory.detection.m_bCaptureFound && !command.force &&
        !command.whatIf &&
        CaptureAppMayRun(
            ops, inventory.probes[static_cast<std::size_t>(ScanTarget::Capture)]
                     .c_str())) {
      return refuse("LumoraApp.exe is running: close it, or use /force.\r\n",
                    "busy", exit_status::kBusy);
    }
    const OptionWriteResult written = WriteOption(
        ops, inventory.detection, command.value, kSkipSettingKey,
        command.whatIf ? WriteMode::kWhatIf : WriteMode::kOnlyWhereDifferent);
    // Machine files first; copies follow what they came to hold.
    for (IniFileReport& file : inventory.files) {
      file.outcome = written.files[file.slot];
      if (written.reasons[file.slot] != CheckFailure::kNone) {
        file.failure = written.reasons[file.slot];
        console->err += file.path +
                        " was not written: " + CheckFailureText(file.failure) +
                        ".\r\n";
      }
      summary.changed = summary.changed ||
                        file.outcome == FileWriteOutcome::kChanged ||
                        file.outcome == FileWriteOutcome::kWouldChange;
      if (file.outcome == FileWriteOutcome::kRefused) {
        console->err += file.path +
                        " was not written: its path leads elsewhere (a link "
                        "on the way, or a file with more than one name).\r\n";
      }
      if (file.outcome == FileWriteOutcome::kCannotCheck) {
        console->err += file.path +
                        " was not written: where its path leads cannot be "
                        "checked (a volume mounted in a folder, or a share "
                        "whose final path cannot be had).\r\n";
      }
    }
    const WriteMode mode =
        command.whatIf ? WriteMode::kWhatIf : WriteMode::kOnlyWhereDifferent;
    const CopyWriteSummary copies = WriteCopiesOfWrittenFiles(
        ops, inventory, command.value, mode, &console->err);
    summary.changed = summary.changed || copies.changed;
    if (AnySet(written.notRestored) || copies.notRestored) {
      summary.result = "not restored";
      summary.exitStatus = exit_status::kNotRestored;
      console->err +=
          "Some INI files could not be written, nor put back as "
          "they were: check them.\r\n";
    } else if (AnySet(written.failed) || copies.failed) {
      summary.result = "partial";
      summary.exitStatus = exit_status::kPartial;
      console->err += "Some INI files could not be written.\r\n";
    }
  }
  console->out = command.format == OutputFormat::kJson
                     ? SetAsJson(ops, inventory, summary)
                     : SetAsText(inventory, summary);
  std::string logged = summary.result;
  if (summary.exitStatus == exit_status::kSuccess) {
    if (!summary.changed) {
      logged = "unchanged";
    } else {
      logged = summary.whatIf ? "would change" : "changed";
    }
  }
  if (squatted) logged += ", lock squatted";
  AppendLog(ops, command, words, logged.c_str(), summary.exitStatus, console);
  return summary.exitStatus;
}

}  // namespace

int RunConsoleCommand(PlatformOps& ops, const std::vector<std::string>& words,
                      ConsoleText* console) {
  const PrivateFolderRemoval removal(ops);
  Command command;
  std::string error;
  if (!ParseCommandLine(words, &command, &error)) {
    console->err = error + "\r\n\r\n" + kUsage;
    return exit_status::kUsage;
  }
  std::string commandLine;
  for (const std::string& word : words) {
    commandLine += (commandLine.empty() ? "" : " ") + word;
  }
  console->outIsUtf8 = command.format == OutputFormat::kJson;
  switch (command.verb) {
    case Verb::kHelp:
      console->out = kUsage;
      return exit_status::kSuccess;
    case Verb::kQuery:
      return RunQuery(ops, command, console);
    case Verb::kTest:
    case Verb::kDetect:
      return RunTestOrDetect(ops, command, console);
    case Verb::kSync:
      return RunSync(ops, command, console);
    case Verb::kSet:
      break;
  }
  return RunSet(ops, command, commandLine, console);
}

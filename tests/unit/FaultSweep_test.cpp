// Every platform call of a complete run, made to fail one at a time: the run
// must still end in a documented way, give back everything it took, write
// only the files it was meant to, and never report a failed write as done.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/StartupSequence.h"
#include "guards/InstanceGuard.h"
#include "settings/SkipSetting.h"
#include "tests/fake/FakePlatformOps.h"

namespace {

using Op = FakePlatformOps::Op;

constexpr const char* kIniFilesOf[3][2] = {
    {"C:\\WINDOWS\\twain_32\\Norvtw32\\UnitPrefs.ini", nullptr},
    {"C:\\WINDOWS\\Pixtran\\Norvel RX-M7720B\\UnitPrefs.ini",
     "C:\\WINDOWS\\Pixtran\\Norvel RX-M7710B\\UnitPrefs.ini"},
    {"C:\\Lumora\\UnitPrefs.ini", nullptr}};
constexpr const char* kDisplayLines[3] = {"    TWAIN\n", "    ISIS\n",
                                          "    Lumora\n"};
const std::string kOn = "[Special]\r\nEnableVeloRidePass=1\r\n";

// Everything installed and new enough, every file at 1.
void InstallAll(FakePlatformOps& ops) {
  ops.AddFileWithVersion("C:\\WINDOWS\\twain_32\\Norvtw32\\NorvM7720.ds",
                         "9, 0, 2, 1");
  ops.AddFileWithVersion("C:\\WINDOWS\\Pixtran\\RXM7720.pxn", "3, 0, 0, 0");
  ops.SetInstallDir("C:\\Lumora");
  ops.AddFileWithVersion("C:\\Lumora\\LumoraApp.exe", "1.1");
  for (const auto& files : kIniFilesOf) {
    for (const char* file : files) {
      if (file != nullptr) ops.SetIniText(file, kOn);
    }
  }
}

enum class Ending { Ok, Cancel };

struct RunResult {
  StartupOutcome outcome;
  SettingToolState state;
};

// The dialog's whole life without the window: start-up, then OK with the
// box cleared, or Cancel.
RunResult RunProgram(FakePlatformOps& ops, Ending ending) {
  RunResult run{StartupOutcome::EndProcess, {}};
  run.outcome = RunStartupSequence(ops, nullptr, run.state);
  if (run.outcome == StartupOutcome::EndProcess) return run;
  if (ending == Ending::Ok) {
    WriteSkipSetting(ops, run.state.detection, nullptr, kSkipOff,
                     kSkipSettingKey);
  }
  ReleaseInstanceGuard(ops, run.state.m_hWriterLock);
  ReleaseInstanceGuard(ops, run.state.m_hGuard);
  return run;
}

class OutcomeChecker {
 public:
  explicit OutcomeChecker(int& checked) : checked_(checked) {}
  void Expect(bool holds, const std::string& what) {
    ++checked_;
    EXPECT_TRUE(holds) << what;
  }

 private:
  int& checked_;
};

const std::set<std::string> kKnownCaptions = {"Warning", "Error", "End"};

void CheckRun(const FakePlatformOps& ops, const RunResult& run, Ending ending,
              OutcomeChecker& check) {
  check.Expect(ops.LiveSidCount() == 0, "SID freed");
  check.Expect(ops.LiveBlockCount() == 0, "blocks freed");
  check.Expect(ops.badReleases == 0, "nothing released twice");
  std::string warnings;
  std::string errorReport;
  std::string endReport;
  for (const auto& message : ops.messages) {
    check.Expect(kKnownCaptions.count(message.caption) == 1,
                 "known caption " + message.caption);
    if (message.caption == "Warning") warnings += message.text;
    if (message.caption == "End") endReport = message.text;
    if (message.caption == "Error" &&
        run.outcome == StartupOutcome::ShowDialog) {
      errorReport = message.text;
    }
  }

  const bool refused = !ops.messages.empty() &&
                       ops.messages.front().caption == "Error" &&
                       run.outcome == StartupOutcome::EndProcess;
  if (refused) {
    check.Expect(ops.messages.size() == 1, "a refusal is the only box");
    check.Expect(ops.CallCount(Op::GetWindowsDir) == 0,
                 "nothing is detected after a refusal");
  }
  if (run.outcome == StartupOutcome::EndProcess || ending == Ending::Cancel) {
    check.Expect(ops.iniWrites.empty(), "no write without OK");
  }
  if (run.outcome == StartupOutcome::ShowDialog) {
    check.Expect(ops.OpenHandleCount() == 0, "guard released, token closed");
  } else {
    check.Expect(ops.OpenHandleCount() <= 2,
                 "at most the two guards stay open");
  }

  // Every write went to a file of the program's, with the value chosen.
  std::set<std::string> written;
  for (const std::string& write : ops.iniWrites) {
    const std::string path = write.substr(0, write.find('|'));
    written.insert(path);
    bool known = false;
    for (const auto& files : kIniFilesOf) {
      for (const char* file : files) known = known || (file && path == file);
    }
    check.Expect(known, "write to a target's INI file: " + path);
    check.Expect(
        write.substr(write.find('|')) == "|Special|EnableVeloRidePass=0",
        "only the option is written, with the value chosen");
  }

  for (int target = 0; target < 3; ++target) {
    // A target missing from the dialog was told about at start-up, or
    // (one that could not be checked, never called missing or old) under
    // the error box on OK.
    if (!refused &&
        !FoundFlag(run.state.detection, static_cast<ScanTarget>(target))) {
      const bool listedAtStart =
          warnings.find(kDisplayLines[target]) != std::string::npos;
      const bool lostByFailedWrite =
          errorReport.find(kDisplayLines[target]) != std::string::npos;
      const bool unchecked =
          run.state.detection.probeFailure[target] != CheckFailure::kNone;
      check.Expect(
          unchecked ? !listedAtStart &&
                          (lostByFailedWrite || ending == Ending::Cancel)
                    : listedAtStart || lostByFailedWrite,
          std::string("unused target was reported: ") + kDisplayLines[target]);
    }
    // A target under "End" had every one of its files written.
    if (endReport.find(kDisplayLines[target]) != std::string::npos) {
      for (const char* file : kIniFilesOf[target]) {
        if (file == nullptr) continue;
        check.Expect(
            written.count(file) == 1,
            std::string("reported as changed but not written: ") + file);
      }
    }
  }
}

TEST(FaultSweep, EveryFailingCallEndsInADocumentedWay) {
  int faults = 0;
  int checked = 0;
  OutcomeChecker check(checked);
  for (Ending ending : {Ending::Ok, Ending::Cancel}) {
    FakePlatformOps baseline;
    InstallAll(baseline);
    const RunResult clean = RunProgram(baseline, ending);
    ASSERT_EQ(StartupOutcome::ShowDialog, clean.outcome);
    ASSERT_EQ(ending == Ending::Ok ? 4u : 0u, baseline.iniWrites.size());

    for (int opIndex = 0; opIndex < FakePlatformOps::kOpCount; ++opIndex) {
      const auto op = static_cast<Op>(opIndex);
      for (int call = 0; call < baseline.CallCount(op); ++call) {
        SCOPED_TRACE(std::string(FakePlatformOps::NameOf(op)) + " call " +
                     std::to_string(call) +
                     (ending == Ending::Ok ? " (OK)" : " (Cancel)"));
        FakePlatformOps ops;
        InstallAll(ops);
        ops.FailCall(op, call);
        const RunResult run = RunProgram(ops, ending);
        ++faults;
        CheckRun(ops, run, ending, check);
      }
    }
  }
  std::printf("fault sweep: %d faults injected, %d outcomes checked\n", faults,
              checked);
  EXPECT_GT(faults, 30);
}

}  // namespace

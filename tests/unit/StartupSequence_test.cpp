#include "app/StartupSequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fake/FakePlatformOps.h"

namespace {

constexpr const char* kCloseAppWarning =
    "You must close the scanning application before change the setting by "
    "this program.";
constexpr const char* kTwainProbe =
    "C:\\WINDOWS\\twain_32\\Norvtw32\\NorvM7720.ds";
constexpr const char* kIsisProbe = "C:\\WINDOWS\\Pixtran\\RXM7720.pxn";
constexpr const char* kCaptureExe = "C:\\Lumora\\LumoraApp.exe";

OsWindow const kDialog = reinterpret_cast<OsWindow>(0x1234);

class StartupSequenceTest : public testing::Test {
 protected:
  StartupOutcome Run() { return RunStartupSequence(ops, kDialog, state); }

  std::vector<std::string> Captions() const {
    std::vector<std::string> captions;
    for (const auto& message : ops.messages) {
      EXPECT_EQ(kDialog, message.owner) << "box not owned by the dialog";
      captions.push_back(message.caption);
    }
    return captions;
  }

  void InstallAll() {
    ops.AddFileWithVersion(kTwainProbe, "9, 0, 2, 1");
    ops.AddFileWithVersion(kIsisProbe, "3, 0, 0, 0");
    ops.SetInstallDir("C:\\Lumora");
    ops.AddFileWithVersion(kCaptureExe, "1, 1, 0, 0");
  }

  FakePlatformOps ops;
  SettingToolState state;
};

// What a refused start may have done: nothing but its one box.
void ExpectRefusedBeforeDetection(const FakePlatformOps& ops,
                                  const std::string& text) {
  ASSERT_EQ(1u, ops.messages.size());
  EXPECT_EQ("Error", ops.messages[0].caption);
  EXPECT_EQ(text, ops.messages[0].text);
  for (FakePlatformOps::Op op :
       {FakePlatformOps::Op::GetWindowsDir, FakePlatformOps::Op::OpenFolder,
        FakePlatformOps::Op::ReadRegistryValue, FakePlatformOps::Op::ReadIniInt,
        FakePlatformOps::Op::WriteIniString}) {
    EXPECT_EQ(0, ops.CallCount(op)) << FakePlatformOps::NameOf(op);
  }
}

// Another copy in this session is refused before the administrator test;
// another writer anywhere on the machine (a dialog in another session, the
// console program run by a deployment engine) after it, so that a standard
// user's copy waiting at its refusal holds no machine-wide lock.
TEST_F(StartupSequenceTest, SecondCopyIsRefusedAroundTheAdministratorTest) {
  const struct {
    const char* held;
    bool administrator;
    int tokenOpens;
    bool sessionGuardOpen;
  } rows[] = {
      {"VRP_SETTING_TOOL", false, 0, false},
      {"Global\\VRP_SETTING_TOOL_WRITER", true, 1, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.held);
    ops = FakePlatformOps();
    InstallAll();
    ops.HoldMutexElsewhere(row.held);
    if (!row.administrator) ops.tokenGroups.clear();
    EXPECT_EQ(StartupOutcome::EndProcess, Run());
    ExpectRefusedBeforeDetection(ops, "VRP setting tool is already executed.");
    EXPECT_EQ(row.tokenOpens,
              ops.CallCount(FakePlatformOps::Op::OpenProcessToken));
    EXPECT_EQ(row.sessionGuardOpen, ops.IsOpenHandle(state.m_hGuard));
    EXPECT_FALSE(ops.IsOpenHandle(state.m_hWriterLock));
  }
}

// A writer lock squatted by a standard user is done without, silently.
TEST_F(StartupSequenceTest, SquattedWriterLockDoesNotStopTheDialog) {
  InstallAll();
  ops.HoldMutexElsewhere("Global\\VRP_SETTING_TOOL_WRITER",
                         {FakePlatformOps::kUserSid, false, true});
  EXPECT_EQ(StartupOutcome::ShowDialog, Run());
  EXPECT_EQ(std::vector<std::string>{"Warning"}, Captions());
  EXPECT_EQ(nullptr, state.m_hWriterLock);
}

TEST_F(StartupSequenceTest, NonAdministratorIsRefusedBeforeDetection) {
  InstallAll();
  ops.tokenGroups = {{"S-1-1-0", 7}, {"S-1-5-32-545", 7}};
  EXPECT_EQ(StartupOutcome::EndProcess, Run());
  ExpectRefusedBeforeDetection(
      ops,
      "You must be logged on with Administrative privilege to run this "
      "program.");
  // The guard is left to the system to close when the process ends; the
  // writer lock was never taken.
  EXPECT_TRUE(ops.IsOpenHandle(state.m_hGuard));
  EXPECT_EQ(nullptr, state.m_hWriterLock);
}

TEST_F(StartupSequenceTest, ShownDialogHoldsTheGuard) {
  InstallAll();
  EXPECT_EQ(StartupOutcome::ShowDialog, Run());
  EXPECT_TRUE(ops.IsOpenHandle(state.m_hGuard));
  EXPECT_TRUE(ops.IsOpenHandle(state.m_hWriterLock));
  EXPECT_EQ(2, ops.OpenHandleCount()) << "only the guards stay open";
}

TEST_F(StartupSequenceTest, NothingInstalledWarnsOnceAndEnds) {
  EXPECT_EQ(StartupOutcome::EndProcess, Run());
  ASSERT_EQ(std::vector<std::string>{"Warning"}, Captions());
  EXPECT_EQ(
      "The following application or driver is not installed.\n\n"
      "    TWAIN\n    ISIS\n    Lumora\n",
      ops.messages[0].text);
}

TEST_F(StartupSequenceTest, OneTooOldTwoAbsentWarnsAndEnds) {
  ops.AddFileWithVersion(kIsisProbe, "2, 5, 0, 0");
  EXPECT_EQ(StartupOutcome::EndProcess, Run());
  ASSERT_EQ(std::vector<std::string>{"Warning"}, Captions());
  EXPECT_EQ(
      "The version of the following application or driver is old.\n"
      "The setting is ignored for following  application or driver. \n\n"
      "    ISIS\n\n"
      "The following application or driver is not installed.\n\n"
      "    TWAIN\n    Lumora\n",
      ops.messages[0].text);
}

TEST_F(StartupSequenceTest, EndingEarlyReadsNoOption) {
  ops.AddFileWithVersion(kTwainProbe, "8, 0, 0, 0");
  EXPECT_EQ(StartupOutcome::EndProcess, Run());
  EXPECT_EQ(0, ops.CallCount(FakePlatformOps::Op::ReadIniInt));
}

TEST_F(StartupSequenceTest, OptionIsReadAfterTheWarnings) {
  InstallAll();
  for (const char* path :
       {"C:\\WINDOWS\\twain_32\\Norvtw32\\UnitPrefs.ini",
        "C:\\WINDOWS\\Pixtran\\Norvel RX-M7720B\\UnitPrefs.ini",
        "C:\\WINDOWS\\Pixtran\\Norvel RX-M7710B\\UnitPrefs.ini",
        "C:\\Lumora\\UnitPrefs.ini"}) {
    ops.SetIniText(path, "[Special]\r\nEnableVeloRidePass=1\r\n");
  }
  EXPECT_EQ(StartupOutcome::ShowDialog, Run());
  EXPECT_EQ(kSkipOn, state.m_nSkipState);
  EXPECT_EQ(4, ops.CallCount(FakePlatformOps::Op::ReadIniInt));
}

TEST_F(StartupSequenceTest, AllFoundShowsOnlyTheCloseAppWarning) {
  InstallAll();
  EXPECT_EQ(StartupOutcome::ShowDialog, Run());
  ASSERT_EQ(std::vector<std::string>{"Warning"}, Captions());
  EXPECT_EQ(kCloseAppWarning, ops.messages[0].text);
  EXPECT_EQ(1, state.detection.m_bTwainFound);
  EXPECT_EQ(1, state.detection.m_bIsisFound);
  EXPECT_EQ(1, state.detection.m_bCaptureFound);
}

TEST_F(StartupSequenceTest, TypicalRunWarnsThenAsksToCloseTheScannerApp) {
  ops.AddFileWithVersion(kTwainProbe, "9, 1, 0, 0");
  ops.AddFileWithVersion(kIsisProbe, "3, 2, 0, 0");
  EXPECT_EQ(StartupOutcome::ShowDialog, Run());
  ASSERT_EQ((std::vector<std::string>{"Warning", "Warning"}), Captions());
  EXPECT_EQ(
      "The following application or driver is not installed.\n\n"
      "    Lumora\n",
      ops.messages[0].text);
  EXPECT_EQ(kCloseAppWarning, ops.messages[1].text);
  EXPECT_EQ(0, state.detection.m_bCaptureFound);
}

}  // namespace

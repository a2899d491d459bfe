#include "settings/SkipSetting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/fake/FakePlatformOps.h"

namespace {

OsWindow const kDialog = reinterpret_cast<OsWindow>(0x5678);
constexpr const char* kIsisA =
    "C:\\W\\Pixtran\\Norvel RX-M7720B\\UnitPrefs.ini";
constexpr const char* kIsisB =
    "C:\\W\\Pixtran\\Norvel RX-M7710B\\UnitPrefs.ini";
constexpr const char* kTwain = "C:\\W\\twain_32\\Norvtw32\\UnitPrefs.ini";
constexpr const char* kCapture = "C:\\Lumora\\UnitPrefs.ini";
constexpr const char* kChanged =
    "VRP setting is changed for following application.\n\n";
constexpr const char* kWriteError = "INI file write error!\n\n";

// A detection result with the given targets Found and their usual paths.
DetectionResult Found(bool isis, bool twain, bool capture) {
  DetectionResult result;
  result.m_bIsisFound = isis;
  result.m_bTwainFound = twain;
  result.m_bCaptureFound = capture;
  if (isis) {
    std::string(kIsisA).copy(result.m_szIsisIniA, kPathBufferSize - 1);
    std::string(kIsisB).copy(result.m_szIsisIniB, kPathBufferSize - 1);
  }
  if (twain) std::string(kTwain).copy(result.m_szTwainIni, kPathBufferSize - 1);
  if (capture) {
    std::string(kCapture).copy(result.m_szCaptureIni, kPathBufferSize - 1);
  }
  return result;
}

std::string Option(const char* value) {
  return std::string("[Special]\r\nEnableVeloRidePass=") + value + "\r\n";
}

struct ReadCase {
  const char* name;
  bool isis, twain, capture;
  // File texts for ISIS A, ISIS B, TWAIN, capture; nullopt: no file.
  std::optional<std::string> files[4];
  int state;
};

class ReadSkipSettingTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadSkipSettingTest, FoldsEveryFileOfEveryFoundTarget) {
  const ReadCase& c = GetParam();
  FakePlatformOps ops;
  const char* paths[4] = {kIsisA, kIsisB, kTwain, kCapture};
  for (int i = 0; i < 4; ++i) {
    if (c.files[i]) ops.SetIniText(paths[i], *c.files[i]);
  }
  int state = -1;
  ReadSkipSetting(ops, Found(c.isis, c.twain, c.capture), &state,
                  kSkipSettingKey);
  EXPECT_EQ(c.state, state);
  EXPECT_TRUE(ops.iniWrites.empty()) << "reading never writes";
  EXPECT_TRUE(ops.messages.empty()) << "reading never shows anything";
}

const std::string kOn = Option("1");
const std::string kOff = Option("0");

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadSkipSettingTest,
    testing::Values(
        ReadCase{"AllOn", true, true, true, {kOn, kOn, kOn, kOn}, kSkipOn},
        ReadCase{
            "AllOff", true, true, true, {kOff, kOff, kOff, kOff}, kSkipOff},
        ReadCase{"IsisTwinMissing",
                 true,
                 false,
                 false,
                 {kOn, std::nullopt, std::nullopt, std::nullopt},
                 kSkipMixed},
        ReadCase{"CountsFilesNotTargets",
                 true,
                 true,
                 false,
                 {kOn, kOn, kOff, std::nullopt},
                 kSkipMixed},
        ReadCase{"OnlyOneReadsAsOn",
                 true,
                 true,
                 true,
                 {Option("2"), Option("-1"), Option("abc"), kOn},
                 kSkipMixed},
        ReadCase{"NothingReadsAsOn",
                 true,
                 true,
                 true,
                 {Option("2"), Option("-1"), "[Special]\r\nOther=1\r\n",
                  "[Elsewhere]\r\nEnableVeloRidePass=1\r\n"},
                 kSkipOff},
        ReadCase{"NotFoundTargetsAreIgnored",
                 false,
                 true,
                 false,
                 {kOff, kOff, kOn, kOff},
                 kSkipOn},
        ReadCase{"MissingFilesReadAsOff",
                 true,
                 true,
                 true,
                 {std::nullopt, std::nullopt, std::nullopt, std::nullopt},
                 kSkipOff},
        ReadCase{"KeyNamesIgnoreCase",
                 false,
                 true,
                 true,
                 {std::nullopt, std::nullopt,
                  "[special]\r\nenableVELOridepass = 1\r\n", kOn},
                 kSkipOn}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadSkipSetting, UnreadableFileReadsAsOff) {
  FakePlatformOps ops;
  for (const char* path : {kIsisA, kIsisB, kTwain}) ops.SetIniText(path, kOn);
  ops.FailCall(FakePlatformOps::Op::ReadIniInt, 1);
  int state = -1;
  ReadSkipSetting(ops, Found(true, true, false), &state, kSkipSettingKey);
  EXPECT_EQ(kSkipMixed, state);
}

class WriteSkipSettingTest : public testing::Test {
 protected:
  void Write(int state) {
    WriteSkipSetting(ops, detection, kDialog, state, kSkipSettingKey);
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> boxes;
    for (const auto& message : ops.messages) {
      EXPECT_EQ(kDialog, message.owner);
      boxes.push_back(message.caption + ":" + message.text);
    }
    return boxes;
  }
  FakePlatformOps ops;
  DetectionResult detection = Found(true, true, true);
};

TEST_F(WriteSkipSettingTest, WritesEveryFileInOrderAndReportsEveryTarget) {
  for (const char* path : {kIsisA, kIsisB, kTwain, kCapture}) {
    ops.SetIniText(path, kOn);
  }
  Write(kSkipOff);
  const std::vector<std::string> writes = {
      std::string(kIsisA) + "|Special|EnableVeloRidePass=0",
      std::string(kIsisB) + "|Special|EnableVeloRidePass=0",
      std::string(kTwain) + "|Special|EnableVeloRidePass=0",
      std::string(kCapture) + "|Special|EnableVeloRidePass=0"};
  EXPECT_EQ(writes, ops.iniWrites);
  EXPECT_EQ(std::vector<std::string>{std::string("End:") + kChanged +
                                     "    TWAIN\n    ISIS\n    Lumora\n"},
            Boxes());
  int state = -1;
  ReadSkipSetting(ops, detection, &state, kSkipSettingKey);
  EXPECT_EQ(kSkipOff, state);
}

TEST_F(WriteSkipSettingTest, OnWritesOneAndCreatesWhatIsMissing) {
  detection = Found(false, true, true);
  ops.AddDirectory("C:\\W\\twain_32\\Norvtw32");
  ops.SetIniText(kCapture, "; kept\r\n[Other]\r\nKey=5\r\n");
  Write(kSkipOn);
  EXPECT_EQ(Option("1"), ops.IniText(kTwain).value_or("no file"));
  EXPECT_EQ(
      "; kept\r\n[Other]\r\nKey=5\r\n[Special]\r\nEnableVeloRidePass=1\r\n",
      ops.IniText(kCapture).value_or("no file"));
  EXPECT_EQ(std::vector<std::string>{std::string("End:") + kChanged +
                                     "    TWAIN\n    Lumora\n"},
            Boxes());
}

TEST_F(WriteSkipSettingTest, OnlyOffAndOnAreWritten) {
  for (int state : {int{kSkipMixed}, -1, 3, 255}) {
    Write(state);
    EXPECT_TRUE(ops.iniWrites.empty()) << state;
    EXPECT_TRUE(ops.messages.empty()) << state;
    EXPECT_EQ(0, ops.CallCount(FakePlatformOps::Op::WriteIniString));
  }
}

// Every combination of the four writes failing, with all targets Found.
TEST(WriteSkipSettingFailures, FailedTargetsGoUnderErrorTheRestUnderEnd) {
  const char* const kLines[3] = {"    TWAIN\n", "    ISIS\n", "    Lumora\n"};
  for (int mask = 0; mask < 16; ++mask) {
    FakePlatformOps ops;
    for (int call = 0; call < 4; ++call) {
      if (mask & (1 << call)) {
        ops.FailCall(FakePlatformOps::Op::WriteIniString, call);
      }
    }
    for (const char* path : {kIsisA, kIsisB, kTwain, kCapture}) {
      ops.AddFile(path);  // creates the directories
    }
    DetectionResult detection = Found(true, true, true);
    WriteSkipSetting(ops, detection, kDialog, kSkipOn, kSkipSettingKey);

    SCOPED_TRACE("failing writes mask " + std::to_string(mask));
    EXPECT_EQ(4, ops.CallCount(FakePlatformOps::Op::WriteIniString))
        << "a failure never stops the other writes";
    const bool failed[3] = {(mask & 4) != 0, (mask & 3) != 0, (mask & 8) != 0};
    std::string error = kWriteError;
    std::string changed = kChanged;
    for (int target = 0; target < 3; ++target) {
      (failed[target] ? error : changed) += kLines[target];
    }
    std::vector<std::string> expected;
    if (mask != 0) expected.push_back("Error:" + error);
    if (!(failed[0] && failed[1] && failed[2])) {
      expected.push_back("End:" + changed);
    }
    std::vector<std::string> boxes;
    for (const auto& message : ops.messages) {
      boxes.push_back(message.caption + ":" + message.text);
    }
    EXPECT_EQ(expected, boxes);
    EXPECT_EQ(failed[0] ? 0 : 1, detection.m_bTwainFound);
    EXPECT_EQ(failed[1] ? 0 : 1, detection.m_bIsisFound);
    EXPECT_EQ(failed[2] ? 0 : 1, detection.m_bCaptureFound);
  }
}

// OK gives the users' VirtualStore copies the value too; one that cannot be
// written puts its program under the error box, and names its user.
TEST(WriteSkipSettingFailures, ACopyNotWrittenIsAnErrorNamingItsUser) {
  FakePlatformOps ops;
  ops.windowsDir = "C:\\W";
  for (const char* path : {kIsisA, kIsisB, kTwain, kCapture}) ops.AddFile(path);
  const std::string store = "C:\\Users\\admin\\AppData\\Local\\VirtualStore";
  ops.SetIniText(store + std::string(kIsisA).substr(2), Option("0"));
  ops.SetIniText(store + std::string(kTwain).substr(2), Option("0"));
  ops.HoldShut(store + std::string(kTwain).substr(2));
  DetectionResult detection = Found(true, true, true);
  WriteSkipSetting(ops, detection, kDialog, kSkipOn, kSkipSettingKey);
  ASSERT_EQ(2u, ops.messages.size());
  EXPECT_EQ(std::string(kWriteError) +
                "    TWAIN\n\nVirtualStore copies not written, of:\n"
                "    SCANPC01\\admin\n",
            ops.messages[0].text);
  EXPECT_EQ(std::string(kChanged) + "    ISIS\n    Lumora\n",
            ops.messages[1].text);
  EXPECT_EQ(Option("1"), ops.IniText(store + std::string(kIsisA).substr(2)));
}

TEST_F(WriteSkipSettingTest, MissingDirectoryIsAReportedFailure) {
  detection = Found(true, true, false);
  ops.AddDirectory("C:\\W\\Pixtran\\Norvel RX-M7720B");
  ops.AddDirectory("C:\\W\\twain_32\\Norvtw32");
  Write(kSkipOff);
  EXPECT_EQ((std::vector<std::string>{
                std::string("Error:") + kWriteError + "    ISIS\n",
                std::string("End:") + kChanged + "    TWAIN\n"}),
            Boxes());
  EXPECT_TRUE(ops.IniText(kIsisA).has_value())
      << "the RX-M7720B file is written although its twin failed";
}

// Writes that report success without doing what was asked (as Wine's does
// on a full disk), and undoing that fails too: the TWAIN file ends as it
// began whenever it is reported put back, and TWAIN is reported under
// "Error", never under "End", and once more as not restored where it is
// not.
TEST(WriteSkipSettingVerification, MisbehavingWritesAreUndoneAndReported) {
  using Fault = FakePlatformOps::WriteFault;
  using Op = FakePlatformOps::Op;
  const std::string original =
      "; kept\r\n[General]\r\nDpi=300\r\n[Special]\r\nEnableVeloRidePass=1\r\n"
      "Duplex=1\r\n[Tail]\r\nLast=5\r\n";
  const struct {
    const char* name;
    std::optional<Fault> fault;
    std::optional<Op> failing;
    int failingCall;  // 0-based, or every call
    bool fileExists;
    bool restored;  // the file ends as it began
    // The file already holds the value written: the dialog writes it all
    // the same, and its failure is still an error.
    bool alreadyOff = false;
    const char* text = nullptr;  // the file, where not `original`
    std::optional<int> failingRead = std::nullopt;  // and this read fails
  } cases[] = {
      {"truncates", Fault::kTruncates, std::nullopt, 0, true, true},
      {"drops another section", Fault::kDropsOtherSection, std::nullopt, 0,
       true, true},
      {"key left unset", Fault::kLeavesKeyUnset, std::nullopt, 0, true, true},
      {"empty file created", Fault::kLeavesKeyUnset, std::nullopt, 0, false,
       true},
      // The first read takes the bytes; the second checks the rewrite.
      {"cannot be read back", std::nullopt, Op::ReadOpenedFile, 1, true, true},
      {"file cannot be read first", std::nullopt, Op::ReadOpenedFile, 0, true,
       true},
      {"half rewritten, cannot be put back", std::nullopt,
       Op::RewriteOpenedFile, FakePlatformOps::kEveryCall, true, false},
      {"created, cannot be removed", Fault::kLeavesKeyUnset,
       Op::DeleteOpenedFile, FakePlatformOps::kEveryCall, false, false},
      {"already off, truncates", Fault::kTruncates, std::nullopt, 0, true, true,
       true},
      {"another program adds a line meanwhile", Fault::kAddsLine, std::nullopt,
       0, true, true},
      // Cut inside the last value: only the value tells.
      {"last value cut short", Fault::kTruncates, std::nullopt, 0, true, true,
       false,
       "[Special]\r\nEnableVeloRidePass=1\r\n[Tail]\r\nLast="
       "123456789012345678901234567890123456789012345678901234567890\r\n"},
      {"created, first read fails", std::nullopt, Op::ReadOpenedFile, 0, false,
       true},
      // Reads: before, after the half rewrite, after the put-back.
      {"put back, not read back", std::nullopt, Op::RewriteOpenedFile, 0, true,
       false, false, nullptr, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatformOps ops;
    ops.AddDirectory("C:\\W\\twain_32\\Norvtw32");
    std::string before = c.text != nullptr ? c.text : original;
    if (c.alreadyOff) {
      before.replace(before.find("Pass=1"), 6, "Pass=0");
    }
    if (c.fileExists) ops.SetIniText(kTwain, before);
    if (c.fault) ops.MisbehaveOnWrite(0, *c.fault);
    if (c.failing) ops.FailCall(*c.failing, c.failingCall);
    if (c.failingRead) ops.FailCall(Op::ReadOpenedFile, *c.failingRead);
    DetectionResult detection = Found(false, true, false);
    WriteSkipSetting(ops, detection, kDialog, kSkipOff, kSkipSettingKey);

    ASSERT_EQ(1u, ops.messages.size()) << "an error box and no \"End\"";
    EXPECT_EQ("Error", ops.messages[0].caption);
    EXPECT_EQ(std::string(kWriteError) + "    TWAIN\n" +
                  (c.restored ? ""
                              : "\nNot restored, check the INI files of:\n\n"
                                "    TWAIN\n"),
              ops.messages[0].text);
    EXPECT_EQ(0, detection.m_bTwainFound);
    if (c.restored) {
      EXPECT_EQ(
          c.fileExists ? std::optional<std::string>(before) : std::nullopt,
          ops.IniText(kTwain));
    }
  }
}

// Files the profile API writes as asked, however odd: each write counts.
TEST(WriteSkipSettingVerification, WriteThatKeepsEverythingElseCounts) {
  const std::string files[] = {
      "[Special]\r\n; note\r\nDuplex = 1\r\nEnableVeloRidePass=1\r\n"
      "[Special]\r\nSecond=2\r\n[Other]\r\n",
      // The first of two keys of the name is the one read and written.
      "[Special]\r\nEnableVeloRidePass=1\r\nEnableVeloRidePass=1\r\n",
      // The profile API keeps the file's spelling of the key.
      "[special]\r\nenableveloridepass=1\r\n",
      "[ Special ]\r\nEnableVeloRidePass=1\r\n",
      "[Special]\r\nEnableVeloRidePass=1=x\r\n",
  };
  for (const std::string& text : files) {
    SCOPED_TRACE(text);
    FakePlatformOps ops;
    ops.SetIniText(kTwain, text);
    DetectionResult detection = Found(false, true, false);
    WriteSkipSetting(ops, detection, kDialog, kSkipOff, kSkipSettingKey);
    ASSERT_EQ(1u, ops.messages.size());
    EXPECT_EQ("End", ops.messages[0].caption);
    EXPECT_FALSE(IsOptionOn(ops, kTwain, kSkipSettingKey));
  }
}

// A rewrite that cannot be checked for want of memory is reported as not
// restored, and leaves no handle open.
TEST(WriteSkipSettingVerification, UncheckedWriteIsNotRestored) {
  FakePlatformOps ops;
  ops.SetIniText(kTwain, "[Special]\r\nEnableVeloRidePass=1\r\n");
  ops.RunOutOfMemoryOnCall(FakePlatformOps::Op::ReadOpenedFile, 1);
  DetectionResult detection = Found(false, true, false);
  const OptionWriteResult result = WriteOption(
      ops, detection, kSkipOff, kSkipSettingKey, WriteMode::kEveryFile);
  EXPECT_EQ(FileWriteOutcome::kFailedNotRestored, result.files[2]);
  EXPECT_EQ("[Special]\r\nEnableVeloRidePass=0\r\n", ops.IniText(kTwain));
  EXPECT_EQ(0, ops.OpenHandleCount()) << "the file is closed";
}

TEST(SkipSettingMessages, LongestReportsFitTheirBuffer) {
  MessageText message;
  message.Append(kChanged);
  const TargetFlags all = {1, 1, 1};
  BuildTargetList(message, all);
  EXPECT_EQ(std::string(kChanged) + "    TWAIN\n    ISIS\n    Lumora\n",
            message.text);
}

}  // namespace

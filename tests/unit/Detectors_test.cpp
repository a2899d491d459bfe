#include "detect/Detectors.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fake/FakePlatformOps.h"

namespace {

constexpr const char* kTwainProbe =
    "C:\\WINDOWS\\twain_32\\Norvtw32\\NorvM7720.ds";
constexpr const char* kIsisProbe = "C:\\WINDOWS\\Pixtran\\RXM7720.pxn";
constexpr const char* kTwainIni =
    "C:\\WINDOWS\\twain_32\\Norvtw32\\UnitPrefs.ini";
constexpr const char* kIsisIniA =
    "C:\\WINDOWS\\Pixtran\\Norvel RX-M7720B\\UnitPrefs.ini";
constexpr const char* kIsisIniB =
    "C:\\WINDOWS\\Pixtran\\Norvel RX-M7710B\\UnitPrefs.ini";

using Detector = int (*)(PlatformOps&, DetectionResult&, int*, char*);

// A result whose paths all hold leftovers, so emptying them shows.
DetectionResult Stale() {
  DetectionResult result;
  for (const IniFileSlot& slot : kIniFiles) {
    std::string("stale").copy(result.*slot.path, 5);
  }
  return result;
}

// True when the target's paths are empty and every other path is untouched.
bool OnlyPathsOfTargetEmptied(const DetectionResult& result,
                              ScanTarget target) {
  for (const IniFileSlot& slot : kIniFiles) {
    const std::string expected = slot.target == target ? "" : "stale";
    if (result.*slot.path != expected) return false;
  }
  return true;
}

struct WindowsDirTarget {
  const char* name;
  ScanTarget target;
  Detector detect;
  const char* probe;
  const char* oldVersion;
  const char* minimumVersion;
};

class WindowsDirDetectorTest
    : public testing::TestWithParam<WindowsDirTarget> {
 protected:
  FakePlatformOps ops;
  DetectionResult result = Stale();
};

TEST_P(WindowsDirDetectorTest, AbsentWithoutProbeFileLeavesTooOldAlone) {
  for (int tooOld : {0, 1}) {
    const int before = tooOld;
    EXPECT_EQ(0, GetParam().detect(ops, result, &tooOld, nullptr));
    EXPECT_EQ(before, tooOld);
  }
  EXPECT_TRUE(OnlyPathsOfTargetEmptied(result, GetParam().target));
}

TEST_P(WindowsDirDetectorTest, TooOldSetsTheFlagAndNoPath) {
  ops.AddFileWithVersion(GetParam().probe, GetParam().oldVersion);
  int tooOld = 0;
  EXPECT_EQ(0, GetParam().detect(ops, result, &tooOld, nullptr));
  EXPECT_EQ(1, tooOld);
  EXPECT_TRUE(OnlyPathsOfTargetEmptied(result, GetParam().target));
}

TEST_P(WindowsDirDetectorTest, FoundAtMinimumVersionOrWithoutVersion) {
  for (bool versioned : {true, false}) {
    FakePlatformOps install;
    if (versioned) {
      install.AddFileWithVersion(GetParam().probe, GetParam().minimumVersion);
    } else {
      install.AddFile(GetParam().probe);
    }
    int tooOld = 0;
    DetectionResult found;
    EXPECT_EQ(1, GetParam().detect(install, found, &tooOld, nullptr))
        << versioned;
    EXPECT_EQ(0, tooOld);
  }
}

TEST_P(WindowsDirDetectorTest, WindowsDirectoryUnavailableMeansAbsent) {
  ops.AddFile(GetParam().probe);
  ops.FailCall(FakePlatformOps::Op::GetWindowsDir);
  int tooOld = 0;
  EXPECT_EQ(0, GetParam().detect(ops, result, &tooOld, nullptr));
  EXPECT_EQ(0, tooOld);
  EXPECT_TRUE(OnlyPathsOfTargetEmptied(result, GetParam().target));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, WindowsDirDetectorTest,
    testing::Values(WindowsDirTarget{"Twain", ScanTarget::Twain, &DetectTwainDriver, kTwainProbe,
                                     "8.99.0.0", "9, 0, 0, 0"},
                    WindowsDirTarget{"Isis", ScanTarget::Isis, &DetectIsisDriver, kIsisProbe,
                                     "2, 9, 0, 0", "3.0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Detectors, FoundTargetsGetTheirIniPaths) {
  FakePlatformOps ops;
  ops.AddFileWithVersion(kTwainProbe, "9, 0, 2, 1");
  ops.AddFileWithVersion(kIsisProbe, "3, 1, 0, 0");
  DetectionResult result;
  int tooOld = 0;
  EXPECT_EQ(1, DetectTwainDriver(ops, result, &tooOld));
  EXPECT_EQ(1, DetectIsisDriver(ops, result, &tooOld));
  EXPECT_STREQ(kTwainIni, result.m_szTwainIni);
  EXPECT_STREQ(kIsisIniA, result.m_szIsisIniA);
  EXPECT_STREQ(kIsisIniB, result.m_szIsisIniB);
  EXPECT_STREQ("", result.m_szCaptureIni);
}

// Windows directories of a length where the ISIS probe path still fits its
// 259 characters but the longer INI path does not, and where both just fit.
TEST(Detectors, PathThatWouldNotFitMakesTheTargetAbsent) {
  const std::string isisIniSuffix = "\\Pixtran\\Norvel RX-M7720B\\UnitPrefs.ini";
  struct Case {
    std::size_t dirLength;
    int found;
  } cases[] = {{259 - isisIniSuffix.size(), 1},
               {260 - isisIniSuffix.size(), 0},
               {250, 0},
               {259, 0},
               {300, 0}};
  for (const Case& c : cases) {
    FakePlatformOps ops;
    ops.windowsDir = "C:\\" + std::string(c.dirLength - 3, 'w');
    ops.AddFile(ops.windowsDir + "\\Pixtran\\RXM7720.pxn");
    ops.AddFile(ops.windowsDir + "\\twain_32\\Norvtw32\\NorvM7720.ds");
    DetectionResult result = Stale();
    int tooOld = 0;
    EXPECT_EQ(c.found, DetectIsisDriver(ops, result, &tooOld)) << c.dirLength;
    EXPECT_EQ(0, tooOld);
    if (c.found) {
      EXPECT_EQ(259u, std::string(result.m_szIsisIniA).size());
    } else {
      EXPECT_STREQ("", result.m_szIsisIniA) << c.dirLength;
      EXPECT_STREQ("", result.m_szIsisIniB) << c.dirLength;
    }
  }
}

class CaptureDetectorTest : public testing::Test {
 protected:
  int Detect() {
    result = Stale();
    return DetectCaptureApp(ops, result, &tooOld);
  }
  FakePlatformOps ops;
  DetectionResult result;
  int tooOld = 0;
};

TEST_F(CaptureDetectorTest, FoundUnderTheRegisteredInstallDirectory) {
  ops.SetInstallDir("C:\\Program Files\\Lumora");
  ops.AddFileWithVersion("C:\\Program Files\\Lumora\\LumoraApp.exe",
                         "1, 1, 0, 0");
  EXPECT_EQ(1, Detect());
  EXPECT_STREQ("C:\\Program Files\\Lumora\\UnitPrefs.ini",
               result.m_szCaptureIni);
  EXPECT_EQ(0, tooOld);
}

TEST_F(CaptureDetectorTest, InstallDirectoryIsUsedAsStored) {
  ops.SetInstallDir("D:\\Lumora\\");
  ops.AddFile("D:\\Lumora\\LumoraApp.exe");
  EXPECT_EQ(1, Detect());
  EXPECT_STREQ("D:\\Lumora\\\\UnitPrefs.ini", result.m_szCaptureIni);
}

TEST_F(CaptureDetectorTest, OlderThanOneOneIsTooOld) {
  ops.SetInstallDir("C:\\Lumora");
  ops.AddFileWithVersion("C:\\Lumora\\LumoraApp.exe", "1, 0, 5, 0");
  EXPECT_EQ(0, Detect());
  EXPECT_EQ(1, tooOld);
  EXPECT_STREQ("", result.m_szCaptureIni);
}

TEST_F(CaptureDetectorTest, AbsentWithoutTheExecutable) {
  ops.SetInstallDir("C:\\Lumora");
  EXPECT_EQ(0, Detect());
  EXPECT_EQ(0, tooOld);
  EXPECT_STREQ("", result.m_szCaptureIni);
}

TEST_F(CaptureDetectorTest, OnlyATerminatedStringThatFitsIsAnInstallDir) {
  using Value = FakePlatformOps::RegistryValue;
  const std::string dir = "C:\\Lumora";
  const std::string fits(259, 'd');
  struct Case {
    const char* name;
    Value value;
    int found;
    bool expansionFails = false;
  } cases[] = {
      {"REG_SZ", {reg_type::kString, dir + '\0'}, 1},
      {"REG_EXPAND_SZ without variables",
       {reg_type::kExpandString, dir + '\0'},
       1},
      {"REG_EXPAND_SZ expanded",
       {reg_type::kExpandString, std::string("%LUMORA%") + '\0'},
       1},
      {"REG_SZ never expanded",
       {reg_type::kString, std::string("%LUMORA%") + '\0'},
       0},
      {"expansion longer than the buffer",
       {reg_type::kExpandString, "%LUMORA%\\" + std::string(250, 'd') + '\0'},
       0},
      {"expansion fails", {reg_type::kExpandString, dir + '\0'}, 0, true},
      {"embedded terminator", {reg_type::kString, dir + '\0' + "junk"}, 1},
      {"REG_BINARY", {reg_type::kBinary, dir + '\0'}, 0},
      {"REG_DWORD", {reg_type::kDword, std::string(4, '\x01')}, 0},
      {"no terminator", {reg_type::kString, dir}, 0},
      {"260 bytes, no terminator",
       {reg_type::kString, std::string(260, 'd')},
       0},
      {"larger than the buffer", {reg_type::kString, fits + "dd" + '\0'}, 0},
      {"empty string", {reg_type::kString, std::string(1, '\0')}, 0},
      {"no data", {reg_type::kString, ""}, 0},
  };
  for (const Case& c : cases) {
    ops = FakePlatformOps();
    ops.SetRegistryValue(kCaptureAppKey, kCaptureAppValue, c.value);
    ops.environment["LUMORA"] = dir;
    if (c.expansionFails) ops.FailCall(FakePlatformOps::Op::ExpandEnvironment);
    ops.AddFile(dir + "\\LumoraApp.exe");
    EXPECT_EQ(c.found, Detect()) << c.name;
    if (!c.found) {
      EXPECT_TRUE(OnlyPathsOfTargetEmptied(result, ScanTarget::Capture))
          << c.name;
    }
  }
}

TEST_F(CaptureDetectorTest, InstallDirTooLongForItsFilesIsAbsent) {
  const std::size_t suffixLength = std::string("\\LumoraApp.exe").size();
  for (std::size_t length : {259 - suffixLength, 260 - suffixLength}) {
    ops = FakePlatformOps();
    const std::string dir = "C:\\" + std::string(length - 3, 'd');
    ops.SetInstallDir(dir);
    ops.AddFile(dir + "\\LumoraApp.exe");
    EXPECT_EQ(length == 259 - suffixLength ? 1 : 0, Detect()) << length;
  }
}

TEST_F(CaptureDetectorTest, RegistryFailureMeansAbsent) {
  ops.SetInstallDir("C:\\Lumora");
  ops.AddFile("C:\\Lumora\\LumoraApp.exe");
  ops.FailCall(FakePlatformOps::Op::ReadRegistryValue);
  EXPECT_EQ(0, Detect());
  EXPECT_STREQ("", result.m_szCaptureIni);
}

}  // namespace

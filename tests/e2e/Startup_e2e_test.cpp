// The start-up sequence of the real program under Wine.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/e2e/E2ETest.h"

namespace {

using StartupE2E = E2ETest;

// The machine the exe beside this test program was built for, from its PE
// header: true for i386.
bool ExeIs32Bit() {
  const std::string exe = ProgramDirectory() + "\\VRPSettingTool.exe";
  const auto image = ScannerInstall::ReadFile(exe);
  if (!image || image->size() < 0x40) throw std::runtime_error("no exe");
  std::uint32_t peOffset = 0;
  std::memcpy(&peOffset, image->data() + 0x3C, sizeof peOffset);
  std::uint16_t machine = 0;
  std::memcpy(&machine, image->data() + peOffset + 4, sizeof machine);
  return machine == 0x014C;  // IMAGE_FILE_MACHINE_I386
}

TEST_F(StartupE2E, RunsAsItsExeIsBuilt) {
  AppDriver app;
  EXPECT_EQ(ExeIs32Bit(), app.IsWow64())
      << "a 32-bit exe runs as a WoW64 process, a 64-bit one natively";
  ExpectBox(app, "Warning",
            std::string(kAbsentHeader) + "    TWAIN\n    ISIS\n    Lumora\n");
  ExpectEndsQuietly(app);
}

TEST_F(StartupE2E, NothingInstalledWarnsOnceAndEndsWithoutTheDialog) {
  AppDriver app;
  ExpectBox(app, "Warning",
            std::string(kAbsentHeader) + "    TWAIN\n    ISIS\n    Lumora\n");
  ExpectEndsQuietly(app);
}

TEST_F(StartupE2E, OneTooOldTwoAbsentWarnsAndEnds) {
  install.InstallIsis(kIsis2);
  AppDriver app;
  ExpectBox(app, "Warning",
            "The version of the following application or driver is old.\n"
            "The setting is ignored for following  application or driver. "
            "\n\n    ISIS\n\n" +
                std::string(kAbsentHeader) + "    TWAIN\n    Lumora\n");
  ExpectEndsQuietly(app);
}

// The TWAIN probe's version decides: too old is told and left alone; a
// corrupt version resource counts as none at all (new enough), and never
// crashes the program.
TEST_F(StartupE2E, TwainProbeVersionDecidesWhetherItIsUsed) {
  const struct {
    ProbeFile probe;
    bool found;
  } cases[] = {
      {kTwain9, true},
      {kTwain8, false},
      {kTwain8SizeOneMiB, true},
      {kTwain8SizeWrapping, true},
      {kTwain8AddressOutside, true},
      {kTwain8LengthTooLong, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.probe.name);
    ScannerInstall twainOnly;
    twainOnly.InstallTwain(c.probe);
    AppDriver app;
    if (c.found) {
      ExpectBox(app, "Warning",
                std::string(kAbsentHeader) + "    ISIS\n    Lumora\n");
      ExpectBox(app, "Warning", kCloseAppWarning);
      app.Press(ExpectMainDialog(app), IDCANCEL);
    } else {
      ExpectBox(app, "Warning",
                "The version of the following application or driver is old.\n"
                "The setting is ignored for following  application or "
                "driver. \n\n    TWAIN\n\n" +
                    std::string(kAbsentHeader) + "    ISIS\n    Lumora\n");
    }
    ExpectEndsQuietly(app);
  }
}

TEST_F(StartupE2E, AllFoundAsksOnlyToCloseTheScannerAppThenCancelCloses) {
  install.InstallTwain(kTwain9);
  install.InstallIsis(kIsis3);
  install.InstallCapture(kLumora11);
  AppDriver app;
  ExpectBox(app, "Warning", kCloseAppWarning);
  app.Press(ExpectMainDialog(app), IDCANCEL);
  ExpectEndsQuietly(app);
  EXPECT_FALSE(ScannerInstall::ReadFile(install.TwainIni()).has_value())
      << "Cancel writes nothing";
}

TEST_F(StartupE2E, TypicalRunListsTheMissingAppThenOkCloses) {
  install.InstallTwain(kTwain9);
  install.InstallIsis(kIsis3);
  AppDriver app;
  ExpectBox(app, "Warning", std::string(kAbsentHeader) + "    Lumora\n");
  ExpectBox(app, "Warning", kCloseAppWarning);
  app.Press(ExpectMainDialog(app), IDOK);
  ExpectBox(app, "End", std::string(kChangedHeader) + "    TWAIN\n    ISIS\n");
  ExpectEndsQuietly(app);
}

TEST_F(StartupE2E, CaptureKeyThatAdministratorsMayOnlyReadIsEnough) {
  install.InstallCapture(kLumora11);
  ASSERT_TRUE(ScannerInstall::SetCaptureKeyAcl("D:P(A;;KR;;;BA)"));
  AppDriver app;
  ExpectBox(app, "Warning",
            std::string(kAbsentHeader) + "    TWAIN\n    ISIS\n");
  ExpectBox(app, "Warning", kCloseAppWarning);
  app.Press(ExpectMainDialog(app), IDCANCEL);
  ExpectEndsQuietly(app);
}

// Makes Wine look for the named DLLs beside VRPSettingTool.exe before its
// own builtin copies, as Windows does for DLLs that are not KnownDLLs, while
// it lives. (Wine keeps WINEDLLOVERRIDES from reaching a child that a Windows
// program starts, so the per-program key is used.)
class NativeDllsFirst {
 public:
  explicit NativeDllsFirst(const std::vector<std::string>& names) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
      throw std::runtime_error("cannot create the DLL overrides key");
    }
    for (const std::string& name : names) {
      RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>("native,builtin"),
                     sizeof "native,builtin");
    }
    RegCloseKey(key);
  }
  ~NativeDllsFirst() { RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey); }
  NativeDllsFirst(const NativeDllsFirst&) = delete;
  NativeDllsFirst& operator=(const NativeDllsFirst&) = delete;

 private:
  static constexpr const char* kProgramKey =
      "Software\\Wine\\AppDefaults\\VRPSettingTool.exe";
  static constexpr const char* kKey =
      "Software\\Wine\\AppDefaults\\VRPSettingTool.exe\\DllOverrides";
};

// The exe in a download folder beside DLLs named after system DLLs that are
// not KnownDLLs: a typical run must load none of them.
TEST_F(StartupE2E, DllsPlantedBesideTheExeAreNeverLoaded) {
  namespace fs = std::filesystem;
  install.InstallTwain(kTwain9);
  install.InstallIsis(kIsis3);
  const fs::path downloads =
      fs::temp_directory_path() /
      ("vrp-downloads-" + std::to_string(GetCurrentProcessId()));
  fs::remove_all(downloads);
  fs::create_directories(downloads);
  fs::copy_file(ProgramDirectory() + "\\VRPSettingTool.exe",
                downloads / "VRPSettingTool.exe");
  std::vector<std::string> planted;
  for (const auto& dll :
       fs::directory_iterator(ProgramDirectory() + "\\planted")) {
    fs::copy_file(dll.path(), downloads / dll.path().filename());
    planted.push_back(dll.path().stem().string());
  }
  ASSERT_FALSE(planted.empty());
  {
    NativeDllsFirst searchBesideTheExe(planted);
    AppDriver app((downloads / "VRPSettingTool.exe").string());
    ExpectBox(app, "Warning", std::string(kAbsentHeader) + "    Lumora\n");
    ExpectBox(app, "Warning", kCloseAppWarning);
    const AppWindow dialog = ExpectMainDialog(app);
    app.ClickCheck(dialog);
    app.Press(dialog, IDOK);
    ExpectBox(app, "End",
              std::string(kChangedHeader) + "    TWAIN\n    ISIS\n");
    ExpectEndsQuietly(app);
  }
  for (const auto& file : fs::directory_iterator(downloads)) {
    EXPECT_NE(".loaded", file.path().extension())
        << "loaded from beside the exe: " << file.path().stem().string();
  }
  std::printf("planted beside the exe:");
  for (const std::string& name : planted) std::printf(" %s", name.c_str());
  std::printf("\n");
  fs::remove_all(downloads);
}

}  // namespace

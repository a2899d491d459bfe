// The start-up sequence of the real program under Wine.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

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

}  // namespace

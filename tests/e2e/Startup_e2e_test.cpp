// The start-up sequence of the real program under Wine.
#include <gtest/gtest.h>

#include "tests/e2e/E2ETest.h"

namespace {

using StartupE2E = E2ETest;

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

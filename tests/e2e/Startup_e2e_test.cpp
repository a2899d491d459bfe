// The start-up sequence of the real program under Wine.
#include <gtest/gtest.h>

#include "tests/e2e/AppDriver.h"
#include "tests/e2e/ScannerInstall.h"

namespace {

constexpr const char* kCloseAppWarning =
    "You must close the scanning application before change the setting by "
    "this program.";
constexpr const char* kAbsentHeader =
    "The following application or driver is not installed.\n\n";

class StartupE2E : public testing::Test {
 protected:
  // Expects the next window to be a message box with this caption and text,
  // and dismisses it.
  void ExpectBox(AppDriver& app, const std::string& caption,
                 const std::string& text) {
    const auto box = app.NextWindow();
    ASSERT_TRUE(box.has_value()) << "expected the box: " << text;
    ASSERT_FALSE(box->isMainDialog) << "expected the box: " << text;
    EXPECT_EQ(caption, box->caption);
    EXPECT_EQ(text, box->text);
    app.Press(*box, IDOK);
  }

  ScannerInstall install;
};

TEST_F(StartupE2E, NothingInstalledWarnsOnceAndEndsWithoutTheDialog) {
  AppDriver app;
  ExpectBox(app, "Warning",
            std::string(kAbsentHeader) + "    TWAIN\n    ISIS\n    Lumora\n");
  EXPECT_FALSE(app.NextWindow().has_value()) << "nothing more may be shown";
  EXPECT_EQ(0u, app.WaitForExit());
}

TEST_F(StartupE2E, OneTooOldTwoAbsentWarnsAndEnds) {
  install.InstallIsis(kIsis2);
  AppDriver app;
  ExpectBox(app, "Warning",
            "The version of the following application or driver is old.\n"
            "The setting is ignored for following  application or driver. "
            "\n\n    ISIS\n\n" +
                std::string(kAbsentHeader) + "    TWAIN\n    Lumora\n");
  EXPECT_FALSE(app.NextWindow().has_value());
  EXPECT_EQ(0u, app.WaitForExit());
}

TEST_F(StartupE2E, AllFoundAsksOnlyToCloseTheScannerAppThenCancelCloses) {
  install.InstallTwain(kTwain9);
  install.InstallIsis(kIsis3);
  install.InstallCapture(kLumora11);
  AppDriver app;
  ExpectBox(app, "Warning", kCloseAppWarning);
  const auto dialog = app.NextWindow();
  ASSERT_TRUE(dialog.has_value());
  ASSERT_TRUE(dialog->isMainDialog);
  EXPECT_EQ("VRP Setting Tool", dialog->caption);
  app.Press(*dialog, IDCANCEL);
  EXPECT_EQ(0u, app.WaitForExit());
  EXPECT_FALSE(ScannerInstall::ReadFile(install.TwainIni()).has_value())
      << "Cancel writes nothing";
}

TEST_F(StartupE2E, TypicalRunListsTheMissingAppThenOkCloses) {
  install.InstallTwain(kTwain9);
  install.InstallIsis(kIsis3);
  AppDriver app;
  ExpectBox(app, "Warning", std::string(kAbsentHeader) + "    Lumora\n");
  ExpectBox(app, "Warning", kCloseAppWarning);
  const auto dialog = app.NextWindow();
  ASSERT_TRUE(dialog.has_value());
  ASSERT_TRUE(dialog->isMainDialog);
  app.Press(*dialog, IDOK);
  // OK may report what it wrote; whatever it shows, it ends.
  while (const auto box = app.NextWindow()) app.Press(*box, IDOK);
  EXPECT_EQ(0u, app.WaitForExit());
}

}  // namespace

// Reading the option into the check box and writing it back, on the real
// program under Wine, checked in the INI files on disk.
#include <gtest/gtest.h>

#include <vector>

#include "tests/e2e/E2ETest.h"
#include "tests/e2e/IniContent.h"

namespace {

const std::string kOn = "[Special]\r\nEnableVeloRidePass=1\r\n";

class SettingE2E : public E2ETest {
 protected:
  // TWAIN and ISIS installed, the capture application not.
  void InstallTwainAndIsis() {
    install.InstallTwain(kTwain9);
    install.InstallIsis(kIsis3);
  }

  // Starts the program and answers the start-up warnings of a run without
  // the capture application; returns the main dialog.
  AppWindow StartWithoutCapture(AppDriver& app) {
    ExpectBox(app, "Warning", std::string(kAbsentHeader) + "    Lumora\n");
    ExpectBox(app, "Warning", kCloseAppWarning);
    return ExpectMainDialog(app);
  }
};

TEST_F(SettingE2E, TypicalRunClearsTheOptionEverywhere) {
  InstallTwainAndIsis();
  for (const auto& path :
       {install.TwainIni(), install.IsisIniA(), install.IsisIniB()}) {
    ScannerInstall::WriteFile(path, kOn);
  }
  AppDriver app;
  const AppWindow dialog = StartWithoutCapture(app);
  EXPECT_EQ(BST_CHECKED, app.CheckState(dialog));
  EXPECT_EQ(BS_AUTOCHECKBOX, app.CheckStyle(dialog));
  app.ClickCheck(dialog);
  EXPECT_EQ(BST_UNCHECKED, app.CheckState(dialog));
  app.Press(dialog, IDOK);
  ExpectBox(app, "End", std::string(kChangedHeader) + "    TWAIN\n    ISIS\n");
  ExpectEndsQuietly(app);

  for (const auto& path :
       {install.TwainIni(), install.IsisIniA(), install.IsisIniB()}) {
    EXPECT_EQ(0, ScannerInstall::ReadOption(path)) << path;
  }
  EXPECT_FALSE(ScannerInstall::ReadFile(install.CaptureIni()).has_value());
}

// OK, a second OK and Cancel reach the still hidden dialog while each
// start-up box is up: none of them may write or end anything.
TEST_F(SettingE2E, OkBeforeTheDialogIsShownDoesNothing) {
  InstallTwainAndIsis();
  for (const auto& path :
       {install.TwainIni(), install.IsisIniA(), install.IsisIniB()}) {
    ScannerInstall::WriteFile(path, kOn);
  }
  AppDriver app;
  for (const char* expected :
       {"The following application or driver is not installed.\n\n"
        "    Lumora\n",
        kCloseAppWarning}) {
    const auto box = app.NextWindow();
    ASSERT_TRUE(box.has_value());
    ASSERT_EQ(expected, box->text);
    const HWND hiddenDialog = GetWindow(box->hwnd, GW_OWNER);
    ASSERT_NE(nullptr, hiddenDialog);
    for (int button : {IDOK, IDOK, IDCANCEL}) {
      PostMessageA(hiddenDialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    }
    Sleep(500);  // the box's message loop hands them to the dialog
    app.Press(*box, IDOK);
  }
  const AppWindow dialog = ExpectMainDialog(app);
  EXPECT_EQ(BST_CHECKED, app.CheckState(dialog));
  for (const auto& path :
       {install.TwainIni(), install.IsisIniA(), install.IsisIniB()}) {
    EXPECT_EQ(kOn, ScannerInstall::ReadFile(path)) << path;
  }
  app.Press(dialog, IDCANCEL);
  ExpectEndsQuietly(app);
}

TEST_F(SettingE2E, MixedStartIsThreeStateAndOkWhileGreyChangesNothing) {
  InstallTwainAndIsis();
  ScannerInstall::WriteFile(install.IsisIniA(), kOn);  // RX-M7710B: no file
  ScannerInstall::WriteFile(install.TwainIni(), kOn);
  AppDriver app;
  const AppWindow dialog = StartWithoutCapture(app);
  EXPECT_EQ(BST_INDETERMINATE, app.CheckState(dialog));
  EXPECT_EQ(BS_AUTO3STATE, app.CheckStyle(dialog));
  for (int expected : {BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE}) {
    app.ClickCheck(dialog);
    EXPECT_EQ(expected, app.CheckState(dialog));
  }
  app.Press(dialog, IDOK);
  ExpectEndsQuietly(app);

  EXPECT_EQ(kOn, ScannerInstall::ReadFile(install.IsisIniA()));
  EXPECT_EQ(kOn, ScannerInstall::ReadFile(install.TwainIni()));
  EXPECT_FALSE(ScannerInstall::ReadFile(install.IsisIniB()).has_value());
}

TEST_F(SettingE2E, FailedWriteIsReportedAndTheOthersAreStillWritten) {
  install.InstallTwain(kTwain9);
  install.InstallIsis(kIsis3);
  install.InstallCapture(kLumora11);
  ScannerInstall::RemoveTree(
      install.IsisIniB().substr(0, install.IsisIniB().find_last_of('\\')));
  AppDriver app;
  ExpectBox(app, "Warning", kCloseAppWarning);
  const AppWindow dialog = ExpectMainDialog(app);
  EXPECT_EQ(BST_UNCHECKED, app.CheckState(dialog));
  app.ClickCheck(dialog);
  app.Press(dialog, IDOK);
  ExpectBox(app, "Error", "INI file write error!\n\n    ISIS\n");
  ExpectBox(app, "End", std::string(kChangedHeader) + "    TWAIN\n    Lumora\n");
  ExpectEndsQuietly(app);

  EXPECT_EQ(1, ScannerInstall::ReadOption(install.IsisIniA()))
      << "the RX-M7720B file is written although its twin failed";
  EXPECT_EQ(1, ScannerInstall::ReadOption(install.TwainIni()));
  EXPECT_EQ(1, ScannerInstall::ReadOption(install.CaptureIni()));
}

TEST_F(SettingE2E, EscapeWritesNothing) {
  InstallTwainAndIsis();
  ScannerInstall::WriteFile(install.TwainIni(), kOn);
  AppDriver app;
  const AppWindow dialog = StartWithoutCapture(app);
  app.ClickCheck(dialog);
  app.PressEscape(dialog);
  ExpectEndsQuietly(app);
  EXPECT_EQ(kOn, ScannerInstall::ReadFile(install.TwainIni()));
  EXPECT_FALSE(ScannerInstall::ReadFile(install.IsisIniA()).has_value());
}

TEST_F(SettingE2E, OkKeepsEverythingElseInTheFile) {
  InstallTwainAndIsis();
  const std::string original =
      "; preferences of the RX-M7720B\r\n"
      "[General]\r\nResolution = 300\r\nColor=1\r\n\r\n"
      "[Special]\r\n; keep this comment\r\nEnableVeloRidePass=0\r\n"
      "Duplex=1\r\n\r\n[Last]\r\nKey=value with spaces\r\n";
  ScannerInstall::WriteFile(install.TwainIni(), original);
  AppDriver app;
  const AppWindow dialog = StartWithoutCapture(app);
  EXPECT_EQ(BST_UNCHECKED, app.CheckState(dialog));
  app.ClickCheck(dialog);
  app.Press(dialog, IDOK);
  ExpectBox(app, "End", std::string(kChangedHeader) + "    TWAIN\n    ISIS\n");
  ExpectEndsQuietly(app);

  const std::vector<std::string> expected = {
      "; preferences of the RX-M7720B", "[General]", "Resolution=300",
      "Color=1", "[Special]", "; keep this comment", "EnableVeloRidePass=1",
      "Duplex=1", "[Last]", "Key=value with spaces"};
  const auto written = ScannerInstall::ReadFile(install.TwainIni());
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(expected, IniContent(*written));
  EXPECT_EQ(std::vector<std::string>({"[Special]", "EnableVeloRidePass=1"}),
            IniContent(ScannerInstall::ReadFile(install.IsisIniB()).value_or("")))
      << "a missing file is created";
}

}  // namespace

// The About box and the main window's system menu, on the real program
// under Wine.
#include <gtest/gtest.h>

#include <vector>

#include "tests/e2e/E2ETest.h"
#include "version.h"

namespace {

class ChromeE2E : public E2ETest {
 protected:
  void SetUp() override { install.InstallTwain(kTwain9); }

  AppWindow OpenDialog(AppDriver& app) {
    ExpectBox(app, "Warning",
              std::string(kAbsentHeader) + "    ISIS\n    Lumora\n");
    ExpectBox(app, "Warning", kCloseAppWarning);
    return ExpectMainDialog(app);
  }
};

TEST_F(ChromeE2E, AboutCommandOpensTheAboutBoxWhateverItsLowBits) {
  AppDriver app;
  const AppWindow dialog = OpenDialog(app);
  for (WPARAM id : {0x0010, 0x001F, 0x0015}) {
    app.OpenFromSystemMenu(dialog, id);
    const auto about = app.NextWindow();
    ASSERT_TRUE(about.has_value());
    ASSERT_FALSE(about->isMainDialog);
    EXPECT_EQ("About VRP Setting Tool", about->caption);
    // The icon, two lines of text and the OK button; an icon control's text
    // is its resource reference, not something to compare.
    const std::vector<std::string> texts = {
        VRP_ABOUT_VERSION_TEXT,
        "Copyright (C) 2026 Norvel Corporation. All rights reserved.", "OK"};
    ASSERT_EQ(4u, about->controlTexts.size());
    EXPECT_EQ(texts, std::vector<std::string>(about->controlTexts.begin() + 1,
                                              about->controlTexts.end()))
        << "id " << id;
    app.Press(*about, IDOK);
  }
  const auto again = app.NextWindow();
  ASSERT_TRUE(again.has_value());
  EXPECT_TRUE(again->isMainDialog) << "closing About returns to the dialog";
  app.Press(dialog, IDCANCEL);
  ExpectEndsQuietly(app);
}

TEST_F(ChromeE2E, MinimisedWindowStillAnswersAndCloses) {
  AppDriver app;
  const AppWindow dialog = OpenDialog(app);
  PostMessageA(dialog.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  for (int i = 0; i < 500 && !IsIconic(dialog.hwnd); ++i) Sleep(20);
  EXPECT_TRUE(IsIconic(dialog.hwnd));
  // Painting the minimised window draws the icon; the program must come
  // through it and still answer.
  RedrawWindow(dialog.hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(BST_UNCHECKED, app.CheckState(dialog));
  app.Press(dialog, IDCANCEL);
  ExpectEndsQuietly(app);
}

}  // namespace

// The single-instance guard of the real program under Wine. (Wine always
// hands out an administrator's token, so the refusal of other users is
// covered by the unit tests.)
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/E2ETest.h"

namespace {

constexpr const char* kAlreadyRunning = "VRP setting tool is already executed.";

class GuardsE2E : public E2ETest {
 protected:
  void SetUp() override {
    install.InstallTwain(kTwain9);
    install.InstallIsis(kIsis3);
    install.InstallCapture(kLumora11);
  }

  // Starts a copy and brings it to its main dialog.
  AppWindow OpenDialog(AppDriver& app) {
    ExpectBox(app, "Warning", kCloseAppWarning);
    return ExpectMainDialog(app);
  }

  // Starts a copy while another runs and expects it to be refused.
  static void ExpectRefusedCopy() {
    AppDriver second;
    ExpectBox(second, "Error", kAlreadyRunning);
    ExpectEndsQuietly(second);
  }
};

TEST_F(GuardsE2E, SecondCopyIsRefusedWhileTheFirstShowsItsDialog) {
  AppDriver first;
  const AppWindow dialog = OpenDialog(first);
  ExpectRefusedCopy();
  EXPECT_TRUE(IsWindowVisible(dialog.hwnd)) << "the first copy is unaffected";
  EXPECT_EQ(BST_UNCHECKED, first.CheckState(dialog));
  first.Press(dialog, IDCANCEL);
  ExpectEndsQuietly(first);
}

TEST_F(GuardsE2E, SecondCopyIsRefusedWhileTheFirstIsStarting) {
  AppDriver first;
  const auto box = first.NextWindow();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(kCloseAppWarning, box->text);
  ExpectRefusedCopy();
  first.Press(*box, IDOK);
  first.Press(ExpectMainDialog(first), IDCANCEL);
  ExpectEndsQuietly(first);
}

TEST_F(GuardsE2E, NewCopyRunsOnceTheFirstClosedWithOkOrCancel) {
  for (int button : {IDOK, IDCANCEL}) {
    {
      AppDriver first;
      first.Press(OpenDialog(first), button);
      if (button == IDOK) {
        ExpectBox(first, "End",
                  std::string(kChangedHeader) +
                      "    TWAIN\n    ISIS\n    Lumora\n");
      }
      ExpectEndsQuietly(first);
    }
    AppDriver next;
    next.Press(OpenDialog(next), IDCANCEL);
    ExpectEndsQuietly(next);
  }
}

// Starts `count` copies at once and expects exactly one to reach its dialog,
// every other to be refused and to exit 0; the survivor then closes.
void StartTogether(int count) {
  std::vector<std::unique_ptr<AppDriver>> copies;
  for (int i = 0; i < count; ++i) {
    copies.push_back(std::make_unique<AppDriver>());
  }
  // Every copy stops at its first box: the survivor at its warning, the
  // others at the refusal. Only then is any of them answered.
  std::vector<AppWindow> firstBoxes;
  for (auto& copy : copies) {
    const auto box = copy->NextWindow();
    ASSERT_TRUE(box.has_value());
    firstBoxes.push_back(*box);
  }
  int continuing = 0;
  for (std::size_t i = 0; i < copies.size(); ++i) {
    AppDriver& copy = *copies[i];
    if (firstBoxes[i].text == kCloseAppWarning) {
      ++continuing;
      copy.Press(firstBoxes[i], IDOK);
      copy.Press(E2ETest::ExpectMainDialog(copy), IDCANCEL);
    } else {
      EXPECT_EQ(kAlreadyRunning, firstBoxes[i].text);
      EXPECT_EQ("Error", firstBoxes[i].caption);
      copy.Press(firstBoxes[i], IDOK);
    }
    E2ETest::ExpectEndsQuietly(copy);
  }
  EXPECT_EQ(1, continuing);
}

TEST_F(GuardsE2E, OfTwentyCopiesStartedTogetherExactlyOneContinues) {
  constexpr int kRounds = 5;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round + 1));
    StartTogether(20);
  }
  std::printf("simultaneous starts: %d rounds of 20 copies held\n", kRounds);
  AppDriver after;
  after.Press(OpenDialog(after), IDCANCEL);
  ExpectEndsQuietly(after);
}

}  // namespace

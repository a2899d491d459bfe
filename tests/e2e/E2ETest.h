// The fixture of the end-to-end tests: a clean simulated installation per
// test, and expectations on the program's windows.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "tests/e2e/AppDriver.h"
#include "tests/e2e/ScannerInstall.h"

inline constexpr const char* kCloseAppWarning =
    "You must close the scanning application before change the setting by "
    "this program.";
inline constexpr const char* kAbsentHeader =
    "The following application or driver is not installed.\n\n";
inline constexpr const char* kChangedHeader =
    "VRP setting is changed for following application.\n\n";

class E2ETest : public testing::Test {
 public:
  // Expects the next window to be a message box with this caption and text,
  // and dismisses it with OK.
  static void ExpectBox(AppDriver& app, const std::string& caption,
                        const std::string& text) {
    const auto box = app.NextWindow();
    ASSERT_TRUE(box.has_value()) << "expected the box: " << text;
    ASSERT_FALSE(box->isMainDialog) << "expected the box: " << text;
    EXPECT_EQ(caption, box->caption);
    EXPECT_EQ(text, box->text);
    app.Press(*box, IDOK);
  }

  // Expects the main dialog as the next window.
  static AppWindow ExpectMainDialog(AppDriver& app) {
    const auto dialog = app.NextWindow();
    if (!dialog || !dialog->isMainDialog) {
      throw std::runtime_error("the main dialog did not appear");
    }
    EXPECT_EQ("VRP Setting Tool", dialog->caption);
    return *dialog;
  }

  // Expects the program to end with exit status 0 without another window.
  static void ExpectEndsQuietly(AppDriver& app) {
    EXPECT_FALSE(app.NextWindow().has_value()) << "nothing more may be shown";
    EXPECT_EQ(0u, app.WaitForExit());
  }

 protected:
  ScannerInstall install;
};

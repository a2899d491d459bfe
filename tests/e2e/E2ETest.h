// The fixture of the end-to-end tests: a clean simulated installation per
// test, and expectations on the program's windows.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "res/resource.h"
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
  // The icon control of a message box.
  static constexpr int kMessageBoxIconId = 0x0440;

  static BOOL CALLBACK CollectButton(HWND child, LPARAM buttons) {
    char className[16] = "";
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Button") == 0 && IsWindowVisible(child)) {
      char text[64] = "";
      GetWindowTextA(child, text, sizeof text);
      reinterpret_cast<std::vector<std::string>*>(buttons)->push_back(text);
    }
    return TRUE;
  }

  // Expects the next window to be a message box with this caption and text,
  // and dismisses it with OK.
  static void ExpectBox(AppDriver& app, const std::string& caption,
                        const std::string& text) {
    const auto box = app.NextWindow();
    ASSERT_TRUE(box.has_value()) << "expected the box: " << text;
    ASSERT_FALSE(box->isMainDialog) << "expected the box: " << text;
    EXPECT_EQ(caption, box->caption);
    EXPECT_EQ(text, box->text);
    ExpectPlainOwnedBox(*box);
    app.Press(*box, IDOK);
  }

  // A box owned by the main dialog (so that the dialog takes no input
  // while it is up), with one OK button and no icon.
  static void ExpectPlainOwnedBox(const AppWindow& box) {
    const HWND owner = GetWindow(box.hwnd, GW_OWNER);
    EXPECT_TRUE(owner != nullptr &&
                GetDlgItem(owner, IDC_SKIP_CHECK) != nullptr)
        << "the box is owned by the main dialog";
    std::vector<std::string> buttons;
    EnumChildWindows(box.hwnd, &CollectButton,
                     reinterpret_cast<LPARAM>(&buttons));
    EXPECT_EQ(std::vector<std::string>{"OK"}, buttons);
    const HWND icon = GetDlgItem(box.hwnd, kMessageBoxIconId);
    EXPECT_TRUE(icon == nullptr || !IsWindowVisible(icon) ||
                SendMessageA(icon, STM_GETICON, 0, 0) == 0)
        << "the box shows no icon";
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

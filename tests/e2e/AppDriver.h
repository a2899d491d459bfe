// Drives the real VRPSettingTool.exe from outside, as a user would: it
// starts the program, finds the windows it shows, reads message boxes and
// the check box, presses buttons and waits for the exit code. A program that
// hangs or shows something unexpected raises std::runtime_error.
#pragma once

#include <windows.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

// The directory of this test program, where the exe and the probes are.
std::string ProgramDirectory();

// A visible top-level window of the program.
struct AppWindow {
  HWND hwnd;
  std::string caption;
  std::string text;   // a message box's text (static control 0xFFFF)
  bool isMainDialog;  // the dialog with the check box
  std::vector<std::string> controlTexts;  // every child's text, in order
};

class AppDriver {
 public:
  // Starts the program: by default the one beside this test program.
  explicit AppDriver(const std::string& exe = ProgramDirectory() +
                                              "\\VRPSettingTool.exe");
  AppDriver(const AppDriver&) = delete;
  AppDriver& operator=(const AppDriver&) = delete;
  // Ends the program if a test left it running.
  ~AppDriver();

  // Waits for the program's next window that takes input (visible and
  // enabled: a modal box disables its owner); nullopt when the program ends
  // without showing one.
  std::optional<AppWindow> NextWindow();
  // Presses a button (IDOK, IDCANCEL). A message box is waited for until it
  // has gone; the main dialog, which may show reports before it closes, is
  // from then on no longer counted among the program's windows.
  void Press(const AppWindow& window, int buttonId);
  // Presses Escape in the window, where the keyboard focus is; waits as
  // Press does.
  void PressEscape(const AppWindow& window);
  // Waits for the program to end; its exit code, or nullopt on a time-out.
  std::optional<DWORD> WaitForExit();

  // The check box of the main dialog: its state (BST_*), its button style
  // (BS_AUTOCHECKBOX, BS_AUTO3STATE), and a click on it.
  int CheckState(const AppWindow& dialog) const;
  int CheckStyle(const AppWindow& dialog) const;
  void ClickCheck(const AppWindow& dialog) const;
  // Sends WM_SYSCOMMAND with the given id, as the system menu would, and
  // waits for the modal window it opens (which disables `window`).
  void OpenFromSystemMenu(const AppWindow& window, WPARAM id) const;

  // Whether the program runs as a 32-bit process on 64-bit Windows.
  bool IsWow64() const;

 private:
  void WaitUntilGone(const AppWindow& window);

  PROCESS_INFORMATION process_ = {};
  std::set<HWND> closing_;  // main dialogs the test has closed
};

// A run of a console program beside this test program to its end: what it
// wrote to standard output and standard error, and its full exit status
// (Wine hands only the low 8 bits to a Linux shell).
struct ConsoleRun {
  DWORD status;
  std::string out;
  std::string err;
};
ConsoleRun RunConsoleProgram(const std::string& program,
                             const std::string& arguments);

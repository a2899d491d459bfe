// Lays out a simulated scanner installation in the Wine prefix (TWAIN 9.x
// and ISIS 3.x installed with their INI files at 1, the capture application
// absent) and runs VRPSettingTool.exe on it, with "vrpset query" before and
// after.
//
//   vrp_demo --interactive   the user answers the program's windows
//   vrp_demo [--pictures DIR]
//                            the run is driven and told step by step: every
//                            box is read and answered, the check box is
//                            cleared, OK is pressed; with --pictures, each
//                            window is saved as DIR\NN-name.bmp
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <utility>

#include "demo/WindowPicture.h"
#include "tests/e2e/AppDriver.h"
#include "tests/e2e/ScannerInstall.h"

namespace {

void PrintOptions(const char* when, const ScannerInstall& install) {
  std::printf("INI files %s:\n", when);
  const std::string files[] = {install.IsisIniA(), install.IsisIniB(),
                               install.TwainIni(), install.CaptureIni()};
  for (const std::string& path : files) {
    const auto value = ScannerInstall::ReadOption(path);
    const bool exists = ScannerInstall::ReadFile(path).has_value();
    std::printf("  %-60s %s\n", path.c_str(),
                !exists ? "(no file)"
                : value ? (value == 1 ? "EnableVeloRidePass=1"
                                      : "EnableVeloRidePass=0")
                        : "(no EnableVeloRidePass)");
  }
}

// What the console companion tells of the same machine.
void PrintQuery(const char* when) {
  const ConsoleRun run = RunConsoleProgram("vrpset.exe", "query");
  std::printf("vrpset query %s (exit status %lu):\n", when, run.status);
  for (std::size_t line = 0; line < run.out.size();) {
    const std::size_t end = run.out.find("\r\n", line);
    std::printf("  %s\n", run.out.substr(line, end - line).c_str());
    line = end == std::string::npos ? end : end + 2;
  }
}

void PrintBox(const AppWindow& box) {
  std::printf("[%s]\n", box.caption.c_str());
  std::string text = box.text;
  for (std::size_t line = 0; line != std::string::npos;) {
    const std::size_t end = text.find('\n', line);
    std::printf("  | %s\n", text.substr(line, end - line).c_str());
    line = end == std::string::npos ? end : end + 1;
  }
}

const char* CheckName(int state) {
  switch (state) {
    case BST_CHECKED:
      return "checked";
    case BST_INDETERMINATE:
      return "indeterminate";
    default:
      return "unchecked";
  }
}

// Saves numbered pictures of the program's windows into a folder, if one
// was asked for.
class Pictures {
 public:
  explicit Pictures(std::string dir) : dir_(std::move(dir)) {}
  void Take(const AppWindow& window, const char* name) {
    if (dir_.empty()) return;
    // Give the window a moment to paint itself first.
    Sleep(400);
    char file[32];
    std::snprintf(file, sizeof file, "%02d-%s.bmp", ++count_, name);
    const std::string path = dir_ + "\\" + file;
    if (SaveWindowPicture(window.hwnd, path)) {
      std::printf("  (picture %s)\n", file);
    } else {
      std::printf("  (no picture: the window could not be captured)\n");
    }
  }

 private:
  std::string dir_;
  int count_ = 0;
};

const char* PictureName(const AppWindow& box) {
  if (box.caption == "End") return "end-report";
  if (box.caption == "Error") return "error";
  return box.text.rfind("You must close", 0) == 0 ? "close-app-warning"
                                                  : "startup-warning";
}

void DriveRun(Pictures& pictures) {
  AppDriver app;
  while (const auto window = app.NextWindow()) {
    if (!window->isMainDialog) {
      PrintBox(*window);
      pictures.Take(*window, PictureName(*window));
      std::printf("  -> OK\n");
      app.Press(*window, IDOK);
      continue;
    }
    std::printf("[%s] dialog, check box \"VRP(Default:Off)\" is %s\n",
                window->caption.c_str(), CheckName(app.CheckState(*window)));
    pictures.Take(*window, "dialog");
    if (app.CheckState(*window) == BST_CHECKED) {
      app.ClickCheck(*window);
      std::printf("  -> click the check box: now %s\n",
                  CheckName(app.CheckState(*window)));
      pictures.Take(*window, "dialog-cleared");
    }
    std::printf("  -> OK\n");
    app.Press(*window, IDOK);
  }
  const auto code = app.WaitForExit();
  std::printf("VRPSettingTool.exe ended with exit code %lu\n",
              code ? *code : 0xFFFFFFFFul);
}

void RunInteractive() {
  AppDriver app;
  std::printf("VRPSettingTool.exe is running: answer its windows.\n");
  while (!app.WaitForExit()) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool interactive = argc > 1 && std::strcmp(argv[1], "--interactive") == 0;
  Pictures pictures(argc > 2 && std::strcmp(argv[1], "--pictures") == 0
                        ? argv[2]
                        : "");
  try {
    ScannerInstall install;
    install.InstallTwain(kTwain9);
    install.InstallIsis(kIsis3);
    for (const std::string& path :
         {install.TwainIni(), install.IsisIniA(), install.IsisIniB()}) {
      ScannerInstall::WriteFile(path,
                                "[Special]\r\nEnableVeloRidePass=1\r\n");
    }
    std::printf("Simulated installation: TWAIN data source %s, ISIS driver "
                "%s, no Lumora.\n",
                kTwain9.fileVersion, kIsis3.fileVersion);
    PrintOptions("before", install);
    PrintQuery("before");
    if (interactive) {
      RunInteractive();
    } else {
      DriveRun(pictures);
    }
    PrintOptions("after", install);
    PrintQuery("after");
  } catch (const std::exception& error) {
    std::printf("demo failed: %s\n", error.what());
    return 1;
  }
  return 0;
}

// vrpset.exe: the console companion of VRPSettingTool.exe, for deployment
// engines that run commands unattended. Windows ties an exe to the console
// or to windows, so the two programs are a pair, as reg is to regedit.
#include <new>
#include <string>
#include <vector>

#include "cli/ConsoleOutput.h"
#include "cli/ExitStatus.h"
#include "cli/Verbs.h"
#include "platform/win32/RedirectionGuard.h"
#include "platform/win32/SystemLibrary.h"
#include "platform/win32/Win32PlatformOps.h"

int main(int argc, char** argv) {
  // Before anything can load a DLL: from here on, only the system folder's.
  RestrictDllSearchToSystemFolder();
  EnableRedirectionGuard();
  Win32PlatformOps ops;
  ConsoleText console;
  int status = exit_status::kPartial;
  try {
    status = RunConsoleCommand(
        ops, std::vector<std::string>(argv + 1, argv + argc), &console);
  } catch (const std::bad_alloc&) {
    // Every write is checked and undone inside; what is left is the report.
    console = ConsoleText();
    console.err = "Out of memory: the run could not finish.\r\n";
  }
  WriteConsoleText(ops, console);
  return status;
}

// vrpset.exe: the console companion of VRPSettingTool.exe, for deployment
// engines that run commands unattended. Windows ties an exe to the console
// or to windows, so the two programs are a pair, as reg is to regedit.
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "cli/ExitStatus.h"
#include "cli/Verbs.h"
#include "platform/SystemLibrary.h"
#include "platform/Win32PlatformOps.h"

namespace {

void WriteAll(DWORD which, const std::string& text) {
  const HANDLE handle = GetStdHandle(which);
  if (text.empty() || handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    return;
  }
  DWORD written = 0;
  for (std::size_t done = 0; done < text.size(); done += written) {
    if (!WriteFile(handle, text.data() + done,
                   static_cast<DWORD>(text.size() - done), &written, nullptr) ||
        written == 0) {
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything can load a DLL: from here on, only the system folder's.
  RestrictDllSearchToSystemFolder();
  Win32PlatformOps ops;
  ConsoleText console;
  int status = exit_status::kPartial;
  try {
    status = RunConsoleCommand(
        ops, std::vector<std::string>(argv + 1, argv + argc), &console);
  } catch (const std::bad_alloc&) {
    // Every write is checked and undone inside; what is left is the report.
    console.out.clear();
    console.err = "Out of memory: the run could not finish.\r\n";
  }
  WriteAll(STD_OUTPUT_HANDLE, console.out);
  WriteAll(STD_ERROR_HANDLE, console.err);
  return status;
}

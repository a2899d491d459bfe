// Measures how long a program takes from CreateProcess to its first visible
// window, for VRPSettingTool.exe on the typical simulated installation and
// for a bare exe that shows one message box at once, runs interleaved; and
// from CreateProcess to its end, for "vrpset query" on the same
// installation and a bare console exe that prints one line; and from start
// to end of "vrpset set on" on a TWAIN INI file with the key at 0 followed
// by 0, 1,000, 8,000 and 32,000 sections of two keys each.
//
//   vrp_startup_timer RUNS
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/e2e/AppDriver.h"
#include "tests/e2e/ScannerInstall.h"

namespace {

struct Search {
  DWORD processId;
  bool found;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->processId && IsWindowVisible(hwnd)) {
    search->found = true;
    return FALSE;
  }
  return TRUE;
}

// Milliseconds from CreateProcess to the program's first visible window.
double TimeToFirstWindow(const std::string& exe) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string commandLine = "\"" + exe + "\"";
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      0, nullptr, nullptr, &startup, &process)) {
    throw std::runtime_error("cannot start " + exe);
  }
  Search search = {process.dwProcessId, false};
  double elapsed = 0;
  while (!search.found) {
    EnumWindows(&FindVisible, reinterpret_cast<LPARAM>(&search));
    QueryPerformanceCounter(&now);
    elapsed = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
              static_cast<double>(frequency.QuadPart);
    if (elapsed > 20000) throw std::runtime_error(exe + " showed no window");
    if (!search.found) Sleep(1);
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return elapsed;
}

// Milliseconds from CreateProcess to the end of a console program.
double TimeToEnd(const std::string& program, const std::string& arguments) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const ConsoleRun run = RunConsoleProgram(program, arguments);
  QueryPerformanceCounter(&end);
  if (run.status != 0) throw std::runtime_error(program + " failed");
  return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle]
                           : (values[middle - 1] + values[middle]) / 2;
}

// The TWAIN INI file with the key at 0 and `sections` more sections.
std::string IniWithSections(int sections) {
  std::string text = "[Special]\r\nEnableVeloRidePass=0\r\n";
  for (int i = 0; i < sections; ++i) {
    const std::string n = std::to_string(i);
    text += "[Unit" + n + "]\r\nDpi=300\r\nName=Unit " + n + "\r\n";
  }
  return text;
}

// Median milliseconds of `vrpset set on` on each file size, the sizes
// interleaved so that drift on the machine falls on all alike.
void TimeSetOn(int runs) {
  const int sizes[] = {0, 1000, 8000, 32000};
  ScannerInstall install;
  install.InstallTwain(kTwain9);
  std::vector<double> times[4];
  for (int run = 0; run < runs; ++run) {
    for (int i = 0; i < 4; ++i) {
      ScannerInstall::WriteFile(install.TwainIni(), IniWithSections(sizes[i]));
      times[i].push_back(TimeToEnd("vrpset.exe", "set on"));
      if (ScannerInstall::ReadOption(install.TwainIni()) != 1) {
        throw std::runtime_error("set on did not write");
      }
    }
  }
  std::printf("vrpset set on, median of %d runs each:\n", runs);
  for (int i = 0; i < 4; ++i) {
    std::printf("  %6d sections (%8zu bytes)  %8.1f ms\n", sizes[i],
                IniWithSections(sizes[i]).size(), Median(times[i]));
  }
  const double base = Median(times[0]);
  std::printf("  ratio 8,000 : 0              %8.2f  (goal: at most 3)\n",
              Median(times[2]) / base);
  std::printf(
      "  ratio 32,000 : 0             %8.2f  (goal: at most 10, "
      "and under 1 s)\n",
      Median(times[3]) / base);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
  try {
    ScannerInstall install;
    install.InstallTwain(kTwain9);
    install.InstallIsis(kIsis3);
    for (const std::string& ini :
         {install.TwainIni(), install.IsisIniA(), install.IsisIniB()}) {
      ScannerInstall::WriteFile(ini, "[Special]\r\nEnableVeloRidePass=1\r\n");
    }
    const std::string dir = ProgramDirectory();
    const std::string tool = dir + "\\VRPSettingTool.exe";
    const std::string bare = dir + "\\vrp_bare_messagebox.exe";
    TimeToFirstWindow(tool);  // warm both up once
    TimeToFirstWindow(bare);
    std::vector<double> toolTimes, bareTimes;
    for (int i = 0; i < runs; ++i) {
      toolTimes.push_back(TimeToFirstWindow(tool));
      bareTimes.push_back(TimeToFirstWindow(bare));
    }
    const double toolMedian = Median(toolTimes);
    const double bareMedian = Median(bareTimes);
    std::printf("start-up to first message box, median of %d runs each:\n",
                runs);
    std::printf("  VRPSettingTool.exe (x86_64)  %8.1f ms\n", toolMedian);
    std::printf("  bare MessageBoxA exe         %8.1f ms\n", bareMedian);
    std::printf("  ratio                        %8.3f\n",
                toolMedian / bareMedian);

    TimeToEnd("vrpset.exe", "query");  // warm both up once
    TimeToEnd("vrp_bare_console.exe", "");
    std::vector<double> queryTimes, consoleTimes;
    for (int i = 0; i < runs; ++i) {
      queryTimes.push_back(TimeToEnd("vrpset.exe", "query"));
      consoleTimes.push_back(TimeToEnd("vrp_bare_console.exe", ""));
    }
    const double queryMedian = Median(queryTimes);
    const double consoleMedian = Median(consoleTimes);
    std::printf("start to end, median of %d runs each:\n", runs);
    std::printf("  vrpset.exe query (x86_64)    %8.1f ms\n", queryMedian);
    std::printf("  bare console exe             %8.1f ms\n", consoleMedian);
    std::printf("  ratio                        %8.3f  (goal: at most 1.10)\n",
                queryMedian / consoleMedian);
    TimeSetOn(5);
  } catch (const std::exception& error) {
    std::printf("timing failed: %s\n", error.what());
    return 1;
  }
  return 0;
}

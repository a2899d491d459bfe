// The console program's command line and its three report writers against
// machines of arbitrary content: any command line ends in a documented
// exit status; the JSON it prints parses and fits the engines' line; the
// CSV reads back under RFC 4180 with five fields a record.
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "cli/ExitStatus.h"
#include "cli/Verbs.h"
#include "tests/CsvReader.h"
#include "tests/fake/FakePlatformOps.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

void CheckJson(const std::string& out) {
  Require(out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0);
  const std::string line = out.substr(0, out.size() - 2);
  Require(line.size() <= 2048);
  Require(line.find('\n') == std::string::npos);
  Require(nlohmann::json::accept(line));
}

void CheckCsv(const std::string& out) {
  for (const auto& record : ReadCsv(out)) Require(record.size() == 6);
}

// A machine from the input: which targets are there, their versions, the
// INI files' text, the Windows folder, the session and the lock.
void Arrange(FuzzInput& input, FakePlatformOps& ops) {
  const std::uint8_t flags = input.Byte();
  ops.windowsDir = "C:\\" + input.Bytes(60);
  if (flags & 1) {
    ops.AddFileWithVersion(
        ops.windowsDir + "\\twain_32\\Norvtw32\\NorvM7720.ds",
        input.Bytes(300));
  }
  if (flags & 2) {
    ops.AddFileWithVersion(ops.windowsDir + "\\Pixtran\\RXM7720.pxn",
                           input.Bytes(300));
  }
  if (flags & 4) {
    const std::string dir = "C:\\" + input.Bytes(60);
    ops.SetInstallDir(dir);
    ops.AddFileWithVersion(dir + "\\LumoraApp.exe", input.Bytes(300));
    ops.SetIniText(dir + "\\UnitPrefs.ini", input.Bytes(200));
    if (flags & 8) ops.runningPrograms.insert(dir + "\\LumoraApp.exe");
  }
  ops.SetIniText(ops.windowsDir + "\\twain_32\\Norvtw32\\UnitPrefs.ini",
                 input.Bytes(200));
  ops.SetIniText(ops.windowsDir + "\\Pixtran\\Norvel RX-M7720B\\UnitPrefs.ini",
                 input.Bytes(200));
  ops.sessionId = (flags & 16) ? 0 : 1;
  if (flags & 32) {
    ops.HoldMutexElsewhere("Global\\VRP_SETTING_TOOL_WRITER",
                           {FakePlatformOps::kUserSid, false, true});
  }
  if (flags & 64)
    ops.SetIniText(ops.profiles[0].folder +
                       "\\AppData\\Local\\"
                       "VirtualStore" +
                       ops.windowsDir.substr(2) +
                       "\\twain_32\\Norvtw32\\UnitPrefs.ini",
                   input.Bytes(100));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzInput input(data, size);
  FakePlatformOps ops;
  Arrange(input, ops);
  std::vector<std::string> words;
  for (int count = input.Byte() % 8; count > 0; --count) {
    words.push_back(input.Bytes(40));
  }
  static const std::set<int> kDocumented = {
      exit_status::kSuccess, exit_status::kNoMatch,
      exit_status::kUsage,   exit_status::kNotApplicable,
      exit_status::kPartial, exit_status::kNotAdministrator,
      exit_status::kBusy};
  ConsoleText console;
  Require(kDocumented.count(RunConsoleCommand(ops, words, &console)) == 1);
  if (console.outIsUtf8 && !console.out.empty()) CheckJson(console.out);
  // The report writers on the same machine, whatever the words were.
  for (const std::vector<std::string>& report :
       {std::vector<std::string>{"query", "/fo", "json"},
        std::vector<std::string>{"set", "on", "/whatif", "/fo", "json"}}) {
    ConsoleText json;
    RunConsoleCommand(ops, report, &json);
    CheckJson(json.out);
  }
  ConsoleText csv;
  RunConsoleCommand(ops, {"query", "/fo", "csv"}, &csv);
  CheckCsv(csv.out);
  return 0;
}

// The console program's command line and commands against the fake: each
// row a command line, the machine it meets, and the exit status, output and
// files it must leave.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "cli/Verbs.h"
#include "settings/SkipSetting.h"
#include "tests/fake/FakePlatformOps.h"

namespace {

using Words = std::vector<std::string>;

std::string Joined(const Words& words) {
  std::string line;
  for (const std::string& word : words) line += word + " ";
  return line;
}

TEST(VrpsetCommandLine, EachLineParsesToItsCommand) {
  const struct {
    Words words;
    Verb verb;
    int value;
    OutputFormat format;
    bool noHeader, whatIf, force;
    const char* logPath;
  } rows[] = {
      {{"query"},
       Verb::kQuery,
       0,
       OutputFormat::kText,
       false,
       false,
       false,
       ""},
      {{"QUERY", "/FO", "CSV", "-nh"},
       Verb::kQuery,
       0,
       OutputFormat::kCsv,
       true,
       false,
       false,
       ""},
      {{"query", "--fo:json"},
       Verb::kQuery,
       0,
       OutputFormat::kJson,
       false,
       false,
       false,
       ""},
      {{"test", "On"},
       Verb::kTest,
       kSkipOn,
       OutputFormat::kText,
       false,
       false,
       false,
       ""},
      {{"detect", "off"},
       Verb::kDetect,
       kSkipOff,
       OutputFormat::kText,
       false,
       false,
       false,
       ""},
      {{"set", "/WhatIf", "off", "/force", "/log:C:\\logs\\vrp set.log", "/fo",
        "json"},
       Verb::kSet,
       kSkipOff,
       OutputFormat::kJson,
       false,
       true,
       true,
       "C:\\logs\\vrp set.log"},
      {{"/?"}, Verb::kHelp, 0, OutputFormat::kText, false, false, false, ""},
      {{"set", "on", "-?"},
       Verb::kHelp,
       0,
       OutputFormat::kText,
       false,
       false,
       false,
       ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Joined(row.words));
    Command command;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(row.words, &command, &error)) << error;
    EXPECT_EQ(row.verb, command.verb);
    EXPECT_EQ(row.value, command.value);
    EXPECT_EQ(row.format, command.format);
    EXPECT_EQ(row.noHeader, command.noHeader);
    EXPECT_EQ(row.whatIf, command.whatIf);
    EXPECT_EQ(row.force, command.force);
    EXPECT_EQ(row.logPath, command.logPath);
  }
  FakePlatformOps ops;
  ConsoleText help;
  EXPECT_EQ(exit_status::kSuccess, RunConsoleCommand(ops, {"/?"}, &help));
  EXPECT_EQ(kUsage, help.out);
  EXPECT_EQ("", help.err);
}

TEST(VrpsetCommandLine, UsageErrorsExitTwoWithTheUsageOnStandardError) {
  const Words rows[] = {
      {},
      {"install"},
      {"/fo", "json", "query"},
      {"test"},
      {"test", "yes"},
      {"test", "on", "off"},
      {"query", "on"},
      {"query", "/fo"},
      {"query", "/fo", "xml"},
      {"set", "on", "/fo", "csv"},
      {"query", "/nh", "/nh"},
      {"query", "/whatif"},
      {"test", "on", "/force"},
      {"set", "on", "/log"},
      {"set", "on", "/log:"},
      {"set", "on", "/force:yes"},
      {"set", "on", "/"},
  };
  for (const Words& words : rows) {
    SCOPED_TRACE(Joined(words));
    FakePlatformOps ops;
    ConsoleText console;
    EXPECT_EQ(exit_status::kUsage, RunConsoleCommand(ops, words, &console));
    EXPECT_EQ("", console.out) << "a usage error prints only to stderr";
    EXPECT_NE(std::string::npos, console.err.find(kUsage));
    EXPECT_NE(0u, console.err.find(kUsage)) << "it says what is wrong first";
    EXPECT_TRUE(ops.iniWrites.empty());
  }
}

constexpr const char* kTwainIni =
    "C:\\WINDOWS\\twain_32\\Norvtw32\\UnitPrefs.ini";
constexpr const char* kIsisIniA =
    "C:\\WINDOWS\\Pixtran\\Norvel RX-M7720B\\UnitPrefs.ini";
constexpr const char* kIsisIniB =
    "C:\\WINDOWS\\Pixtran\\Norvel RX-M7710B\\UnitPrefs.ini";
constexpr const char* kCaptureIni = "C:\\Lumora\\UnitPrefs.ini";
constexpr const char* kCaptureExe = "C:\\Lumora\\LumoraApp.exe";
const std::string kOn = "[Special]\r\nEnableVeloRidePass=1\r\n";
const std::string kOff = "[Special]\r\nEnableVeloRidePass=0\r\n";

// TWAIN and the capture application installed, both files at `twain` and
// `capture`; ISIS not installed.
void Install(FakePlatformOps& ops, const std::string& twain,
             const std::string& capture) {
  ops.AddFileWithVersion("C:\\WINDOWS\\twain_32\\Norvtw32\\NorvM7720.ds",
                         "9, 0, 2, 1");
  ops.SetInstallDir("C:\\Lumora");
  ops.AddFileWithVersion(kCaptureExe, "1.1");
  ops.SetIniText(kTwainIni, twain);
  ops.SetIniText(kCaptureIni, capture);
}

TEST(VrpsetCommands, ExitStatusOutputAndFilesFollowTheMachine) {
  const struct {
    const char* name;
    std::function<void(FakePlatformOps&)> arrange;
    Words words;
    int status;
    bool printsOut;
    bool printsErr;
    std::string twainAfter;  // "" for unchanged
  } rows[] = {
      {"test matches",
       [](auto& ops) { Install(ops, kOn, kOn); },
       {"test", "on"},
       exit_status::kSuccess,
       false,
       false,
       ""},
      {"test mixed",
       [](auto& ops) { Install(ops, kOn, kOff); },
       {"test", "on"},
       exit_status::kNoMatch,
       false,
       false,
       ""},
      {"test nothing usable",
       [](auto&) {},
       {"test", "off"},
       exit_status::kNotApplicable,
       false,
       true,
       ""},
      {"detect matches",
       [](auto& ops) { Install(ops, kOff, ""); },
       {"detect", "off"},
       exit_status::kSuccess,
       true,
       false,
       ""},
      {"detect differs",
       [](auto& ops) { Install(ops, kOn, kOff); },
       {"detect", "on"},
       exit_status::kSuccess,
       false,
       false,
       ""},
      {"set",
       [](auto& ops) { Install(ops, kOff, kOn); },
       {"set", "on"},
       exit_status::kSuccess,
       true,
       false,
       kOn},
      {"set what-if",
       [](auto& ops) { Install(ops, kOff, kOn); },
       {"set", "on", "/whatif"},
       exit_status::kSuccess,
       true,
       false,
       ""},
      {"set by a standard user",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.tokenGroups = {{"S-1-1-0", 7}, {"S-1-5-32-545", 7}};
       },
       {"set", "on"},
       exit_status::kNotAdministrator,
       false,
       true,
       ""},
      {"set while the dialog runs",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.HoldMutexElsewhere("VRP_SETTING_TOOL");
       },
       {"set", "on"},
       exit_status::kBusy,
       false,
       true,
       ""},
      {"set while another session writes",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.HoldMutexElsewhere("Global\\VRP_SETTING_TOOL");
       },
       {"set", "on"},
       exit_status::kBusy,
       false,
       true,
       ""},
      {"set while LumoraApp.exe runs",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.runningPrograms.insert("c:\\lumora\\LUMORAAPP.EXE");
       },
       {"set", "on"},
       exit_status::kBusy,
       false,
       true,
       ""},
      {"set /force while LumoraApp.exe runs",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.runningPrograms.insert(kCaptureExe);
       },
       {"set", "on", "/force"},
       exit_status::kSuccess,
       true,
       false,
       kOn},
      {"set with one file failing",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.MisbehaveOnWrite(1, FakePlatformOps::WriteFault::kTruncates);
       },
       {"set", "on"},
       exit_status::kPartial,
       true,
       true,
       kOn},
      {"set with nothing usable",
       [](auto&) {},
       {"set", "on", "/fo", "json"},
       exit_status::kNotApplicable,
       true,
       true,
       ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatformOps ops;
    row.arrange(ops);
    const auto twainBefore = ops.IniText(kTwainIni);
    const auto captureBefore = ops.IniText(kCaptureIni);
    ConsoleText console;
    EXPECT_EQ(row.status, RunConsoleCommand(ops, row.words, &console));
    EXPECT_EQ(row.printsOut, !console.out.empty()) << console.out;
    EXPECT_EQ(row.printsErr, !console.err.empty()) << console.err;
    EXPECT_EQ(row.twainAfter.empty() ? twainBefore : row.twainAfter,
              ops.IniText(kTwainIni));
    if (row.status != exit_status::kSuccess &&
        row.status != exit_status::kPartial) {
      EXPECT_EQ(captureBefore, ops.IniText(kCaptureIni))
          << "a refused run writes nothing";
    }
    EXPECT_EQ(0, ops.OpenHandleCount()) << "guards and token given back";
  }
}

// Run twice, set reports a change, then none; the log has a line per run.
TEST(VrpsetCommands, SetIsSafeToRepeatAndLogsEachRun) {
  FakePlatformOps ops;
  Install(ops, kOff, "");
  ops.AddDirectory("C:\\logs");
  const Words set = {"set", "on", "/fo", "json", "/log:C:\\logs\\vrp.log"};
  for (bool changed : {true, false}) {
    ConsoleText console;
    ASSERT_EQ(exit_status::kSuccess, RunConsoleCommand(ops, set, &console));
    const auto json = nlohmann::json::parse(console.out);
    EXPECT_EQ(changed, json.at("changed").get<bool>());
    EXPECT_EQ("success", json.at("result"));
    const auto& twain = json.at("targets").at(0);
    EXPECT_EQ("TWAIN", twain.at("name"));
    EXPECT_EQ(changed ? "changed" : "already set",
              twain.at("files").at(0).at("result"));
    EXPECT_EQ("not applicable", json.at("targets").at(1).at("result"));
  }
  EXPECT_EQ(
      "2026-12-08T19:04:24Z\tSCANPC01\tadmin\tset on /fo json "
      "/log:C:\\logs\\vrp.log\tchanged\t0\r\n"
      "2026-12-08T19:04:24Z\tSCANPC01\tadmin\tset on /fo json "
      "/log:C:\\logs\\vrp.log\tunchanged\t0\r\n",
      ops.IniText("C:\\logs\\vrp.log"));
}

// The longest paths the program handles and a VirtualStore copy for every
// one of many profiles: the JSON line still fits what the engines keep, is
// valid, and says what it left out.
TEST(VrpsetCommands, JsonFitsOneLineOfWhatTheEnginesKeep) {
  FakePlatformOps ops;
  ops.windowsDir = "C:\\" + std::string(170, 'W') + "\\\xE9";
  const std::string windows = ops.windowsDir;
  ops.AddFileWithVersion(windows + "\\twain_32\\Norvtw32\\NorvM7720.ds", "9.0");
  ops.AddFileWithVersion(windows + "\\Pixtran\\RXM7720.pxn", "3.0");
  ops.profileDirs.clear();
  for (int i = 0; i < 30; ++i) {
    const std::string profile = "C:\\Users\\user" + std::to_string(i);
    ops.profileDirs.push_back(profile);
    ops.SetIniText(profile + "\\AppData\\Local\\VirtualStore" +
                       windows.substr(2) +
                       "\\twain_32\\Norvtw32\\UnitPrefs.ini",
                   kOn);
  }
  for (const Words& words :
       {Words{"query", "/fo", "json"}, Words{"set", "on", "/fo", "json"}}) {
    ConsoleText console;
    RunConsoleCommand(ops, words, &console);
    ASSERT_EQ("\r\n", console.out.substr(console.out.size() - 2));
    const std::string line = console.out.substr(0, console.out.size() - 2);
    EXPECT_LE(line.size(), 2048u) << words[0];
    EXPECT_EQ(std::string::npos, line.find('\n'));
    const auto json = nlohmann::json::parse(line);  // throws unless valid
    EXPECT_EQ(words[0], json.at("command"));
    if (words[0] == "query") {
      EXPECT_EQ(30u, json.at("virtualStore").size() +
                         json.at("virtualStoreNotListed").get<std::size_t>());
      EXPECT_GT(json.at("virtualStoreNotListed").get<int>(), 0);
    }
  }
}

}  // namespace

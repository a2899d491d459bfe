// The console program's command line and commands against the fake: each
// row a command line, the machine it meets, and the exit status, output and
// files it must leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitStatus.h"
#include "cli/Verbs.h"
#include "platform/OpenedFile.h"
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
      {"set", "on", "/whatif", "-WhatIf"},
      {"query", "/fo:json", "/fo:text"},
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
constexpr const char* kTwainProbe =
    "C:\\WINDOWS\\twain_32\\Norvtw32\\NorvM7720.ds";
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

// A user's VirtualStore copy of the TWAIN file, and a second user, "scan",
// beside the default "admin" (the caller).
std::string TwainCopyOf(const std::string& user) {
  return "C:\\Users\\" + user + "\\AppData\\Local\\VirtualStore" +
         std::string(kTwainIni).substr(2);
}
constexpr const char* kScanSid = "S-1-5-21-1-2-3-1002";
const std::string kOnWithMore = "[Scan]\r\nDpi=300\r\n" + kOn;
// TWAIN and the capture application at `machine`, and a copy of TWAIN's
// file at 1 (with another section) for both users.
void InstallWithCopies(FakePlatformOps& ops, const std::string& machine) {
  Install(ops, machine, machine);
  ops.profiles.push_back({kScanSid, "SCANPC01\\scan", "C:\\Users\\scan", ""});
  ops.SetIniText(TwainCopyOf("admin"), kOnWithMore);
  ops.SetIniText(TwainCopyOf("scan"), kOnWithMore);
}
const std::string kOffWithMore = "[Scan]\r\nDpi=300\r\n" + kOff;

// As Install with every file off, and ISIS too, whose RX-M7710B model
// folder is missing.
void InstallWithoutTheRx7710BFolder(FakePlatformOps& ops) {
  Install(ops, kOff, kOff);
  ops.AddFileWithVersion("C:\\WINDOWS\\Pixtran\\RXM7720.pxn", "3.0");
  ops.SetIniText(kIsisIniA, kOff);
}

// A user's file that a planted link leads to: never written, and the
// capture application's file is reported refused.
constexpr const char* kPlanted = "C:\\Users\\Public\\Elsewhere\\UnitPrefs.ini";
void ExpectPlantedFileRefused(FakePlatformOps& ops,
                              const ConsoleText& console) {
  EXPECT_EQ(kOff, ops.IniText(kPlanted));
  EXPECT_NE(std::string::npos,
            console.err.find(std::string(kCaptureIni) +
                             " was not written: its path leads elsewhere"));
  EXPECT_EQ("refused: the path leads elsewhere",
            nlohmann::json::parse(console.out)
                .at("targets")
                .at(2)
                .at("files")
                .at(0)
                .at("result"));
}
// The capture application's probe behind that link: the target cannot be
// checked, says why, and its file behind the same link is never written.
void ExpectCaptureBehindALink(FakePlatformOps& ops,
                              const ConsoleText& console) {
  EXPECT_EQ(kOff, ops.IniText(kPlanted));
  EXPECT_NE(std::string::npos,
            console.err.find("Lumora cannot be checked: " +
                             std::string(kCaptureExe) + ": behind a link."));
  const auto lumora = nlohmann::json::parse(console.out).at("targets").at(2);
  EXPECT_EQ("cannot be checked", lumora.at("status"));
  EXPECT_EQ("behind a link", lumora.at("reason"));
  EXPECT_EQ("failed", lumora.at("result"));
}
const std::string kBomOff = "\xEF\xBB\xBF" + kOff;
void ExpectTestOn(FakePlatformOps& ops, const ConsoleText&) {
  ConsoleText test;
  EXPECT_EQ(exit_status::kSuccess,
            RunConsoleCommand(ops, {"test", "on"}, &test));
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
    std::function<void(FakePlatformOps&, const ConsoleText&)> check = {};
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
         ops.HoldMutexElsewhere("Global\\VRP_SETTING_TOOL_WRITER");
       },
       {"set", "on"},
       exit_status::kBusy,
       false,
       true,
       ""},
      {"set as SYSTEM in session 0 while another engine writes",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.sessionId = 0;
         ops.HoldMutexElsewhere("VRP_SETTING_TOOL_WRITER",
                                {FakePlatformOps::kSystemSid, true, true});
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
      {"set by an administrator not elevated",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.tokenGroups = {{"S-1-1-0", 7},
                            {FakePlatformOps::kAdministratorsSid, 0x10}};
       },
       {"set", "on"},
       exit_status::kNotAdministrator,
       false,
       true,
       "",
       [](auto&, const ConsoleText& console) {
         EXPECT_NE(std::string::npos, console.err.find("elevated"));
       }},
      {"set with the writer lock squatted by a user",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.HoldMutexElsewhere("Global\\VRP_SETTING_TOOL_WRITER",
                                {FakePlatformOps::kUserSid, false, true});
       },
       {"set", "on", "/fo", "json"},
       exit_status::kSuccess,
       true,
       true,
       kOn,
       [](auto&, const ConsoleText& console) {
         const auto json = nlohmann::json::parse(console.out);
         EXPECT_TRUE(json.at("writerLockSquatted").get<bool>());
       }},
      {"set /whatif while LumoraApp.exe runs",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.runningPrograms.insert(kCaptureExe);
       },
       {"set", "on", "/whatif", "/fo", "json"},
       exit_status::kSuccess,
       true,
       false,
       "",
       [](auto&, const ConsoleText& console) {
         const auto json = nlohmann::json::parse(console.out);
         EXPECT_TRUE(json.at("changed").get<bool>());
         EXPECT_FALSE(json.at("writerLockSquatted").get<bool>());
       }},
      {"test off: Lumora's INI file missing reads as off",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.RemoveIni(kCaptureIni);
       },
       {"test", "off"},
       exit_status::kSuccess,
       false,
       false,
       ""},
      {"test off: a value of 2 reads as off, in query too",
       [](auto& ops) {
         Install(ops, "[Special]\r\nEnableVeloRidePass=2\r\n", kOff);
       },
       {"test", "off"},
       exit_status::kSuccess,
       false,
       false,
       "",
       [](auto& ops, const ConsoleText&) {
         ConsoleText query;
         RunConsoleCommand(ops, {"query", "/fo", "json"}, &query);
         const auto json = nlohmann::json::parse(query.out);
         EXPECT_EQ("off", json.at("state"));
         EXPECT_EQ("off",
                   json.at("targets").at(0).at("files").at(0).at("value"));
       }},
      {"set off with a model folder missing creates nothing",
       &InstallWithoutTheRx7710BFolder,
       {"set", "off", "/fo", "json"},
       exit_status::kSuccess,
       true,
       false,
       "",
       [](auto& ops, const ConsoleText& console) {
         EXPECT_EQ(std::nullopt, ops.IniText(kIsisIniB));
         EXPECT_FALSE(nlohmann::json::parse(console.out).at("changed"));
         ConsoleText test;
         EXPECT_EQ(exit_status::kSuccess,
                   RunConsoleCommand(ops, {"test", "off"}, &test));
       }},
      {"set on with a model folder missing: that file failed",
       &InstallWithoutTheRx7710BFolder,
       {"set", "on", "/fo", "json"},
       exit_status::kPartial,
       true,
       true,
       kOn,
       [](auto&, const ConsoleText& console) {
         const auto isis =
             nlohmann::json::parse(console.out).at("targets").at(1);
         EXPECT_EQ("changed", isis.at("files").at(0).at("result"));
         EXPECT_EQ("failed", isis.at("files").at(1).at("result"));
       }},
      {"query /fo csv: a version with commas and quotes is one field",
       [](auto& ops) {
         Install(ops, kOn, kOn);
         ops.AddFileWithVersion("C:\\WINDOWS\\twain_32\\Norvtw32\\NorvM7720.ds",
                                "9, 0, 2, \"beta\"");
       },
       {"query", "/fo", "csv", "/nh"},
       exit_status::kSuccess,
       true,
       false,
       "",
       [](auto&, const ConsoleText& console) {
         EXPECT_EQ(0u,
                   console.out.find("TWAIN,found,\"9, 0, 2, \"\"beta\"\"\","));
       }},
      {"query /fo json: U+0080 escaped, as every character above 0x7F",
       [](auto& ops) {
         ops.AddFileWithVersion("C:\\WINDOWS\\Pixtran\\RXM7720.pxn", "3.0\x80");
       },
       {"query", "/fo", "json"},
       exit_status::kSuccess,
       true,
       false,
       "",
       [](auto&, const ConsoleText& console) {
         EXPECT_NE(std::string::npos, console.out.find("\"3.0\\u0080\""));
       }},
      {"query /fo json: a character above U+FFFF as a surrogate pair",
       [](auto& ops) {
         ops.ansiIsUtf8 = true;
         ops.AddFileWithVersion("C:\\WINDOWS\\Pixtran\\RXM7720.pxn",
                                "3.0\xF0\x9F\x98\x81");
       },
       {"query", "/fo", "json"},
       exit_status::kSuccess,
       true,
       false,
       "",
       [](auto&, const ConsoleText& console) {
         EXPECT_NE(std::string::npos,
                   console.out.find("\"3.0\\ud83d\\ude01\""));
       }},
      {"query /fo json: versions cut to fit end on a whole character",
       [](auto& ops) {
         const std::string version = "9" + std::string(258, '\xE9');
         ops.AddFileWithVersion("C:\\WINDOWS\\Pixtran\\RXM7720.pxn", version);
         ops.AddFileWithVersion(kCaptureExe, version);
         ops.SetInstallDir("C:\\Lumora");
       },
       {"query", "/fo", "json"},
       exit_status::kSuccess,
       true,
       false,
       "",
       [](auto&, const ConsoleText& console) {
         const auto json = nlohmann::json::parse(console.out);
         EXPECT_EQ(
             31u,
             json.at("targets").at(1).at("version").get<std::string>().size())
             << "9 and 15 e-acute of two bytes, no lead byte cut off";
       }},
      {"query: a VirtualStore copy under Program Files (x86)",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         const std::string lumora = "C:\\Program Files (x86)\\Lumora";
         ops.environment["PROGRAMFILES(X86)"] = "C:\\Program Files (x86)";
         ops.SetInstallDir(lumora);
         ops.AddFileWithVersion(lumora + "\\LumoraApp.exe", "1.1");
         ops.SetIniText(lumora + "\\UnitPrefs.ini", kOff);
         ops.SetIniText(
             "C:\\Users\\admin\\AppData\\Local\\VirtualStore"
             "\\Program Files (x86)\\Lumora\\UnitPrefs.ini",
             kOn);
       },
       {"query", "/fo", "json"},
       exit_status::kSuccess,
       true,
       false,
       "",
       [](auto&, const ConsoleText& console) {
         const auto copies =
             nlohmann::json::parse(console.out).at("virtualStore");
         ASSERT_EQ(1u, copies.size());
         EXPECT_EQ("Lumora", copies.at(0).at("target"));
         EXPECT_EQ("on", copies.at(0).at("value"));
       }},
      {"test off while the files are on",
       [](auto& ops) { Install(ops, kOn, kOn); },
       {"test", "off"},
       exit_status::kNoMatch,
       false,
       false,
       ""},
      {"set off writes the files that are on",
       [](auto& ops) { Install(ops, kOn, kOn); },
       {"set", "off"},
       exit_status::kSuccess,
       true,
       false,
       kOff,
       [](auto& ops, const ConsoleText&) {
         EXPECT_EQ(kOff, ops.IniText(kCaptureIni));
       }},
      {"set on: Lumora's folder replaced by a link",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.AddFileWithVersion("C:\\Users\\Public\\Elsewhere\\LumoraApp.exe",
                                "1.1");
         ops.SetIniText(kPlanted, kOff);
         ops.LinkFolder("C:\\Lumora", "C:\\Users\\Public\\Elsewhere");
       },
       {"set", "on", "/fo", "json"},
       exit_status::kPartial,
       true,
       true,
       kOn,
       &ExpectCaptureBehindALink},
      // Another program holds the TWAIN file shut while it is read first.
      {"set off: a file that cannot be read is never \"already set\"",
       [](auto& ops) {
         Install(ops, kOn, kOff);
         ops.FailCall(FakePlatformOps::Op::OpenFileIn, 7);
       },
       {"set", "off"},
       exit_status::kSuccess,
       true,
       false,
       kOff},
      {"set on: TWAIN's driver file held shut cannot be checked",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.HoldShut(kTwainProbe);
       },
       {"set", "on"},
       exit_status::kPartial,
       true,
       true,
       "",
       [](auto& ops, const ConsoleText& console) {
         EXPECT_NE(std::string::npos,
                   console.err.find(
                       "TWAIN cannot be checked: " + std::string(kTwainProbe) +
                       ": held by another program."));
         EXPECT_EQ(kOn, ops.IniText(kCaptureIni));
         ConsoleText test;
         EXPECT_EQ(exit_status::kNoMatch,
                   RunConsoleCommand(ops, {"test", "on"}, &test))
             << "no match, never a match nor not applicable";
       }},
      {"set on: the one program there held shut is never not applicable",
       [](auto& ops) {
         ops.AddFileWithVersion(kTwainProbe, "9.0");
         ops.HoldShut(kTwainProbe);
       },
       {"set", "on"},
       exit_status::kPartial,
       true,
       true,
       ""},
      {"set on: an oplock let go after the last retry is waited for",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.HoldOplock(kTwainProbe, kOplockRetries);
       },
       {"set", "on"},
       exit_status::kSuccess,
       true,
       false,
       kOn,
       [](auto& ops, const ConsoleText&) {
         EXPECT_EQ(kOplockRetries * kOplockPauseMilliseconds,
                   ops.pausedMilliseconds);
       }},
      {"set on: an oplock never let go is waited for briefly, then reported",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.HoldOplock(kTwainIni, FakePlatformOps::kEveryCall);
       },
       {"set", "on", "/fo", "json"},
       exit_status::kPartial,
       true,
       true,
       "",
       [](auto& ops, const ConsoleText& console) {
         EXPECT_GE(3 * kOplockRetries * kOplockPauseMilliseconds,
                   ops.pausedMilliseconds);
         const auto twain =
             nlohmann::json::parse(console.out).at("targets").at(0);
         EXPECT_EQ("failed", twain.at("files").at(0).at("result"));
         EXPECT_EQ("held by another program",
                   twain.at("files").at(0).at("reason"));
       }},
      {"detect: an INI file held shut is reported, never a value",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.HoldShut(kCaptureIni);
       },
       {"detect", "off"},
       exit_status::kNoMatch,
       false,
       true,
       "",
       [](auto& ops, const ConsoleText&) {
         ConsoleText query;
         RunConsoleCommand(ops, {"query", "/fo", "json"}, &query);
         const auto file = nlohmann::json::parse(query.out)
                               .at("targets")
                               .at(2)
                               .at("files")
                               .at(0);
         EXPECT_EQ("unreadable", file.at("value"));
         EXPECT_EQ("held by another program", file.at("reason"));
       }},
      {"test off: an INI file one byte over the limit cannot be read",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.SetIniText(
             kCaptureIni,
             kOff + std::string(kMaxIniFileSize - kOff.size() + 1, ';'));
       },
       {"test", "off"},
       exit_status::kNoMatch,
       false,
       true,
       "",
       [](auto& ops, const ConsoleText& console) {
         EXPECT_NE(std::string::npos, console.err.find(": cannot be read."));
         ops.SetIniText(kCaptureIni,
                        kOff + std::string(kMaxIniFileSize - kOff.size(), ';'));
         ConsoleText atTheLimit;
         EXPECT_EQ(exit_status::kSuccess,
                   RunConsoleCommand(ops, {"test", "off"}, &atTheLimit));
       }},
      {"set on: another volume mounted on an ISIS model folder",
       [](auto& ops) {
         InstallWithoutTheRx7710BFolder(ops);
         ops.AddDirectory("C:\\WINDOWS\\Pixtran\\Norvel RX-M7710B");
         ops.MountVolumeAt("C:\\WINDOWS\\Pixtran\\Norvel RX-M7710B");
       },
       {"set", "on", "/fo", "json"},
       exit_status::kPartial,
       true,
       true,
       kOn,
       [](auto&, const ConsoleText& console) {
         EXPECT_NE(std::string::npos,
                   console.err.find(std::string(kIsisIniB) +
                                    " was not written: where its path leads "
                                    "cannot be checked"));
         EXPECT_EQ("refused: the path cannot be checked",
                   nlohmann::json::parse(console.out)
                       .at("targets")
                       .at(1)
                       .at("files")
                       .at(1)
                       .at("result"));
       }},
      {"set /force: LumoraApp.exe that cannot be opened counts as running",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.beforeCall = [&ops](int) {
           if (ops.CallCount(FakePlatformOps::Op::ReadOpenedFile) >= 4) {
             ops.FailCall(FakePlatformOps::Op::OpenFileIn);
           }
         };
       },
       {"set", "on"},
       exit_status::kBusy,
       false,
       true,
       ""},
      {"set on: a file made and then cut short goes again",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.RemoveIni(kCaptureIni);
         ops.FailCall(FakePlatformOps::Op::RewriteOpenedFile, 1);
       },
       {"set", "on"},
       exit_status::kPartial,
       true,
       true,
       kOn,
       [](auto& ops, const ConsoleText&) {
         EXPECT_EQ(std::nullopt, ops.IniText(kCaptureIni));
       }},
      {"set /log: a log folder replaced by a link gets no log",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.AddDirectory("C:\\Users\\Public\\Elsewhere");
         ops.LinkFolder("C:\\logs", "C:\\Users\\Public\\Elsewhere");
       },
       {"set", "on", "/log:C:\\logs\\vrp.log"},
       exit_status::kSuccess,
       true,
       true,
       kOn,
       [](auto& ops, const ConsoleText& console) {
         EXPECT_EQ(std::nullopt,
                   ops.IniText("C:\\Users\\Public\\Elsewhere\\vrp.log"));
         EXPECT_NE(std::string::npos, console.err.find(": behind a link."));
       }},
      {"query: a VirtualStore copy held shut is listed, never dropped",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         const std::string copy =
             "C:\\Users\\admin\\AppData\\Local\\VirtualStore"
             "\\WINDOWS\\twain_32\\Norvtw32\\UnitPrefs.ini";
         ops.SetIniText(copy, kOn);
         ops.HoldShut(copy);
       },
       {"query", "/fo", "json"},
       exit_status::kSuccess,
       true,
       false,
       "",
       [](auto&, const ConsoleText& console) {
         const auto copies =
             nlohmann::json::parse(console.out).at("virtualStore");
         ASSERT_EQ(1u, copies.size());
         EXPECT_EQ("unreadable", copies.at(0).at("value"));
       }},
      {"set on: Lumora installed at a drive root",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.SetInstallDir("D:");
         ops.AddFileWithVersion("D:\\LumoraApp.exe", "1.1");
         ops.SetIniText("D:\\UnitPrefs.ini", kOff);
       },
       {"set", "on"},
       exit_status::kSuccess,
       true,
       false,
       kOn,
       [](auto& ops, const ConsoleText&) {
         EXPECT_EQ(kOn, ops.IniText("D:\\UnitPrefs.ini"));
       }},
      {"set on: Lumora's INI file a second name of a user's file",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.SetIniText(kPlanted, kOff);
         ops.RemoveIni(kCaptureIni);
         ops.LinkFile(kPlanted, kCaptureIni);
       },
       {"set", "on", "/fo", "json"},
       exit_status::kPartial,
       true,
       true,
       kOn,
       &ExpectPlantedFileRefused},
      {"set on: a byte-order mark read as text, as Windows reads it",
       [](auto& ops) { Install(ops, kOff, kBomOff); },
       {"set", "on"},
       exit_status::kSuccess,
       true,
       false,
       kOn,
       &ExpectTestOn},
      {"set on: a byte-order mark skipped, as Wine skips it",
       [](auto& ops) {
         Install(ops, kOff, kBomOff);
         ops.utf8BomSkipped = true;
       },
       {"set", "on"},
       exit_status::kSuccess,
       true,
       false,
       kOn,
       &ExpectTestOn},
      {"set with a file that cannot be put back",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         // The second file's rewrite and its put-back fail half way.
         ops.FailCall(FakePlatformOps::Op::RewriteOpenedFile, 1);
         ops.FailCall(FakePlatformOps::Op::RewriteOpenedFile, 2);
       },
       {"set", "on", "/fo", "json"},
       exit_status::kNotRestored,
       true,
       true,
       kOn,
       [](auto&, const ConsoleText& console) {
         EXPECT_EQ("not restored",
                   nlohmann::json::parse(console.out).at("result"));
       }},
      {"set off: every existing copy follows, that key alone, none made",
       [](auto& ops) {
         InstallWithCopies(ops, kOn);
         ops.AddDirectory("C:\\Users\\nocopy\\AppData\\Local");
         ops.profiles.push_back(
             {"S-1-5-21-1-2-3-1003", "", "C:\\Users\\nocopy", ""});
       },
       {"set", "off"},
       exit_status::kSuccess,
       true,
       false,
       kOff,
       [](auto& ops, const ConsoleText&) {
         EXPECT_EQ(kOffWithMore, ops.IniText(TwainCopyOf("admin")));
         EXPECT_EQ(kOffWithMore, ops.IniText(TwainCopyOf("scan")));
         EXPECT_EQ(std::nullopt, ops.IniText(TwainCopyOf("nocopy")));
         ConsoleText again;
         EXPECT_EQ(
             exit_status::kSuccess,
             RunConsoleCommand(ops, {"set", "off", "/fo", "json"}, &again));
         EXPECT_FALSE(nlohmann::json::parse(again.out).at("changed"));
       }},
      {"set off /machineonly leaves the copies, which test sees",
       [](auto& ops) { InstallWithCopies(ops, kOn); },
       {"set", "off", "/machineonly"},
       exit_status::kSuccess,
       true,
       false,
       kOff,
       [](auto& ops, const ConsoleText&) {
         EXPECT_EQ(kOnWithMore, ops.IniText(TwainCopyOf("scan")));
         ConsoleText test;
         EXPECT_EQ(
             exit_status::kSuccess,
             RunConsoleCommand(ops, {"test", "off", "/machineonly"}, &test));
         EXPECT_EQ(exit_status::kNoMatch,
                   RunConsoleCommand(ops, {"test", "off"}, &test));
         ConsoleText detect;
         RunConsoleCommand(ops, {"detect", "off"}, &detect);
         EXPECT_EQ("", detect.out);
       }},
      {"set off: copies behind a link are not examined, the others follow",
       [](auto& ops) {
         InstallWithCopies(ops, kOn);
         ops.SetIniText("C:\\Users\\Public\\Elsewhere\\UnitPrefs.ini", kOn);
         ops.LinkFolder(
             "C:\\Users\\scan\\AppData\\Local\\VirtualStore\\WINDOWS",
             "C:\\Users\\Public\\Elsewhere");
       },
       {"set", "off", "/fo", "json"},
       exit_status::kPartial,
       true,
       true,
       kOff,
       [](auto& ops, const ConsoleText& console) {
         EXPECT_EQ(kOffWithMore, ops.IniText(TwainCopyOf("admin")));
         EXPECT_EQ(kOn,
                   ops.IniText("C:\\Users\\Public\\Elsewhere\\UnitPrefs.ini"));
         EXPECT_NE(std::string::npos,
                   console.err.find(
                       "The profile of SCANPC01\\scan cannot be examined: "
                       "C:\\Users\\scan\\AppData\\Local\\VirtualStore\\WINDOWS"
                       "\\Pixtran\\Norvel RX-M7720B: behind a link."))
             << console.err;
       }},
      {"sync: the caller's copies alone follow, without administrators",
       [](auto& ops) {
         InstallWithCopies(ops, kOff);
         ops.tokenGroups = {{"S-1-1-0", 7}, {"S-1-5-32-545", 7}};
       },
       {"sync"},
       exit_status::kSuccess,
       true,
       false,
       "",
       [](auto& ops, const ConsoleText&) {
         EXPECT_EQ(kOffWithMore, ops.IniText(TwainCopyOf("admin")));
         EXPECT_EQ(kOnWithMore, ops.IniText(TwainCopyOf("scan")));
       }},
      {"query /fo json: each copy's SID, user and whether it differs",
       [](auto& ops) {
         InstallWithCopies(ops, kOff);
         ops.SetIniText(TwainCopyOf("admin"), kOff);
         ops.HoldShut(TwainCopyOf("scan"));
         ops.profiles.push_back({"S-1-5-21-1-2-3-1004", "", "", "unreadable"});
       },
       {"query", "/fo", "json"},
       exit_status::kSuccess,
       true,
       false,
       "",
       [](auto&, const ConsoleText& console) {
         const auto json = nlohmann::json::parse(console.out);
         const auto copies = json.at("virtualStore");
         ASSERT_EQ(2u, copies.size());
         EXPECT_EQ(FakePlatformOps::kUserSid, copies.at(0).at("sid"));
         EXPECT_EQ("SCANPC01\\admin", copies.at(0).at("user"));
         EXPECT_FALSE(copies.at(0).at("differs").get<bool>());
         EXPECT_EQ(kScanSid, copies.at(1).at("sid"));
         EXPECT_TRUE(copies.at(1).at("differs").get<bool>())
             << "an unreadable copy holds no value of its file's";
         EXPECT_EQ("held by another program", copies.at(1).at("reason"));
         EXPECT_EQ(1, json.at("profilesNotExamined"));
       }},
      {"set off: a profile that cannot be examined fails the run",
       [](auto& ops) {
         InstallWithCopies(ops, kOn);
         ops.profiles.push_back({"S-1-5-21-1-2-3-1004", "SCANPC01\\gone", "",
                                 "its ProfileImagePath cannot be read"});
       },
       {"set", "off"},
       exit_status::kPartial,
       true,
       true,
       kOff,
       [](auto& ops, const ConsoleText& console) {
         EXPECT_NE(std::string::npos,
                   console.err.find("The profile of SCANPC01\\gone cannot be "
                                    "examined: its ProfileImagePath cannot be "
                                    "read."));
         EXPECT_EQ(kOffWithMore, ops.IniText(TwainCopyOf("scan")));
         ConsoleText test;
         EXPECT_EQ(exit_status::kNoMatch,
                   RunConsoleCommand(ops, {"test", "off"}, &test));
       }},
      {"set off: a copy of a program not installed is never written",
       [](auto& ops) {
         InstallWithCopies(ops, kOn);
         ops.RemoveIni("C:\\WINDOWS\\twain_32\\Norvtw32\\NorvM7720.ds");
       },
       {"set", "off"},
       exit_status::kSuccess,
       true,
       false,
       "",
       [](auto& ops, const ConsoleText&) {
         EXPECT_EQ(kOnWithMore, ops.IniText(TwainCopyOf("scan")));
         ConsoleText query;
         RunConsoleCommand(ops, {"query", "/fo", "json"}, &query);
         EXPECT_EQ(0,
                   nlohmann::json::parse(query.out).at("virtualStoreDiffering"))
             << "no program, no value to differ from";
       }},
      {"set off: a profile folder the ANSI code page cannot spell, by SID",
       [](auto& ops) {
         Install(ops, kOn, kOn);
         ops.profiles = {{kScanSid, "", "C:\\Users\\?", ""}};
         ops.profileFolders[kScanSid] = "C:\\Users\\\xCE\x94";
         ops.SetIniText("C:\\Users\\\xCE\x94\\AppData\\Local\\VirtualStore" +
                            std::string(kTwainIni).substr(2),
                        kOn);
       },
       {"set", "off"},
       exit_status::kSuccess,
       true,
       false,
       kOff,
       [](auto& ops, const ConsoleText&) {
         EXPECT_EQ(kOff, ops.IniText("C:\\Users\\\xCE\x94\\AppData\\Local\\"
                                     "VirtualStore" +
                                     std::string(kTwainIni).substr(2)));
       }},
      {"set on: a copy follows a file that already held the value",
       [](auto& ops) {
         Install(ops, kOn, kOn);
         ops.SetIniText(TwainCopyOf("admin"), kOff);
       },
       {"set", "on", "/fo", "json"},
       exit_status::kSuccess,
       true,
       false,
       "",
       [](auto& ops, const ConsoleText& console) {
         EXPECT_EQ(kOn, ops.IniText(TwainCopyOf("admin")));
         EXPECT_TRUE(nlohmann::json::parse(console.out).at("changed"));
         ConsoleText csv;
         RunConsoleCommand(ops, {"query", "/fo", "csv", "/nh"}, &csv);
         EXPECT_NE(std::string::npos, csv.out.find(",on,SCANPC01\\admin\r\n"));
       }},
      {"set on: a copy gone before its write is never made again",
       [](auto& ops) {
         InstallWithCopies(ops, kOff);
         ops.SetIniText(TwainCopyOf("scan"), kOff);
         ops.beforeCall = [&ops](int) {
           if (ops.CallCount(FakePlatformOps::Op::RewriteOpenedFile) == 1) {
             ops.RemoveIni(TwainCopyOf("scan"));
           }
         };
       },
       {"set", "on"},
       exit_status::kSuccess,
       true,
       false,
       kOn,
       [](auto& ops, const ConsoleText&) {
         EXPECT_EQ(std::nullopt, ops.IniText(TwainCopyOf("scan")));
       }},
      {"sync: a copy of a machine file held shut is left, and said",
       [](auto& ops) {
         InstallWithCopies(ops, kOff);
         ops.HoldShut(kTwainIni);
       },
       {"sync"},
       exit_status::kPartial,
       true,
       true,
       "",
       [](auto& ops, const ConsoleText&) {
         EXPECT_EQ(kOnWithMore, ops.IniText(TwainCopyOf("admin")));
       }},
      {"set off: profiles that cannot be listed fail the run",
       [](auto& ops) {
         InstallWithCopies(ops, kOn);
         ops.FailCall(FakePlatformOps::Op::ListUserProfiles);
       },
       {"set", "off"},
       exit_status::kPartial,
       true,
       true,
       kOff,
       [](auto&, const ConsoleText& console) {
         EXPECT_NE(std::string::npos,
                   console.err.find("The user profiles cannot be listed."));
       }},
      {"set on: LumoraApp.exe held shut after detection is not running",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.beforeCall = [&ops](int) {
           if (ops.CallCount(FakePlatformOps::Op::ReadOpenedFile) == 4) {
             ops.HoldShut(kCaptureExe);
           }
         };
       },
       {"set", "on"},
       exit_status::kSuccess,
       true,
       false,
       kOn},
      {"set on /whatif: a file held shut would fail, not change",
       [](auto& ops) {
         Install(ops, kOff, kOff);
         ops.HoldShut(kCaptureIni);
       },
       {"set", "on", "/whatif"},
       exit_status::kPartial,
       true,
       true,
       ""},
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
        row.status != exit_status::kPartial &&
        row.status != exit_status::kNotRestored) {
      EXPECT_EQ(captureBefore, ops.IniText(kCaptureIni))
          << "a refused run writes nothing";
    }
    EXPECT_EQ(0, ops.OpenHandleCount()) << "guards and token given back";
    EXPECT_FALSE(ops.HasPrivateFolder());
    if (row.check) row.check(ops, console);
  }
}

// Run twice, set reports a change, then none; the log has a line per run.
TEST(VrpsetCommands, SetIsSafeToRepeatAndLogsEachRun) {
  FakePlatformOps ops;
  Install(ops, kOff, "");
  ops.AddDirectory("C:\\logs");
  const Words set = {"set", "on", "/fo", "json", "/log:C:\\logs\\vrp.log"};
  Words whatIf = set;
  whatIf.push_back("/whatif");
  ConsoleText wouldChange;
  ASSERT_EQ(exit_status::kSuccess,
            RunConsoleCommand(ops, whatIf, &wouldChange));
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
      "/log:C:\\logs\\vrp.log /whatif\twould change\t0\r\n"
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
  ops.profiles.clear();
  for (int i = 0; i < 500; ++i) {
    const std::string profile = "C:\\Users\\user" + std::to_string(i);
    ops.profiles.push_back({"S-1-5-21-1-2-3-" + std::to_string(2000 + i),
                            "SCANPC01\\user" + std::to_string(i), profile, ""});
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
    EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char c) {
      return (c & 0x80) == 0;
    })) << "ASCII alone, whatever code page decodes it";
    const auto json = nlohmann::json::parse(line);  // throws unless valid
    EXPECT_EQ(words[0], json.at("command"));
    if (words[0] == "query") {
      EXPECT_EQ(500u, json.at("virtualStore").size() +
                          json.at("virtualStoreNotListed").get<std::size_t>());
      EXPECT_EQ(500, json.at("virtualStoreDiffering"))
          << "counts survive the cut";
      EXPECT_GT(json.at("virtualStoreNotListed").get<int>(), 0);
      EXPECT_NE(std::string::npos, json.at("virtualStore")
                                       .at(0)
                                       .at("path")
                                       .get<std::string>()
                                       .find("\\\xC3\xA9\\"));
    }
  }
}

// The longest line a command gives that still keeps everything (`keeps`),
// over installations that grow one character at a time (`arrange`): the
// bound is inclusive, so it is exactly the bound.
std::size_t LongestLineKeepingAll(
    const Words& words,
    const std::function<void(FakePlatformOps&, int)>& arrange,
    const std::function<bool(const nlohmann::json&)>& keeps) {
  std::size_t longest = 0;
  for (int grow = 0; grow < 80; ++grow) {
    FakePlatformOps ops;
    arrange(ops, grow);
    ConsoleText console;
    RunConsoleCommand(ops, words, &console);
    const std::string line = console.out.substr(0, console.out.size() - 2);
    EXPECT_LE(line.size(), 2048u);
    if (keeps(nlohmann::json::parse(line))) {
      longest = std::max(longest, line.size());
    }
  }
  return longest;
}

// Windows folder and install folder of alternating separators and
// accented letters, each written \u00e9: a path's JSON is four times its
// length.
void InstallLongPaths(FakePlatformOps& ops, int grow) {
  std::string windows = "C:";
  while (windows.size() < 93) windows += "\\\xE9";
  ops.windowsDir = windows;
  ops.AddFileWithVersion(windows + "\\twain_32\\Norvtw32\\NorvM7720.ds", "9.0");
  ops.AddFileWithVersion(windows + "\\Pixtran\\RXM7720.pxn", "3.0");
  std::string lumora = "C:";
  while (lumora.size() < 58) lumora += "\\\xE9";
  lumora += std::string(static_cast<std::size_t>(grow), 'x');
  ops.SetInstallDir(lumora);
  ops.AddFileWithVersion(lumora + "\\LumoraApp.exe", "1.1");
}

TEST(VrpsetCommands, JsonBoundIsInclusive) {
  EXPECT_EQ(2048u, LongestLineKeepingAll(
                       {"set", "on", "/fo", "json"}, &InstallLongPaths,
                       [](const nlohmann::json& json) {
                         return !json.at("pathsOmitted").get<bool>();
                       }));
  EXPECT_EQ(
      2048u,
      LongestLineKeepingAll(
          {"query", "/fo", "json"},
          [](FakePlatformOps& ops, int grow) {
            ops.windowsDir = "C:\\" + std::string(66, 'W');
            ops.AddFileWithVersion(
                ops.windowsDir + "\\twain_32\\Norvtw32\\NorvM7720.ds", "9.0");
            ops.profiles.clear();
            for (int i = 0; i < 5; ++i) {
              const std::string profile =
                  "C:\\Users\\" + std::string(i == 0 ? 40 : 66, 'u') +
                  std::to_string(i) +
                  std::string(i == 0 ? static_cast<std::size_t>(grow) : 0, 'x');
              ops.profiles.push_back(
                  {"S-1-5-21-" + std::to_string(i), "", profile, ""});
              ops.SetIniText(profile + "\\AppData\\Local\\VirtualStore" +
                                 ops.windowsDir.substr(2) +
                                 "\\twain_32\\Norvtw32\\UnitPrefs.ini",
                             kOn);
            }
          },
          [](const nlohmann::json& json) {
            return json.at("virtualStoreNotListed") == 0;
          }));
}

// Every target's FileVersion 259 characters that each need escaping, after
// accented letters or not: the line stays within the bound, valid (no UTF-8
// sequence split), and says the versions were cut.
TEST(VrpsetCommands, JsonBoundHoldsForVersionsOfControlCharacters) {
  for (const std::string& accents : {std::string(), std::string(16, '\xE9')}) {
    FakePlatformOps ops;
    const std::string version =
        accents + std::string(259 - accents.size(), '\x1F');
    ops.AddFileWithVersion("C:\\WINDOWS\\twain_32\\Norvtw32\\NorvM7720.ds",
                           version);
    ops.AddFileWithVersion("C:\\WINDOWS\\Pixtran\\RXM7720.pxn", version);
    ops.SetInstallDir("C:\\Lumora");
    ops.AddFileWithVersion(kCaptureExe, version);
    ConsoleText console;
    ASSERT_EQ(exit_status::kSuccess,
              RunConsoleCommand(ops, {"query", "/fo", "json"}, &console));
    const std::string line = console.out.substr(0, console.out.size() - 2);
    EXPECT_LE(line.size(), 2048u);
    const auto json = nlohmann::json::parse(line);
    EXPECT_TRUE(json.at("versionsShortened").get<bool>());
    const std::string shortened = json.at("targets").at(0).at("version");
    std::string whole;
    ops.AnsiToCodePage(version, code_page::kUtf8, &whole);
    EXPECT_EQ(0u, whole.find(shortened));
  }
}

// What reaches a deployment engine that reads through PowerShell: a
// console gets UTF-16, a pipe or file the console's code page, and where
// there is no console the ANSI one; JSON is UTF-8 wherever it goes.
TEST(VrpsetOutput, TextInTheCodePageItsReaderDecodes) {
  const std::string ansi = "Jos\xE9\r\n";
  const std::string utf8 = "Jos\xC3\xA9\r\n";
  const struct {
    const char* name;
    bool consoles;
    unsigned codePage;
    bool json;
    std::string bytes;  // written to the stream
    std::string shown;  // shown on the console
  } rows[] = {
      {"console", true, 850, false, "", ansi},
      {"pipe under a console", false, 850, false, "Jos\x82\r\n", ""},
      {"no console", false, 0, false, ansi, ""},
      {"JSON through a pipe", false, 850, true, utf8, ""},
      {"JSON to a console", true, 850, true, utf8, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatformOps ops;
    ops.streamsAreConsoles = row.consoles;
    ops.consoleOutputCodePage = row.codePage;
    ConsoleText console;
    console.out = row.json ? utf8 : ansi;
    console.outIsUtf8 = row.json;
    console.err = ansi;
    WriteConsoleText(ops, console);
    EXPECT_EQ(row.bytes, ops.streamBytes[0]);
    EXPECT_EQ(row.shown, ops.consoleText[0]);
    // Errors are text, whatever form the results take.
    EXPECT_EQ(row.consoles        ? ansi
              : row.bytes == utf8 ? "Jos\x82\r\n"
                                  : row.bytes,
              row.consoles ? ops.consoleText[1] : ops.streamBytes[1]);
  }
}

// A user who may change the capture application's folder moves things
// between any two platform calls of a `set`: the file swapped for a second
// name of the user's own file, or the folder moved away and replaced by a
// link to the user's folder. The user's file is never written and no file
// is made in the user's folder; a file the run made and must remove (its
// write fails) goes through its handle, wherever its name has gone.
TEST(VrpsetCommands, AUsersMoveBetweenAnyTwoCallsNeverReachesTheUsersFiles) {
  const std::string userFolder = "C:\\Users\\Public\\Elsewhere";
  const std::function<void(FakePlatformOps&)> moves[] = {
      [](FakePlatformOps& ops) {
        ops.Move(kCaptureIni, "C:\\Lumora\\Moved.ini");
        ops.LinkFile(kPlanted, kCaptureIni);
      },
      [&userFolder](FakePlatformOps& ops) {
        ops.Move("C:\\Lumora", "C:\\Moved");
        ops.LinkFolder("C:\\Lumora", userFolder);
      },
  };
  for (bool created : {false, true}) {
    for (std::size_t move = 0; move < std::size(moves); ++move) {
      // The user's folder holds a file of the user's, or (a folder to be
      // linked while a file is made) nothing.
      const std::optional<std::string> planted =
          created && move == 1 ? std::nullopt : std::optional(kOff);
      auto arrange = [&](FakePlatformOps& ops) {
        Install(ops, kOff, kOff);
        ops.AddDirectory(userFolder);
        if (planted) ops.SetIniText(kPlanted, *planted);
        if (created) {
          ops.RemoveIni(kCaptureIni);
          ops.MisbehaveOnWrite(1, FakePlatformOps::WriteFault::kLeavesKeyUnset);
        }
      };
      FakePlatformOps clean;
      arrange(clean);
      ConsoleText ignored;
      RunConsoleCommand(clean, {"set", "on"}, &ignored);
      for (int call = 0; call <= clean.TotalCalls(); ++call) {
        SCOPED_TRACE("move " + std::to_string(move) + " before call " +
                     std::to_string(call) + (created ? ", file made" : ""));
        FakePlatformOps ops;
        arrange(ops);
        ops.beforeCall = [&](int now) {
          if (now == call) moves[move](ops);
        };
        ConsoleText console;
        RunConsoleCommand(ops, {"set", "on"}, &console);
        EXPECT_EQ(planted, ops.IniText(kPlanted));
        if (created) {
          for (const char* name :
               {"C:\\Lumora\\Moved.ini", "C:\\Moved\\UnitPrefs.ini"}) {
            EXPECT_EQ(std::nullopt, ops.IniText(name)) << name;
          }
        }
        EXPECT_EQ(0, ops.OpenHandleCount());
      }
    }
  }
}

}  // namespace

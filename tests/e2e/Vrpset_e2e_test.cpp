// vrpset.exe under Wine: a table of command line x installation, each with
// the exit status (in full, as GetExitCodeProcess reads it), standard
// output and standard error it must give and the files it must leave.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/e2e/E2ETest.h"

namespace {

const std::string kOn = "[Special]\r\nEnableVeloRidePass=1\r\n";
const std::string kOff = "[Special]\r\nEnableVeloRidePass=0\r\n";

// The records of an RFC 4180 text: fields split at commas outside quotes,
// records at CRLF outside quotes, "" inside quotes a quote. Throws on text
// that is not RFC 4180 (a bare quote, a record without CRLF).
std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"' && field.empty()) {
      quoted = true;
    } else if (c == ',') {
      record.push_back(field);
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      record.push_back(field);
      records.push_back(record);
      record.clear();
      field.clear();
      ++i;
    } else if (c == '"' || c == '\r' || c == '\n') {
      throw std::runtime_error("not RFC 4180 at " + std::to_string(i));
    } else {
      field += c;
    }
  }
  if (quoted || !field.empty() || !record.empty()) {
    throw std::runtime_error("the last record does not end with CRLF");
  }
  return records;
}

class VrpsetE2E : public E2ETest {
 protected:
  // TWAIN and ISIS installed, their files holding twain and isis.
  void InstallTwainAndIsis(const std::string& twain, const std::string& isis) {
    install.InstallTwain(kTwain9);
    install.InstallIsis(kIsis3);
    ScannerInstall::WriteFile(install.TwainIni(), twain);
    ScannerInstall::WriteFile(install.IsisIniA(), isis);
    ScannerInstall::WriteFile(install.IsisIniB(), isis);
  }
  std::vector<std::optional<std::string>> Files() const {
    return {ScannerInstall::ReadFile(install.TwainIni()),
            ScannerInstall::ReadFile(install.IsisIniA()),
            ScannerInstall::ReadFile(install.IsisIniB())};
  }
};

TEST_F(VrpsetE2E, EachCommandOnEachInstallation) {
  using Check = std::function<void(const ConsoleRun&)>;
  const Check nothing = [](const ConsoleRun&) {};
  const struct {
    const char* arguments;
    const char* installation;  // "none", "on" (all 1), "mixed" (TWAIN 0)
    DWORD status;
    bool printsOut;
    bool printsErr;
    bool writes;
    Check check;
  } rows[] = {
      {"query /fo json", "none", 0, true, false, false,
       [](const ConsoleRun& run) {
         const auto json = nlohmann::json::parse(run.out);
         EXPECT_EQ("none", json.at("state"));
         EXPECT_EQ("not installed", json.at("targets").at(2).at("status"));
       }},
      {"query /fo json", "mixed", 0, true, false, false,
       [](const ConsoleRun& run) {
         EXPECT_LE(run.out.size(), 2048u + 2);
         const auto json = nlohmann::json::parse(run.out);
         EXPECT_EQ("mixed", json.at("state"));
         const auto& twain = json.at("targets").at(0);
         EXPECT_EQ("9, 0, 2, 1", twain.at("version"));
         EXPECT_EQ("off", twain.at("files").at(0).at("value"));
         EXPECT_EQ(2u, json.at("targets").at(1).at("files").size());
       }},
      {"query /fo csv", "on", 0, true, false, false,
       [](const ConsoleRun& run) {
         const auto records = ReadCsv(run.out);
         ASSERT_EQ(5u, records.size());  // header, 2 ISIS, TWAIN, Lumora
         EXPECT_EQ((std::vector<std::string>{"Target", "Status", "FileVersion",
                                             "File", "Value"}),
                   records[0]);
         EXPECT_EQ("9, 0, 2, 1", records[1][2]) << "quoted: it has commas";
         EXPECT_EQ("on", records[1][4]);
         EXPECT_EQ("not installed", records[4][1]);
       }},
      {"query /fo csv /nh", "on", 0, true, false, false,
       [](const ConsoleRun& run) { EXPECT_EQ(4u, ReadCsv(run.out).size()); }},
      {"query", "on", 0, true, false, false,
       [](const ConsoleRun& run) {
         EXPECT_NE(std::string::npos, run.out.find("Combined state: on"));
       }},
      {"test on", "on", 0, false, false, false, nothing},
      {"test on", "mixed", 1, false, false, false, nothing},
      {"test off", "none", 3, false, true, false, nothing},
      {"detect on", "on", 0, true, false, false,
       [](const ConsoleRun& run) {
         EXPECT_EQ("EnableVeloRidePass is on\r\n", run.out);
       }},
      {"detect on", "mixed", 0, false, false, false, nothing},
      {"set on /whatif /fo json", "mixed", 0, true, false, false,
       [](const ConsoleRun& run) {
         const auto json = nlohmann::json::parse(run.out);
         EXPECT_TRUE(json.at("changed").get<bool>());
         EXPECT_EQ("would change",
                   json.at("targets").at(0).at("files").at(0).at("result"));
       }},
      {"set on /fo json", "mixed", 0, true, false, true,
       [](const ConsoleRun& run) {
         const auto json = nlohmann::json::parse(run.out);
         EXPECT_TRUE(json.at("changed").get<bool>());
         EXPECT_EQ("already set",
                   json.at("targets").at(1).at("files").at(0).at("result"));
       }},
      {"set on", "none", 3, true, true, false, nothing},
      {"SET ON --WHATIF", "on", 0, true, false, false, nothing},
      {"bogus", "on", 2, false, true, false,
       [](const ConsoleRun& run) {
         EXPECT_NE(std::string::npos, run.err.find("Usage: vrpset"));
       }},
      {"-?", "on", 0, true, false, false,
       [](const ConsoleRun& run) {
         EXPECT_EQ(0u, run.out.find("Usage: vrpset"));
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.arguments) + " on " + row.installation);
    ScannerInstall clean;
    const std::string installation = row.installation;
    if (installation == "on") InstallTwainAndIsis(kOn, kOn);
    if (installation == "mixed") InstallTwainAndIsis(kOff, kOn);
    const auto before = Files();
    const ConsoleRun run = RunConsoleProgram("vrpset.exe", row.arguments);
    EXPECT_EQ(row.status, run.status);
    EXPECT_EQ(row.printsOut, !run.out.empty()) << run.out;
    EXPECT_EQ(row.printsErr, !run.err.empty()) << run.err;
    if (row.writes) {
      for (const auto& file : Files()) EXPECT_EQ(kOn, file);
    } else {
      EXPECT_EQ(before, Files()) << "not one byte changed";
    }
    row.check(run);
  }
}

// The dialog in its main window, or LumoraApp.exe running: set waits for
// neither and says so with 1618, which the engines retry; /force writes
// while LumoraApp.exe runs.
TEST_F(VrpsetE2E, BusyWhileTheDialogOrTheCaptureApplicationRuns) {
  InstallTwainAndIsis(kOff, kOff);
  {
    AppDriver dialog;
    ExpectBox(dialog, "Warning", std::string(kAbsentHeader) + "    Lumora\n");
    ExpectBox(dialog, "Warning", kCloseAppWarning);
    const AppWindow window = ExpectMainDialog(dialog);
    const ConsoleRun busy = RunConsoleProgram("vrpset.exe", "set on");
    EXPECT_EQ(1618u, busy.status);
    EXPECT_EQ("", busy.out);
    EXPECT_EQ("VRP setting tool is already executed.\r\n", busy.err);
    dialog.Press(window, IDCANCEL);
    ExpectEndsQuietly(dialog);
  }
  // A program without a version resource (new enough) that stays up.
  install.InstallCapture(kLumora11);
  const std::string lumora = std::string(kCaptureDir) + "\\LumoraApp.exe";
  CopyFileA((ProgramDirectory() + "\\vrp_bare_messagebox.exe").c_str(),
            lumora.c_str(), FALSE);
  AppDriver capture(lumora);
  ASSERT_TRUE(capture.NextWindow().has_value()) << "LumoraApp.exe is up";
  const ConsoleRun busy = RunConsoleProgram("vrpset.exe", "set on");
  EXPECT_EQ(1618u, busy.status);
  EXPECT_NE(std::string::npos, busy.err.find("LumoraApp.exe is running"));
  EXPECT_EQ(kOff, ScannerInstall::ReadFile(install.TwainIni()));
  const ConsoleRun forced = RunConsoleProgram("vrpset.exe", "set on /force");
  EXPECT_EQ(0u, forced.status) << forced.err;
  EXPECT_EQ(1, ScannerInstall::ReadOption(install.TwainIni()));
  EXPECT_EQ(1, ScannerInstall::ReadOption(install.CaptureIni()));
}

TEST_F(VrpsetE2E, FileThatCannotBeWrittenMakesTheRunPartial) {
  InstallTwainAndIsis(kOff, kOff);
  ScannerInstall::RemoveTree(
      install.IsisIniB().substr(0, install.IsisIniB().find_last_of('\\')));
  const ConsoleRun run = RunConsoleProgram("vrpset.exe", "set on /fo json");
  EXPECT_EQ(4u, run.status);
  EXPECT_FALSE(run.err.empty());
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ("partial", json.at("result"));
  EXPECT_EQ("failed", json.at("targets").at(1).at("files").at(1).at("result"));
  EXPECT_EQ(1, ScannerInstall::ReadOption(install.TwainIni()));
}

}  // namespace

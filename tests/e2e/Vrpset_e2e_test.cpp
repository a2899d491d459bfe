// vrpset.exe under Wine: a table of command line x installation, each with
// the exit status (in full, as GetExitCodeProcess reads it), standard
// output and standard error it must give and the files it must leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "detect/Detectors.h"
#include "tests/CsvReader.h"
#include "tests/e2e/E2ETest.h"
#include "tests/e2e/SquattedMutex.h"

namespace {

const std::string kOn = "[Special]\r\nEnableVeloRidePass=1\r\n";
const std::string kOff = "[Special]\r\nEnableVeloRidePass=0\r\n";

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
  // No run leaves its private folder behind, wherever it was made.
  void TearDown() override {
    wchar_t temp[MAX_PATH + 1];
    wchar_t windows[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    for (const std::wstring& folder :
         {std::wstring(temp), std::wstring(windows) + L"\\Temp\\"}) {
      WIN32_FIND_DATAW found;
      const HANDLE left = FindFirstFileW((folder + L"vrp-*").c_str(), &found);
      EXPECT_EQ(INVALID_HANDLE_VALUE, left) << "a private folder is left";
      if (left != INVALID_HANDLE_VALUE) FindClose(left);
    }
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
    bool squatWriterLock = false;  // a user made the lock's name first
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
                                             "File", "Value", "User"}),
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
      {"set on /fo json", "mixed", 0, true, true, true,
       [](const ConsoleRun& run) {
         const auto json = nlohmann::json::parse(run.out);
         EXPECT_TRUE(json.at("writerLockSquatted").get<bool>());
         EXPECT_NE(std::string::npos, run.err.find("VRP_SETTING_TOOL_WRITER"));
       },
       true},
      {"test off", "no RX-M7710B folder", 0, false, false, false, nothing},
      {"set off /fo json", "no RX-M7710B folder", 0, true, false, false,
       [](const ConsoleRun& run) {
         EXPECT_FALSE(nlohmann::json::parse(run.out).at("changed").get<bool>());
       }},
      {"set on /whatif /log:C:\\vrp-e2e.log", "mixed", 0, true, false, false,
       [](const ConsoleRun&) {
         const auto log = ScannerInstall::ReadFile("C:\\vrp-e2e.log");
         DeleteFileA("C:\\vrp-e2e.log");
         ASSERT_TRUE(log.has_value());
         EXPECT_NE(std::string::npos, log->find("\twould change\t0\r\n"))
             << *log;
       }},
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
    if (installation == "no RX-M7710B folder") {
      InstallTwainAndIsis(kOff, kOff);
      ScannerInstall::RemoveTree(
          install.IsisIniB().substr(0, install.IsisIniB().find_last_of('\\')));
    }
    const HANDLE squatter =
        row.squatWriterLock
            ? HoldSquattedMutex("Global\\VRP_SETTING_TOOL_WRITER")
            : nullptr;
    const auto before = Files();
    const ConsoleRun run = RunConsoleProgram("vrpset.exe", row.arguments);
    if (squatter != nullptr) CloseHandle(squatter);
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
  // A program without a version resource (new enough) that stays up, its
  // folder in the registry with a trailing backslash, as installers write
  // it: the same file for all that.
  install.InstallCapture(kLumora11, std::string(kCaptureDir) + "\\");
  const std::string lumora = std::string(kCaptureDir) + "\\LumoraApp.exe";
  CopyFileA((ProgramDirectory() + "\\vrp_bare_messagebox.exe").c_str(),
            lumora.c_str(), FALSE);
  AppDriver capture(lumora);
  ASSERT_TRUE(capture.NextWindow().has_value()) << "LumoraApp.exe is up";
  const ConsoleRun busy = RunConsoleProgram("vrpset.exe", "set on");
  EXPECT_EQ(1618u, busy.status);
  EXPECT_NE(std::string::npos, busy.err.find("LumoraApp.exe is running"));
  EXPECT_EQ(kOff, ScannerInstall::ReadFile(install.TwainIni()));
  EXPECT_EQ(std::nullopt, ScannerInstall::ReadFile(install.CaptureIni()));
  const ConsoleRun forced = RunConsoleProgram("vrpset.exe", "set on /force");
  EXPECT_EQ(0u, forced.status) << forced.err;
  EXPECT_EQ(1, ScannerInstall::ReadOption(install.TwainIni()));
  EXPECT_EQ(1, ScannerInstall::ReadOption(install.CaptureIni()));
}

// A user's program named LumoraApp.exe, in a folder whose name the ANSI
// code page cannot spell, does not stop set: only the capture application's
// own does (above). Nor does it when the user holds that folder shut, nor
// when the folder was renamed under it, so that its image cannot be reached
// by the name the process has.
TEST_F(VrpsetE2E, AUsersLumoraAppDoesNotBlock) {
  InstallTwainAndIsis(kOff, kOff);
  install.InstallCapture(kLumora11);
  const std::wstring theirs =
      L"C:\\Users\\Public\\\u0416\u0443\u0440\u043d\u0430\u043b";
  const std::wstring lumora = theirs + L"\\LumoraApp.exe";
  const std::string bare = ProgramDirectory() + "\\vrp_bare_messagebox.exe";
  for (const std::wstring& folder : {theirs, theirs + L"-moved"}) {
    SCOPED_TRACE(folder == theirs ? "held shut" : "renamed, then held shut");
    ScannerInstall::WriteFile(install.CaptureIni(), kOff);
    CreateDirectoryW(theirs.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(std::wstring(bare.begin(), bare.end()).c_str(),
                          lumora.c_str(), FALSE));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(lumora.c_str(), nullptr, nullptr, nullptr, FALSE,
                               0, nullptr, nullptr, &startup, &process));
    WaitForInputIdle(process.hProcess, 10000);
    EXPECT_TRUE(folder == theirs || MoveFileW(theirs.c_str(), folder.c_str()));
    const HANDLE held =
        CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, 0, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, held);
    const ConsoleRun run = RunConsoleProgram("vrpset.exe", "set on");
    CloseHandle(held);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    DeleteFileW((folder + L"\\LumoraApp.exe").c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_EQ(1, ScannerInstall::ReadOption(install.CaptureIni()));
  }
}

// What a user who may write in the capture application's folder can plant
// for vrpset, run as SYSTEM, to write elsewhere: the INI file made a second
// name of a file of theirs, or the folder replaced by a link to a folder of
// theirs. The file behind is not written, and is reported refused (or, with
// the program file behind the link too, the target cannot be checked); the
// other targets are written.
TEST_F(VrpsetE2E, PlantedLinksAreNotFollowed) {
  const std::string theirs = "C:\\vrp-users-folder";
  for (const bool folderLink : {false, true}) {
    SCOPED_TRACE(folderLink ? "folder link" : "hard link");
    ScannerInstall clean;
    InstallTwainAndIsis(kOff, kOff);
    install.InstallCapture(kLumora11, folderLink ? theirs : kCaptureDir);
    CreateDirectoryA(theirs.c_str(), nullptr);
    ScannerInstall::WriteFile(theirs + "\\UnitPrefs.ini", kOff);
    if (folderLink) {
      ScannerInstall::SetRegistryValue(kCaptureAppKey, "InstallDir", REG_SZ,
                                       std::string(kCaptureDir) + '\0');
      ASSERT_TRUE(ScannerInstall::LinkFolder(kCaptureDir, theirs));
    } else {
      ASSERT_TRUE(CreateHardLinkA(
          (std::string(kCaptureDir) + "\\UnitPrefs.ini").c_str(),
          (theirs + "\\UnitPrefs.ini").c_str(), nullptr));
    }
    const ConsoleRun run = RunConsoleProgram("vrpset.exe", "set on /fo json");
    if (folderLink) ScannerInstall::LinkFolder(kCaptureDir, theirs, true);
    EXPECT_EQ(4u, run.status);
    EXPECT_NE(std::string::npos,
              run.err.find(folderLink ? "LumoraApp.exe: behind a link"
                                      : "leads elsewhere"))
        << run.err;
    EXPECT_EQ(kOff, ScannerInstall::ReadFile(theirs + "\\UnitPrefs.ini"));
    const auto lumora = nlohmann::json::parse(run.out).at("targets").at(2);
    if (folderLink) {
      EXPECT_EQ("cannot be checked", lumora.at("status"));
    } else {
      EXPECT_EQ("refused: the path leads elsewhere",
                lumora.at("files").at(0).at("result"));
    }
    for (const auto& file : Files()) EXPECT_EQ(kOn, file);
    ScannerInstall::RemoveTree(theirs);
  }
}

// TMP and TEMP naming a folder that does not exist, or one whose name the
// ANSI code page cannot spell (an administrator's profile): set still
// reads the probe, and leaves no private folder in either place.
TEST_F(VrpsetE2E, AnyTemporaryFolderServes) {
  wchar_t windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  const std::wstring greek = L"C:\\users\\Public\\\u03a4\u03b5\u03bc\u03c0";
  CreateDirectoryW(greek.c_str(), nullptr);
  // A child inherits this process's variables.
  wchar_t saved[2][MAX_PATH];
  ASSERT_LT(GetEnvironmentVariableW(L"TMP", saved[0], MAX_PATH),
            DWORD{MAX_PATH});
  ASSERT_LT(GetEnvironmentVariableW(L"TEMP", saved[1], MAX_PATH),
            DWORD{MAX_PATH});
  for (const std::wstring& temp :
       {std::wstring(L"C:\\vrp-no-such-temp"), greek}) {
    install.InstallTwain(kTwain9);
    ScannerInstall::WriteFile(install.TwainIni(), kOff);
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
      SetEnvironmentVariableW(name, temp.c_str());
    }
    const ConsoleRun run = RunConsoleProgram("vrpset.exe", "set on");
    for (int index = 0; index < 2; ++index) {
      SetEnvironmentVariableW(index ? L"TEMP" : L"TMP", saved[index]);
    }
    EXPECT_EQ(0u, run.status) << run.err;
    EXPECT_EQ(1, ScannerInstall::ReadOption(install.TwainIni()));
    for (const std::wstring& used : {temp, std::wstring(windows) + L"\\Temp"}) {
      WIN32_FIND_DATAW found;
      const HANDLE left = FindFirstFileW((used + L"\\vrp-*").c_str(), &found);
      EXPECT_EQ(INVALID_HANDLE_VALUE, left) << "a private folder is left";
      if (left != INVALID_HANDLE_VALUE) FindClose(left);
    }
  }
  RemoveDirectoryW(greek.c_str());
}

// What a user holds open without sharing, or links, is reported or passed,
// never skipped: TWAIN's driver file held shut cannot be checked; a
// folder on the way held shut stops nothing; UnitPrefs.ini made a link to
// a user's file (which Wine follows without showing it) is refused, and so
// is a log whose folder is a link.
TEST_F(VrpsetE2E, WhatAUserHoldsOrLinksIsNeverSkipped) {
  InstallTwainAndIsis(kOff, kOff);
  const std::string twain = install.TwainIni();
  const std::string folder = twain.substr(0, twain.find_last_of('\\'));
  const std::string probe = folder + "\\NorvM7720.ds";
  HANDLE held = CreateFileA(probe.c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  const ConsoleRun set = RunConsoleProgram("vrpset.exe", "set on");
  const ConsoleRun test = RunConsoleProgram("vrpset.exe", "test on");
  CloseHandle(held);
  EXPECT_EQ(4u, set.status);
  EXPECT_NE(std::string::npos,
            set.err.find("NorvM7720.ds: held by another program"))
      << set.err;
  EXPECT_EQ(kOff, ScannerInstall::ReadFile(twain));
  EXPECT_EQ(1u, test.status) << "never 0 or 3 with a file unexamined";

  for (const auto& file : {install.IsisIniA(), install.IsisIniB()}) {
    ScannerInstall::WriteFile(file, kOff);
  }
  held = CreateFileA(folder.substr(0, folder.find_last_of('\\')).c_str(),
                     FILE_LIST_DIRECTORY, 0, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  const ConsoleRun testOff = RunConsoleProgram("vrpset.exe", "test off");
  CloseHandle(held);
  EXPECT_EQ(0u, testOff.status) << testOff.err;

  const std::string theirs = "C:\\vrp-users-file.ini";
  ScannerInstall::WriteFile(theirs, kOff);
  DeleteFileA(twain.c_str());
  ASSERT_TRUE(ScannerInstall::LinkFolder(twain, theirs));
  const ConsoleRun linked = RunConsoleProgram("vrpset.exe", "set on");
  ScannerInstall::LinkFolder(twain, theirs, true);
  EXPECT_EQ(4u, linked.status) << linked.err;
  EXPECT_EQ(kOff, ScannerInstall::ReadFile(theirs));
  DeleteFileA(theirs.c_str());

  const std::string theirLogs = "C:\\vrp-users-logs";
  CreateDirectoryA(theirLogs.c_str(), nullptr);
  ASSERT_TRUE(ScannerInstall::LinkFolder("C:\\vrp-logs", theirLogs));
  const ConsoleRun logged =
      RunConsoleProgram("vrpset.exe", "set on /log:C:\\vrp-logs\\vrp.log");
  ScannerInstall::LinkFolder("C:\\vrp-logs", theirLogs, true);
  EXPECT_EQ(std::nullopt, ScannerInstall::ReadFile(theirLogs + "\\vrp.log"));
  EXPECT_NE(std::string::npos, logged.err.find("vrp.log: behind a link"))
      << logged.err;
  ScannerInstall::RemoveTree(theirLogs);
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

// A capture application under Program Files (x86) run unelevated and
// without a manifest writes its INI file into the user's VirtualStore: the
// copy the scanner user really sees is listed.
TEST_F(VrpsetE2E, QueryListsAVirtualStoreCopyUnderProgramFiles) {
  char programFiles[MAX_PATH];
  char profile[MAX_PATH];
  ASSERT_GT(
      GetEnvironmentVariableA("ProgramFiles(x86)", programFiles, MAX_PATH), 0u);
  ASSERT_GT(GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH), 0u);
  const std::string lumora = std::string(programFiles) + "\\VRP Lumora";
  install.InstallCapture(kLumora11, lumora);
  ScannerInstall::WriteFile(install.CaptureIni(), kOff);
  const std::string store = std::string(profile) +
                            "\\AppData\\Local\\VirtualStore" + lumora.substr(2);
  std::filesystem::create_directories(store);
  ScannerInstall::WriteFile(store + "\\UnitPrefs.ini", kOn);
  const ConsoleRun run = RunConsoleProgram("vrpset.exe", "query /fo json");
  ScannerInstall::RemoveTree(store);
  ScannerInstall::RemoveTree(lumora);
  ASSERT_EQ(0u, run.status) << run.err;
  const auto copies = nlohmann::json::parse(run.out).at("virtualStore");
  ASSERT_EQ(1u, copies.size()) << run.out;
  EXPECT_EQ("Lumora", copies.at(0).at("target"));
  EXPECT_EQ("on", copies.at(0).at("value"));
}

// Profiles in Wine's ProfileList: its user's, one added as REG_EXPAND_SZ
// with letters the ANSI code page lacks, one with a VirtualStore folder but
// no copy, a ".bak" key and a service's SID (neither a user who scans).
// Each step runs on the copies the step before left, or ("again") on them
// put back at 1; one ("link") adds a profile whose VirtualStore folder is a
// link to a user's folder. sync runs as the Wine user.
TEST_F(VrpsetE2E, EveryUsersCopyFollowsTheMachineFile) {
  namespace fs = std::filesystem;
  wchar_t programFiles[MAX_PATH];
  wchar_t wineUser[MAX_PATH];
  ASSERT_GT(
      GetEnvironmentVariableW(L"ProgramFiles(x86)", programFiles, MAX_PATH),
      0u);
  ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", wineUser, MAX_PATH), 0u);
  const fs::path lumora = fs::path(programFiles) / "VRP Lumora";
  install.InstallCapture(kLumora11, lumora.string());
  ScannerInstall::WriteFile(install.CaptureIni(), kOn);
  const std::wstring below = lumora.wstring().substr(2) + L"\\UnitPrefs.ini";
  const std::wstring store = L"\\AppData\\Local\\VirtualStore" + below;
  const std::wstring list =
      L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
  const std::string other = "[Other]\r\nEnableVeloRidePass=1\r\n";
  const std::wstring greek = L"\\users\\\u0394\u03bf\u03ba\u03b9\u03bc\u03ae";
  const struct {
    std::wstring sid;
    std::wstring stored;  // ProfileImagePath ("": Wine's own entry)
    std::wstring folder;  // as expanded, where it is REG_EXPAND_SZ
    std::string on;       // its copy as planted ("": none)
    std::string off;      // the copy once it follows
  } profiles[] = {
      {L"S-1-5-21-0-0-0-1000", L"", wineUser, kOn, kOff},
      {L"S-1-5-21-7-7-7-1001", L"%SystemDrive%" + greek, L"C:" + greek,
       other + kOn, other + kOff},
      {L"S-1-5-21-7-7-7-1002", L"C:\\users\\vrp-no-copy", L"", "", ""},
      {L"S-1-5-21-7-7-7-1001.bak", L"C:\\users\\vrp-bak", L"", kOn, kOff},
      {L"S-1-5-18", L"C:\\users\\vrp-service", L"", kOn, kOff},
      {L"S-1-5-21-7-7-7-1003", L"C:\\users\\vrp-linked", L"", "", ""},
  };
  auto folderOf = [](const auto& profile) {
    return fs::path(profile.folder.empty() ? profile.stored : profile.folder);
  };
  auto addProfile = [&](const auto& profile) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, (list + profile.sid).c_str(),
                              0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                              nullptr, &key, nullptr));
    RegSetValueExW(
        key, L"ProfileImagePath", 0,
        profile.folder.empty() ? REG_SZ : REG_EXPAND_SZ,
        reinterpret_cast<const BYTE*>(profile.stored.c_str()),
        static_cast<DWORD>((profile.stored.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  };
  const fs::path linked = folderOf(profiles[5]) / "AppData\\Local";
  const fs::path theirs = "C:\\vrp-users-store";
  // Whatever a failed step leaves goes too: keys, the link, then folders.
  struct Planted {
    std::vector<std::wstring> keys;
    std::vector<fs::path> folders;
    std::string link;
    ~Planted() {
      for (const auto& key : keys) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_64KEY, 0);
      }
      if (!link.empty()) ScannerInstall::LinkFolder(link, "", true);
      std::error_code ignored;
      for (const auto& folder : folders) fs::remove_all(folder, ignored);
    }
  } planted;
  planted.folders = {fs::path(wineUser) / "AppData\\Local\\VirtualStore",
                     theirs};
  for (std::size_t i = 1; i < std::size(profiles); ++i) {
    planted.keys.push_back(list + profiles[i].sid);
    planted.folders.push_back(folderOf(profiles[i]));
    if (i < 5) addProfile(profiles[i]);
  }
  auto plant = [&] {
    for (std::size_t i = 0; i < 5; ++i) {
      fs::create_directories(
          fs::path(folderOf(profiles[i]) += store).parent_path());
      if (!profiles[i].on.empty()) {
        std::ofstream(folderOf(profiles[i]) += store, std::ios::binary)
            << profiles[i].on;
      }
    }
  };
  auto read = [](const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  };
  const struct {
    const char* arguments;
    DWORD status;
    const char* copies;  // each profile's: '1' as planted, '0' following
    bool again;
    bool link;
    std::function<void(const ConsoleRun&)> check;
  } steps[] = {
      {"set off /machineonly", 0, "11111", false, false, nullptr},
      {"test off", 1, "11111", false, false, nullptr},
      {"query /fo json", 0, "11111", false, false,
       [](const ConsoleRun& run) {
         const auto json = nlohmann::json::parse(run.out);
         std::vector<std::string> listed;
         for (const auto& copy : json.at("virtualStore")) {
           listed.push_back(copy.at("sid").get<std::string>() +
                            copy.at("differs").dump());
         }
         std::sort(listed.begin(), listed.end());
         EXPECT_EQ((std::vector<std::string>{"S-1-5-21-0-0-0-1000true",
                                             "S-1-5-21-7-7-7-1001true"}),
                   listed)
             << run.out;
       }},
      {"set off", 0, "00111", false, false, nullptr},
      {"test off", 0, "00111", false, false, nullptr},
      {"set off", 4, "00111", true, true,
       [&](const ConsoleRun& run) {
         EXPECT_NE(std::string::npos, run.err.find("S-1-5-21-7-7-7-1003"))
             << run.err;
         EXPECT_EQ(kOn, read(fs::path(theirs) += below));
       }},
      {"sync", 0, "01111", true, false, nullptr},
  };
  plant();
  for (const auto& step : steps) {
    SCOPED_TRACE(step.arguments);
    if (step.again) plant();
    if (step.link) {
      addProfile(profiles[5]);
      fs::create_directories(linked);
      fs::create_directories(fs::path(fs::path(theirs) += below).parent_path());
      std::ofstream(fs::path(theirs) += below, std::ios::binary) << kOn;
      planted.link = (linked / "VirtualStore").string();
      ASSERT_TRUE(ScannerInstall::LinkFolder(planted.link, theirs.string()));
    }
    const ConsoleRun run = RunConsoleProgram("vrpset.exe", step.arguments);
    if (step.link)
      RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (list + profiles[5].sid).c_str(),
                      KEY_WOW64_64KEY, 0);
    EXPECT_EQ(step.status, run.status) << run.err;
    for (std::size_t i = 0; i < 5; ++i) {
      EXPECT_EQ(step.copies[i] == '1' ? profiles[i].on : profiles[i].off,
                read(folderOf(profiles[i]) += store))
          << "profile " << i;
    }
    EXPECT_TRUE(
        fs::is_directory((folderOf(profiles[2]) += store).parent_path()));
    if (step.check) step.check(run);
  }
  EXPECT_EQ(0, ScannerInstall::ReadOption(install.CaptureIni()));
}

}  // namespace

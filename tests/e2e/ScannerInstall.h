// A simulated installation of the scanning software in the Wine prefix:
// probe files with version resources, INI files, and the capture
// application's registry value in the 32-bit view. Everything it may have
// laid out is removed when it is made and when it goes.
#pragma once

#include <optional>
#include <string>

#include "tests/probes/Probes.h"

// Where the capture application is installed unless a test says otherwise.
constexpr const char* kCaptureDir = "C:\\Lumora";

class ScannerInstall {
 public:
  ScannerInstall();
  ScannerInstall(const ScannerInstall&) = delete;
  ScannerInstall& operator=(const ScannerInstall&) = delete;
  ~ScannerInstall();

  // Installs the probe file and creates the directories of the INI files.
  void InstallTwain(const ProbeFile& probe);
  void InstallIsis(const ProbeFile& probe);
  void InstallCapture(const ProbeFile& probe,
                      const std::string& dir = kCaptureDir);

  std::string TwainIni() const;
  std::string IsisIniA() const;  // RX-M7720B
  std::string IsisIniB() const;  // RX-M7710B
  std::string CaptureIni() const;

  static void WriteFile(const std::string& path, const std::string& text);
  // The file's text, or nullopt when it does not exist.
  static std::optional<std::string> ReadFile(const std::string& path);
  // EnableVeloRidePass in [Special] as the program reads it, or nullopt
  // when the key is missing.
  static std::optional<int> ReadOption(const std::string& iniPath);
  static void RemoveTree(const std::string& path);
  // What a user can plant: `link` made a Unix symbolic link to the folder
  // `target` (Wine follows one in its prefix as Windows follows a
  // junction), or, with `remove`, such a link taken away again. True when
  // it worked.
  static bool LinkFolder(const std::string& link, const std::string& target,
                         bool remove = false);
  // Runs a Unix program of the machine Wine runs on (Wine starts one as it
  // is, and does not wait for it) and waits until `path` exists or, with
  // `gone`, no longer does. False when it cannot start or time runs out.
  static bool RunUnixUntil(std::string command, const std::string& path,
                           bool gone);
  // Copies a probe file built beside the test program to `to`, creating
  // its directories.
  static void CopyProbe(const ProbeFile& probe, const std::string& to);
  // Sets a value under HKEY_LOCAL_MACHINE in the 32-bit view, creating the
  // key.
  // Replaces the ACL of the capture application's key by the given SDDL
  // text (for example "D:P(A;;KR;;;BA)": administrators may only read it);
  // false when the key is missing or the ACL cannot be set.
  static bool SetCaptureKeyAcl(const char* sddl);
  static void SetRegistryValue(const std::string& keyPath,
                               const std::string& name, unsigned long type,
                               const std::string& bytes);

 private:
  void RemoveAll();

  std::string windowsDir_;
  std::string captureDir_ = kCaptureDir;
};

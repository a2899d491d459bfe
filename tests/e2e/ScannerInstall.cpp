#include "tests/e2e/ScannerInstall.h"

#include <windows.h>
// After windows.h:
#include <sddl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "detect/Detectors.h"
#include "tests/e2e/AppDriver.h"

namespace fs = std::filesystem;

ScannerInstall::ScannerInstall() {
  char dir[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(dir, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    throw std::runtime_error("GetWindowsDirectoryA failed");
  }
  windowsDir_ = dir;
  RemoveAll();
}

ScannerInstall::~ScannerInstall() { RemoveAll(); }

void ScannerInstall::RemoveAll() {
  RemoveTree(windowsDir_ + "\\twain_32\\Norvtw32");
  RemoveTree(windowsDir_ + "\\Pixtran");
  RemoveTree(captureDir_);
  // A key left readable only cannot be deleted until its ACL is reset.
  SetCaptureKeyAcl("D:(A;;KA;;;WD)");
  for (const char* key :
       {kCaptureAppKey, "SOFTWARE\\Norvel\\Lumora", "SOFTWARE\\Norvel"}) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY, 0);
  }
}

bool ScannerInstall::SetCaptureKeyAcl(const char* sddl) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCaptureAppKey, 0,
                    WRITE_DAC | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) {
    return false;
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  bool set = ConvertStringSecurityDescriptorToSecurityDescriptorA(
                 sddl, SDDL_REVISION_1, &descriptor, nullptr) &&
             RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) ==
                 ERROR_SUCCESS;
  LocalFree(descriptor);
  RegCloseKey(key);
  return set;
}

void ScannerInstall::InstallTwain(const ProbeFile& probe) {
  CopyProbe(probe, windowsDir_ + "\\twain_32\\Norvtw32\\NorvM7720.ds");
}

void ScannerInstall::InstallIsis(const ProbeFile& probe) {
  CopyProbe(probe, windowsDir_ + "\\Pixtran\\RXM7720.pxn");
  fs::create_directories(fs::path(IsisIniA()).parent_path());
  fs::create_directories(fs::path(IsisIniB()).parent_path());
}

void ScannerInstall::InstallCapture(const ProbeFile& probe,
                                    const std::string& dir) {
  captureDir_ = dir;
  CopyProbe(probe, captureDir_ + "\\LumoraApp.exe");
  SetRegistryValue(kCaptureAppKey, kCaptureAppValue, REG_SZ,
                   captureDir_ + '\0');
}

void ScannerInstall::SetRegistryValue(const std::string& keyPath,
                                      const std::string& name,
                                      unsigned long type,
                                      const std::string& bytes) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    throw std::runtime_error("RegCreateKeyExA failed");
  }
  const LONG set = RegSetValueExA(key, name.c_str(), 0, type,
                                  reinterpret_cast<const BYTE*>(bytes.data()),
                                  static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  if (set != ERROR_SUCCESS) throw std::runtime_error("RegSetValueExA failed");
}

std::string ScannerInstall::TwainIni() const {
  return windowsDir_ + "\\twain_32\\Norvtw32\\UnitPrefs.ini";
}
std::string ScannerInstall::IsisIniA() const {
  return windowsDir_ + "\\Pixtran\\Norvel RX-M7720B\\UnitPrefs.ini";
}
std::string ScannerInstall::IsisIniB() const {
  return windowsDir_ + "\\Pixtran\\Norvel RX-M7710B\\UnitPrefs.ini";
}
std::string ScannerInstall::CaptureIni() const {
  return captureDir_ + "\\UnitPrefs.ini";
}

void ScannerInstall::WriteFile(const std::string& path,
                               const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::optional<std::string> ScannerInstall::ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::optional<int> ScannerInstall::ReadOption(const std::string& iniPath) {
  // Two different defaults tell a missing key from a stored value.
  const UINT first = GetPrivateProfileIntA("Special", "EnableVeloRidePass", -7,
                                           iniPath.c_str());
  const UINT second = GetPrivateProfileIntA("Special", "EnableVeloRidePass", -8,
                                            iniPath.c_str());
  if (first != second) return std::nullopt;
  return static_cast<int>(first);
}

bool ScannerInstall::LinkFolder(const std::string& link,
                                const std::string& target, bool remove) {
  // Wine starts a Unix program as it is (and does not wait for it); C:\ is
  // the prefix's drive_c.
  char prefix[MAX_PATH];
  if (GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH) == 0)
    return false;
  auto unixPath = [&prefix](std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return " \"" + std::string(prefix) + "/drive_c/" + path.substr(3) + "\"";
  };
  return RunUnixUntil(
      remove ? "Z:\\bin\\rm" + unixPath(link)
             : "Z:\\bin\\ln -s" + unixPath(target) + unixPath(link),
      link, remove);
}

bool ScannerInstall::RunUnixUntil(std::string command, const std::string& path,
                                  bool gone) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int wait = 0; wait < 1000; ++wait, Sleep(10)) {
    if ((GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) == gone) {
      return true;
    }
  }
  return false;
}

void ScannerInstall::RemoveTree(const std::string& path) {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

void ScannerInstall::CopyProbe(const ProbeFile& probe, const std::string& to) {
  fs::create_directories(fs::path(to).parent_path());
  fs::copy_file(ProgramDirectory() + "\\" + probe.name + ".dll", to,
                fs::copy_options::overwrite_existing);
}

#include <windows.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32/Win32PlatformOps.h"
#include "tests/contract/ContractWorld.h"
#include "tests/e2e/ScannerInstall.h"
#include "tests/e2e/SquattedMutex.h"

namespace {

namespace fs = std::filesystem;

class Win32ContractWorld final : public ContractWorld {
 public:
  Win32ContractWorld() {
    root_ = fs::temp_directory_path() /
            ("vrp-contract-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  ~Win32ContractWorld() override {
    if (squatter_ != nullptr) CloseHandle(squatter_);
    if (holder_ != INVALID_HANDLE_VALUE) CloseHandle(holder_);
    // Wine cannot remove a Unix link whose target went first.
    for (const std::string& link : links_) {
      ScannerInstall::LinkFolder(link, "", true);
    }
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, RegistryKey().c_str(), KEY_WOW64_32KEY,
                    0);
  }

  PlatformOps& Ops() override { return ops_; }
  std::string Root() override { return root_.string(); }
  std::string RegistryKey() override {
    return "SOFTWARE\\VRPContract" + std::to_string(GetCurrentProcessId());
  }

  void MakeDirectory(const std::string& path) override {
    fs::create_directories(path);
  }
  void WriteTextFile(const std::string& path,
                     const std::string& text) override {
    ScannerInstall::WriteFile(path, text);
  }
  std::optional<std::string> ReadTextFile(const std::string& path) override {
    return ScannerInstall::ReadFile(path);
  }
  void LinkFile(const std::string& existing,
                const std::string& alias) override {
    CreateHardLinkA(alias.c_str(), existing.c_str(), nullptr);
  }
  void LinkFolder(const std::string& link, const std::string& target) override {
    if (ScannerInstall::LinkFolder(link, target)) links_.push_back(link);
  }
  void InstallProbe(const std::string& path, const ProbeFile& probe) override {
    ScannerInstall::CopyProbe(probe, path);
  }
  void SetRegistryValue(const std::string& name, unsigned long type,
                        const std::string& bytes) override {
    ScannerInstall::SetRegistryValue(RegistryKey(), name, type, bytes);
  }
  std::string UniqueMutexName() override {
    return "VRP_CONTRACT_" + std::to_string(GetCurrentProcessId());
  }
  void SquatMutex(const std::string& name) override {
    squatter_ = HoldSquattedMutex(name.c_str());
  }
  void HoldFolderForDeleting(const std::string& path) override {
    holder_ = CreateFileA(path.c_str(), DELETE | SYNCHRONIZE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }

 private:
  Win32PlatformOps ops_;
  HANDLE squatter_ = nullptr;
  HANDLE holder_ = INVALID_HANDLE_VALUE;
  std::vector<std::string> links_;
  fs::path root_;
};

}  // namespace

std::unique_ptr<ContractWorld> MakeContractWorld() {
  return std::make_unique<Win32ContractWorld>();
}

namespace {

// Wine's drive letters are the links in the prefix's "dosdevices" folder;
// it does not resolve a drive made with DefineDosDevice when opening files.
std::string DriveLink(const std::string& drive) {
  char prefix[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  std::string letter = drive.substr(0, 1);
  letter[0] = static_cast<char>(std::tolower(letter[0]));
  return " \"" + std::string(prefix) + "/dosdevices/" + letter + ":\"";
}

}  // namespace

std::string MapDrive(const std::string& folder) {
  using UnixFileNameFn = char*(CDECL*)(LPCWSTR);
  const auto unixFileName = reinterpret_cast<UnixFileNameFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(
          GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  const std::wstring wide = fs::path(folder).wstring();
  char* unixFolder = unixFileName ? unixFileName(wide.c_str()) : nullptr;
  if (unixFolder == nullptr) return "";
  const std::string target = unixFolder;
  HeapFree(GetProcessHeap(), 0, unixFolder);
  for (char letter = 'R'; letter <= 'Y'; ++letter) {
    const std::string drive = std::string(1, letter) + ":";
    if (GetDriveTypeA((drive + "\\").c_str()) != DRIVE_NO_ROOT_DIR) continue;
    const std::string link = DriveLink(drive);
    return !link.empty() && ScannerInstall::RunUnixUntil(
                                "Z:\\bin\\ln -s \"" + target + "\"" + link,
                                drive + "\\", false)
               ? drive
               : "";
  }
  return "";
}

void UnmapDrive(const std::string& drive) {
  ScannerInstall::RunUnixUntil("Z:\\bin\\rm" + DriveLink(drive), drive + "\\",
                               true);
}

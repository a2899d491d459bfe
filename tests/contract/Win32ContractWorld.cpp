#include <windows.h>

#include <filesystem>

#include "platform/Win32PlatformOps.h"
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

 private:
  Win32PlatformOps ops_;
  HANDLE squatter_ = nullptr;
  fs::path root_;
};

}  // namespace

std::unique_ptr<ContractWorld> MakeContractWorld() {
  return std::make_unique<Win32ContractWorld>();
}

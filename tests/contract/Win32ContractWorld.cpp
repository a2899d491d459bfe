#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/Win32PlatformOps.h"
#include "tests/contract/ContractWorld.h"

namespace {

namespace fs = std::filesystem;

// The directory of this test program, where the probe DLLs are built.
fs::path ProgramDirectory() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    throw std::runtime_error("GetModuleFileNameA failed");
  }
  return fs::path(path).parent_path();
}

class Win32ContractWorld final : public ContractWorld {
 public:
  Win32ContractWorld() {
    root_ = fs::temp_directory_path() /
            ("vrp-contract-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  ~Win32ContractWorld() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, RegistryKey().c_str(),
                    KEY_WOW64_32KEY, 0);
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
    std::ofstream(path, std::ios::binary) << text;
  }
  std::optional<std::string> ReadTextFile(const std::string& path) override {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }
  void InstallProbe(const std::string& path, const ProbeFile& probe) override {
    fs::copy_file(ProgramDirectory() / (std::string(probe.name) + ".dll"),
                  path, fs::copy_options::overwrite_existing);
  }
  void SetRegistryValue(const std::string& name, unsigned long type,
                        const std::string& bytes) override {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, RegistryKey().c_str(), 0, nullptr,
                        0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      throw std::runtime_error("RegCreateKeyExA failed");
    }
    const LONG set = RegSetValueExA(
        key, name.c_str(), 0, type,
        reinterpret_cast<const BYTE*>(bytes.data()),
        static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    if (set != ERROR_SUCCESS) throw std::runtime_error("RegSetValueExA failed");
  }
  std::string UniqueMutexName() override {
    return "VRP_CONTRACT_" + std::to_string(GetCurrentProcessId());
  }

 private:
  Win32PlatformOps ops_;
  fs::path root_;
};

}  // namespace

std::unique_ptr<ContractWorld> MakeContractWorld() {
  return std::make_unique<Win32ContractWorld>();
}

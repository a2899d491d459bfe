#include <cstdint>

#include "tests/contract/ContractWorld.h"
#include "tests/fake/FakePlatformOps.h"

namespace {

class FakeContractWorld final : public ContractWorld {
 public:
  FakeContractWorld() { ops_.AddDirectory(Root()); }

  PlatformOps& Ops() override { return ops_; }
  // In the private folder: the fake's profile and version functions take
  // nothing else, as the program hands them nothing else.
  std::string Root() override {
    return std::string(FakePlatformOps::kPrivateFolder) + "\\contract";
  }
  std::string RegistryKey() override { return "SOFTWARE\\VRPContract"; }

  void MakeDirectory(const std::string& path) override {
    ops_.AddDirectory(path);
  }
  void WriteTextFile(const std::string& path,
                     const std::string& text) override {
    ops_.SetIniText(path, text);
  }
  std::optional<std::string> ReadTextFile(const std::string& path) override {
    return ops_.IniText(path);
  }
  void LinkFile(const std::string& existing,
                const std::string& alias) override {
    ops_.LinkFile(existing, alias);
  }
  void LinkFolder(const std::string& link, const std::string& target) override {
    ops_.LinkFolder(link, target);
  }
  // The fake's opens share everything, as the real ones must.
  void HoldFolderForDeleting(const std::string&) override {}
  void InstallProbe(const std::string& path, const ProbeFile& probe) override {
    ops_.AddFileWithVersion(path, probe.fileVersion);
  }
  void SetRegistryValue(const std::string& name, unsigned long type,
                        const std::string& bytes) override {
    ops_.SetRegistryValue(RegistryKey(), name, {type, bytes});
  }
  std::string UniqueMutexName() override { return "VRP_CONTRACT"; }
  void SquatMutex(const std::string& name) override {
    ops_.HoldMutexElsewhere(name, {FakePlatformOps::kUserSid, false, true});
  }

 private:
  FakePlatformOps ops_;
};

}  // namespace

std::unique_ptr<ContractWorld> MakeContractWorld() {
  return std::make_unique<FakeContractWorld>();
}

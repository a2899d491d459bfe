// A platform under test together with a way to arrange what it sees, so one
// suite checks the same promises against the fake and against Win32.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/PlatformOps.h"
#include "tests/probes/Probes.h"

class ContractWorld {
 public:
  virtual ~ContractWorld() = default;

  virtual PlatformOps& Ops() = 0;
  // An existing, empty directory for the test's files, without a trailing
  // backslash.
  virtual std::string Root() = 0;
  // A registry key of the test's own under HKEY_LOCAL_MACHINE.
  virtual std::string RegistryKey() = 0;

  virtual void MakeDirectory(const std::string& path) = 0;
  virtual void WriteTextFile(const std::string& path,
                             const std::string& text) = 0;
  virtual std::optional<std::string> ReadTextFile(const std::string& path) = 0;
  // A second name (hard link) for an existing file.
  virtual void LinkFile(const std::string& existing,
                        const std::string& alias) = 0;
  // What a user can plant: `link` made a link to the folder `target`.
  virtual void LinkFolder(const std::string& link,
                          const std::string& target) = 0;
  // A user's handle on the folder with delete access, sharing reading and
  // writing alone, held for the rest of the test.
  virtual void HoldFolderForDeleting(const std::string& path) = 0;
  virtual void InstallProbe(const std::string& path,
                            const ProbeFile& probe) = 0;
  virtual void SetRegistryValue(const std::string& name, unsigned long type,
                                const std::string& bytes) = 0;
  // A mutex name no other process uses.
  virtual std::string UniqueMutexName() = 0;
  // Another user makes a mutex of that name first, with a DACL that lets
  // nobody else open it, and holds it for the rest of the test.
  virtual void SquatMutex(const std::string& name) = 0;
};

// The world of the platform this test program is built for.
std::unique_ptr<ContractWorld> MakeContractWorld();

#ifdef _WIN32
// A free drive letter ("S:") made to lead to `folder` as subst makes one,
// until the returned letter is passed to UnmapDrive; "" when none could be.
std::string MapDrive(const std::string& folder);
void UnmapDrive(const std::string& drive);
#endif

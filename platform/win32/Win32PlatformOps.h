// PlatformOps over the real Win32 API. Its operations are spread over a
// file each by concern (see Win32PlatformOps.cpp).
#pragma once

#include <string>
#include <vector>

#include "platform/PlatformOps.h"

class Win32PlatformOps final : public PlatformOps {
 public:
  // Removes the private folder, if one was made.
  ~Win32PlatformOps() override;

  unsigned GetWindowsDir(char* buffer, unsigned size) override;
  long ReadRegistryValue(const char* keyPath, const char* valueName,
                         unsigned char* buffer, unsigned long* size,
                         unsigned long* type) override;
  unsigned long ExpandEnvironment(const char* text, char* buffer,
                                  unsigned long size) override;
  unsigned long GetVersionInfoSize(const char* path) override;
  int GetVersionInfo(const char* path, unsigned long size,
                     void* block) override;
  int QueryVersionValue(const void* block, const char* subBlock,
                        const void** data, unsigned* length) override;
  int ReadIniInt(const char* section, const char* key,
                 const char* path) override;
  int WriteIniString(const char* section, const char* key, const char* value,
                     const char* path) override;
  int ReadIniString(const char* section, const char* key, const char* path,
                    std::string* value) override;
  OpenOutcome OpenFolder(const char* path, OsHandle* folder) override;
  OpenOutcome OpenFileIn(OsHandle folder, const char* name, FileUse use,
                         OsHandle* file, int* created) override;
  int ReadOpenedFile(OsHandle file, std::size_t maxSize,
                     std::string* bytes) override;
  int RewriteOpenedFile(OsHandle file, const std::string& bytes) override;
  int DeleteOpenedFile(OsHandle file) override;
  int AppendToOpenedFile(OsHandle file, const std::string& line) override;
  void Pause(unsigned milliseconds) override;
  int WritePrivateCopy(const char* name, const std::string& bytes,
                       std::string* path) override;
  int ReadPrivateCopy(const std::string& path, std::string* bytes) override;
  void RemovePrivateFolder() override;
  int IsProgramRunning(OsHandle program) override;
  int ListUserProfiles(std::vector<UserProfile>* profiles) override;
  OpenOutcome OpenProfileFolder(const std::string& sid,
                                OsHandle* folder) override;
  OpenOutcome OpenFolderBelow(OsHandle base, const char* relative,
                              OsHandle* folder) override;
  int FolderFinalPath(OsHandle folder, std::string* path) override;
  int CallerSid(std::string* sid) override;
  void DescribeRun(std::string* utcTime, std::string* computer,
                   std::string* user) override;
  int AnsiToCodePage(const std::string& ansi, unsigned codePage,
                     std::string* converted) override;
  int IsConsole(StdStream stream) override;
  unsigned ConsoleOutputCodePage() override;
  int WriteConsoleAnsi(StdStream stream, const std::string& ansi) override;
  int WriteStream(StdStream stream, const std::string& bytes) override;
  OsHandle CreateNamedMutex(const char* name,
                            unsigned long* lastError) override;
  OsHandle CreateAdminOnlyMutex(const char* name,
                                unsigned long* lastError) override;
  int IsOwnedByAdministrators(OsHandle object) override;
  void CloseOsHandle(OsHandle handle) override;
  int OpenProcessTokenForQuery(OsHandle* token) override;
  int GetTokenGroups(OsHandle token, void* buffer, unsigned long size,
                     unsigned long* needed, unsigned long* lastError) override;
  int AllocateAdministratorsSid(OsSid* sid) override;
  int EqualSids(OsSid first, OsSid second) override;
  void FreeOsSid(OsSid sid) override;
  void* AllocateZeroed(std::size_t size) override;
  void FreeBlock(void* block) override;
  void DebugOutput(const char* text) override;
  void ShowMessage(OsWindow owner, const char* text,
                   const char* caption) override;

 private:
  // A private copy's path (UTF-8 of the wide path, see WritePrivateCopy)
  // as the wide functions take it; false when it is no such text.
  static bool CopyPathToWide(const char* path, std::wstring* wide);

  // The run's private folder, held open (a HANDLE) without sharing
  // deletion from its making until RemovePrivateFolder; null until the
  // first copy is written.
  OsHandle privateFolder_ = nullptr;
  // Its final path ("\\?\C:\...\vrp-..."), without a trailing backslash.
  std::wstring privateFolderPath_;
  // The last version string QueryVersionValue handed out, in the ANSI code
  // page; valid until its next call.
  std::string versionText_;
};

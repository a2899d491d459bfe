// An in-memory PlatformOps for unit tests: a file system with version
// resources and INI files, the capture application's registry value, named
// mutexes, the process token's groups, recorded message boxes and debugger
// output. Any single call of any operation can be made to fail, and every
// handle, SID and block handed out is tracked so leaks show.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/PlatformOps.h"

class FakePlatformOps final : public PlatformOps {
 public:
  enum class Op {
    GetWindowsDir,
    OpenFolder,
    ReadRegistryValue,
    GetVersionInfoSize,
    GetVersionInfo,
    QueryVersionValue,
    ReadIniInt,
    WriteIniString,
    CreateNamedMutex,
    OpenProcessToken,
    GetTokenGroups,
    AllocateAdministratorsSid,
    EqualSids,
    AllocateZeroed,
    ExpandEnvironment,
    ReadIniString,
    OpenFileIn,
    ReadOpenedFile,
    RewriteOpenedFile,
    DeleteOpenedFile,
    IsProgramRunning,
    ListUserProfiles,
    AppendToOpenedFile,
    CreateAdminOnlyMutex,
    WritePrivateCopy,
    ReadPrivateCopy,
  };
  static constexpr int kOpCount = static_cast<int>(Op::ReadPrivateCopy) + 1;
  static const char* NameOf(Op op);

  // One value of a version resource as VerQueryValueA hands it out.
  struct VersionValue {
    std::string bytes;        // what the data pointer points to
    unsigned reportedLength;  // what *length says
  };
  // Sub-block name -> value.
  using VersionResource = std::map<std::string, VersionValue>;

  struct RegistryValue {
    unsigned long type;
    std::string bytes;
  };

  struct Message {
    OsWindow owner;
    std::string text;
    std::string caption;
  };

  struct TokenGroup {
    std::string sid;  // "S-1-5-32-544" and the like
    std::uint32_t attributes;
  };
  static constexpr const char* kAdministratorsSid = "S-1-5-32-544";

  // -- set-up ---------------------------------------------------------------
  std::string windowsDir = "C:\\WINDOWS";
  // Programs running, by full path (any case), and the user profiles.
  std::set<std::string> runningPrograms;
  std::vector<UserProfile> profiles = {
      {kUserSid, "SCANPC01\\admin", "C:\\Users\\admin", ""}};
  // A profile's folder where it is not the text ListUserProfiles shows (a
  // name the ANSI code page cannot spell), by SID.
  std::map<std::string, std::string> profileFolders;
  // The user this process runs as.
  std::string callerSid = kUserSid;
  // Environment variables for ExpandEnvironment, by upper-case name.
  std::map<std::string, std::string> environment = {
      {"PROGRAMFILES", "C:\\Program Files"}};
  // HKEY_LOCAL_MACHINE values by key path and value name; empty by default.
  void SetRegistryValue(const std::string& keyPath, const std::string& name,
                        const RegistryValue& value);
  std::vector<TokenGroup> tokenGroups = {{"S-1-1-0", 7},
                                         {kAdministratorsSid, 15}};
  // The group-list query without a buffer succeeds (Windows never does).
  bool tokenQueryWithoutBufferSucceeds = false;

  void AddDirectory(const std::string& path);
  // Adds a file (and its directories) without a version resource.
  void AddFile(const std::string& path);
  void AddVersionedFile(const std::string& path,
                        const VersionResource& resource);
  // A file whose first translation is US English / Unicode and whose
  // FileVersion string is `fileVersion`.
  void AddFileWithVersion(const std::string& path,
                          const std::string& fileVersion);
  // A malformed version resource: GetVersionInfoSize answers reportedSize,
  // the block's 16-bit length field holds lengthField.
  struct VersionQuirks {
    std::optional<unsigned long> reportedSize;
    std::optional<std::uint16_t> lengthField;
  };
  void SetVersionQuirks(const std::string& path, const VersionQuirks& quirks);
  // Sets the capture application's install directory as REG_SZ, stored
  // with its terminator.
  void SetInstallDir(const std::string& dir);
  // Adds an INI file (and its directories) with the given text.
  void SetIniText(const std::string& path, const std::string& text);
  // The text of an INI file, or nullopt when it does not exist.
  std::optional<std::string> IniText(const std::string& path) const;
  // Removes an INI file, as another program might.
  void RemoveIni(const std::string& path);
  // What a user can plant: a folder replaced by a link (a junction, or a
  // symbolic link) to another folder, whose paths then lead there; a second
  // name (hard link) for an existing file.
  void LinkFolder(const std::string& link, const std::string& target);
  void LinkFile(const std::string& existing, const std::string& alias);
  // Another volume mounted in a folder: where a path through it leads
  // cannot be checked against the path.
  void MountVolumeAt(const std::string& folder);
  // A user's handle on a file or a folder that shares nothing: every open
  // of it, or through it, that asks for data gets `answer` (kDenied models
  // a DACL that shuts the caller out instead). Opens for attributes alone
  // pass, as sharing checks only data access ("Creating and Opening
  // Files").
  void HoldShut(const std::string& path,
                OpenOutcome answer = OpenOutcome::kInUse);
  // A user's oplock on a file or folder: the next `opens` opens of it meet
  // the break in progress (STATUS_OPLOCK_BREAK_IN_PROGRESS: with
  // FILE_COMPLETE_IF_OPLOCKED, NtCreateFile returns at once, Microsoft's
  // "NtCreateFile" and "Oplock Semantics" pages); kEveryCall while the
  // holder never lets go. Opens for attributes alone break no oplock.
  void HoldOplock(const std::string& path, int opens);
  // How long the run paused, in all.
  unsigned long pausedMilliseconds = 0;
  // A user's rename of a folder or a file: what was under `from` is now
  // under `to`, and a handle opened on any of it follows, as Windows'
  // handles do.
  void Move(const std::string& from, const std::string& to);
  // Runs before every call of an operation, with the number of calls made
  // before it: where a test lets a user move things between any two calls.
  std::function<void(int call)> beforeCall;
  int TotalCalls() const { return totalCalls_; }
  // The run's private folder, where the copies handed to Windows' profile
  // and version functions lie.
  static constexpr const char* kPrivateFolder =
      "C:\\WINDOWS\\SystemTemp\\vrp-0123456789abcdef";
  // Whether the run's private folder exists now.
  bool HasPrivateFolder() const { return !privateFolder_.empty(); }
  // How the profile functions read a UTF-8 byte-order mark. Windows' read it
  // as text (widely reported, e.g. for Windows 10 21H1): a "[Special]" on the
  // first line is then no section, and a write appends a second one. Wine's
  // skip it.
  bool utf8BomSkipped = false;
  // The session this process runs in. Services, and so every deployment
  // engine, run in session 0.
  unsigned long sessionId = 1;
  static constexpr const char* kSystemSid = "S-1-5-18";
  static constexpr const char* kUserSid = "S-1-5-21-1-2-3-1001";
  // A named object that another process made and holds.
  struct HeldObject {
    std::string ownerSid = kAdministratorsSid;
    bool callerMayOpen = true;  // false: its DACL shuts this caller out
    bool isMutex = true;        // false: an event or the like of that name
  };
  // Another process of this session holds the named object ("Global\..."
  // for one of another session).
  void HoldMutexElsewhere(const std::string& name, const HeldObject& held);
  void HoldMutexElsewhere(const std::string& name);
  // The ANSI code page is UTF-8 (Windows' "Use Unicode UTF-8 for worldwide
  // language support"); else it is Latin-1.
  bool ansiIsUtf8 = false;
  // What this process writes to its standard streams: the streams are
  // consoles or not, and the console's output code page (0: no console).
  bool streamsAreConsoles = false;
  unsigned consoleOutputCodePage = 0;
  // The bytes written to each stream (StdStream order), and the text shown
  // on each console, as ANSI.
  std::string streamBytes[2];
  std::string consoleText[2];

  // Ways in which WriteIniString can report success and still not do what
  // it was asked, as Wine's does on a full disk.
  enum class WriteFault {
    kTruncates,          // the new text, cut off half way
    kDropsOtherSection,  // the key is set, another section is lost
    kLeavesKeyUnset,     // nothing changes; a missing file is made empty
    kAddsLine,           // the key is set, and another program adds a line
  };
  // Makes the WriteIniString call with the given 0-based index misbehave.
  void MisbehaveOnWrite(int call, WriteFault fault);

  // Makes the call of `op` with the given 0-based index fail, or every call
  // when index is kEveryCall.
  static constexpr int kEveryCall = -1;
  void FailCall(Op op, int index = kEveryCall);
  // Makes that call run out of memory (throw std::bad_alloc) instead.
  void RunOutOfMemoryOnCall(Op op, int index);
  int CallCount(Op op) const { return calls_[static_cast<int>(op)]; }

  // -- what happened -------------------------------------------------------
  std::vector<Message> messages;
  std::vector<std::string> debugOutput;
  // Every file rewritten through its handle with what the profile API made
  // of its copy, as "path|section|key=value", the path as it was opened.
  std::vector<std::string> iniWrites;
  int OpenHandleCount() const { return static_cast<int>(openHandles_.size()); }
  int LiveSidCount() const { return static_cast<int>(liveSids_.size()); }
  int LiveBlockCount() const { return static_cast<int>(liveBlocks_.size()); }
  bool IsOpenHandle(OsHandle handle) const {
    return openHandles_.count(handle) != 0;
  }
  // Handles, SIDs and blocks released that were not live: double frees.
  int badReleases = 0;

  // -- PlatformOps ---------------------------------------------------------
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

  ~FakePlatformOps() override;

 private:
  // Counts the call and says whether it is to fail.
  bool ShouldFail(Op op);
  OsHandle NewHandle();
  // The Windows directory always exists.
  bool DirectoryExists(const std::string& lowerPath) const;
  // A versioned file's bytes: a mark, GetVersionInfoSize's answer, and the
  // block, so that a copy of the bytes carries its version resource.
  void StoreVersionedFile(const std::string& lowerPath);
  // The block a file's bytes carry and the size asked for it; false for a
  // file without a version resource.
  static bool VersionBlockOf(const std::string& bytes, std::string* block,
                             unsigned long* reportedSize);
  // Whether `path` lies in the private folder: Windows' profile and version
  // functions are handed nothing else.
  bool IsPrivate(const std::string& path) const;
  // A path as the file system resolves it: lower case and, unless
  // withoutLinks, folder links followed.
  std::string Resolve(const std::string& path, bool withoutLinks = false) const;
  // Opens the folder at the lower-case path, refusing a link or a mount
  // point at any component after the first `checkedLength` characters.
  OpenOutcome OpenCanonicalFolder(const std::string& lower,
                                  std::size_t checkedLength,
                                  const std::string& spelled, OsHandle* folder);
  // What a user's handle or oplock on `lowerPath` answers an open that
  // asks for data; kOpened where nothing stands in its way.
  OpenOutcome UserHoldOn(const std::string& lowerPath);
  // The profile functions' reading of a file's text: its UTF-8 byte-order
  // mark moved to *bom where they skip it.
  std::string ProfileText(const std::string& text, std::string* bom) const;
  // A kernel object's name in the namespace it lands in.
  std::string ObjectName(const std::string& name) const;
  OsHandle CreateMutexOwnedBy(const char* name, const std::string& ownerSid,
                              unsigned long* lastError);

  int calls_[kOpCount] = {};
  std::map<int, std::set<int>> failures_;        // op -> call indexes (or -1)
  std::map<int, std::set<int>> outOfMemory_;     // op -> call indexes
  std::map<int, WriteFault> writeFaults_;        // WriteIniString call -> fault
  std::set<std::string> directories_;            // lower-case paths
  std::map<std::string, OpenOutcome> heldShut_;  // lower-case paths
  std::set<std::string> mountPoints_;            // lower-case paths
  std::map<std::string, int> oplocks_;  // lower-case path -> opens to break
  // Lower-case paths of folder links and what they lead to.
  std::map<std::string, std::string> folderLinks_;
  // A file's bytes, shared with every handle open on it and every second
  // name: a path can come to name another file while a handle still holds
  // the first.
  using FileText = std::shared_ptr<std::string>;
  std::map<std::string, FileText> files_;  // by lower-case path
  std::map<std::string, VersionResource> versionResources_;
  std::map<std::string, VersionQuirks> versionQuirks_;
  // Version values handed out by QueryVersionValue, each its own block.
  std::vector<std::shared_ptr<char[]>> handedOut_;
  // A folder (file null) or a file opened on its handle.
  struct Held {
    std::string path;     // lower case, where it is now
    std::string spelled;  // as it was opened
    FileText file;
    FileUse use = FileUse::kRead;
    bool deleteOnClose = false;
  };
  std::map<OsHandle, Held> heldFiles_;
  std::string privateFolder_;  // lower case; empty until made
  // The last edit of the profile API: "|section|key=value" and the text.
  std::string lastEdit_;
  std::string lastEditedText_;
  int totalCalls_ = 0;
  std::map<std::string, RegistryValue> registry_;  // lower-case "key\\name"
  struct NamedObject {
    HeldObject made;
    int holders = 0;
  };
  std::map<std::string, NamedObject> objects_;   // by ObjectName
  std::map<OsHandle, std::string> openHandles_;  // handle -> object or ""
  std::set<OsSid> liveSids_;
  std::set<void*> liveBlocks_;
  std::uintptr_t nextHandle_ = 0x100;
};

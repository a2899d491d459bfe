// A file in a folder a user may change, reached through handles alone: its
// folder opened from the volume's root following no link, the file opened
// relative to that folder's handle. The path string is used once, to open;
// from then on only the handles name what was checked, wherever a user
// moves, links or swaps anything there. Windows' own INI and version
// functions get a private copy of its bytes, never its path.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/PlatformOps.h"

// The largest INI file, and the largest program file, read whole; anything
// larger is none of the scanner software's, and is left alone.
constexpr std::size_t kMaxIniFileSize = std::size_t{16} << 20;
constexpr std::size_t kMaxProgramFileSize = std::size_t{128} << 20;

// The name of the private copy of an INI file that Windows' profile
// functions read and edit.
constexpr const char* kIniCopyName = "UnitPrefs.ini";

// Why a file that is there could not be examined: no reader may take such
// a file for missing, for holding a value, or for new enough.
enum class CheckFailure {
  kNone,
  kInUse,           // another program holds it, or a folder on its way,
                    // open without sharing (or its oplock was not let go)
  kDenied,          // access denied
  kLeadsElsewhere,  // behind a link
  kPathUnchecked,   // where its path leads cannot be checked
  kUnreadable,      // opened, but its bytes cannot be read whole
  kNoPrivateCopy,   // no private copy of it could be made
  kNotOpened,       // it could not be opened for another reason
};

// The failure an open that did not succeed stands for; kNone for kOpened
// and kMissing.
CheckFailure FailureOf(OpenOutcome outcome);

// How often, and how long apart, an open that met another program's oplock
// break is tried again: a few times, briefly, and never without bound.
constexpr int kOplockRetries = 3;
constexpr unsigned kOplockPauseMilliseconds = 100;

class OpenedFile {
 public:
  explicit OpenedFile(PlatformOps& ops) : ops_(ops) {}
  ~OpenedFile();
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;

  // Opens the file `path` names (its folder from the volume's root, then
  // the file in it) for `use`, trying again where another program's oplock
  // is being broken; one still breaking after that is kInUse. Anything but
  // kOpened leaves nothing open.
  OpenOutcome Open(const char* path, FileUse use);
  // The same for the file `name` in the folder `relativeFolder` names
  // below an opened folder (a profile's), each component relative to the
  // one before, following no link.
  OpenOutcome OpenBelow(OsHandle base, const std::string& relativeFolder,
                        const char* name, FileUse use);
  OsHandle handle() const { return file_; }
  // Whether opening it for kRewrite made it.
  bool created() const { return created_; }

  // Its bytes, at most maxSize of them; false when they cannot be read.
  bool Read(std::size_t maxSize, std::string* bytes) const;
  // Its bytes written as `copyName` into the run's private folder, whose
  // path is handed back; false when they cannot be read or copied.
  bool CopyToPrivate(const char* copyName, std::size_t maxSize,
                     std::string* copyPath) const;
  // Why the last Open, Read or CopyToPrivate did not succeed (kNone when it
  // did, or when Open found nothing there).
  CheckFailure failure() const { return failure_; }
  // Whether the last open got as far as the file's folder: one that did
  // not could not tell whether the file is there.
  bool reachedFolder() const { return reachedFolder_; }

 private:
  using FolderOpener = std::function<OpenOutcome(OsHandle* folder)>;
  void Close();
  OpenOutcome OpenTrying(const FolderOpener& openFolder, const char* name,
                         FileUse use);
  OpenOutcome OpenOnce(const FolderOpener& openFolder, const char* name,
                       FileUse use);

  PlatformOps& ops_;
  OsHandle folder_ = nullptr;
  OsHandle file_ = nullptr;
  bool created_ = false;
  mutable CheckFailure failure_ = CheckFailure::kNone;
  bool reachedFolder_ = false;
};

// Removes the run's private folder when it goes out of scope: every way out
// of a run, an exception's included, leaves no copy behind.
class PrivateFolderRemoval {
 public:
  explicit PrivateFolderRemoval(PlatformOps& ops) : ops_(ops) {}
  ~PrivateFolderRemoval() { ops_.RemovePrivateFolder(); }
  PrivateFolderRemoval(const PrivateFolderRemoval&) = delete;
  PrivateFolderRemoval& operator=(const PrivateFolderRemoval&) = delete;

 private:
  PlatformOps& ops_;
};

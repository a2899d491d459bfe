#include "platform/OpenedFile.h"

CheckFailure FailureOf(OpenOutcome outcome) {
  switch (outcome) {
    case OpenOutcome::kOpened:
    case OpenOutcome::kMissing:
      return CheckFailure::kNone;
    case OpenOutcome::kLeadsElsewhere:
      return CheckFailure::kLeadsElsewhere;
    case OpenOutcome::kCannotCheck:
      return CheckFailure::kPathUnchecked;
    case OpenOutcome::kInUse:
    case OpenOutcome::kOplockBreak:
      return CheckFailure::kInUse;
    case OpenOutcome::kDenied:
      return CheckFailure::kDenied;
    case OpenOutcome::kFailed:
      break;
  }
  return CheckFailure::kNotOpened;
}

OpenedFile::~OpenedFile() { Close(); }

void OpenedFile::Close() {
  if (file_ != nullptr) ops_.CloseOsHandle(file_);
  if (folder_ != nullptr) ops_.CloseOsHandle(folder_);
  file_ = nullptr;
  folder_ = nullptr;
  created_ = false;
}

OpenOutcome OpenedFile::Open(const char* path, FileUse use) {
  Close();
  failure_ = CheckFailure::kNotOpened;
  const std::string text = path;
  const std::size_t slash = text.find_last_of("\\/");
  if (slash == std::string::npos || slash + 1 == text.size()) {
    return OpenOutcome::kFailed;
  }
  // "C:\x.ini" lies in the root "C:\", not in "C:".
  const std::string folderPath =
      text.substr(0, slash > 0 && text[slash - 1] == ':' ? slash + 1 : slash);
  return OpenTrying(
      [&](OsHandle* folder) {
        return ops_.OpenFolder(folderPath.c_str(), folder);
      },
      text.c_str() + slash + 1, use);
}

OpenOutcome OpenedFile::OpenBelow(OsHandle base,
                                  const std::string& relativeFolder,
                                  const char* name, FileUse use) {
  Close();
  return OpenTrying(
      [&](OsHandle* folder) {
        return ops_.OpenFolderBelow(base, relativeFolder.c_str(), folder);
      },
      name, use);
}

OpenOutcome OpenedFile::OpenTrying(const FolderOpener& openFolder,
                                   const char* name, FileUse use) {
  OpenOutcome outcome = OpenOnce(openFolder, name, use);
  // An oplock break that is under way ends when its holder lets go, which
  // a program that is not playing games does within moments.
  for (int retry = 0;
       outcome == OpenOutcome::kOplockBreak && retry < kOplockRetries;
       ++retry) {
    ops_.Pause(kOplockPauseMilliseconds);
    outcome = OpenOnce(openFolder, name, use);
  }
  if (outcome == OpenOutcome::kOplockBreak) outcome = OpenOutcome::kInUse;
  failure_ = FailureOf(outcome);
  return outcome;
}

OpenOutcome OpenedFile::OpenOnce(const FolderOpener& openFolder,
                                 const char* name, FileUse use) {
  OpenOutcome outcome = openFolder(&folder_);
  reachedFolder_ = outcome == OpenOutcome::kOpened;
  if (!reachedFolder_) {
    folder_ = nullptr;
    return outcome;
  }
  int created = 0;
  outcome = ops_.OpenFileIn(folder_, name, use, &file_, &created);
  if (outcome != OpenOutcome::kOpened) {
    file_ = nullptr;
    Close();
    return outcome;
  }
  created_ = created != 0;
  return outcome;
}

bool OpenedFile::Read(std::size_t maxSize, std::string* bytes) const {
  const bool read =
      file_ != nullptr && ops_.ReadOpenedFile(file_, maxSize, bytes);
  failure_ = read ? CheckFailure::kNone : CheckFailure::kUnreadable;
  return read;
}

bool OpenedFile::CopyToPrivate(const char* copyName, std::size_t maxSize,
                               std::string* copyPath) const {
  std::string bytes;
  if (!Read(maxSize, &bytes)) return false;
  if (!ops_.WritePrivateCopy(copyName, bytes, copyPath)) {
    failure_ = CheckFailure::kNoPrivateCopy;
    return false;
  }
  return true;
}

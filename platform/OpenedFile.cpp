#include "platform/OpenedFile.h"

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
  const std::string text = path;
  const std::size_t slash = text.find_last_of("\\/");
  if (slash == std::string::npos || slash + 1 == text.size()) {
    return OpenOutcome::kFailed;
  }
  // "C:\x.ini" lies in the root "C:\", not in "C:".
  const std::string folderPath =
      text.substr(0, slash > 0 && text[slash - 1] == ':' ? slash + 1 : slash);
  OpenOutcome outcome = ops_.OpenFolder(folderPath.c_str(), &folder_);
  if (outcome != OpenOutcome::kOpened) {
    folder_ = nullptr;
    return outcome;
  }
  int created = 0;
  outcome =
      ops_.OpenFileIn(folder_, text.c_str() + slash + 1, use, &file_, &created);
  if (outcome != OpenOutcome::kOpened) {
    file_ = nullptr;
    Close();
    return outcome;
  }
  created_ = created != 0;
  return outcome;
}

bool OpenedFile::Read(std::size_t maxSize, std::string* bytes) const {
  return file_ != nullptr && ops_.ReadOpenedFile(file_, maxSize, bytes);
}

bool OpenedFile::CopyToPrivate(const char* copyName, std::size_t maxSize,
                               std::string* copyPath) const {
  std::string bytes;
  return Read(maxSize, &bytes) &&
         ops_.WritePrivateCopy(copyName, bytes, copyPath);
}

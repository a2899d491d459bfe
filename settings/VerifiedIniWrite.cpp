#include "settings/VerifiedIniWrite.h"

#include <new>
#include <string>

#include "settings/IniView.h"

namespace {

// A handle of ours, closed when it goes out of scope.
class OwnedHandle {
 public:
  OwnedHandle(PlatformOps& ops, OsHandle handle) : ops_(ops), handle_(handle) {}
  ~OwnedHandle() {
    if (handle_ != nullptr) ops_.CloseOsHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  OsHandle get() const { return handle_; }

 private:
  PlatformOps& ops_;
  OsHandle handle_;
};

// The held file reopened for `access`; null when that failed. Closed when
// it goes out of scope: never held across a profile call.
OwnedHandle Reopen(PlatformOps& ops, OsHandle file, FileAccess access) {
  OsHandle reopened = nullptr;
  return {ops,
          ops.ReopenHeldFile(file, access, &reopened) ? reopened : nullptr};
}

bool ReadBytes(PlatformOps& ops, OsHandle file, std::string* bytes) {
  const OwnedHandle reading = Reopen(ops, file, FileAccess::kRead);
  return reading.get() != nullptr && ops.ReadHeldFile(reading.get(), bytes);
}

// The folder a path's file lies in: "C:\a" for "C:\a\\b.ini", "C:\" for
// "C:\b.ini"; empty for a path without a folder.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return {};
  const std::size_t end = path.find_last_not_of('\\', slash);
  if (end == std::string::npos) return {};
  std::string folder = path.substr(0, end + 1);
  if (folder.back() == ':') folder += '\\';
  return folder;
}

// The file held by its identity from before the write until it is checked.
class HeldFile {
 public:
  HeldFile(PlatformOps& ops, OsHandle handle, bool created)
      : ops_(ops), handle_(ops, handle), created_(created) {}

  OsHandle get() const { return handle_.get(); }

  // Puts the file back as `before` has it (removes it, if this write made
  // it), through handles reopened from the held one, once the path is seen
  // to name it still, and reads it back. kUndone or kNotRestored.
  IniWriteResult PutBack(const char* path, const std::string& before) {
    if (!ops_.PathNamesHeldFile(path, get())) {
      return IniWriteResult::kNotRestored;
    }
    if (created_) {
      const OwnedHandle deleting = Reopen(ops_, get(), FileAccess::kDelete);
      return deleting.get() != nullptr && ops_.DeleteHeldFile(deleting.get())
                 ? IniWriteResult::kUndone
                 : IniWriteResult::kNotRestored;
    }
    std::string now;
    if (ReadBytes(ops_, get(), &now) && now == before) {
      return IniWriteResult::kUndone;
    }
    {
      const OwnedHandle writing = Reopen(ops_, get(), FileAccess::kWrite);
      if (writing.get() == nullptr ||
          !ops_.RewriteHeldFile(writing.get(), before)) {
        return IniWriteResult::kNotRestored;
      }
    }
    return ReadBytes(ops_, get(), &now) && now == before
               ? IniWriteResult::kUndone
               : IniWriteResult::kNotRestored;
  }

  // Nothing was written: only a file made just now is to go again.
  IniWriteResult LeaveAlone(const char* path, IniWriteResult result) {
    if (!created_) return result;
    return PutBack(path, {}) == IniWriteResult::kUndone
               ? result
               : IniWriteResult::kNotRestored;
  }

 private:
  PlatformOps& ops_;
  OwnedHandle handle_;
  bool created_;
};

// The file as the write should leave it, under either reading of a UTF-8
// byte-order mark: Wine's profile API skips it, Windows' reads it as text
// and so adds a second [Special] where the first line names one. For a file
// without one, both are the same.
struct ExpectedViews {
  IniView bomSkipped;
  IniView bomText;
};

bool WrittenAsExpected(const ExpectedViews& expected, const std::string& after,
                       const char* key) {
  return SameIniView(expected.bomSkipped, ParseIni(after, Utf8Bom::kSkipped),
                     key) ||
         SameIniView(expected.bomText, ParseIni(after, Utf8Bom::kText), key);
}

}  // namespace

IniWriteResult WriteIniValueVerified(PlatformOps& ops, const char* path,
                                     const char* section, const char* key,
                                     const char* value) {
  // Every step allocates; running out of memory before the write writes
  // nothing, and after it is a write left unchecked: not restored.
  std::string folderPath;
  try {
    folderPath = FolderOf(path);
  } catch (const std::bad_alloc&) {
    return IniWriteResult::kUndone;
  }
  OsHandle folderHandle = nullptr;
  if (folderPath.empty() ||
      !ops.HoldFolder(folderPath.c_str(), &folderHandle)) {
    return IniWriteResult::kUndone;
  }
  const OwnedHandle folder(ops, folderHandle);
  if (!ops.HandleIsAtPath(folder.get(), folderPath.c_str())) {
    return IniWriteResult::kRefused;
  }
  OsHandle fileHandle = nullptr;
  int created = 0;
  if (!ops.OpenHeldFile(path, &fileHandle, &created)) {
    return IniWriteResult::kUndone;
  }
  HeldFile file(ops, fileHandle, created != 0);
  if (!ops.HandleIsAtPath(file.get(), path) || ops.LinkCount(file.get()) != 1) {
    return file.LeaveAlone(path, IniWriteResult::kRefused);
  }
  std::string before;
  ExpectedViews expected;
  try {
    if (!ReadBytes(ops, file.get(), &before)) {
      return file.LeaveAlone(path, IniWriteResult::kUndone);
    }
    expected = {
        WithValueSet(ParseIni(before, Utf8Bom::kSkipped), section, key, value),
        WithValueSet(ParseIni(before, Utf8Bom::kText), section, key, value)};
  } catch (const std::bad_alloc&) {
    return file.LeaveAlone(path, IniWriteResult::kUndone);
  }
  const int called = ops.WriteIniString(section, key, value, path);
  try {
    std::string after;
    std::string readBack;
    if (called && ops.PathNamesHeldFile(path, file.get()) &&
        ReadBytes(ops, file.get(), &after) &&
        WrittenAsExpected(expected, after, key) &&
        ops.ReadIniString(section, key, path, &readBack) && readBack == value) {
      return IniWriteResult::kWritten;
    }
    return file.PutBack(path, before);
  } catch (const std::bad_alloc&) {
    return IniWriteResult::kNotRestored;
  }
}

#include "settings/VerifiedIniWrite.h"

#include <new>
#include <string>

#include "settings/IniView.h"

namespace {

// The file held open for the whole checked write, closed when it ends.
class HeldFile {
 public:
  HeldFile(PlatformOps& ops, OsHandle handle, bool created)
      : ops_(ops), handle_(handle), created_(created) {}
  ~HeldFile() { ops_.CloseOsHandle(handle_); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // Puts the file back as `before` has it (removes it, if this write made
  // it), through the handle, once the path is seen to name it still.
  IniWriteResult PutBack(const char* path, const std::string& before) {
    if (!ops_.PathNamesHeldFile(path, handle_)) {
      return IniWriteResult::kNotRestored;
    }
    if (created_) {
      return ops_.DeleteHeldFile(handle_) ? IniWriteResult::kUndone
                                          : IniWriteResult::kNotRestored;
    }
    std::string now;
    if (ops_.ReadHeldFile(handle_, &now) && now == before) {
      return IniWriteResult::kUndone;
    }
    return ops_.RewriteHeldFile(handle_, before) &&
                   ops_.ReadHeldFile(handle_, &now) && now == before
               ? IniWriteResult::kUndone
               : IniWriteResult::kNotRestored;
  }

 private:
  PlatformOps& ops_;
  OsHandle handle_;
  bool created_;
};

}  // namespace

IniWriteResult WriteIniValueVerified(PlatformOps& ops, const char* path,
                                     const char* section, const char* key,
                                     const char* value) {
  OsHandle handle = nullptr;
  int created = 0;
  if (!ops.OpenHeldFile(path, &handle, &created)) {
    return IniWriteResult::kUndone;
  }
  HeldFile file(ops, handle, created != 0);
  // Every step allocates; running out of memory before the write writes
  // nothing, and after it is a write left unchecked: not restored.
  std::string before;
  IniView expected;
  try {
    // Nothing was written yet: only a file made just now is to go again.
    if (!ops.ReadHeldFile(handle, &before)) {
      return created ? file.PutBack(path, {}) : IniWriteResult::kUndone;
    }
    expected = WithValueSet(ParseIni(before), section, key, value);
  } catch (const std::bad_alloc&) {
    return created ? file.PutBack(path, {}) : IniWriteResult::kUndone;
  }
  const int called = ops.WriteIniString(section, key, value, path);
  try {
    std::string after;
    std::string readBack;
    if (called && ops.ReadHeldFile(handle, &after) &&
        SameIniView(expected, ParseIni(after), key) &&
        ops.ReadIniString(section, key, path, &readBack) && readBack == value) {
      return IniWriteResult::kWritten;
    }
    return file.PutBack(path, before);
  } catch (const std::bad_alloc&) {
    return IniWriteResult::kNotRestored;
  }
}

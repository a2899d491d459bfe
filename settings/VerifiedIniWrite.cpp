#include "settings/VerifiedIniWrite.h"

#include <new>
#include <string>

#include "platform/OpenedFile.h"
#include "settings/IniView.h"

namespace {

// The copy the profile API edits, and a file that shows how it reads a
// UTF-8 byte-order mark.
constexpr const char* kBomSampleName = "BomSample.ini";

bool StartsWithUtf8Bom(const std::string& bytes) {
  return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
}

// How this system's profile API reads a UTF-8 byte-order mark: Wine's skips
// it, Windows' reads it as text (so a "[Special]" on the first line names
// no section). A sample in the private folder tells. False when it cannot.
bool ProfileBomRule(PlatformOps& ops, Utf8Bom* rule) {
  std::string sample;
  if (!ops.WritePrivateCopy(kBomSampleName, "\xEF\xBB\xBF[S]\r\nk=1\r\n",
                            &sample)) {
    return false;
  }
  *rule = ops.ReadIniInt("S", "k", sample.c_str()) == 1 ? Utf8Bom::kSkipped
                                                        : Utf8Bom::kText;
  return true;
}

// The file's bytes put back as `before` has them (removed, if this write
// made it), through its handle, and read back. kUndone or kNotRestored.
IniWriteResult PutBack(PlatformOps& ops, const OpenedFile& file,
                       const std::string& before) {
  if (file.created()) {
    return ops.DeleteOpenedFile(file.handle()) ? IniWriteResult::kUndone
                                               : IniWriteResult::kNotRestored;
  }
  std::string now;
  if (file.Read(kMaxIniFileSize, &now) && now == before) {
    return IniWriteResult::kUndone;
  }
  return ops.RewriteOpenedFile(file.handle(), before) &&
                 file.Read(kMaxIniFileSize, &now) && now == before
             ? IniWriteResult::kUndone
             : IniWriteResult::kNotRestored;
}

// Nothing was written: only a file made just now is to go again.
IniWriteResult LeaveAlone(PlatformOps& ops, const OpenedFile& file) {
  if (!file.created() || ops.DeleteOpenedFile(file.handle())) {
    return IniWriteResult::kUndone;
  }
  return IniWriteResult::kNotRestored;
}

// The private copy edited by the profile API and checked: its bytes in
// *edited. False when the edit is not exactly the key set to `value`.
bool EditedCopy(PlatformOps& ops, const std::string& before,
                const char* section, const char* key, const char* value,
                std::string* edited) {
  Utf8Bom rule = Utf8Bom::kSkipped;
  std::string copy;
  std::string readBack;
  if ((StartsWithUtf8Bom(before) && !ProfileBomRule(ops, &rule)) ||
      !ops.WritePrivateCopy(kIniCopyName, before, &copy)) {
    return false;
  }
  const IniView expected =
      WithValueSet(ParseIni(before, rule), section, key, value);
  return ops.WriteIniString(section, key, value, copy.c_str()) &&
         ops.ReadPrivateCopy(copy, edited) &&
         SameIniView(expected, ParseIni(*edited, rule), key) &&
         ops.ReadIniString(section, key, copy.c_str(), &readBack) &&
         readBack == value;
}

}  // namespace

IniWriteResult WriteIniValueVerified(PlatformOps& ops, const char* path,
                                     const char* section, const char* key,
                                     const char* value,
                                     CheckFailure* notOpened) {
  OpenedFile file(ops);
  const OpenOutcome opened = file.Open(path, FileUse::kRewrite);
  return WriteOpenedIniValue(ops, file, opened, section, key, value, notOpened);
}

IniWriteResult WriteOpenedIniValue(PlatformOps& ops, const OpenedFile& file,
                                   OpenOutcome opened, const char* section,
                                   const char* key, const char* value,
                                   CheckFailure* notOpened) {
  const auto leftAlone = [&](IniWriteResult result) {
    if (notOpened != nullptr) *notOpened = file.failure();
    return result;
  };
  switch (opened) {
    case OpenOutcome::kOpened:
      break;
    case OpenOutcome::kLeadsElsewhere:
      return IniWriteResult::kRefused;
    case OpenOutcome::kCannotCheck:
      return IniWriteResult::kCannotCheck;
    case OpenOutcome::kMissing:
    case OpenOutcome::kInUse:
    case OpenOutcome::kDenied:
    case OpenOutcome::kOplockBreak:
    case OpenOutcome::kFailed:
      return leftAlone(IniWriteResult::kUndone);
  }
  // Every step allocates: running out of memory before the file is
  // rewritten leaves it alone, and after it is a write left unchecked.
  std::string before;
  std::string edited;
  try {
    if (!file.Read(kMaxIniFileSize, &before)) {
      return leftAlone(LeaveAlone(ops, file));
    }
    if (!EditedCopy(ops, before, section, key, value, &edited)) {
      return LeaveAlone(ops, file);
    }
  } catch (const std::bad_alloc&) {
    return LeaveAlone(ops, file);
  }
  try {
    std::string written;
    if (ops.RewriteOpenedFile(file.handle(), edited) &&
        file.Read(kMaxIniFileSize, &written) && written == edited) {
      return IniWriteResult::kWritten;
    }
    return PutBack(ops, file, before);
  } catch (const std::bad_alloc&) {
    return IniWriteResult::kNotRestored;
  }
}

#include "tests/fake/FakePlatformOps.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>

#include "detect/Detectors.h"
#include "tests/fake/FakeIni.h"

namespace {

// Windows paths and names are compared without regard to case, and the file
// system takes '/' for '\\' and a doubled separator as one.
std::string Lower(const std::string& text) {
  std::string lower;
  for (char c : text) {
    if (c == '/') c = '\\';
    if (c == '\\' && !lower.empty() && lower.back() == '\\') continue;
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower;
}

// What a versioned file's bytes start with.
constexpr char kVersionedMark[] = "MZ fake version resource";

// `path` with the prefix `from` (a whole path component) replaced by `to`;
// unchanged where it does not start with it.
std::string Replaced(const std::string& path, const std::string& from,
                     const std::string& to) {
  if (path.compare(0, from.size(), from) != 0 ||
      (path.size() > from.size() && path[from.size()] != '\\')) {
    return path;
  }
  return to + path.substr(from.size());
}

constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";

std::string ParentOf(const std::string& path) {
  const auto slash = path.find_last_of('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

void PutU32(std::string& out, std::uint32_t value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

std::uint32_t GetU32(const char*& cursor) {
  std::uint32_t value;
  std::memcpy(&value, cursor, sizeof value);
  cursor += sizeof value;
  return value;
}

}  // namespace

const char* FakePlatformOps::NameOf(Op op) {
  static const char* const kNames[kOpCount] = {
      "GetWindowsDir",      "OpenFolder",         "ReadRegistryValue",
      "GetVersionInfoSize", "GetVersionInfo",     "QueryVersionValue",
      "ReadIniInt",         "WriteIniString",     "CreateNamedMutex",
      "OpenProcessToken",   "GetTokenGroups",     "AllocateAdministratorsSid",
      "EqualSids",          "AllocateZeroed",     "ExpandEnvironment",
      "ReadIniString",      "OpenFileIn",         "ReadOpenedFile",
      "RewriteOpenedFile",  "DeleteOpenedFile",   "IsProgramRunning",
      "ListUserProfiles",   "AppendToOpenedFile", "CreateAdminOnlyMutex",
      "WritePrivateCopy",   "ReadPrivateCopy",
  };
  return kNames[static_cast<int>(op)];
}

FakePlatformOps::~FakePlatformOps() {
  for (OsSid sid : liveSids_) delete[] static_cast<char*>(sid);
  for (void* block : liveBlocks_) std::free(block);
}

void FakePlatformOps::AddDirectory(const std::string& path) {
  for (std::string dir = path; !dir.empty(); dir = ParentOf(dir)) {
    directories_.insert(Lower(dir));
  }
}

void FakePlatformOps::AddFile(const std::string& path) {
  SetIniText(path, "MZ");
}

void FakePlatformOps::AddVersionedFile(const std::string& path,
                                       const VersionResource& resource) {
  versionResources_[Lower(path)] = resource;
  SetIniText(path, "");
  StoreVersionedFile(Lower(path));
}

void FakePlatformOps::AddFileWithVersion(const std::string& path,
                                         const std::string& fileVersion) {
  const char translation[4] = {0x09, 0x04, static_cast<char>(0xB0), 0x04};
  AddVersionedFile(
      path,
      {{"\\VarFileInfo\\Translation", {std::string(translation, 4), 4}},
       {"\\StringFileInfo\\040904B0\\FileVersion",
        {fileVersion + '\0', static_cast<unsigned>(fileVersion.size() + 1)}}});
}

void FakePlatformOps::SetRegistryValue(const std::string& keyPath,
                                       const std::string& name,
                                       const RegistryValue& value) {
  registry_[Lower(keyPath + "\\" + name)] = value;
}

void FakePlatformOps::SetInstallDir(const std::string& dir) {
  SetRegistryValue(kCaptureAppKey, kCaptureAppValue,
                   {reg_type::kString, dir + '\0'});
}

void FakePlatformOps::SetIniText(const std::string& path,
                                 const std::string& text) {
  AddDirectory(ParentOf(path));
  // Written in place, as another program writes: a handle held on the
  // file sees the new text.
  FileText& stored = files_[Lower(path)];
  if (stored == nullptr) stored = std::make_shared<std::string>();
  *stored = text;
}

std::optional<std::string> FakePlatformOps::IniText(
    const std::string& path) const {
  auto it = files_.find(Lower(path));
  if (it == files_.end()) return std::nullopt;
  return *it->second;
}

void FakePlatformOps::RemoveIni(const std::string& path) {
  files_.erase(Lower(path));
}

void FakePlatformOps::LinkFolder(const std::string& link,
                                 const std::string& target) {
  AddDirectory(target);
  AddDirectory(ParentOf(link));
  folderLinks_[Lower(link)] = Lower(target);
}

void FakePlatformOps::LinkFile(const std::string& existing,
                               const std::string& alias) {
  AddDirectory(ParentOf(alias));
  files_[Lower(alias)] = files_.at(Lower(existing));
}

void FakePlatformOps::Move(const std::string& from, const std::string& to) {
  const std::string source = Lower(from);
  const std::string target = Lower(to);
  AddDirectory(ParentOf(to));
  std::map<std::string, FileText> files;
  for (auto& [path, text] : files_) {
    files.emplace(Replaced(path, source, target), std::move(text));
  }
  files_ = std::move(files);
  std::set<std::string> directories;
  for (const std::string& dir : directories_) {
    directories.insert(Replaced(dir, source, target));
  }
  directories_ = std::move(directories);
  for (auto& [handle, held] : heldFiles_) {
    held.path = Replaced(held.path, source, target);
  }
}

std::string FakePlatformOps::Resolve(const std::string& path,
                                     bool withoutLinks) const {
  std::string resolved = Lower(path);
  while (resolved.size() > 3 && resolved.back() == '\\') resolved.pop_back();
  if (withoutLinks) return resolved;
  for (const auto& [from, to] : folderLinks_) {
    resolved = Replaced(resolved, from, to);
  }
  return resolved;
}

std::string FakePlatformOps::ProfileText(const std::string& text,
                                         std::string* bom) const {
  bom->clear();
  if (!utf8BomSkipped || text.compare(0, 3, kUtf8Bom) != 0) return text;
  *bom = kUtf8Bom;
  return text.substr(3);
}

bool FakePlatformOps::IsPrivate(const std::string& path) const {
  const std::string folder = Lower(kPrivateFolder) + "\\";
  return Lower(path).compare(0, folder.size(), folder) == 0;
}

void FakePlatformOps::HoldMutexElsewhere(const std::string& name,
                                         const HeldObject& held) {
  NamedObject& object = objects_[ObjectName(name)];
  object.made = held;
  ++object.holders;
}

void FakePlatformOps::HoldMutexElsewhere(const std::string& name) {
  HoldMutexElsewhere(name, HeldObject());
}

// Microsoft's "Kernel object namespaces": Global\ names the global
// namespace, Local\ or no prefix the session's own; in session 0, where
// services run, the session's namespace is the global one.
std::string FakePlatformOps::ObjectName(const std::string& name) const {
  std::string lower = Lower(name);
  if (lower.rfind("global\\", 0) == 0) return lower;
  if (lower.rfind("local\\", 0) == 0) lower = lower.substr(6);
  return (sessionId == 0 ? std::string("global")
                         : "session" + std::to_string(sessionId)) +
         "\\" + lower;
}

void FakePlatformOps::FailCall(Op op, int index) {
  failures_[static_cast<int>(op)].insert(index);
}

void FakePlatformOps::RunOutOfMemoryOnCall(Op op, int index) {
  outOfMemory_[static_cast<int>(op)].insert(index);
}

bool FakePlatformOps::ShouldFail(Op op) {
  if (beforeCall) beforeCall(totalCalls_);
  ++totalCalls_;
  const int index = calls_[static_cast<int>(op)]++;
  if (outOfMemory_[static_cast<int>(op)].count(index) != 0) {
    throw std::bad_alloc();
  }
  auto it = failures_.find(static_cast<int>(op));
  return it != failures_.end() &&
         (it->second.count(index) != 0 || it->second.count(kEveryCall) != 0);
}

bool FakePlatformOps::DirectoryExists(const std::string& lowerPath) const {
  return directories_.count(lowerPath) != 0 || lowerPath == Lower(windowsDir);
}

OsHandle FakePlatformOps::NewHandle() {
  return reinterpret_cast<OsHandle>(nextHandle_++);
}

unsigned FakePlatformOps::GetWindowsDir(char* buffer, unsigned size) {
  // A failure leaves a plausible directory in the buffer: Windows promises
  // nothing about it, so only the result may tell the caller.
  if (ShouldFail(Op::GetWindowsDir)) {
    if (windowsDir.size() < size) {
      std::memcpy(buffer, windowsDir.c_str(), windowsDir.size() + 1);
    }
    return 0;
  }
  const unsigned length = static_cast<unsigned>(windowsDir.size());
  if (length + 1 > size) return length + 1;
  std::memcpy(buffer, windowsDir.c_str(), length + 1);
  return length;
}

long FakePlatformOps::ReadRegistryValue(const char* keyPath,
                                        const char* valueName,
                                        unsigned char* buffer,
                                        unsigned long* size,
                                        unsigned long* type) {
  constexpr long kAccessDenied = 5;
  if (ShouldFail(Op::ReadRegistryValue)) return kAccessDenied;
  auto it = registry_.find(Lower(std::string(keyPath) + "\\" + valueName));
  if (it == registry_.end()) return static_cast<long>(os_error::kFileNotFound);
  const RegistryValue& value = it->second;
  *type = value.type;
  const unsigned long available = *size;
  *size = static_cast<unsigned long>(value.bytes.size());
  if (value.bytes.size() > available) {
    return static_cast<long>(os_error::kMoreData);
  }
  std::memcpy(buffer, value.bytes.data(), value.bytes.size());
  return static_cast<long>(os_error::kSuccess);
}

// %NAME% is replaced by the variable's value; an unknown name, or a lone
// '%', stays as it is, as Windows leaves it.
unsigned long FakePlatformOps::ExpandEnvironment(const char* text, char* buffer,
                                                 unsigned long size) {
  if (ShouldFail(Op::ExpandEnvironment)) return 0;
  std::string expanded;
  for (const char* cursor = text; *cursor != '\0';) {
    const char* close = *cursor == '%' ? std::strchr(cursor + 1, '%') : nullptr;
    std::string name = close ? std::string(cursor + 1, close) : "";
    for (char& c : name) c = static_cast<char>(std::toupper(c));
    auto variable = environment.find(name);
    if (close != nullptr && variable != environment.end()) {
      expanded += variable->second;
      cursor = close + 1;
    } else {
      expanded += *cursor++;
    }
  }
  const unsigned long needed = static_cast<unsigned long>(expanded.size() + 1);
  if (needed <= size) std::memcpy(buffer, expanded.c_str(), needed);
  return needed;
}

void FakePlatformOps::SetVersionQuirks(const std::string& path,
                                       const VersionQuirks& quirks) {
  versionQuirks_[Lower(path)] = quirks;
  StoreVersionedFile(Lower(path));
}

// The block is a 16-bit length, as a real one starts, then the resource's
// values one after another: [count] then per value [name length][name]
// [reported length][size][bytes]. The file's bytes are the mark, the size
// GetVersionInfoSize answers, and the block.
void FakePlatformOps::StoreVersionedFile(const std::string& lowerPath) {
  const VersionResource& resource = versionResources_.at(lowerPath);
  std::string block(2, '\0');
  PutU32(block, static_cast<std::uint32_t>(resource.size()));
  for (const auto& [name, value] : resource) {
    PutU32(block, static_cast<std::uint32_t>(name.size()));
    block += name;
    PutU32(block, value.reportedLength);
    PutU32(block, static_cast<std::uint32_t>(value.bytes.size()));
    block += value.bytes;
  }
  auto quirks = versionQuirks_.find(lowerPath);
  const std::uint16_t length =
      quirks != versionQuirks_.end() && quirks->second.lengthField
          ? *quirks->second.lengthField
          : static_cast<std::uint16_t>(block.size());
  std::memcpy(&block[0], &length, sizeof length);
  std::string bytes = kVersionedMark;
  PutU32(bytes, static_cast<std::uint32_t>(quirks != versionQuirks_.end() &&
                                                   quirks->second.reportedSize
                                               ? *quirks->second.reportedSize
                                               : block.size()));
  *files_.at(lowerPath) = bytes + block;
}

bool FakePlatformOps::VersionBlockOf(const std::string& bytes,
                                     std::string* block,
                                     unsigned long* reportedSize) {
  const std::size_t mark = sizeof kVersionedMark - 1;
  if (bytes.compare(0, mark, kVersionedMark) != 0) return false;
  const char* cursor = bytes.data() + mark;
  *reportedSize = GetU32(cursor);
  *block = bytes.substr(mark + sizeof(std::uint32_t));
  return true;
}

unsigned long FakePlatformOps::GetVersionInfoSize(const char* path) {
  if (ShouldFail(Op::GetVersionInfoSize) || !IsPrivate(path)) return 0;
  auto it = files_.find(Lower(path));
  std::string block;
  unsigned long reportedSize = 0;
  if (it == files_.end() ||
      !VersionBlockOf(*it->second, &block, &reportedSize)) {
    return 0;
  }
  return reportedSize;
}

int FakePlatformOps::GetVersionInfo(const char* path, unsigned long size,
                                    void* block) {
  if (ShouldFail(Op::GetVersionInfo) || !IsPrivate(path)) return 0;
  auto it = files_.find(Lower(path));
  std::string serialized;
  unsigned long reportedSize = 0;
  if (it == files_.end() ||
      !VersionBlockOf(*it->second, &serialized, &reportedSize) ||
      serialized.size() > size) {
    return 0;
  }
  std::memcpy(block, serialized.data(), serialized.size());
  return 1;
}

int FakePlatformOps::QueryVersionValue(const void* block, const char* subBlock,
                                       const void** data, unsigned* length) {
  if (ShouldFail(Op::QueryVersionValue)) return 0;
  const char* cursor = static_cast<const char*>(block) + 2;
  const std::uint32_t count = GetU32(cursor);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t nameLength = GetU32(cursor);
    const std::string name(cursor, nameLength);
    cursor += nameLength;
    const std::uint32_t reported = GetU32(cursor);
    const std::uint32_t byteCount = GetU32(cursor);
    if (Lower(name) == Lower(subBlock)) {
      // A copy of exactly the value's bytes, so that AddressSanitizer sees
      // any read past them.
      handedOut_.emplace_back(new char[byteCount]);
      std::memcpy(handedOut_.back().get(), cursor, byteCount);
      *data = handedOut_.back().get();
      *length = reported;
      return 1;
    }
    cursor += byteCount;
  }
  return 0;
}

int FakePlatformOps::ReadIniInt(const char* section, const char* key,
                                const char* path) {
  if (ShouldFail(Op::ReadIniInt) || !IsPrivate(path)) return 0;
  auto it = files_.find(Lower(path));
  if (it == files_.end()) return 0;
  std::string bom;
  auto value = FindIniValue(ProfileText(*it->second, &bom), section, key);
  return value ? IniValueAsInt(*value) : 0;
}

void FakePlatformOps::MisbehaveOnWrite(int call, WriteFault fault) {
  writeFaults_[call] = fault;
}

namespace {

// The text without its first section other than `keep`.
std::string WithoutOtherSection(const std::string& text,
                                const std::string& keep) {
  for (const std::string& name : IniSectionNames(text)) {
    if (Lower(name) == Lower(keep)) continue;
    const auto start = text.find("[" + name + "]");
    const auto next = text.find('[', start + 1);
    return text.substr(0, start) +
           (next == std::string::npos ? "" : text.substr(next));
  }
  return text;
}

}  // namespace

int FakePlatformOps::WriteIniString(const char* section, const char* key,
                                    const char* value, const char* path) {
  const int call = CallCount(Op::WriteIniString);
  if (ShouldFail(Op::WriteIniString) || !IsPrivate(path) ||
      !DirectoryExists(ParentOf(Lower(path)))) {
    return 0;
  }
  FileText& stored = files_[Lower(path)];
  if (stored == nullptr) stored = std::make_shared<std::string>();
  std::string& text = *stored;
  std::string bom;
  const std::string read = ProfileText(text, &bom);
  const std::string written = bom + SetIniValue(read, section, key, value);
  if (auto fault = writeFaults_.find(call); fault != writeFaults_.end()) {
    switch (fault->second) {
      case WriteFault::kTruncates:
        text = written.substr(0, written.size() / 2);
        break;
      case WriteFault::kDropsOtherSection:
        text = WithoutOtherSection(written, section);
        break;
      case WriteFault::kLeavesKeyUnset:
        break;
      case WriteFault::kAddsLine:
        text = SetIniValue(written, section, "AddedByAnother", "1");
        break;
    }
    return 1;
  }
  text = written;
  lastEdit_ = std::string("|") + section + "|" + key + "=" + value;
  lastEditedText_ = written;
  return 1;
}

int FakePlatformOps::ReadIniString(const char* section, const char* key,
                                   const char* path, std::string* value) {
  value->clear();
  if (ShouldFail(Op::ReadIniString) || !IsPrivate(path)) return 0;
  auto it = files_.find(Lower(path));
  if (it == files_.end()) return 1;
  std::string bom;
  *value =
      FindIniValue(ProfileText(*it->second, &bom), section, key).value_or("");
  return 1;
}

// A use that shares reading alone: one writer at a time.
static bool IsWriter(FileUse use) {
  return use == FileUse::kRewrite || use == FileUse::kUpdate;
}

OpenOutcome FakePlatformOps::OpenFolder(const char* path, OsHandle* folder) {
  if (ShouldFail(Op::OpenFolder)) return OpenOutcome::kFailed;
  // "C:" names the current folder of drive C, no folder from a root.
  if (Lower(path).size() == 2 && path[1] == ':') return OpenOutcome::kFailed;
  // "." and ".." are resolved in the text, as GetFullPathName does.
  std::string lower;
  const std::string given = Resolve(path, true) + "\\";
  for (std::size_t start = 0, end;
       (end = given.find('\\', start)) != std::string::npos; start = end + 1) {
    const std::string part = given.substr(start, end - start);
    if (part == "..") {
      lower = ParentOf(lower);
    } else if (part != "." && !part.empty()) {
      lower += (lower.empty() ? "" : "\\") + part;
    }
  }
  std::string spelled = path;
  while (spelled.size() > 3 &&
         (spelled.back() == '\\' || spelled.back() == '/')) {
    spelled.pop_back();
  }
  return OpenCanonicalFolder(lower, 0, spelled, folder);
}

OpenOutcome FakePlatformOps::OpenCanonicalFolder(const std::string& lower,
                                                 std::size_t checkedLength,
                                                 const std::string& spelled,
                                                 OsHandle* folder) {
  // Each component on its own: a link anywhere on the way is refused, not
  // followed.
  for (std::size_t end = lower.find('\\', checkedLength);;
       end = lower.find('\\', end + 1)) {
    if (folderLinks_.count(lower.substr(0, end)) != 0) {
      return OpenOutcome::kLeadsElsewhere;
    }
    if (mountPoints_.count(lower.substr(0, end)) != 0) {
      return OpenOutcome::kCannotCheck;
    }
    if (end == std::string::npos) break;
  }
  if (!DirectoryExists(lower)) return OpenOutcome::kMissing;
  *folder = NewHandle();
  openHandles_[*folder] = "";
  heldFiles_[*folder] = {lower, spelled, nullptr};
  return OpenOutcome::kOpened;
}

OpenOutcome FakePlatformOps::OpenFolderBelow(OsHandle base,
                                             const char* relative,
                                             OsHandle* folder) {
  if (ShouldFail(Op::OpenFolder)) return OpenOutcome::kFailed;
  const Held& below = heldFiles_.at(base);
  // Each component as given: Lower() would fold a doubled separator.
  const std::string parts = std::string(relative) + "\\";
  for (std::size_t start = 0, end;
       (end = parts.find('\\', start)) != std::string::npos; start = end + 1) {
    const std::string part = parts.substr(start, end - start);
    if (part.empty() || part == "." || part == ".." ||
        part.find_first_of("/:") != std::string::npos) {
      return OpenOutcome::kFailed;
    }
  }
  return OpenCanonicalFolder(below.path + "\\" + Lower(relative),
                             below.path.size() + 1,
                             below.spelled + "\\" + relative, folder);
}

int FakePlatformOps::FolderFinalPath(OsHandle folder, std::string* path) {
  const std::string& lower = heldFiles_.at(folder).path;
  *path = lower;
  if (!path->empty()) (*path)[0] = static_cast<char>(std::toupper((*path)[0]));
  return 1;
}

// Sharing as CreateFile's rules have it ("Creating and Opening Files"): a
// file opened for rewriting shares reading alone, so a second writer is
// refused while it is open, and readers are not.
OpenOutcome FakePlatformOps::OpenFileIn(OsHandle folder, const char* name,
                                        FileUse use, OsHandle* file,
                                        int* created) {
  *created = 0;
  if (ShouldFail(Op::OpenFileIn)) return OpenOutcome::kFailed;
  const std::string fileName = Lower(name);
  if (fileName.empty() || fileName.find('\\') != std::string::npos) {
    return OpenOutcome::kFailed;
  }
  const std::string dir = heldFiles_.at(folder).path;
  const std::string spelled = heldFiles_.at(folder).spelled + "\\" + name;
  const std::string path = dir + "\\" + fileName;
  if (!DirectoryExists(dir)) return OpenOutcome::kMissing;
  if (folderLinks_.count(path) != 0) return OpenOutcome::kLeadsElsewhere;
  if (use != FileUse::kAttributes) {
    const OpenOutcome held = UserHoldOn(path);
    if (held != OpenOutcome::kOpened) return held;
  }
  auto it = files_.find(path);
  if (it == files_.end()) {
    if (use == FileUse::kRead || use == FileUse::kAttributes ||
        use == FileUse::kUpdate) {
      return OpenOutcome::kMissing;
    }
    it = files_.emplace(path, std::make_shared<std::string>()).first;
    *created = 1;
  } else if (use == FileUse::kRewrite || use == FileUse::kAppend ||
             use == FileUse::kUpdate) {
    const FileText& text = it->second;
    const auto names = std::count_if(
        files_.begin(), files_.end(),
        [&text](const auto& named) { return named.second == text; });
    if (names != 1) return OpenOutcome::kLeadsElsewhere;
    for (const auto& [handle, held] : heldFiles_) {
      if (IsWriter(use) && held.file == text && IsWriter(held.use)) {
        return OpenOutcome::kInUse;
      }
    }
  }
  *file = NewHandle();
  openHandles_[*file] = "";
  heldFiles_[*file] = {path, spelled, it->second, use};
  return OpenOutcome::kOpened;
}

void FakePlatformOps::MountVolumeAt(const std::string& folder) {
  mountPoints_.insert(Resolve(folder));
}

void FakePlatformOps::HoldShut(const std::string& path, OpenOutcome answer) {
  heldShut_[Resolve(path)] = answer;
}

void FakePlatformOps::HoldOplock(const std::string& path, int opens) {
  oplocks_[Resolve(path)] = opens;
}

OpenOutcome FakePlatformOps::UserHoldOn(const std::string& lowerPath) {
  const auto held = heldShut_.find(lowerPath);
  if (held != heldShut_.end()) return held->second;
  const auto oplock = oplocks_.find(lowerPath);
  if (oplock == oplocks_.end() || oplock->second == 0) {
    return OpenOutcome::kOpened;
  }
  if (oplock->second != kEveryCall) --oplock->second;
  return OpenOutcome::kOplockBreak;
}

int FakePlatformOps::ReadOpenedFile(OsHandle file, std::size_t maxSize,
                                    std::string* bytes) {
  bytes->clear();
  if (ShouldFail(Op::ReadOpenedFile)) return 0;
  const Held& held = heldFiles_.at(file);
  if (held.file == nullptr || held.file->size() > maxSize) return 0;
  *bytes = *held.file;
  return 1;
}

// Each of these works only through a handle opened for rewriting, as
// Windows checks a handle's access on every call.
int FakePlatformOps::RewriteOpenedFile(OsHandle file,
                                       const std::string& bytes) {
  const Held& held = heldFiles_.at(file);
  if (held.file == nullptr || !IsWriter(held.use)) return 0;
  // A rewrite in place that fails, as on a full disk, leaves part of it.
  if (ShouldFail(Op::RewriteOpenedFile)) {
    *held.file = bytes.substr(0, bytes.size() / 2);
    return 0;
  }
  *held.file = bytes;
  if (!lastEdit_.empty() && bytes == lastEditedText_) {
    iniWrites.push_back(held.spelled + lastEdit_);
  }
  return 1;
}

int FakePlatformOps::DeleteOpenedFile(OsHandle file) {
  if (ShouldFail(Op::DeleteOpenedFile)) return 0;
  Held& held = heldFiles_.at(file);
  if (held.file == nullptr || !IsWriter(held.use)) return 0;
  held.deleteOnClose = true;
  return 1;
}

int FakePlatformOps::WritePrivateCopy(const char* name,
                                      const std::string& bytes,
                                      std::string* path) {
  if (ShouldFail(Op::WritePrivateCopy)) return 0;
  if (privateFolder_.empty()) {
    privateFolder_ = Lower(kPrivateFolder);
    AddDirectory(privateFolder_);
  }
  *path = privateFolder_ + "\\" + name;
  files_[Lower(*path)] = std::make_shared<std::string>(bytes);
  return 1;
}

int FakePlatformOps::ReadPrivateCopy(const std::string& path,
                                     std::string* bytes) {
  bytes->clear();
  if (ShouldFail(Op::ReadPrivateCopy) || !IsPrivate(path)) return 0;
  auto it = files_.find(Lower(path));
  if (it == files_.end()) return 0;
  *bytes = *it->second;
  return 1;
}

void FakePlatformOps::RemovePrivateFolder() {
  if (privateFolder_.empty()) return;
  for (auto it = files_.begin(); it != files_.end();) {
    it = ParentOf(it->first) == privateFolder_ ? files_.erase(it)
                                               : std::next(it);
  }
  directories_.erase(privateFolder_);
  privateFolder_.clear();
}

int FakePlatformOps::IsProgramRunning(OsHandle program) {
  // A failure to look counts as running, as the real one errs.
  if (ShouldFail(Op::IsProgramRunning)) return 1;
  const FileText& image = heldFiles_.at(program).file;
  for (const std::string& running : runningPrograms) {
    auto it = files_.find(Resolve(running));
    if (it != files_.end() && it->second == image) return 1;
  }
  return 0;
}

int FakePlatformOps::ListUserProfiles(std::vector<UserProfile>* listed) {
  listed->clear();
  if (ShouldFail(Op::ListUserProfiles)) return 0;
  *listed = profiles;
  return 1;
}

OpenOutcome FakePlatformOps::OpenProfileFolder(const std::string& sid,
                                               OsHandle* folder) {
  for (const UserProfile& profile : profiles) {
    if (profile.sid != sid || !profile.problem.empty()) continue;
    const auto real = profileFolders.find(sid);
    return OpenFolder(
        (real != profileFolders.end() ? real->second : profile.folder).c_str(),
        folder);
  }
  return OpenOutcome::kFailed;
}

int FakePlatformOps::CallerSid(std::string* sid) {
  *sid = callerSid;
  return 1;
}

int FakePlatformOps::AppendToOpenedFile(OsHandle file,
                                        const std::string& line) {
  if (ShouldFail(Op::AppendToOpenedFile)) return 0;
  const Held& held = heldFiles_.at(file);
  if (held.file == nullptr || held.use != FileUse::kAppend) return 0;
  *held.file += line + "\r\n";
  return 1;
}

void FakePlatformOps::Pause(unsigned milliseconds) {
  pausedMilliseconds += milliseconds;
}

void FakePlatformOps::DescribeRun(std::string* utcTime, std::string* computer,
                                  std::string* user) {
  *utcTime = "2026-12-08T19:04:24Z";
  *computer = "SCANPC01";
  *user = "admin";
}

// The fake's ANSI code page is Latin-1: every byte is the code point of the
// same number. Besides UTF-8 it converts to the OEM code page 850, where
// the accented letters the tests use lie elsewhere and a character it
// lacks becomes '?'.
int FakePlatformOps::AnsiToCodePage(const std::string& ansi, unsigned codePage,
                                    std::string* converted) {
  constexpr unsigned kOem850 = 850;
  converted->clear();
  if (ansiIsUtf8 && codePage == code_page::kUtf8) {
    *converted = ansi;
    return 1;
  }
  for (unsigned char c : ansi) {
    if (c < 0x80) {
      *converted += static_cast<char>(c);
    } else if (codePage == code_page::kUtf8) {
      *converted += static_cast<char>(0xC0 | (c >> 6));
      *converted += static_cast<char>(0x80 | (c & 0x3F));
    } else if (codePage == kOem850) {
      const std::map<unsigned char, char> oem = {
          {0xE9, '\x82'}, {0xE8, '\x8A'}, {0xFC, '\x81'}, {0xE4, '\x84'}};
      const auto it = oem.find(c);
      *converted += it != oem.end() ? it->second : '?';
    } else {
      return 0;
    }
  }
  return 1;
}

int FakePlatformOps::IsConsole(StdStream) { return streamsAreConsoles; }

unsigned FakePlatformOps::ConsoleOutputCodePage() {
  return consoleOutputCodePage;
}

int FakePlatformOps::WriteConsoleAnsi(StdStream stream,
                                      const std::string& ansi) {
  if (!streamsAreConsoles) return 0;
  consoleText[static_cast<int>(stream)] += ansi;
  return 1;
}

int FakePlatformOps::WriteStream(StdStream stream, const std::string& bytes) {
  streamBytes[static_cast<int>(stream)] += bytes;
  return 1;
}

OsHandle FakePlatformOps::CreateMutexOwnedBy(const char* name,
                                             const std::string& ownerSid,
                                             unsigned long* lastError) {
  const std::string objectName = ObjectName(name);
  auto existing = objects_.find(objectName);
  if (existing != objects_.end() && existing->second.holders > 0) {
    if (!existing->second.made.isMutex) {
      *lastError = os_error::kInvalidHandle;
      return nullptr;
    }
    if (!existing->second.made.callerMayOpen) {
      *lastError = os_error::kAccessDenied;
      return nullptr;
    }
    *lastError = os_error::kAlreadyExists;
  } else {
    objects_[objectName] = {{ownerSid, true, true}, 0};
    *lastError = os_error::kSuccess;
  }
  ++objects_[objectName].holders;
  OsHandle handle = NewHandle();
  openHandles_[handle] = objectName;
  return handle;
}

OsHandle FakePlatformOps::CreateNamedMutex(const char* name,
                                           unsigned long* lastError) {
  if (ShouldFail(Op::CreateNamedMutex)) {
    *lastError = os_error::kAccessDenied;
    return nullptr;
  }
  // An administrator's default owner is the Administrators group.
  return CreateMutexOwnedBy(name, kAdministratorsSid, lastError);
}

OsHandle FakePlatformOps::CreateAdminOnlyMutex(const char* name,
                                               unsigned long* lastError) {
  constexpr unsigned long kNoSystemResources = 1450;
  if (ShouldFail(Op::CreateAdminOnlyMutex)) {
    *lastError = kNoSystemResources;
    return nullptr;
  }
  return CreateMutexOwnedBy(name, kAdministratorsSid, lastError);
}

int FakePlatformOps::IsOwnedByAdministrators(OsHandle object) {
  auto handle = openHandles_.find(object);
  if (handle == openHandles_.end()) return 0;
  const std::string& owner = objects_[handle->second].made.ownerSid;
  return owner == kAdministratorsSid || owner == kSystemSid ? 1 : 0;
}

void FakePlatformOps::CloseOsHandle(OsHandle handle) {
  auto it = openHandles_.find(handle);
  if (it == openHandles_.end()) {
    ++badReleases;
    return;
  }
  if (!it->second.empty()) --objects_[it->second].holders;
  openHandles_.erase(it);
  auto held = heldFiles_.find(handle);
  if (held == heldFiles_.end()) return;
  // Deleted through the handle: the name it was opened by goes, wherever
  // that name has moved; a path that names another file by now keeps it.
  auto named = files_.find(held->second.path);
  if (held->second.deleteOnClose && named != files_.end() &&
      named->second == held->second.file) {
    files_.erase(named);
  }
  heldFiles_.erase(held);
}

int FakePlatformOps::OpenProcessTokenForQuery(OsHandle* token) {
  if (ShouldFail(Op::OpenProcessToken)) return 0;
  *token = NewHandle();
  openHandles_[*token] = "";
  return 1;
}

// The buffer holds the group list, then the SID strings it points to.
int FakePlatformOps::GetTokenGroups(OsHandle, void* buffer, unsigned long size,
                                    unsigned long* needed,
                                    unsigned long* lastError) {
  constexpr unsigned long kAccessDenied = 5;
  if (ShouldFail(Op::GetTokenGroups)) {
    *lastError = kAccessDenied;
    return 0;
  }
  const std::size_t listSize = offsetof(TokenGroupList, groups) +
                               tokenGroups.size() * sizeof(TokenGroupEntry);
  std::size_t total = std::max(listSize, sizeof(TokenGroupList));
  for (const TokenGroup& group : tokenGroups) total += group.sid.size() + 1;
  *needed = static_cast<unsigned long>(total);
  if (buffer == nullptr && tokenQueryWithoutBufferSucceeds) return 1;
  if (buffer == nullptr || size < total) {
    *lastError = os_error::kInsufficientBuffer;
    return 0;
  }
  auto* bytes = static_cast<char*>(buffer);
  std::uint32_t count = static_cast<std::uint32_t>(tokenGroups.size());
  std::memcpy(bytes, &count, sizeof count);
  char* strings = bytes + std::max(listSize, sizeof(TokenGroupList));
  auto* entries = reinterpret_cast<TokenGroupEntry*>(
      bytes + offsetof(TokenGroupList, groups));
  for (const TokenGroup& group : tokenGroups) {
    std::memcpy(strings, group.sid.c_str(), group.sid.size() + 1);
    entries->sid = strings;
    entries->attributes = group.attributes;
    ++entries;
    strings += group.sid.size() + 1;
  }
  return 1;
}

int FakePlatformOps::AllocateAdministratorsSid(OsSid* sid) {
  if (ShouldFail(Op::AllocateAdministratorsSid)) return 0;
  char* text = new char[std::strlen(kAdministratorsSid) + 1];
  std::strcpy(text, kAdministratorsSid);
  *sid = text;
  liveSids_.insert(text);
  return 1;
}

int FakePlatformOps::EqualSids(OsSid first, OsSid second) {
  if (ShouldFail(Op::EqualSids)) return 0;
  return std::strcmp(static_cast<const char*>(first),
                     static_cast<const char*>(second)) == 0
             ? 1
             : 0;
}

void FakePlatformOps::FreeOsSid(OsSid sid) {
  if (liveSids_.erase(sid)) {
    delete[] static_cast<char*>(sid);
  } else {
    ++badReleases;
  }
}

void* FakePlatformOps::AllocateZeroed(std::size_t size) {
  if (ShouldFail(Op::AllocateZeroed)) return nullptr;
  void* block = std::calloc(1, size);
  if (block != nullptr) liveBlocks_.insert(block);
  return block;
}

void FakePlatformOps::FreeBlock(void* block) {
  if (liveBlocks_.erase(block)) {
    std::free(block);
  } else {
    ++badReleases;
  }
}

void FakePlatformOps::DebugOutput(const char* text) {
  debugOutput.push_back(text);
}

void FakePlatformOps::ShowMessage(OsWindow owner, const char* text,
                                  const char* caption) {
  messages.push_back({owner, text, caption});
}

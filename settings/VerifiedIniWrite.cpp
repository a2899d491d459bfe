#include "settings/VerifiedIniWrite.h"

#include <cctype>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

// One section as the profile API reads it: its name and its lines.
struct IniSection {
  std::string name;
  std::vector<std::string> lines;
};

// A file before it is written: its bytes, for putting them back, and what
// the profile API reads from it, for comparing.
struct IniSnapshot {
  int exists = 0;
  std::string bytes;
  std::vector<IniSection> sections;
};

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string Trimmed(const std::string& text) {
  const auto begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// The key of a "key=value" line, or the whole line when it has no '='.
std::string KeyOf(const std::string& line) {
  return Trimmed(line.substr(0, line.find('=')));
}

bool ReadSections(PlatformOps& ops, const char* path,
                  std::vector<IniSection>& sections) {
  std::string names;
  if (!ops.ReadIniSectionNames(path, &names)) return false;
  sections.clear();
  for (std::string& name : SplitTerminatedList(names)) {
    std::string lines;
    if (!ops.ReadIniSection(name.c_str(), path, &lines)) return false;
    sections.push_back({std::move(name), SplitTerminatedList(lines)});
  }
  return true;
}

// What the file must read as once the key is written: every section and
// line as before, the key's first line in the section replaced (or added
// at the section's end, or the section added at the file's end). A name
// that appears twice reads as its first section both times, so each copy
// changes alike.
std::vector<IniSection> Expected(std::vector<IniSection> sections,
                                 const std::string& section,
                                 const std::string& key,
                                 const std::string& value) {
  const std::string line = key + "=" + value;
  bool found = false;
  for (IniSection& existing : sections) {
    if (!SameName(existing.name, section)) continue;
    found = true;
    bool replaced = false;
    for (std::string& old : existing.lines) {
      if (SameName(KeyOf(old), key)) {
        old = line;
        replaced = true;
        break;
      }
    }
    if (!replaced) existing.lines.push_back(line);
  }
  if (!found) sections.push_back({section, {line}});
  return sections;
}

// Lines compare as the profile API may respace them: key and value each
// trimmed, keys without regard to case.
bool SameLine(const std::string& a, const std::string& b) {
  const auto equalsA = a.find('=');
  const auto equalsB = b.find('=');
  if ((equalsA == std::string::npos) != (equalsB == std::string::npos)) {
    return false;
  }
  if (equalsA == std::string::npos) return Trimmed(a) == Trimmed(b);
  return SameName(KeyOf(a), KeyOf(b)) &&
         Trimmed(a.substr(equalsA + 1)) == Trimmed(b.substr(equalsB + 1));
}

bool SameContent(const std::vector<IniSection>& expected,
                 const std::vector<IniSection>& actual) {
  if (expected.size() != actual.size()) return false;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const IniSection& want = expected[i];
    const IniSection& got = actual[i];
    if (!SameName(want.name, got.name) ||
        want.lines.size() != got.lines.size()) {
      return false;
    }
    for (std::size_t line = 0; line < want.lines.size(); ++line) {
      if (!SameLine(want.lines[line], got.lines[line])) return false;
    }
  }
  return true;
}

bool TakeSnapshot(PlatformOps& ops, const char* path, IniSnapshot& snapshot) {
  return ops.ReadFileBytes(path, &snapshot.bytes, &snapshot.exists) &&
         ReadSections(ops, path, snapshot.sections);
}

// Whether the file reads as the write should have left it.
bool WrittenAsExpected(PlatformOps& ops, const char* path,
                       const IniSnapshot& before, const char* section,
                       const char* key, const char* value) {
  std::vector<IniSection> after;
  return ReadSections(ops, path, after) &&
         SameContent(Expected(before.sections, section, key, value), after);
}

// Puts the file back as the snapshot has it, and checks that it is.
bool Restore(PlatformOps& ops, const char* path, const IniSnapshot& before) {
  std::string now;
  int exists = 0;
  const bool read = ops.ReadFileBytes(path, &now, &exists);
  if (read && exists == before.exists && now == before.bytes) return true;
  if (before.exists) {
    if (!ops.WriteFileBytes(path, before.bytes)) return false;
  } else if (!ops.RemoveFile(path)) {
    return false;
  }
  return ops.ReadFileBytes(path, &now, &exists) && exists == before.exists &&
         now == before.bytes;
}

}  // namespace

IniWriteResult WriteIniValueVerified(PlatformOps& ops, const char* path,
                                     const char* section, const char* key,
                                     const char* value) {
  // Every step allocates; running out of memory is a failed step, never a
  // write left unchecked.
  IniSnapshot before;
  try {
    if (!TakeSnapshot(ops, path, before)) return IniWriteResult::kUndone;
  } catch (const std::bad_alloc&) {
    return IniWriteResult::kUndone;
  }
  const int called = ops.WriteIniString(section, key, value, path);
  try {
    if (called && WrittenAsExpected(ops, path, before, section, key, value)) {
      return IniWriteResult::kWritten;
    }
    return Restore(ops, path, before) ? IniWriteResult::kUndone
                                      : IniWriteResult::kNotRestored;
  } catch (const std::bad_alloc&) {
    return IniWriteResult::kNotRestored;
  }
}

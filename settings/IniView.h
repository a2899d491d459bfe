// What the profile API reads from an INI file, parsed from the file's bytes
// in one pass: the program keeps a file's bytes before a write and reads
// them once after it, and compares the two views, instead of asking the
// profile API for every section again.
#pragma once

#include <string>
#include <vector>

// One line of a section as the profile API keeps it: a name and, when the
// line has an '=', a value, both trimmed. Comments (a name that starts
// with ';') and lines without a name are kept too, as the API keeps them
// when it writes the file back.
struct IniEntry {
  std::string name;
  bool hasValue = false;
  std::string value;
  bool operator==(const IniEntry& other) const {
    return name == other.name && hasValue == other.hasValue &&
           value == other.value;
  }
};

// A section; the first one of a view is the nameless one that holds the
// lines before any "[name]" line. Names are kept as the file spells them.
struct IniSection {
  std::string name;
  std::vector<IniEntry> entries;
  bool operator==(const IniSection& other) const {
    return name == other.name && entries == other.entries;
  }
};

using IniView = std::vector<IniSection>;

// How the profile API reads a UTF-8 byte-order mark: Wine's skips it;
// Windows' reads it as text (widely reported, e.g. for Windows 10 21H1), so
// that a "[Special]" on the first line is no section there.
enum class Utf8Bom { kSkipped, kText };

// The profile API's reading rules:
// - a UTF-8 byte-order mark is read as `bom` says, and text after a UTF-16
//   one is read as UTF-16 (converted to UTF-8 here); anything else is text
//   in the ANSI code page, read byte for byte;
// - a line ends at a line feed or a carriage return; each is trimmed of
//   spaces, tabs, line breaks and ^Z, and an empty line is dropped;
// - a line that starts with '[' and holds a ']' names a section: the text
//   between the '[' and the last ']', trimmed; what follows is ignored;
// - any other line is an entry, split at its first '=', name and value
//   each trimmed; a nameless line directly after another nameless one is
//   dropped.
IniView ParseIni(const std::string& bytes, Utf8Bom bom = Utf8Bom::kSkipped);

// Names compare without regard to (ASCII) case, as the profile API
// compares section and key names.
bool SameIniName(const std::string& a, const std::string& b);

// The view once `key` in `section` is set to `value` as
// WritePrivateProfileString sets it: in the first section of that name, the
// first entry of that name takes the value (and keeps the file's
// spelling), or an entry is added at the end of the section, or the section
// is added at the end of the view.
IniView WithValueSet(IniView view, const std::string& section,
                     const std::string& key, const std::string& value);

// Whether `actual` reads as `expected`, where the name of `key` may be spelt
// in either case: Wine keeps the file's spelling of a key it rewrites, and
// nothing promises that Windows does. Everything else must match exactly.
bool SameIniView(const IniView& expected, const IniView& actual,
                 const std::string& key);

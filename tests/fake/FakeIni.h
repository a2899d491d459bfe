// The INI-file semantics of GetPrivateProfileIntA and
// WritePrivateProfileStringA, on the text of a file held in memory.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The value text of `key` in `section` (names compared without regard to
// case, spaces around the value trimmed), or nullopt.
std::optional<std::string> FindIniValue(const std::string& text,
                                        const std::string& section,
                                        const std::string& key);

// atoi-like reading of an INI value as GetPrivateProfileIntA does it.
int IniValueAsInt(const std::string& value);

// The text with `key` set to `value` in `section`: the key's line replaced
// (the name as the file spells it),
// or added at the end of the section, or the section added at the end of
// the file. Every other line is kept.
std::string SetIniValue(const std::string& text, const std::string& section,
                        const std::string& key, const std::string& value);

// The section names in file order, as GetPrivateProfileSectionNamesA lists
// them.
std::vector<std::string> IniSectionNames(const std::string& text);

// The lines of the first section of that name, as GetPrivateProfileSectionA
// hands them out: trimmed, without blank lines and comments.
std::vector<std::string> IniSectionLines(const std::string& text,
                                         const std::string& section);

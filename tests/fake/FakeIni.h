// The INI-file semantics of GetPrivateProfileIntA and
// WritePrivateProfileStringA, on the text of a file held in memory.
#pragma once

#include <optional>
#include <string>

// The value text of `key` in `section` (names compared without regard to
// case, spaces around the value trimmed), or nullopt.
std::optional<std::string> FindIniValue(const std::string& text,
                                        const std::string& section,
                                        const std::string& key);

// atoi-like reading of an INI value as GetPrivateProfileIntA does it.
int IniValueAsInt(const std::string& value);

// The text with `key` set to `value` in `section`: the key's line replaced,
// or added at the end of the section, or the section added at the end of
// the file. Every other line is kept.
std::string SetIniValue(const std::string& text, const std::string& section,
                        const std::string& key, const std::string& value);

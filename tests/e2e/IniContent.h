// The content of an INI file as Windows reads it: comments, sections, keys
// and values, without the blank lines and spacing that Wine's
// WritePrivateProfileStringA does not keep (Windows does).
#pragma once

#include <string>
#include <vector>

// One entry per meaningful line: "; comment", "[section]" or "key=value",
// trimmed, in file order.
std::vector<std::string> IniContent(const std::string& text);

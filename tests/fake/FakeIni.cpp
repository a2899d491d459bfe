#include "tests/fake/FakeIni.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

std::string Trim(const std::string& text) {
  const auto begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  const auto end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The section name of a "[name]" line, or nullopt.
std::optional<std::string> SectionOf(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] != '[') return std::nullopt;
  const auto close = trimmed.find(']');
  return Trim(trimmed.substr(
      1, close == std::string::npos ? std::string::npos : close - 1));
}

// The key of a "key=value" line, or nullopt.
std::optional<std::string> KeyOf(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] == ';') return std::nullopt;
  const auto equals = trimmed.find('=');
  if (equals == std::string::npos) return std::nullopt;
  return Trim(trimmed.substr(0, equals));
}

}  // namespace

std::optional<std::string> FindIniValue(const std::string& text,
                                        const std::string& section,
                                        const std::string& key) {
  bool inSection = false;
  for (const std::string& line : SplitLines(text)) {
    if (auto name = SectionOf(line)) {
      inSection = SameName(*name, section);
    } else if (auto lineKey = KeyOf(line);
               inSection && lineKey && SameName(*lineKey, key)) {
      return Trim(line.substr(line.find('=') + 1));
    }
  }
  return std::nullopt;
}

int IniValueAsInt(const std::string& value) {
  return static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
}

std::string SetIniValue(const std::string& text, const std::string& section,
                        const std::string& key, const std::string& value) {
  std::vector<std::string> lines = SplitLines(text);
  const std::string newLine = key + "=" + value;
  std::size_t sectionLine = 0;
  while (sectionLine < lines.size()) {
    auto name = SectionOf(lines[sectionLine]);
    if (name && SameName(*name, section)) break;
    ++sectionLine;
  }
  if (sectionLine == lines.size()) {
    lines.push_back("[" + section + "]");
    lines.push_back(newLine);
  } else {
    std::size_t lastFilled = sectionLine;
    bool replaced = false;
    for (std::size_t i = sectionLine + 1;
         i < lines.size() && !SectionOf(lines[i]); ++i) {
      if (auto lineKey = KeyOf(lines[i]); lineKey && SameName(*lineKey, key)) {
        // The profile API keeps the file's spelling of the name and
        // replaces only the value.
        lines[i] = *lineKey + "=" + value;
        replaced = true;
        break;
      }
      if (!Trim(lines[i]).empty()) lastFilled = i;
    }
    if (!replaced) {
      lines.insert(lines.begin() + static_cast<long>(lastFilled) + 1, newLine);
    }
  }
  std::string result;
  for (const std::string& line : lines) result += line + "\r\n";
  return result;
}

std::vector<std::string> IniSectionNames(const std::string& text) {
  std::vector<std::string> names;
  for (const std::string& line : SplitLines(text)) {
    if (auto name = SectionOf(line)) names.push_back(*name);
  }
  return names;
}

std::vector<std::string> IniSectionLines(const std::string& text,
                                         const std::string& section) {
  std::vector<std::string> lines;
  bool inSection = false;
  for (const std::string& line : SplitLines(text)) {
    if (auto name = SectionOf(line)) {
      if (inSection) break;
      inSection = SameName(*name, section);
    } else if (inSection && !Trim(line).empty() && Trim(line)[0] != ';') {
      lines.push_back(Trim(line));
    }
  }
  return lines;
}

#include "tests/e2e/IniContent.h"

#include <sstream>

namespace {

std::string Trim(const std::string& text) {
  const auto begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

}  // namespace

std::vector<std::string> IniContent(const std::string& text) {
  std::vector<std::string> content;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    line = Trim(line);
    if (line.empty()) continue;
    const auto equals = line.find('=');
    if (line[0] != ';' && line[0] != '[' && equals != std::string::npos) {
      line = Trim(line.substr(0, equals)) + "=" + Trim(line.substr(equals + 1));
    }
    content.push_back(line);
  }
  return content;
}

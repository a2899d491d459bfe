#include "cli/CommandLine.h"

#include <cctype>
#include <set>

#include "settings/SkipSetting.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

// The switch's name in lower case without its /, - or -- (and without a
// ":value" part), or "" when the word is not a switch.
std::string SwitchName(const std::string& word) {
  std::size_t start = 0;
  if (word.rfind("--", 0) == 0) {
    start = 2;
  } else if (!word.empty() && (word[0] == '/' || word[0] == '-')) {
    start = 1;
  }
  if (start == 0 || start == word.size()) return "";
  return Lower(word.substr(start, word.find(':') - start));
}

bool IsHelp(const std::string& word) {
  const std::string name = SwitchName(word);
  return name == "?" || name == "h" || name == "help";
}

bool ParseVerb(const std::string& word, Verb* verb) {
  const std::string name = Lower(word);
  if (name == "query")
    *verb = Verb::kQuery;
  else if (name == "test")
    *verb = Verb::kTest;
  else if (name == "detect")
    *verb = Verb::kDetect;
  else if (name == "set")
    *verb = Verb::kSet;
  else if (name == "sync")
    *verb = Verb::kSync;
  else
    return false;
  return true;
}

bool ParseFormat(const std::string& word, Verb verb, OutputFormat* format) {
  const std::string name = Lower(word);
  if (name == "text")
    *format = OutputFormat::kText;
  else if (name == "json")
    *format = OutputFormat::kJson;
  else if (name == "csv" && verb == Verb::kQuery)
    *format = OutputFormat::kCsv;
  else
    return false;
  return true;
}

// The switches each verb takes.
bool Takes(Verb verb, const std::string& name) {
  switch (verb) {
    case Verb::kQuery:
      return name == "fo" || name == "nh";
    case Verb::kSet:
      return name == "fo" || name == "whatif" || name == "force" ||
             name == "log" || name == "machineonly";
    case Verb::kTest:
      return name == "machineonly";
    case Verb::kSync:
      return name == "fo" || name == "whatif";
    default:
      return false;
  }
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& words, Command* command,
                      std::string* error) {
  *command = Command();
  for (const std::string& word : words) {
    if (IsHelp(word)) return true;
  }
  if (words.empty()) {
    *error = "No command given.";
    return false;
  }
  if (!ParseVerb(words[0], &command->verb)) {
    *error = "Unknown command \"" + words[0] + "\".";
    return false;
  }
  const Verb verb = command->verb;
  const bool needsValue = verb != Verb::kQuery && verb != Verb::kSync;
  bool haveValue = false;
  std::set<std::string> seen;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    const std::string name = SwitchName(word);
    if (name.empty()) {
      const std::string value = Lower(word);
      if (!needsValue || haveValue) {
        *error = "Unexpected word \"" + word + "\".";
        return false;
      }
      if (value != "on" && value != "off") {
        *error = "The value must be on or off, not \"" + word + "\".";
        return false;
      }
      command->value = value == "on" ? kSkipOn : kSkipOff;
      haveValue = true;
      continue;
    }
    if (!Takes(verb, name)) {
      *error = "Unknown switch \"" + word + "\" for " + Lower(words[0]) + ".";
      return false;
    }
    if (!seen.insert(name).second) {
      *error = "The switch \"" + word + "\" is given twice.";
      return false;
    }
    const std::size_t colon = word.find(':');
    if (name == "fo") {
      // "/fo json" or "/fo:json"
      std::string format;
      if (colon != std::string::npos) {
        format = word.substr(colon + 1);
      } else if (i + 1 < words.size()) {
        format = words[++i];
      }
      if (!ParseFormat(format, verb, &command->format)) {
        *error = format.empty() ? "/fo needs a format."
                                : "Unknown format \"" + format + "\".";
        return false;
      }
    } else if (name == "log") {
      if (colon == std::string::npos || colon + 1 == word.size()) {
        *error = "/log needs a file: /log:PATH.";
        return false;
      }
      command->logPath = word.substr(colon + 1);
    } else if (colon != std::string::npos) {
      *error = "The switch \"" + word + "\" takes no value.";
      return false;
    } else if (name == "nh") {
      command->noHeader = true;
    } else if (name == "whatif") {
      command->whatIf = true;
    } else if (name == "machineonly") {
      command->machineOnly = true;
    } else {
      command->force = true;
    }
  }
  if (needsValue && !haveValue) {
    *error = "The command needs a value: on or off.";
    return false;
  }
  return true;
}

// The console program's command line: a verb first, as reg and sc take
// theirs, then its value and switches. A switch is written /x, -x or --x,
// in any case.
#pragma once

#include <string>
#include <vector>

enum class Verb { kHelp, kQuery, kTest, kDetect, kSet, kSync };
enum class OutputFormat { kText, kCsv, kJson };

struct Command {
  Verb verb = Verb::kHelp;
  int value = 0;  // SkipState On or Off, for test, detect and set
  OutputFormat format = OutputFormat::kText;
  bool noHeader = false;     // query /nh
  bool whatIf = false;       // set and sync /whatif
  bool machineOnly = false;  // test and set /machineonly: no VirtualStore
  bool force = false;        // set /force
  std::string logPath;       // set /log:PATH
};

// Parses the words after the program's name. False, with a sentence that
// says what is wrong in *error, on a usage error: an unknown verb, switch or
// value, a missing value, a switch given twice, or extra words. /? (or /h,
// /help) anywhere asks for the usage.
bool ParseCommandLine(const std::vector<std::string>& words, Command* command,
                      std::string* error);

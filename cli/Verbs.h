// The console program's four commands over PlatformOps, so that their
// decisions are tested against the fake as well as run on Windows.
#pragma once

#include <string>

#include "cli/CommandLine.h"
#include "platform/PlatformOps.h"

// What a run prints: results to standard output, errors (and nothing else)
// to standard error.
// Text in the ANSI code page, but JSON, which is UTF-8.
struct ConsoleText {
  std::string out;
  std::string err;
  bool outIsUtf8 = false;  // JSON
};

// Parses the words after the program's name, runs the command and returns
// its exit status (cli/ExitStatus.h).
int RunConsoleCommand(PlatformOps& ops, const std::vector<std::string>& words,
                      ConsoleText* console);

// The usage text printed by /? and after a usage error.
extern const char* const kUsage;

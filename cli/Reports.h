// The console program's results in its three forms: aligned columns for a
// person, CSV (RFC 4180) and JSON (one line of at most 2,048 characters,
// UTF-8, the keys listed in the README) for the deployment engines.
#pragma once

#include <string>

#include "cli/Inventory.h"

// The most a deployment engine keeps of a line: Intune keeps the last line
// of output up to this many characters.
constexpr std::size_t kMaxJsonLength = 2048;

// Why a file could not be examined, as every report and message says it:
// "held by another program", "behind a link", ...
const char* CheckFailureText(CheckFailure failure);

std::string QueryAsText(const Inventory& inventory);
std::string QueryAsCsv(const Inventory& inventory, bool header);
std::string QueryAsJson(PlatformOps& ops, const Inventory& inventory);

// After set (or set /whatif): each target, each file with its value before
// and what became of it, whether anything changed, the exit status.
struct SetSummary {
  int value;  // SkipState On or Off; for sync, unused
  bool whatIf;
  bool changed;
  const char* result;  // "success", "partial", "not applicable"
  bool lockSquatted;   // written without the writer lock
  int exitStatus;
  const char* command = "set";  // "set" or "sync"
};

// Lines on what kept profiles from being looked in, "" when nothing did.
std::string ProblemLines(const Inventory& inventory);
std::string SetAsText(const Inventory& inventory, const SetSummary& summary);
std::string SetAsJson(PlatformOps& ops, const Inventory& inventory,
                      const SetSummary& summary);

// Writing a run's text as Windows' own console tools (reg, sc) write it, so
// that PowerShell, and every deployment engine that reads through it,
// decodes it right: to a console as UTF-16; to a pipe or a file in the
// console's output code page (OEM, e.g. 437 or 850), or in the ANSI code
// page where there is no console. JSON is UTF-8 wherever it goes.
#pragma once

#include "cli/Verbs.h"
#include "platform/PlatformOps.h"

void WriteConsoleText(PlatformOps& ops, const ConsoleText& console);

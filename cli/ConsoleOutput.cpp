#include "cli/ConsoleOutput.h"

namespace {

void WriteText(PlatformOps& ops, StdStream stream, const std::string& ansi) {
  if (ansi.empty()) return;
  if (ops.IsConsole(stream)) {
    ops.WriteConsoleAnsi(stream, ansi);
    return;
  }
  const unsigned codePage = ops.ConsoleOutputCodePage();
  std::string converted;
  if (codePage != code_page::kAnsi &&
      ops.AnsiToCodePage(ansi, codePage, &converted)) {
    ops.WriteStream(stream, converted);
  } else {
    ops.WriteStream(stream, ansi);
  }
}

}  // namespace

void WriteConsoleText(PlatformOps& ops, const ConsoleText& console) {
  if (console.outIsUtf8) {
    if (!console.out.empty()) ops.WriteStream(StdStream::kOut, console.out);
  } else {
    WriteText(ops, StdStream::kOut, console.out);
  }
  WriteText(ops, StdStream::kErr, console.err);
}

// The program's output: console and streams, the debugger,
// message boxes, and text converted between code pages for them.
#include <windows.h>

#include "platform/win32/Win32FileNames.h"
#include "platform/win32/Win32PlatformOps.h"

namespace {

HANDLE StreamHandle(StdStream stream) {
  return GetStdHandle(stream == StdStream::kOut ? STD_OUTPUT_HANDLE
                                                : STD_ERROR_HANDLE);
}

}  // namespace

void Win32PlatformOps::DescribeRun(std::string* utcTime, std::string* computer,
                                   std::string* user) {
  SYSTEMTIME now;
  GetSystemTime(&now);
  char time[32];
  wsprintfA(time, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth,
            now.wDay, now.wHour, now.wMinute, now.wSecond);
  *utcTime = time;
  char name[256];
  DWORD length = sizeof name;
  *computer = GetComputerNameA(name, &length) ? name : "?";
  length = sizeof name;
  *user = GetUserNameA(name, &length) ? name : "?";
}

int Win32PlatformOps::AnsiToCodePage(const std::string& ansi, unsigned codePage,
                                     std::string* converted) {
  converted->clear();
  if (ansi.empty()) return 1;
  std::wstring wide;
  if (!AnsiToWide(ansi, &wide)) return 0;
  const int wideLength = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(codePage, 0, wide.data(), wideLength,
                                         nullptr, 0, nullptr, nullptr);
  if (length <= 0) return 0;
  converted->assign(static_cast<std::size_t>(length), '\0');
  return WideCharToMultiByte(codePage, 0, wide.data(), wideLength,
                             &(*converted)[0], length, nullptr,
                             nullptr) == length
             ? 1
             : 0;
}

int Win32PlatformOps::IsConsole(StdStream stream) {
  DWORD mode = 0;
  return GetConsoleMode(StreamHandle(stream), &mode) ? 1 : 0;
}

unsigned Win32PlatformOps::ConsoleOutputCodePage() {
  return GetConsoleOutputCP();
}

int Win32PlatformOps::WriteConsoleAnsi(StdStream stream,
                                       const std::string& ansi) {
  std::wstring wide;
  if (!AnsiToWide(ansi, &wide)) return 0;
  DWORD written = 0;
  for (std::size_t done = 0; done < wide.size(); done += written) {
    if (!WriteConsoleW(StreamHandle(stream), wide.data() + done,
                       static_cast<DWORD>(wide.size() - done), &written,
                       nullptr) ||
        written == 0) {
      return 0;
    }
  }
  return 1;
}

int Win32PlatformOps::WriteStream(StdStream stream, const std::string& bytes) {
  const HANDLE handle = StreamHandle(stream);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  for (std::size_t done = 0; done < bytes.size(); done += written) {
    if (!WriteFile(handle, bytes.data() + done,
                   static_cast<DWORD>(bytes.size() - done), &written,
                   nullptr) ||
        written == 0) {
      return 0;
    }
  }
  return 1;
}

void Win32PlatformOps::DebugOutput(const char* text) {
  OutputDebugStringA(text);
}

void Win32PlatformOps::ShowMessage(OsWindow owner, const char* text,
                                   const char* caption) {
  MessageBoxA(static_cast<HWND>(owner), text, caption, MB_OK);
}

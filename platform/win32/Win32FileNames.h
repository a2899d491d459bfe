// What the Win32 side shares about files: paths as UTF-16, names compared
// as the file system compares them, the final path behind a handle, and
// handles closed when they go out of scope.
#pragma once

#include <windows.h>

#include <string>

// The longest path the wide functions hand out, in characters.
constexpr DWORD kLongPathLength = 32768;

// Every other opener may read, write and delete.
constexpr DWORD kShareEverything =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The largest INI file or value the program reads whole; anything larger is
// no scanner preference file, and is left alone.
constexpr DWORD kMaxTextSize = 16 * 1024 * 1024;

// Closes a handle (null or INVALID_HANDLE_VALUE when there is none) when it
// goes out of scope.
struct ScopedHandle {
  HANDLE handle;
  ~ScopedHandle() {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
      CloseHandle(handle);
    }
  }
};

// Text in the ANSI code page as UTF-16.
bool AnsiToWide(const std::string& ansi, std::wstring* wide);

// UTF-16 as ANSI text, failing where a character has no exact ANSI form.
bool WideToAnsiExact(const std::wstring& wide, std::string* ansi);
// UTF-16 as ANSI text for a person to read: '?' where a character has no
// ANSI form.
std::string WideToAnsiShown(const std::wstring& wide);

// Two names as the file system compares them: ordinal, ignoring case.
bool SamePathText(const std::wstring& a, const std::wstring& b);

// The path of the object behind the handle (GetFinalPathNameByHandleW),
// every link resolved, its volume named as `volumeName` asks, without
// trailing separators.
bool FinalPath(HANDLE handle, DWORD volumeName, std::wstring* path);

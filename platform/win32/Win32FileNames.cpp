#include "platform/win32/Win32FileNames.h"

bool AnsiToWide(const std::string& ansi, std::wstring* wide) {
  wide->clear();
  if (ansi.empty()) return true;
  const int length = static_cast<int>(ansi.size());
  const int wideLength =
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  if (wideLength <= 0) return false;
  wide->assign(static_cast<std::size_t>(wideLength), L'\0');
  return MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, &(*wide)[0],
                             wideLength) == wideLength;
}

bool SamePathText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool FinalPath(HANDLE handle, DWORD volumeName, std::wstring* path) {
  path->assign(kLongPathLength, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(
      handle, &(*path)[0], kLongPathLength, FILE_NAME_NORMALIZED | volumeName);
  if (length == 0 || length >= kLongPathLength) return false;
  path->resize(length);
  while (!path->empty() && path->back() == L'\\') path->pop_back();
  return true;
}

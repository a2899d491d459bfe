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

bool WideToAnsiExact(const std::wstring& wide, std::string* ansi) {
  ansi->clear();
  if (wide.empty()) return true;
  const int wideLength = static_cast<int>(wide.size());
  BOOL lossy = FALSE;
  const int length =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                          nullptr, 0, nullptr, &lossy);
  if (length <= 0 || lossy) return false;
  ansi->assign(static_cast<std::size_t>(length), '\0');
  return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                             wideLength, &(*ansi)[0], length, nullptr,
                             &lossy) == length &&
         !lossy;
}

std::string WideToAnsiShown(const std::wstring& wide) {
  std::string shown;
  const int wideLength = static_cast<int>(wide.size());
  const int length =
      wide.empty()
          ? 0
          : WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                wideLength, nullptr, 0, "?", nullptr);
  if (length <= 0) return shown;
  shown.assign(static_cast<std::size_t>(length), '\0');
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                          &shown[0], length, "?", nullptr) != length) {
    shown.clear();
  }
  return shown;
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

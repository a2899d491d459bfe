#include "detect/VersionCheck.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "platform/BoundedString.h"

namespace {

// A version resource's length is a 16-bit field. GetFileVersionInfoSizeA
// asks for twice the resource's size and 4 bytes more, room for the ANSI
// copy it makes; a larger answer comes from a corrupt resource directory,
// and the system would read past the file's data to fill such a block.
constexpr unsigned long kMaxVersionInfoSize = 2 * 0xFFFFul + 4;

// Whether the block's own length (its first 16 bits, VS_VERSIONINFO's
// wLength) lies within the bytes read: VerQueryValueA walks the block by
// that length and trusts it.
bool BlockLengthFits(const void* block, unsigned long size) {
  if (size < sizeof(std::uint16_t)) return false;
  std::uint16_t length = 0;
  std::memcpy(&length, block, sizeof length);
  return length != 0 && length <= size;
}

bool IsSeparator(char c) { return c == ',' || c == '.'; }

bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// atoi's reading (leading white space, an optional sign, decimal digits up to
// the first other character, 0 without digits), but saturating instead of
// overflowing on absurdly long digit runs.
int ParseLeadingInt(const char* text) {
  while (IsAsciiSpace(*text)) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// Writes four lower-case hexadecimal digits, as "%04x" would. (The C
// library's formatting would add more to the exe than all of its own code.)
void WriteHex4(std::uint16_t value, char* out) {
  static const char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 4; ++i) out[i] = kDigits[(value >> (12 - 4 * i)) & 0xF];
}

// Copies a version string of at most `length` characters out of the version
// block, which need not terminate it. False when it would not fit.
bool CopyVersionString(const void* data, unsigned length,
                       char (&out)[kPathBufferSize]) {
  const std::size_t textLength =
      strnlen(static_cast<const char*>(data), length);
  if (textLength >= sizeof out) return false;
  std::memcpy(out, data, textLength);
  out[textLength] = '\0';
  return true;
}

// The FileVersion string of the first translation of a loaded version
// block; false when there is none that fits.
bool ReadBlockVersion(PlatformOps& ops, const void* block,
                      char (&version)[kPathBufferSize]) {
  const void* translation = nullptr;
  unsigned translationLength = 0;
  if (!ops.QueryVersionValue(block, "\\VarFileInfo\\Translation", &translation,
                             &translationLength) ||
      translation == nullptr || translationLength < 4) {
    return false;
  }
  // The first translation: a 16-bit language, then a 16-bit code page.
  std::uint16_t language = 0;
  std::uint16_t codePage = 0;
  std::memcpy(&language, translation, sizeof language);
  std::memcpy(&codePage, static_cast<const char*>(translation) + 2,
              sizeof codePage);

  char subBlock[64] = "\\StringFileInfo\\";
  char translationName[9];
  WriteHex4(language, translationName);
  WriteHex4(codePage, translationName + 4);
  translationName[8] = '\0';
  AppendBounded(subBlock, sizeof subBlock, translationName);
  AppendBounded(subBlock, sizeof subBlock, "\\FileVersion");
  const void* versionData = nullptr;
  unsigned versionLength = 0;
  return ops.QueryVersionValue(block, subBlock, &versionData, &versionLength) &&
         versionData != nullptr &&
         CopyVersionString(versionData, versionLength, version);
}

}  // namespace

int IsVersionStringOlder(const char* version, int minMajor, int minMinor) {
  if (strnlen(version, kPathBufferSize) >= kPathBufferSize) return 0;

  // A field ends at the next separator or at the end of the text; parsing
  // stops at either, so each field is read in place.
  const int major = ParseLeadingInt(version);
  int minor = 0;
  const char* separator = version;
  while (*separator != '\0' && !IsSeparator(*separator)) ++separator;
  if (*separator != '\0') minor = ParseLeadingInt(separator + 1);

  return major < minMajor || (major == minMajor && minor < minMinor) ? 1 : 0;
}

bool ReadFileVersion(PlatformOps& ops, const char* path,
                     char (&version)[kPathBufferSize]) {
  version[0] = '\0';
  const unsigned long size = ops.GetVersionInfoSize(path);
  if (size == 0 || size > kMaxVersionInfoSize) return false;
  void* block = ops.AllocateZeroed(size);
  if (block == nullptr) return false;
  const bool read = ops.GetVersionInfo(path, size, block) &&
                    BlockLengthFits(block, size) &&
                    ReadBlockVersion(ops, block, version);
  ops.FreeBlock(block);
  if (!read) version[0] = '\0';
  return read;
}

int IsFileVersionOlder(PlatformOps& ops, const char* path, int minMajor,
                       int minMinor) {
  char version[kPathBufferSize];
  if (!ReadFileVersion(ops, path, version)) return 0;
  return IsVersionStringOlder(version, minMajor, minMinor);
}

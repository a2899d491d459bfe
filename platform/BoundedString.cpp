#include "platform/BoundedString.h"

#include <cstring>

bool CopyBounded(char* dst, std::size_t size, const char* src) {
  if (size == 0) return false;
  dst[0] = '\0';
  return AppendBounded(dst, size, src);
}

bool AppendBounded(char* dst, std::size_t size, const char* src) {
  const std::size_t used = strnlen(dst, size);
  const std::size_t added = std::strlen(src);
  if (used >= size || added >= size - used) return false;
  std::memcpy(dst + used, src, added + 1);
  return true;
}

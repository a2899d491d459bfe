// IsVersionStringOlder on arbitrary bytes: it must never read past the
// terminator nor overflow, and must agree with itself on the 260 limit.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "detect/VersionCheck.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzInput input(data, size);
  const int minMajor = static_cast<std::int8_t>(input.Byte());
  const int minMinor = static_cast<std::int8_t>(input.Byte());
  const std::string text = input.Rest();
  const std::string version = text.substr(0, text.find('\0'));
  const int older = IsVersionStringOlder(version.c_str(), minMajor, minMinor);
  if (older != 0 && older != 1) std::abort();
  if (version.size() >= kPathBufferSize && older != 0) std::abort();
  return 0;
}

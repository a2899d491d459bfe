// The version test on arbitrary version resources: translation tables of any
// length, FileVersion strings with or without terminator and with any
// reported length. It must give 0 or 1 and give the block back.
#include <cstdint>
#include <cstdlib>

#include "detect/VersionCheck.h"
#include "tests/fake/FakePlatformOps.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzInput input(data, size);
  const std::string translation = input.Bytes(16);
  const unsigned translationLength = input.Byte() % 20;
  const std::string version = input.Bytes(600);
  // A reported length never runs past what the block holds.
  const unsigned versionLength =
      version.empty() ? 0 : input.U32() % (version.size() + 1);
  const char* const names[] = {"\\StringFileInfo\\040904b0\\FileVersion",
                               "\\StringFileInfo\\00000000\\FileVersion",
                               "\\StringFileInfo\\ffffffff\\FileVersion"};
  FakePlatformOps ops;
  ops.AddVersionedFile(
      "C:\\probe.dll",
      {{"\\VarFileInfo\\Translation",
        {translation,
         translationLength <= translation.size()
             ? translationLength
             : static_cast<unsigned>(translation.size())}},
       {names[input.Byte() % 3], {version, versionLength}}});
  const int older = IsFileVersionOlder(ops, "C:\\probe.dll", 9, 0);
  if (older != 0 && older != 1) std::abort();
  if (ops.LiveBlockCount() != 0 || ops.badReleases != 0) std::abort();
  return 0;
}

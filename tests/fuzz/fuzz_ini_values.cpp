// Reading the option from INI files of arbitrary content: the state is Off,
// On or Mixed and agrees with how many files read as 1.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/SkipSetting.h"
#include "tests/fake/FakePlatformOps.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzInput input(data, size);
  DetectionResult detection;
  detection.m_bIsisFound = 1;
  detection.m_bTwainFound = 1;
  detection.m_bCaptureFound = 1;
  FakePlatformOps ops;
  int on = 0;
  for (const IniFileSlot& slot : kIniFiles) {
    char* path = detection.*slot.path;
    // Where the fake's profile functions read: the program's private folder.
    const std::string name = std::string(FakePlatformOps::kPrivateFolder) +
                             "\\ini" + std::to_string(&slot - kIniFiles);
    name.copy(path, kPathBufferSize - 1);
    ops.SetIniText(name, input.Bytes(400));
    on += ops.ReadIniInt("Special", kSkipSettingKey, name.c_str()) == 1;
  }
  int state = -1;
  ReadSkipSetting(ops, detection, &state, kSkipSettingKey);
  const int expected = on == 0                                 ? kSkipOff
                       : on == static_cast<int>(kIniFileCount) ? kSkipOn
                                                               : kSkipMixed;
  if (state != expected) std::abort();
  return 0;
}

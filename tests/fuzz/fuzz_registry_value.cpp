// Capture-application detection on an arbitrary registry value: any type,
// any bytes, with or without terminator. A Found target's INI path must be a
// terminated path that fits and ends in the INI file's name; anything else
// must leave it empty.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "detect/Detectors.h"
#include "tests/fake/FakePlatformOps.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzInput input(data, size);
  const unsigned long type = input.Byte() % 8;
  const bool installExe = input.Byte() & 1;
  const std::string bytes = input.Rest();
  FakePlatformOps ops;
  ops.SetRegistryValue(kCaptureAppKey, kCaptureAppValue, {type, bytes});
  if (installExe) {
    const std::string dir = bytes.substr(0, bytes.find('\0'));
    if (!dir.empty()) ops.AddFileWithVersion(dir + "\\LumoraApp.exe", "1.1");
  }
  DetectionResult result;
  int tooOld = 0;
  const int found = DetectCaptureApp(ops, result, &tooOld);
  const char* path = result.m_szCaptureIni;
  const std::size_t length = strnlen(path, kPathBufferSize);
  if (length >= kPathBufferSize) std::abort();
  if (found) {
    const char suffix[] = "\\UnitPrefs.ini";
    if (length < sizeof suffix - 1 ||
        std::strcmp(path + length - (sizeof suffix - 1), suffix) != 0) {
      std::abort();
    }
  } else if (length != 0) {
    std::abort();
  }
  if (tooOld != 0) std::abort();  // every installed exe here is 1.1
  return 0;
}

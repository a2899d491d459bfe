// The stand-in files with version resources that the Windows tests install
// as the scanning software's probe files. Each is built as <name>.dll beside
// the test programs.
#pragma once

struct ProbeFile {
  const char* name;
  const char* fileVersion;  // its FileVersion string
};

constexpr ProbeFile kTwain9 = {"probe_twain_9", "9, 0, 2, 1"};
constexpr ProbeFile kTwain8 = {"probe_twain_8", "8, 99, 0, 0"};
constexpr ProbeFile kIsis3 = {"probe_isis_3", "3, 0, 0, 0"};
constexpr ProbeFile kIsis2 = {"probe_isis_2", "2, 9, 0, 0"};
constexpr ProbeFile kLumora11 = {"probe_lumora_11", "1.1"};
constexpr ProbeFile kLumora10 = {"probe_lumora_10", "1, 0, 5, 0"};

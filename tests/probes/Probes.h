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

// probe_twain_8 with its version resource corrupted, one field each: the
// resource directory's data size (1 MiB, or one that wraps when doubled),
// its data address (far outside the file), VS_VERSIONINFO's own length.
constexpr ProbeFile kTwain8SizeOneMiB = {"probe_twain_8_size_1m", nullptr};
constexpr ProbeFile kTwain8SizeWrapping = {"probe_twain_8_size_wrap", nullptr};
constexpr ProbeFile kTwain8AddressOutside = {"probe_twain_8_address", nullptr};
constexpr ProbeFile kTwain8LengthTooLong = {"probe_twain_8_length", nullptr};

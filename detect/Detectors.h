// Detection of the three targets. Each detector fills the target's INI paths
// in `result` and returns 1 when the target is Found. When it is installed
// but older than its minimum version, the detector sets *tooOld to 1 (and
// never to 0: the caller clears it first); when its probe file is there but
// cannot be examined, it sets the target's probeFailure. Any path that would
// not fit its 260-byte buffer, and any failing platform call, makes the target
// Absent.
#pragma once

#include "detect/ScanTargets.h"
#include "platform/PlatformOps.h"

// The registry key and value that record the capture application's
// install directory (HKEY_LOCAL_MACHINE, 32-bit view).
constexpr const char* kCaptureAppKey = "SOFTWARE\\Norvel\\Lumora\\1.00.000";
constexpr const char* kCaptureAppValue = "InstallDir";

// probePath, when given, is a 260-byte buffer that receives the path of the
// file probed (empty when the target's base directory is unknown).
int DetectTwainDriver(PlatformOps& ops, DetectionResult& result, int* tooOld,
                      char* probePath = nullptr);
int DetectIsisDriver(PlatformOps& ops, DetectionResult& result, int* tooOld,
                     char* probePath = nullptr);
int DetectCaptureApp(PlatformOps& ops, DetectionResult& result, int* tooOld,
                     char* probePath = nullptr);

// The probe file of each target, as DetectAllTargets found it.
using ProbePaths = char[kTargetCount][kPathBufferSize];

// Runs the three detectors in their fixed order (TWAIN, ISIS, capture
// application), setting the found flags and probe failures in `result` and
// `tooOld` (cleared first), and the probe paths when asked for.
void DetectAllTargets(PlatformOps& ops, DetectionResult& result,
                      TargetFlags& tooOld, ProbePaths* probes = nullptr);

// The FileVersion string of the program file at `path` (a probe), read from
// a private copy of its bytes, reached through handles that follow no link;
// false (and an empty text) when it cannot be read.
bool ReadProgramVersion(PlatformOps& ops, const char* path,
                        char (&version)[kPathBufferSize]);

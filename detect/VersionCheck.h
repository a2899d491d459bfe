// Whether an installed file is older than the oldest version the program
// works with. The version compared is the text of the file's FileVersion
// string, not the numeric fields of its version resource.
#pragma once

#include "platform/PlatformOps.h"

// 1 when the "major.minor..." text (',' or '.' separated, fields read as atoi
// reads them, third and later fields ignored) is older than minMajor.minMinor;
// 0 otherwise, and 0 for a text of 260 characters or more.
int IsVersionStringOlder(const char* version, int minMajor, int minMinor);

// 1 when the FileVersion string of the file's first translation is older than
// the minimum. 0 otherwise, including when the file has no version resource,
// no translation or no FileVersion string, or any step fails: such a file
// counts as new enough. So does a malformed resource (a size no version
// resource can have, a length field beyond the block read), which is never
// handed to the system to read.
int IsFileVersionOlder(PlatformOps& ops, const char* path, int minMajor,
                       int minMinor);

// The FileVersion string of the file's first translation, as the test above
// reads it; false (and an empty text) when it cannot be read.
bool ReadFileVersion(PlatformOps& ops, const char* path,
                     char (&version)[kPathBufferSize]);

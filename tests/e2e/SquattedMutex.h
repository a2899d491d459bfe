// What a standard user can do to any name under Global\: make it first,
// with a DACL that lets nobody else open it.
#pragma once

#include <windows.h>

// The mutex, held until the handle is closed; null on failure.
HANDLE HoldSquattedMutex(const char* name);

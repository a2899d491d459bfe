// One copy of the dialog per session: a named mutex held for the program's
// life. A failure to create it counts as another copy running: the guard
// fails closed.
#pragma once

#include "platform/PlatformOps.h"

// In the session's namespace; in session 0 that namespace is the global one.
constexpr const char* kInstanceGuardName = "VRP_SETTING_TOOL";

// 0 when this is the only copy (the mutex handle stays open in *guard);
// 1 when another copy runs or the mutex cannot be created (*guard is null).
int AcquireInstanceGuard(PlatformOps& ops, OsHandle* guard, const char* name);

// Closes the guard's handle, if any, so that a new copy may start; the
// handle is cleared so it can never be closed twice. The writer lock is
// given back the same way.
void ReleaseInstanceGuard(PlatformOps& ops, OsHandle& guard);

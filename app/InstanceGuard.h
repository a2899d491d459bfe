// One copy of the program at a time: a named mutex held for the program's
// life. A failure to create it counts as another copy running: the guard
// fails closed.
#pragma once

#include "platform/PlatformOps.h"

constexpr const char* kInstanceGuardName = "VRP_SETTING_TOOL";
// The same across every session of the machine: two administrators in two
// sessions, or the dialog and the console program run as SYSTEM by a
// deployment engine, must not write at once.
constexpr const char* kMachineGuardName = "Global\\VRP_SETTING_TOOL";

// 0 when this is the only copy (the mutex handle stays open in *guard);
// 1 when another copy runs or the mutex cannot be created (*guard is null).
int AcquireInstanceGuard(PlatformOps& ops, OsHandle* guard, const char* name);

// The machine-wide guard: 0 when no other copy holds it (*guard then holds
// it, or is null where this user may not create machine-wide names and no
// copy has made it); 1 when another copy holds it, or it cannot be had for
// another reason (*guard is null).
int AcquireMachineGuard(PlatformOps& ops, OsHandle* guard);

// Closes the guard's handle, if any, so that a new copy may start; the
// handle is cleared so it can never be closed twice.
void ReleaseInstanceGuard(PlatformOps& ops, OsHandle& guard);

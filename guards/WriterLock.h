// One writer per machine: the dialog and the console program, in any
// session, as any administrator or as SYSTEM, never write at once.
//
// Anyone may create a name under Global\, so the lock must not let a
// standard user who made the name first stop every administrator: it is
// created owned by Administrators and open to SYSTEM and Administrators
// only, and one that exists counts only when it is ours. (A private
// namespace bounded by the Administrators SID would be Windows' own answer;
// Wine does not implement one, so nothing here could test it.)
#pragma once

#include "platform/PlatformOps.h"

// No Global\ or Local\ prefix makes it the session guard's name, so in
// session 0, where the session namespace is the global one, the two are
// still two objects.
constexpr const char* kWriterLockName = "Global\\VRP_SETTING_TOOL_WRITER";

enum class WriterLock {
  kHeld,      // this copy holds it (the handle is open)
  kBusy,      // another copy holds it, or it cannot be made: fails closed
  kSquatted,  // someone else made the name: carry on without a lock
};

// Takes the lock into *lock (null unless kHeld). Only administrators and
// SYSTEM take it: an existing lock is ours when this caller could open it
// and its owner is Administrators or SYSTEM.
WriterLock AcquireWriterLock(PlatformOps& ops, OsHandle* lock);

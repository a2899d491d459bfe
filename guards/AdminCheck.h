// Whether the user may run the program: a member of the local Administrators
// group. Every failure on the way counts as "no": the test fails closed.
#pragma once

#include "platform/PlatformOps.h"

// 1 when the process token's group list holds the Administrators SID
// (S-1-5-32-544), whatever the group's attributes (a deny-only or disabled
// group still counts); 0 otherwise. Two unexpected answers of the first
// group-list query are told to the debugger output.
int IsAdministrator(PlatformOps& ops);

// 1 only when the Administrators group counts in access checks: present,
// enabled and not for deny only, as CheckTokenMembership decides. An
// administrator's unelevated token lists the group for deny only: every
// write it tried would be refused. Otherwise as IsAdministrator.
int IsEffectiveAdministrator(PlatformOps& ops);

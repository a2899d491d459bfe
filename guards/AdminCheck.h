// Whether the user may run the program: a member of the local Administrators
// group. Every failure on the way counts as "no": the test fails closed.
#pragma once

#include "platform/PlatformOps.h"

// 1 when the process token's group list holds the Administrators SID
// (S-1-5-32-544) so that it counts in access checks: enabled and not for
// deny only, as CheckTokenMembership decides; 0 otherwise. An
// administrator's unelevated token (or one started with RunAsInvoker) lists
// the group for deny only: every write it tried would be refused, and the
// writer lock, owned by Administrators, could not be made. Two unexpected
// answers of the first group-list query are told to the debugger output.
int IsAdministrator(PlatformOps& ops);

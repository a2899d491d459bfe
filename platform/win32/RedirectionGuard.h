// Redirection Guard: Windows' own refusal to follow a junction that a
// non-administrator made. Both programs run elevated, and the folders they
// write in may be ones that standard users can change.
#pragma once

// Turns it on for this process (SetProcessMitigationPolicy with
// ProcessRedirectionTrustPolicy, enforcing). Where Windows does not offer
// it (before Windows 11 version 22H2, or under Wine) nothing happens: the
// checked write refuses links on its own.
void EnableRedirectionGuard();

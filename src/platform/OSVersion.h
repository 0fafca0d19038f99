#pragma once
// Which Windows the program runs on.
#include <string>

// "NT" when GetVersionExA succeeds with platform 2, else "notNT".
std::string GetOSKind();
// Display name of the running Windows ("Windows XP", "Windows 98<SE>", ...).
std::string GetOSName();
// The name table itself, a pure function of GetVersionExA's four numbers
// (all -1 when the call failed).
std::string OSNameFor(long platform, long major, long minor, long build);

#pragma once
// The strict personality of the test build SETUP_STRICT.EXE (tests/strict):
// keyed off the version the system reports, the boundary refuses what 95,
// 98, Me and NT 4.0 refuse, with the error that Windows gives, by the rules
// of tests/e2e/OldWindows.tsv, and logs every refusal so that a test fails
// on it. The shipped program is built without RV_STRICT_WINDOWS: there each
// check is a constant true and compiles to nothing.
#include <windows.h>

namespace strict {

#ifdef RV_STRICT_WINDOWS
// False, with the last error that Windows sets, when the running Windows
// refuses this use of the call (value: the flags or the case it is about).
// A refusal the program must never meet is logged; one the program is
// built to meet (a folder number an old shell does not know) only answered.
bool Allows(const char* call, unsigned long value);
// True when the running Windows does not export this function.
bool Lacks(const char* library, const char* function);
// True when the test asked for this personality besides the version's
// (RV_STRICT_PERSONALITY): "no932", a system without code page 932;
// "noshort", a volume with 8.3 names off (GetShortPathName gives the long
// path back).
bool Personality(const char* name);
#else
inline bool Allows(const char*, unsigned long) { return true; }
inline bool Lacks(const char*, const char*) { return false; }
inline bool Personality(const char*) { return false; }
#endif

}  // namespace strict

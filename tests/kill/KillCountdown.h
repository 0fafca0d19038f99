#pragma once
// Test builds only (tests/kill): a countdown that ends the process without
// any clean-up, as a power loss or the task manager would, after a given
// number of changes to files and keys. The shipped SETUP.EXE is built
// without it and never reads its variables.
//
//   RV_KILL_AFTER=k   the process performs k counted operations and is
//                     terminated (exit code kKilledExitCode) as it starts
//                     the next one
//   RV_KILL_REPORT=f  at a normal end, the number of counted operations is
//                     written to the file f (decimal), so a test can spread
//                     its kill points over a whole run
//   RV_KILL_TRACE=f   the counted operations, one line each: number, the
//                     function and its file, key or value name (CP932),
//                     written at the end or at the kill
//   RV_KILL_THROW=1   with RV_KILL_AFTER: instead of the kill, the next
//                     counted operation throws std::runtime_error (once), as
//                     an error nobody foresaw would

constexpr unsigned kKilledExitCode = 0xDEAD;

// A preview's dry changes are counted and traced as the calls they stand
// for, so that its trace can be set beside a real run's.
//
// Counted from then on: every call of the program's own code that creates,
// writes, moves or deletes a file or folder, writes a profile file, or
// creates, sets or deletes a registry key or value (the shell's deletion
// and the LZ copy included). Files opened before (the /LOG file) are not.
void StartKillCountdown();

#pragma once
// The whole unattended session of /S, from start-up to the exit code, with
// no window at all: start-up as the wizard does it, the installation tests,
// the package's checker, then the install or uninstall run through the
// unattended view. Message boxes of the lower layers are answered from the
// same table and written to the log instead of being shown.
struct LaunchCommand;

// The program's exit code (see ExitCode and ExitCodeFor).
int RunSilentSession(const LaunchCommand& command);

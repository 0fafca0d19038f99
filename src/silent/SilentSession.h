#pragma once
// The whole unattended session of /S, from start-up to the exit code, with
// no window at all: the session the wizard runs (Session), with the folder
// of /D=, the script's shortcut boxes and the record's options, through the
// unattended view. The message boxes of the lower layers reach that view
// too, each answered with its own unattended answer and written to the log
// instead of being shown.
struct LaunchCommand;

// The program's exit code (see ExitCode and ExitCodeFor).
int RunSilentSession(const LaunchCommand& command);

#pragma once
// The whole unattended session of /S, from start-up to the exit code, with
// no window at all: the session the wizard runs (Session), with the folder
// of /D=, the script's shortcut boxes and the record's options, through the
// unattended view. The message boxes of the lower layers reach that view
// too, each answered with its own unattended answer and written to the log
// instead of being shown.
#include <functional>
#include <string>

class Session;
class TSilentView;
struct LaunchCommand;

// The run itself, once the session has laid it out: by default the
// session's run through the door in use (a preview puts its stand-in there
// first). The program's exit code.
using SilentRun = std::function<int(Session& session, TSilentView& view)>;

// The program's exit code (see ExitCode and ExitCodeFor).
int RunSilentSession(const LaunchCommand& command, const SilentRun& run = {});

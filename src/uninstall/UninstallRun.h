#pragma once
// The uninstall run: removes what the record in State().ScriptFile lists,
// shows its progress and asks its questions through the view, and returns
// when the person has left the completion page (the view has ended the run's
// windows by then).
// The outcome says how it ended, for an unattended caller and the log.
#include "app/RunOutcome.h"

class RunView;

RunOutcome RunUninstall(RunView& view);

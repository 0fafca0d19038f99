#pragma once
// The install run: from the folder page's start press to the completion
// page. Reads the script copy in State().ScriptFile, shows its progress and
// asks its questions through the view, and returns when it has ended (by
// completion, by the stop path, or at an abort check). The view has ended the
// run's windows by then, except after an abort, which ended them itself.
// The outcome says how it ended, for an unattended caller and the log.
#include "app/RunOutcome.h"

class RunView;

RunOutcome RunInstall(RunView& view);

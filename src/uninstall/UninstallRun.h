#pragma once
// The uninstall run: removes what the record in State().ScriptFile lists,
// shows its progress and asks its questions through the view, and returns
// when the person has left the completion page (the view has ended the run's
// windows by then).
// The outcome says how it ended, for an unattended caller and the log.
#include <optional>
#include <string>

#include "app/RunOutcome.h"

class RunView;

RunOutcome RunUninstall(RunView& view);

// Finishes an uninstall that was cut short after it had deleted its record
// (recordFile, which is gone) but before its progress file went: removes
// the Add/Remove Programs entries whose command starts this record, the
// progress file, and the install folder when it is empty and no system
// folder. Nothing, when the record is there or no progress file lies beside
// it. The outcome counts what could not be removed. Needs the system
// folders of start-up.
std::optional<RunOutcome> FinishCutShortUninstall(const std::string& recordFile);

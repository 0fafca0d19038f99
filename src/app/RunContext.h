#pragma once
// What the install run and the uninstall run share: the view they talk
// through, the state record, and the failure log with its count that the
// summary and the completion page show. Each run's context derives from it.
#include <string>

#include "app/RunView.h"
#include "app/SetupState.h"

// The result word of a step in which an item failed.
inline constexpr const char* kPartlyFailed = "一部失敗";

// The completion page of a run that needs Windows restarted to finish
// (word: the install or the uninstall word), and its choice to restart.
std::string RestartNeededText(const std::string& word);
inline constexpr const char* kRestartChoice = "はい、Windowsを再起動します。(&Y)";

class RunContext {
public:
    RunContext(RunView& view, SetupState& state) : view(view), s(state) {}

    RunView& view;
    SetupState& s;
    int failures = 0;
    std::string failureLog;

    // The status label shows StatusText.
    void Show() { view.ShowStatus(s.StatusText); }
    // One failure: tag line, reason lines (ending with CR LF), empty line;
    // also a line of the /LOG file.
    void AddFailure(const std::string& tag, const std::string& subject, const std::string& reason);
    // A line in the failure log that is not a failure of its own.
    void AddNote(const std::string& line);
};

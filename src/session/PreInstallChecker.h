#pragma once
// The package author's checker program ([Extend] InstallChecker), run once
// before an install: it leaves its verdict in RVRESULT.INI in the Windows
// folder, and only "ContinueInstall", exactly, lets the install go on.
#include <functional>
#include <string>

struct SetupState;

// The checker beside the program; empty when none is named or it is not
// there (the install then goes on without one).
std::string PreInstallChecker(const SetupState& state);

struct CheckerVerdict {
    bool allows = false;
    // Its Message, "<改行>" turned into line ends; written to the /LOG file.
    std::string message;
};

// Runs the checker and waits for it. A result file left by an earlier run
// never counts: it is deleted before the run, and again once read. ended,
// when given, runs as soon as the checker has ended (the wizard takes its
// buttons and the foreground back); a refusal is then told in its box
// (MsgBox). The message is the caller's to show.
CheckerVerdict RunPreInstallChecker(const SetupState& state, const std::string& checker,
                                    const std::function<void()>& ended = {});

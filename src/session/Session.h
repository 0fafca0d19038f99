#pragma once
// One start of the program, as the wizard and /S share it: start-up, the
// settings a front end shows, the installation tests, the package author's
// checker, the run with its log and exit code, and the clean-up at the end.
// Each step returns a plain result that the front end renders; a box a step
// shows goes through MsgBox with its unattended answer, so the same steps
// serve a person and /S.
#include <string>

#include "app/RunOutcome.h"
#include "install/ShortcutBoxes.h"
#include "session/PreInstallChecker.h"
#include "session/ScriptSettings.h"

class RunView;
struct SetupState;

// What start-up found.
struct StartUpResult {
    enum class Kind {
        Fatal,      // only the end is left; fatal holds the lines
        Finished,   // an uninstall cut short after its record went was finished now
        Install,
        Uninstall,
    };
    Kind kind = Kind::Fatal;
    std::string fatal;                     // Fatal: the lines (FatalMessage makes the text)
    RunOutcome finished;                   // Finished: how the finishing went
    int exitCode = ExitCode::kCannotStart;  // Fatal, Finished: the program's exit code

    // Install and Uninstall.
    std::string banner;      // the background window's banner
    std::string title;       // the wizard's and the background window's title
    std::string topMessage;  // the folder page's message
    std::string folder;      // the folder box: the default install folder, or the record's
    bool optionsChangeable = true;      // install: folder, browser, overwrite and speed
    ShortcutBoxes shortcuts;            // install: the boxes the script's entries need
    UninstallOptions uninstallOptions;  // uninstall: the option page
};

class Session {
public:
    explicit Session(SetupState& state) : s_(state) {}

    // Start-up up to the script copy, then the settings; fills the state
    // record (words, titles, pacing, ItemText, UnSetupOption). A fatal start
    // and a finished one are written to the /LOG file here.
    // finishCutShort false (a preview): an uninstall cut short is left as
    // it is, and the start is a fatal one.
    StartUpResult Start(const std::string& programPath, const std::string& firstArgument,
                        bool finishCutShort = true);

    // Install mode: the refused operating system, then the strict and the
    // advisory previous-installation tests against the folder shown, each
    // with its box. True when the install may not go on.
    bool InstallRefused(const std::string& folderShown);

    // The package author's checker (PreInstallChecker.h): its path, empty
    // when there is none; and its run.
    std::string Checker() const;
    CheckerVerdict RunChecker(const std::string& checker, const std::function<void()>& ended = {});

    // The install or uninstall run of the mode through the view, its
    // questions, dialogs and failure log written to the /LOG file with who
    // answered; the program's exit code for the outcome.
    int Run(RunView& view, const std::string& who);

    // The end of the start: the shell hears of the changes when a run made
    // some (changed), of changed associations only when a file type or class
    // may have changed (ClassesMayHaveChanged), and the working folders go
    // (onlyOwnFolder: this start's alone, a preview's).
    void End(bool changed, bool onlyOwnFolder = false);

private:
    SetupState& s_;
};

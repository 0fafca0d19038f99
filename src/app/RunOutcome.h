#pragma once
// How a run ended, as the runs return it: enough for an unattended caller to
// choose its exit code and for the log to name the failures. The wizard does
// not look at it.
#include <string>

struct RunOutcome {
    enum class End {
        Completed,         // the completion page was reached
        StoppedUnchanged,  // stopped before anything was written
        StoppedChanged,    // stopped after changes; what was made stays
        Aborted,           // the person aborted (wizard only)
        RecordRefused,     // the uninstall record is not as the install wrote it: nothing was done
        PackageDamaged,    // a one-file's files did not extract whole: nothing was done
    };
    End end = End::Completed;
    int failures = 0;          // entries of the failure log
    // Of those, entries that only follow from files kept on purpose (the
    // install folder still holding a kept library): not failures by themselves.
    int failuresFromKeptFiles = 0;
    // Of those, entries whose work waits for the next restart (a file in use
    // whose deletion is scheduled): the restart completes them.
    int failuresTheRestartCompletes = 0;
    std::string failureLog;
    bool restartNeeded = false;  // files wait for the next start, or the package asks for it
};

// 0 done; 1 done with failures; 3010 done and only a restart is missing;
// 2 stopped unchanged; 3 stopped (or aborted) after changes; 4 a record
// refused. A failure that the restart completes (a deletion waiting for it)
// needs only the restart.
int ExitCodeFor(const RunOutcome& outcome);

// The exit codes of the program.
namespace ExitCode {
constexpr int kDone = 0;
constexpr int kDoneWithFailures = 1;
constexpr int kStoppedUnchanged = 2;
constexpr int kStoppedChanged = 3;
constexpr int kCannotStart = 4;
constexpr int kBadCommandLine = 87;     // ERROR_INVALID_PARAMETER
constexpr int kLogNotWritable = 1622;   // ERROR_INSTALL_LOG_FAILURE
constexpr int kInternalError = 1603;    // ERROR_INSTALL_FAILURE: an unexpected error ended the program
constexpr int kAnotherSetup = 1618;     // ERROR_INSTALL_ALREADY_RUNNING
constexpr int kPackageDamaged = 1620;   // ERROR_INSTALL_PACKAGE_INVALID: a one-file cut short or damaged
constexpr int kRestartNeeded = 3010;    // ERROR_SUCCESS_REBOOT_REQUIRED
}  // namespace ExitCode

#include "app/RunOutcome.h"

int ExitCodeFor(const RunOutcome& outcome) {
    switch (outcome.end) {
    case RunOutcome::End::StoppedUnchanged: return ExitCode::kStoppedUnchanged;
    case RunOutcome::End::RecordRefused: return ExitCode::kCannotStart;
    case RunOutcome::End::PackageDamaged: return ExitCode::kPackageDamaged;
    case RunOutcome::End::StoppedChanged:
    case RunOutcome::End::Aborted: return ExitCode::kStoppedChanged;
    case RunOutcome::End::Completed: break;
    }
    if (outcome.failures > outcome.failuresFromKeptFiles + outcome.failuresTheRestartCompletes)
        return ExitCode::kDoneWithFailures;
    return outcome.restartNeeded ? ExitCode::kRestartNeeded : ExitCode::kDone;
}

#pragma once
// The one decision every file entry of the uninstall record passes through:
// delete the file, leave it, or ask, from its flags ("/S", "/C", "/L", "/F"),
// its SharedDLLs count and whether it is a library in the Windows or system
// folder. Questions go through the run's view.
#include <functional>
#include <string>

#include "record/EntryFlags.h"
#include "sysops/Deletion.h"
#include "sysops/NoFollow.h"

class RunView;

// How a run that may follow one cut short takes a "/S" count down: at most
// once over both runs.
struct DecrementGuard {
    // True when an earlier run already took this entry's count down (the
    // count is the one there now); the count is then taken as the result
    // of that decrement.
    std::function<bool(long countNow)> alreadyDone;
    // Called just before the decrement with the count it starts from; false
    // (the note could not be made safe on disk) holds the decrement back.
    std::function<bool(long countBefore)> before;
};

// How an entry is acted on beyond its path.
struct EntryForm {
    // The SharedDLLs value its count is under (empty: the path).
    std::string countName;
    // For a pattern: how its walk goes.
    WalkRules rules;
    // Whether the library may be loaded to undo its registration before its
    // deletion (none: it is not loaded).
    UnregisterGate unregister;
};

// What the decision did with one entry.
struct FileOutcome {
    unsigned long code = 0;  // 0, or the Win32 code of a file that is still there
    std::string note;        // the restart note (ends with CR LF) or empty
    bool kept = false;       // stays by decision ("/L" added or present)
    bool scheduled = false;  // its deletion waits for the next restart
    // The count could not be lowered (code: the registry's); the file stays.
    bool countFailed = false;
};

class SharedFilePolicy {
public:
    explicit SharedFilePolicy(RunView& view) : view_(view) {}

    // Decides and acts for one entry (path, its flags). A "/S" entry's count
    // is decremented exactly once, before any question. A file that
    // survives an attempt to delete it gives 5 when no other code was
    // reported and, with "/F", is scheduled for deletion at the next restart
    // (the note is set only when that succeeded). A count that cannot be
    // lowered, or whose decrement the guard holds back, keeps the file and
    // is reported (countFailed), never raised.
    FileOutcome Decide(const std::string& path, EntryFlags flags, const DecrementGuard& guard = {},
                       const EntryForm& form = {});
    FileOutcome Decide(const std::string& path, const std::string& flagText, const DecrementGuard& guard = {},
                       const EntryForm& form = {}) {
        return Decide(path, EntryFlags::Read(flagText), guard, form);
    }

    // "Can't Delete" until the shared-file dialog was answered; "Delete" and
    // "Save" then answer every later shared-file question of the run.
    const std::string& PersistentAnswer() const { return answer_; }

private:
    // The shared-file dialog, unless "Delete" or "Save" already holds.
    std::string AskShared(const std::string& path);
    bool AskYesNo(const std::string& text);

    RunView& view_;
    std::string answer_ = "Can't Delete";
};

// The note of a file whose deletion waits for the next restart.
extern const char* const kRestartNote;

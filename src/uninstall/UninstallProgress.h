#pragma once
// The uninstall's progress file, UNSETUP.RUN beside the record. An
// uninstall can end at any instruction (power loss, task manager, logoff);
// the next one, started the same way, must finish the job without taking a
// shared count down a second time, since another program may still hold
// it. The file exists from the first change of a run until its last step
// but one, so finding it at the start means a run before this one was cut
// short.
#include <string>

#include "record/RecordKeys.h"

class UninstallProgress {
public:
    // recordFile: the record the run was started with; an empty one gives a
    // progress that keeps nothing.
    explicit UninstallProgress(const std::string& recordFile);

    const std::string& path() const { return path_; }
    // The file is there (a run was cut short and nothing has ended it yet).
    bool Exists() const;
    // Creates the file unless it is there, noting the Add/Remove Programs
    // key of the record, so the key can still be found once the record is
    // gone.
    void Begin(const std::string& registryKey);
    std::string RegistryKey() const;

    // entry: the record's section and key ("DeleteFile3"). Before a shared
    // count is taken down, the count it has then is noted (written ahead:
    // a run cut short right after the note and before the decrement leaves
    // the count unchanged, which the next run sees). False when the note is
    // not on the disk: the decrement must then wait.
    bool NoteDecrement(const std::string& entry, const std::string& path, long countBefore);
    // True when a run cut short took this entry's count down already: it
    // noted the entry with a count other than the one there now.
    bool AlreadyDecremented(const std::string& entry, const std::string& path, long countNow) const;

    // Deletes the file; 0 or the Win32 code.
    unsigned long Remove() const;

private:
    std::string path_;
};

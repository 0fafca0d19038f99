#pragma once
// The state of one install run and the conventions every stage follows:
// status lines, step results, pacing, abort checks, the stop path and the
// failure log. Shared by the stage files of the install run only.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/RunContext.h"
#include "app/RunOutcome.h"
#include "record/UninstallRecord.h"
#include "sysops/NoFollow.h"

struct Association {
    std::string name;  // [Relate] Name<n>: extension[,description]
    std::string file;  // [Relate] File<n>: verb,program,arg1,arg2,icon
};

class InstallContext : public RunContext {
public:
    InstallContext(RunView& view, SetupState& state) : RunContext(view, state) {}

    RunOptions options;
    std::string installFolder;  // canonical form of the folder box text

    int copyEntries = 0;  // m of the counter "(n/m)"
    int processed = 0;    // n
    int disk = 1;
    unsigned long long requiredBytes = 0;
    unsigned long long copiedBytes = 0;
    bool byteProgress = true;
    std::vector<Association> relate;
    RecordLists fresh;
    RecordLists previous;
    RestoreTable restore{};
    bool restartNeeded = false;
    bool registered = false;       // the Add/Remove Programs entry names the saved record
    std::string registrationNote;  // why no entry was made, for the summary
    // The install folder's chain, held from the check to the end of the
    // run: none of its levels can become a link meanwhile.
    std::optional<HeldFolders> installHeld;
    // Files whose bytes this run vouches for (it wrote them, or they equal
    // the package's own), by upper-case canonical path: the digest.
    std::map<std::string, std::string> vouched;
    std::string beforeProgram;  // canonical path of [BeforeUnInstall] File
    bool packageDamaged = false;   // a one-file's files did not extract whole
    unsigned long long installedBytes = 0;  // sizes of the files copied (after expansion)  // set by the completion stage

    // The status label shows StatusText and the item line.
    void ShowItem();
    // A step's line: begin appends the text, end appends the result word.
    void StepBegin(const std::string& text, const char* initialResult = "完了");
    void StepEnd();
    void Pause() { view.Pause(static_cast<unsigned long>(s.SetupSpeed)); }
    // True when the person aborted: the caller returns at once.
    bool Aborted() { return view.Aborted(); }
    // The person declined to go on, or a fatal error: the stop message,
    // then the run's windows end.
    void Stop();
};

// The stages in the order the run calls them; false when the run has ended
// (stopped or aborted) and nothing more may be done.
bool PrepareInstall(InstallContext& run);   // opening, space, folder
bool MakeFolders(InstallContext& run);
bool CopyFiles(InstallContext& run);
bool MakeShortcuts(InstallContext& run);
bool WriteRegistryValues(InstallContext& run);
bool WriteIniEntries(InstallContext& run);
void CollectUninstallLists(InstallContext& run);
bool MakeAssociations(InstallContext& run);
bool WriteUninstallRecord(InstallContext& run);
bool CompleteInstall(InstallContext& run);

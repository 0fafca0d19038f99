#pragma once
// What the uninstall run's stages share: the run itself with its state, and
// the helpers more than one stage uses. Only the run's own files include it.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/PathMacros.h"
#include "app/RunContext.h"
#include "app/RunLog.h"
#include "app/RunView.h"
#include "app/SystemChanges.h"
#include "app/ScriptKeys.h"
#include "app/SetupState.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Win932.h"
#include "record/Digests.h"
#include "record/EntryFlags.h"
#include "sysops/Deletion.h"
#include "sysops/HeldFile.h"
#include "sysops/PathNames.h"
#include "sysops/ProfileSections.h"
#include "sysops/Registry.h"
#include "sysops/SharedDlls.h"
#include "sysops/Shell.h"
#include "uninstall/Associations.h"
#include "uninstall/KeyGuards.h"
#include "uninstall/PathGuards.h"
#include "uninstall/RefusalTexts.h"
#include "uninstall/RecordEntries.h"
#include "uninstall/SharedFilePolicy.h"
#include "uninstall/UninstallProgress.h"
#include "uninstall/UninstallRun.h"

namespace uninstall_run {

const char kCrLf[] = "\r\n";
const char kDone[] = "完了";
const char kFailed[] = "失敗";

// A question whose safe answer is "no": the second button is the default.
constexpr unsigned kWarnYesNo = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;

// How long a folder still in use is tried again: 20 times 100 ms.
constexpr int kFolderInUseRetries = 20;
constexpr unsigned long kFolderInUseWaitMs = 100;

// How many names of what is left in the install folder the log lists.
constexpr size_t kListedLeftovers = 20;

inline std::vector<std::string> ReadNumbered(const char* section, const char* prefix, const std::string& file) {
    return IniReadList(section, prefix, file);
}

// A [DeleteRegistry] value: characters 1 to 7 are the root macro when they
// start with "(" and end with ")"; otherwise the whole value is a key of
// HKEY_CURRENT_USER.
inline void SplitKeyValue(const std::string& value, std::string& rootMacro, std::string& keyPath) {
    if (value.size() >= 7 && value[0] == '(' && value[6] == ')') {
        rootMacro = StrLeft(value, 7);
        keyPath = StrMid(value, 8);
    } else {
        rootMacro = "(Cuser)";
        keyPath = value;
    }
}

// The bytes before the first "*" or "?" (CP932 aware: a trail byte may be
// either character's code).
inline size_t StemLength(const std::string& name) {
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '*' || name[i] == '?') return i;
        if (IsDBCSLeadByteEx(932, static_cast<BYTE>(name[i])) && i + 1 < name.size()) ++i;
    }
    return name.size();
}

// A stem this long names a program's own files; "S*" takes anybody's.
constexpr size_t kOutsideStem = 3;

// The temporary names of copies a killed install left (or of a
// replacement at the restart the uninstall makes moot), in the package's
// own folders only.
inline std::string CopyLeftovers() { return std::string("*") + kCopyTemporarySuffix + "|"; }

// What a run cut short has already taken away.
inline bool IsGone(unsigned long code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

// A shortcut file by its name: only such a file may be named as a shortcut
// (a library named there would go without the shared-file decision).
inline bool IsShortcutFile(const std::string& path) {
    const std::string name = ExtractFileName(path);
    const size_t dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : Upper(name.substr(dot));
    return extension == ".LNK" || extension == ".PIF" || extension == ".URL";
}

// The folder a folder lies in ("C:\App\sub\" gives "C:\App\").
inline std::string ParentOf(const std::string& folder) { return ExtractFilePath(RemovePathDelimiter(folder, "B")); }

// The form the run uses for the folder field: canonical when it resolves.
inline std::string InstallFolderForm(const std::string& text) {
    const std::string canonical = IsFullyQualified(text) ? ProtectedFolders::Canonical(text) : std::string();
    return canonical.empty() ? text : canonical;
}

class TUninstallRun : private RunContext {
public:
    TUninstallRun(RunView& view, const RunOptions& options, const std::string& installFolder)
        : RunContext(view, State()),
          record_(State().ScriptFile),
          options_(options),
          installFolderText_(installFolder),
          installFolder_(InstallFolderForm(installFolder)),
          protected_(ProtectedFolders::ForThisMachine(State())),
          policy_(view),
          progress_(State().RecordFile),
          resumed_(progress_.Exists()),
          userSid_(CurrentUserSid()),
          recordUpper_(s.RecordFile.empty() ? std::string() : Upper(CanonicalPath(s.RecordFile))),
          installUpper_(IsFullyQualified(installFolder_) ? Upper(ProtectedFolders::Canonical(installFolder_))
                                                          : std::string()) {
        // What no entry and no pattern may take: the uninstaller every
        // package shares, the program-ID list, this run's record (it goes
        // last, DeleteRecord), its working copy and its progress file.
        const std::string windows = AddPathDelimiter(s.WindowsFolder, "B");
        for (const std::string& file : {windows + RecordFiles::kUninstaller,
                                        windows + Script::ProgramIDList::kFileName, s.RecordFile, record_,
                                        progress_.path()}) {
            const std::string canonical = file.empty() ? file : CanonicalPath(file);
            if (!canonical.empty()) ownFiles_.push_back(Upper(canonical));
        }
    }

    RunOutcome Run();

private:
    void Prepare();
    void RemoveProgramID();
    void RunBeforeProgram();
    void DeleteFiles();
    void DeleteFileEntry(const std::string& value, bool listed, const std::string& entry);
    bool MayUnregister(const HeldFile& library, const EntryFlags& flags);
    // The warning for a program or library that is not what the install
    // kept the digest of; true when the person chose to use it anyway.
    bool GoOnWithChangedFile(const std::string& path, const std::string& consequence, const std::string& safe);
    void DeleteShortcuts();
    void DeleteFolders();
    void DeleteKeys();
    void RestoreAssociations();
    bool DeleteRecord();
    void RemoveRegistration();
    void DeleteInstallFolder();
    void Summarize();
    void Complete();

    unsigned long RemoveFolder(const std::string& folder, const std::string& patterns);
    bool IsOwnFile(const std::string& canonical) const;
    // The folder (canonical, as ReadRecordPath gives it) is the install
    // folder or lies below it.
    bool InInstallFolder(const std::string& folder) const {
        return ProtectedFolders::IsInsideCanonical(folder, installUpper_);
    }
    // Walks that never take the run's own files and log each link they leave.
    WalkRules Rules(bool filesOnly) const;
    // For an entry in folder (canonical): the folders from the install folder
    // down to it held (held), or the text of the refusal when one of them is
    // a link.
    std::string ThroughLink(const std::string& folder, std::optional<HeldFolders>& held) const;
    // The folder is one the record's own [DeleteFolder] lists.
    bool OwnFolder(const std::string& folder);
    // The record's [RestoreRelate] extensions: the file types it made.
    std::vector<std::string> RecordedExtensions() const;
    std::optional<std::vector<std::string>> ownFolders_;  // canonical, upper case
    void BeginStage(const std::string& line);
    void Log(const std::string& tag, const std::string& subject, const std::string& lines,
             const char* result = kPartlyFailed);

    const std::string record_;
    const RunOptions options_;
    const std::string installFolderText_;  // as the folder field shows it, for the log
    const std::string installFolder_;      // the form checked and used
    const ProtectedFolders protected_;
    SharedFilePolicy policy_;
    UninstallProgress progress_;
    const bool resumed_;  // an earlier run on this record was cut short
    const std::string userSid_;
    const std::string recordUpper_;   // the record's canonical path, upper case
    const std::string installUpper_;  // the install folder's canonical form, upper case; empty: none
    std::vector<std::string> ownFiles_;  // canonical, upper case
    // The file stage: the forms of the folders its entries name, and the
    // hold of the last entry's folders, kept while the entries stay in it.
    CanonicalPaths forms_;
    std::optional<HeldFolders> held_;
    std::string heldFolder_;  // upper case
    std::vector<std::string> lowered_;   // files whose count this run lowered, upper case
    // The libraries the library being unregistered loads from its folder,
    // held until the entry is done.
    std::vector<std::unique_ptr<HeldFile>> heldImports_;
    bool recordListed_ = false;

    std::string patterns_;  // the extra-delete list, "*.INI|*.GID|..."
    std::vector<std::string> refusedPatterns_;
    bool deleteAll_ = false;
    bool recordsFolder_ = false;  // the record run lies in the install folder
    bool installFolderDeletable_ = false;
    int completedAtRestart_ = 0;  // of the failures, deletions the restart makes
    bool restart_ = false;
    std::vector<std::string> keptFiles_;  // kept on purpose, upper case
    bool folderHeldByKeptFiles_ = false;
    std::string stageLine_;  // the current stage's line, for the log
};

}  // namespace uninstall_run

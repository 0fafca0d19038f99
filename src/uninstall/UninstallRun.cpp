#include "uninstall/UninstallRun.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/PathMacros.h"
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

namespace {

const char kCrLf[] = "\r\n";
const char kDone[] = "完了";
const char kPartlyFailed[] = "一部失敗";
const char kFailed[] = "失敗";

// A question whose safe answer is "no": the second button is the default.
constexpr unsigned kWarnYesNo = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;

// How long a folder still in use is tried again: 20 times 100 ms.
constexpr int kFolderInUseRetries = 20;
constexpr unsigned long kFolderInUseWaitMs = 100;

// How many names of what is left in the install folder the log lists.
constexpr size_t kListedLeftovers = 20;

std::vector<std::string> ReadNumbered(const char* section, const char* prefix, const std::string& file) {
    return IniReadList(section, prefix, file);
}

// A [DeleteRegistry] value: characters 1 to 7 are the root macro when they
// start with "(" and end with ")"; otherwise the whole value is a key of
// HKEY_CURRENT_USER.
void SplitKeyValue(const std::string& value, std::string& rootMacro, std::string& keyPath) {
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
size_t StemLength(const std::string& name) {
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
std::string CopyLeftovers() { return std::string("*") + kCopyTemporarySuffix + "|"; }

// What a run cut short has already taken away.
bool IsGone(unsigned long code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

// A shortcut file by its name: only such a file may be named as a shortcut
// (a library named there would go without the shared-file decision).
bool IsShortcutFile(const std::string& path) {
    const std::string name = ExtractFileName(path);
    const size_t dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : Upper(name.substr(dot));
    return extension == ".LNK" || extension == ".PIF" || extension == ".URL";
}

// The folder a folder lies in ("C:\App\sub\" gives "C:\App\").
std::string ParentOf(const std::string& folder) { return ExtractFilePath(RemovePathDelimiter(folder, "B")); }

// The form the run uses for the folder field: canonical when it resolves.
std::string InstallFolderForm(const std::string& text) {
    const std::string canonical = IsFullyQualified(text) ? ProtectedFolders::Canonical(text) : std::string();
    return canonical.empty() ? text : canonical;
}

class TUninstallRun {
public:
    TUninstallRun(RunView& view, const RunOptions& options, const std::string& installFolder)
        : view_(view),
          s_(State()),
          record_(State().ScriptFile),
          options_(options),
          installFolderText_(installFolder),
          installFolder_(InstallFolderForm(installFolder)),
          protected_(ProtectedFolders::ForThisMachine(State())),
          policy_(view),
          progress_(State().RecordFile),
          resumed_(progress_.Exists()),
          userSid_(CurrentUserSid()),
          recordUpper_(s_.RecordFile.empty() ? std::string() : Upper(CanonicalPath(s_.RecordFile))),
          installUpper_(IsFullyQualified(installFolder_) ? Upper(ProtectedFolders::Canonical(installFolder_))
                                                          : std::string()) {
        // What no entry and no pattern may take: the uninstaller every
        // package shares, the program-ID list, this run's record (it goes
        // last, DeleteRecord), its working copy and its progress file.
        const std::string windows = AddPathDelimiter(s_.WindowsFolder, "B");
        for (const std::string& file : {windows + RecordFiles::kUninstaller,
                                        windows + Script::ProgramIDList::kFileName, s_.RecordFile, record_,
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
    void Show() { view_.ShowStatus(s_.StatusText); }

    RunView& view_;
    SetupState& s_;
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
    std::string log_;
    int failures_ = 0;
    int completedAtRestart_ = 0;  // of the failures, deletions the restart makes
    bool restart_ = false;
    std::vector<std::string> keptFiles_;  // kept on purpose, upper case
    bool folderHeldByKeptFiles_ = false;
    std::string stageLine_;  // the current stage's line, for the log
};

RunOutcome TUninstallRun::Run() {
    Prepare();
    // Before the first change: a run cut short from here on leaves the
    // progress file, and the next run knows what it took already.
    progress_.Begin(IniRead(Script::UnSetupRegistryKey::kSection, Script::UnSetupRegistryKey::kKey, "", record_));
    if (resumed_) LogLine("状況", "中断された" + s_.UnSetupString + "の続きを行います: " + progress_.path());
    RemoveProgramID();
    RunBeforeProgram();
    // The run's own current folder must not keep the install folder in use.
    SetCurrentFolder(s_.TempFolder);
    DeleteFiles();
    DeleteShortcuts();
    DeleteFolders();
    DeleteKeys();
    RestoreAssociations();
    RemoveRegistration();
    // Last but the install folder: until here the record and the entry
    // still start this run again. While the record is there, the next run
    // from it must know which counts this one took.
    if (!FileExists(s_.RecordFile)) {
        const unsigned long progressCode = progress_.Remove();
        LogItem("削除", "", progress_.path(), progressCode == 0 ? "完了" : "失敗", progressCode);
    } else if (progress_.Exists()) {
        LogItem("削除", "", progress_.path(), "残す(記録が残っているため)", 0);
    }
    // A record save cut short (an install killed) leaves its first step.
    if (recordsFolder_ && FileExists(installFolder_ + RecordFiles::kRecordTemporary))
        DeletePath(installFolder_ + RecordFiles::kRecordTemporary);
    DeleteInstallFolder();
    Summarize();
    Complete();
    RunOutcome outcome;
    outcome.failures = failures_;
    outcome.failureLog = log_;
    outcome.restartNeeded = restart_;
    outcome.failuresFromKeptFiles = folderHeldByKeptFiles_ ? 1 : 0;
    outcome.failuresTheRestartCompletes = completedAtRestart_;
    return outcome;
}

void TUninstallRun::Prepare() {
    const std::string& u = s_.UnSetupString;
    s_.StatusText = u + "を行っています。" + kCrLf + kCrLf + "【処理状況】" + kCrLf;
    s_.StepResult = kDone;

    view_.DisableOptions();
    const RunOptions::Box* box = options_.boxes;
    deleteAll_ = box[0].checked && !box[1].visible && !box[2].visible && !box[3].visible;
    if (!deleteAll_) {
        const std::string candidates[4] = {"*.INI", "*.GID", box[2].caption, box[3].caption};
        for (int i = 0; i < 4; ++i) {
            if (!box[i].checked || candidates[i].empty()) continue;
            if (IsBareNamePattern(candidates[i]))
                patterns_ += candidates[i] + "|";
            else
                refusedPatterns_.push_back(candidates[i]);
        }
    }
    // Whatever a record names as its folder, only the folder it was found
    // in can be its own: the option patterns and delete-all, which take
    // files the record does not list, stay out of any other.
    recordsFolder_ = !s_.RecordFile.empty() && IsFullyQualified(installFolder_) &&
                     SamePath(ExtractFilePath(s_.RecordFile), installFolder_);
    installFolderDeletable_ =
        recordsFolder_ && IsFullyQualified(installFolder_) && !protected_.IsProtected(installFolder_);

    view_.HideWizard();
    view_.ShowProgress();
    Show();
}

void TUninstallRun::RemoveProgramID() {
    const std::string id = IniRead(Script::ProgramID::kSection, Script::ProgramID::kID, "", record_);
    if (id.empty()) return;
    const std::string list = RemovePathDelimiter(s_.WindowsFolder, "B") + "\\" + Script::ProgramIDList::kFileName;
    // The line of a package installed into another folder since (or of
    // another package by that name) is not this record's to remove.
    const std::string folder = IniRead(id, Script::ProgramIDList::kFolder, "", list);
    if (!folder.empty() && !SamePath(folder, ExtractFilePath(s_.RecordFile)))
        return LogItem("プログラムIDの削除", "", id, "残す(" + folder + "のもの)", 0);
    DeleteIniSection(list, id);
}

void TUninstallRun::RunBeforeProgram() {
    s_.StatusText += s_.UnSetupString + "処理前のプログラム実行．．．";
    stageLine_ = s_.UnSetupString + "処理前のプログラム実行．．．";
    Show();
    const std::string file = IniRead(Script::BeforeUnInstall::kSection, Script::BeforeUnInstall::kFile, "", record_);
    if (file.empty()) {
        s_.StepResult = "なし";
        return;
    }
    const BeforeProgram before = BeforeUninstallProgram(installFolder_, file);
    const std::string tag = "<BeforeUnInstall> ";
    // Only the package's own program, in the folder the record lies in.
    if (!recordsFolder_ || before.program.empty() ||
        !ProtectedFolders::IsInside(ExtractFilePath(before.program), installFolder_))
        return Log(tag, before.program.empty() ? file : before.program, kProgramOutside, kFailed);
    // Held from the check until it has been started: the program started
    // is the one whose digest the install kept.
    const HeldFile program(before.program);
    if (!FileDigestMatches(program) &&
        !GoOnWithChangedFile(program.path(), "実行すると、このプログラムは" + s_.UnSetupString + "と同じ権限で動作します。",
                             "実行せずに続行"))
        return Log(tag, program.path(), kProgramNotRun, kFailed);
    // The author's program reports nothing to the log; only its start counts.
    s_.StepResult = RunAndWait(before.program, before.parameters) == -1 ? kDone : kFailed;
}

// A library is loaded to undo a registration only when the install made
// that registration ("/R") and the library is still what it registered.
bool TUninstallRun::MayUnregister(const HeldFile& library, const EntryFlags& flags) {
    if (!flags.registered) return false;
    const std::string consequence =
        "登録を解除するために読み込むと、その中のプログラムが" + s_.UnSetupString + "と同じ権限で実行されます。";
    if (!FileDigestMatches(library) && !GoOnWithChangedFile(library.path(), consequence, "読み込まずに続行")) {
        Log("<File> ", library.path(), kNotUnregistered);
        return false;
    }
    // The libraries it takes from its own folder are loaded with it: held
    // from their check until it has been unloaded (heldImports_).
    heldImports_ = HoldImportsBeside(library);
    const HeldFile* changed = ChangedImport(heldImports_);
    if (changed && !GoOnWithChangedFile(changed->path(), consequence, "読み込まずに続行")) {
        heldImports_.clear();
        Log("<File> ", library.path(), kNotUnregistered + std::string("読み込まれるライブラリ：") + changed->path() + kCrLf);
        return false;
    }
    return true;
}

bool TUninstallRun::GoOnWithChangedFile(const std::string& path, const std::string& consequence,
                                       const std::string& safe) {
    const std::string text = path + kCrLf + kCrLf +
                             "このファイルは、インストールの後に書き換えられたか、このインストーラが"
                             "インストールしたものではありません。" + kCrLf + consequence + kCrLf + kCrLf + safe +
                             "することをお勧めします。このファイルを使いますか？";
    return view_.Ask({text, "警告", kWarnYesNo, IDNO}) == IDYES;
}

void TUninstallRun::DeleteFiles() {
    BeginStage("ファイルの" + s_.UnSetupString + "処理．．．");
    const std::vector<std::string> listed =
        ReadNumbered(Script::DeleteFiles::kSection, Script::DeleteFiles::kFilePrefix, record_);
    for (size_t n = 0; n < listed.size(); ++n)
        DeleteFileEntry(listed[n], true,
                        std::string(Script::DeleteFiles::kSection) + Script::DeleteFiles::kFilePrefix + std::to_string(n + 1));
    const std::vector<std::string> extra =
        ReadNumbered(Script::AddDeleteFile::kSection, Script::AddDeleteFile::kFilePrefix, record_);
    for (size_t n = 0; n < extra.size(); ++n)
        DeleteFileEntry(extra[n], false,
                        std::string(Script::AddDeleteFile::kSection) + Script::AddDeleteFile::kFilePrefix + std::to_string(n + 1));
    held_.reset();  // the folders may go now
    heldFolder_.clear();
    forms_.Forget();
}

// listed: a [DeleteFile] entry (a file the install run copied); otherwise an
// [AddDeleteFile] entry, which may be a wildcard pattern and may name a file
// that never came to exist. The failure log names an entry as the record
// writes it; everything else uses the one form ReadRecordPath gives.
void TUninstallRun::DeleteFileEntry(const std::string& value, bool listed, const std::string& entry) {
    const std::string written = GetField(value, ',', 1);
    const EntryFlags flags = EntryFlags::Read(GetField(value, ',', 2));
    const std::string tag = "<File> ";
    if (!IsFullyQualified(written)) return Log(tag, written, kNotQualified);
    const RecordPath read = ReadRecordPath(written, &forms_);
    if (listed && (read.pattern || read.wildcardInFolder)) return Log(tag, written, kWildcardEntry);
    if (read.wildcardInFolder) return Log(tag, written, kWildcardInFolderPart);
    if (read.path.empty()) return Log(tag, written, kUnusablePath);
    const std::string& path = read.path;
    if (!read.pattern && !recordUpper_.empty() && Upper(path) == recordUpper_) {
        recordListed_ = true;  // goes at the end (DeleteRecord)
        return;
    }
    if (!read.pattern && IsOwnFile(path)) return Log(tag, written, kOwnFile);
    const bool inside = installFolderDeletable_ && InInstallFolder(read.folder);
    if (read.pattern) {
        if (protected_.IsProtected(read.folder)) return Log(tag, written, kWildcardInProtected);
        // Outside the folder the record was found in, a pattern such as
        // "*.LOG" could take another program's files: only names with a
        // stem of their own ("RVSAMPLE.*") reach there, and only files.
        if (!inside && (StemLength(read.name) < kOutsideStem || !OwnFolder(read.folder)))
            return Log(tag, written, kWildcardOutside);
    }
    // The hold of the last entry's folders serves the next entry in the same
    // folder (held since, none of them can have become a link). A pattern,
    // which may take folders, is walked under a hold of its own.
    if (read.pattern || heldFolder_.empty() || heldFolder_ != Upper(read.folder)) {
        held_.reset();
        heldFolder_.clear();
        const std::string link = ThroughLink(read.folder, held_);
        if (!link.empty()) return Log(tag, written, link);
        if (held_ && !read.pattern) heldFolder_ = Upper(read.folder);
    }
    // One count per file and run, however often and however spelt the
    // record lists it.
    const bool shared = !read.pattern && flags.shared;
    if (shared && std::find(lowered_.begin(), lowered_.end(), Upper(path)) != lowered_.end())
        return LogItem("削除", "", path, kRepeatedShared, 0);
    if (shared) lowered_.push_back(Upper(path));

    DecrementGuard guard;
    EntryForm form;
    // The count the install made is under the record's spelling; another
    // spelling of a counted file finds it under its long form.
    // (The same spelling needs no second look: the registry's names ignore case.)
    form.countName =
        !read.pattern && (Upper(written) == Upper(path) || SharedDllCount(written) == 0) ? path : written;
    form.rules = Rules(!inside);
    if (resumed_)
        guard.alreadyDone = [&](long countNow) { return progress_.AlreadyDecremented(entry, path, countNow); };
    guard.before = [&](long countBefore) { return progress_.NoteDecrement(entry, path, countBefore); };
    form.unregister = [&](const HeldFile& library) { return MayUnregister(library, flags); };
    const FileOutcome outcome = policy_.Decide(path, flags, guard, form);
    heldImports_.clear();
    // The folders' forms are looked up anew after a pattern.
    if (read.pattern) forms_.Forget();
    // A digest kept for a file that is gone vouches for nothing any more. A
    // deletion that reported 0 left nothing (no second look for a name that
    // is not there, which costs a read of the whole folder).
    const bool gone = (outcome.code == 0 && !outcome.kept) || IsGone(outcome.code);
    if (!read.pattern && (gone || !FileExists(path))) ForgetCanonicalFileDigest(path);
    if (outcome.scheduled) restart_ = true;
    if (outcome.kept && !read.pattern) keptFiles_.push_back(Upper(path));
    LogItem("削除", "", path,
            outcome.scheduled ? "再起動時に削除" : outcome.kept ? "残す" : outcome.code == 0 ? "完了" : "失敗",
            outcome.code);
    // Whatever section: a count that could not be lowered is a failure.
    if (outcome.countFailed) return Log(tag, written, SysErrorText(outcome.code) + kCountNotLowered);
    if (outcome.code == kLinkLeft) return Log(tag, written, kIsLink);
    // A pattern's code says little (it may have matched nothing); an extra
    // file that never came to exist is no failure.
    if (outcome.code == 0 || read.pattern || (!listed && outcome.code == ERROR_FILE_NOT_FOUND)) return;
    if (resumed_ && IsGone(outcome.code)) return;
    if (outcome.scheduled) ++completedAtRestart_;
    Log(tag, written, SysErrorText(outcome.code) + outcome.note);
}

void TUninstallRun::DeleteShortcuts() {
    BeginStage("ショートカットの" + s_.UnSetupString + "処理．．．");
    const std::string tag = "<ShortCut> ";
    for (const std::string& written :
         ReadNumbered(Script::DeleteShortCut::kSection, Script::DeleteShortCut::kFilePrefix, record_)) {
        if (!IsFullyQualified(written)) {
            Log(tag, written, kNotQualified);
            continue;
        }
        const RecordPath read = ReadRecordPath(written);
        if (read.pattern || read.wildcardInFolder) {
            Log(tag, written, kWildcardEntry);
            continue;
        }
        if (read.path.empty() || IsOwnFile(read.path)) {
            Log(tag, written, read.path.empty() ? kUnusablePath : kOwnFile);
            continue;
        }
        if (!IsShortcutFile(read.path)) {
            Log(tag, written, kNotShortcut);
            continue;
        }
        std::optional<HeldFolders> held;
        const std::string link = ThroughLink(read.folder, held);
        if (!link.empty()) {
            Log(tag, written, link);
            continue;
        }
        const unsigned long code = DeletePath(read.path);
        LogItem("ショートカット削除", "", read.path, code == 0 ? "完了" : "失敗", code);
        if (code == kLinkLeft)
            Log(tag, written, kIsLink);
        else if (code != 0 && !(resumed_ && IsGone(code)))
            Log(tag, written, SysErrorText(code));
        held.reset();  // its folder may go now
        // Its menu folder goes when nothing else is left in it; a shell
        // folder never goes.
        if (protected_.IsProtected(read.folder))
            Changes().Note("そのまま " + read.folder + " (シェルのフォルダ)");
        else if (DeleteFolderPatterns(read.folder, "", Rules(true)) == ERROR_DIR_NOT_EMPTY)
            Changes().Note("そのまま " + read.folder + " (ほかのファイルが残っている)");
    }
}

void TUninstallRun::DeleteFolders() {
    BeginStage("フォルダの" + s_.UnSetupString + "処理．．．");
    for (const std::string& pattern : refusedPatterns_) Log("<Option> ", pattern, kPatternRefused);

    const std::string tag = "<Folder> ";
    const std::vector<std::string> folders =
        ReadNumbered(Script::DeleteFolder::kSection, Script::DeleteFolder::kFolderPrefix, record_);
    // The install run records parents first: children go first here.
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        const std::string& written = *it;
        if (!IsFullyQualified(written)) {
            Log(tag, written, kNotQualified);
            continue;
        }
        const RecordPath read = ReadRecordPath(AddPathDelimiter(written, "B"));
        if (read.pattern || read.wildcardInFolder || read.folder.empty() || protected_.IsProtected(read.folder)) {
            Log(tag, written, read.folder.empty() ? kUnusablePath : kProtectedFolder);
            continue;
        }
        const std::string& folder = read.folder;
        // The install folder itself goes last, with the same patterns, once
        // the record and the progress file are gone.
        if (installFolderDeletable_ && SamePath(folder, installFolder_)) continue;
        const bool inside = installFolderDeletable_ && InInstallFolder(folder);
        std::optional<HeldFolders> held;
        const std::string link = ThroughLink(ParentOf(folder), held);
        if (!link.empty()) {
            Log(tag, written, link);
            continue;
        }
        const unsigned long code = RemoveFolder(folder, inside ? patterns_ + CopyLeftovers() : "");
        LogItem("フォルダ削除", "", folder, code == 0 ? "完了" : "残る", code);
        if (code == kLinkLeft) {
            Log(tag, written, kIsLink);
            continue;
        }
        // In delete-all mode the install folder stage removes what is left.
        if (code == 0 || (inside && deleteAll_) || (resumed_ && IsGone(code))) continue;
        Log(tag, written, SysErrorText(code));
    }
}

void TUninstallRun::DeleteKeys() {
    BeginStage("レジストリの" + s_.UnSetupString + "処理．．．");
    for (const std::string& value :
         ReadNumbered(Script::DeleteRegistry::kSection, Script::DeleteRegistry::kKeyPrefix, record_)) {
        std::string rootMacro, keyPath;
        SplitKeyValue(value, rootMacro, keyPath);
        const KeyRefusal refusal =
            RefuseRegistryKey(rootMacro, keyPath, options_.recordTrusted, userSid_, RecordedExtensions());
        if (refusal != KeyRefusal::None) {
            Log("<Registry> ", value, RefusalText(refusal));
            continue;
        }
        DeleteRegistryKey(rootMacro, keyPath);
        LogItem("レジストリキー削除", "", value, "完了", 0);
        if (RegistryKeyExists(HiveFromRootMacro(rootMacro), TrimKeyPath(keyPath))) Log("<Registry> ", value, kKeyRemains);
    }
}

void TUninstallRun::RestoreAssociations() {
    BeginStage("関連付けの" + s_.UnSetupString + "処理．．．");
    for (int n = 1; n <= Script::RestoreRelate::kCount; ++n) {
        const std::string value = IniRead(Script::RestoreRelate::kSection,
                                          Script::NumberedKey(Script::RestoreRelate::kKeyPrefix, n), "", record_);
        if (value.empty()) break;
        const int comma = IPos(",", value);
        const std::string extension = comma > 0 ? StrLeft(value, comma - 1) : value;
        const std::string previous = comma > 0 ? StrMid(value, comma + 1) : "";
        const unsigned long code = RestoreAssociation(extension, previous);
        if (code != 0) Log("<Relate> ", "." + extension, SysErrorText(code));
    }
}

// The record is deleted after everything it lists, and the Add/Remove
// Programs entry after the record: a run cut short before this point is
// started again from the entry as before; one cut short between the two
// leaves the progress file, by which the next start finishes it
// (FinishCutShortUninstall). False when the record is still there.
bool TUninstallRun::DeleteRecord() {
    if (!recordListed_) return true;
    const unsigned long code = DeletePath(s_.RecordFile);
    LogItem("削除", "", s_.RecordFile, code == 0 ? "完了" : "失敗", code);
    if (code != 0) Log("<File> ", s_.RecordFile, SysErrorText(code));
    return !FileExists(s_.RecordFile);
}

void TUninstallRun::RemoveRegistration() {
    BeginStage("「プログラム(アプリケーション)の追加と削除」の処理．．．");
    // The entry must go on starting the uninstall while the record is there.
    if (!DeleteRecord()) return;
    if (!FileExists(s_.RecordFile)) DropRecordDigest(s_.RecordFile);
    // Ours are the entries whose command starts the uninstall of the record
    // this run was started with; the key the record names only tells which
    // one it expects.
    const std::vector<std::string> entries = EntriesOfRecord(s_.RecordFile);
    const std::string key = IniRead(Script::UnSetupRegistryKey::kSection, Script::UnSetupRegistryKey::kKey, "", record_);
    const std::string shown = "HKEY_LOCAL_MACHINE\\" + TrimKeyPath(key);
    // An empty key: the install run had no key name, so nothing was registered.
    if (!key.empty() && !IsUninstallEntryKey(key)) {
        Log("<Registry> ", shown, kNotUninstallEntry, kFailed);
    } else if (!key.empty() && RegistryKeyExists(HKEY_LOCAL_MACHINE, TrimKeyPath(key))) {
        bool ours = false;
        for (const std::string& entry : entries) ours = ours || Upper(entry) == Upper(TrimKeyPath(key));
        if (!ours) Log("<Registry> ", shown, kOtherProgramsEntry, kFailed);
    }
    for (const std::string& entry : entries) {
        DeleteRegistryKey("(Local)", entry);
        LogItem("レジストリキー削除", "", "HKEY_LOCAL_MACHINE\\" + entry, "完了", 0);
        if (RegistryKeyExists(HKEY_LOCAL_MACHINE, entry)) Log("<Registry> ", "HKEY_LOCAL_MACHINE\\" + entry, kKeyRemains, kFailed);
    }
}

void TUninstallRun::DeleteInstallFolder() {
    const std::string& u = s_.UnSetupString;
    const std::string& i = s_.SetupString;
    BeginStage(i + "フォルダの" + u + "処理．．．");
    const std::string tag = "<SetupFolder> ";
    const std::string& shown = installFolderText_;
    if (!IsFullyQualified(installFolder_)) return Log(tag, shown, kNotQualified);
    // Already gone (it was one of the recorded folders): nothing failed.
    if (!FolderExists(installFolder_)) return;
    if (protected_.IsProtected(installFolder_)) return Log(tag, shown, kProtectedFolder);
    if (!installFolderDeletable_) return Log(tag, shown, kNotTheRecordsFolder);

    const unsigned long code = RemoveFolder(installFolder_, deleteAll_ ? "*.*|" : patterns_ + CopyLeftovers());
    if (code == 0) return;
    if (code == kLinkLeft) return Log(tag, shown, kIsLink);
    if (code != ERROR_DIR_NOT_EMPTY && code != ERROR_ACCESS_DENIED) return Log(tag, shown, SysErrorText(code));
    std::string lines = std::string(deleteAll_ ? "全ファイル・フォルダの削除を試みましたが、エラーが発生したため、"
                                               : "ファイル・フォルダが残っているため、") +
                        i + "フォルダを削除できませんでした。エクスプローラなどから、直接削除してください。" + kCrLf;
    // Name what is left, so nothing of the user's goes unnoticed.
    const std::vector<std::string> left = FolderContents(installFolder_);
    folderHeldByKeptFiles_ = !left.empty();
    for (const std::string& name : left) {
        const std::string full = MapString(installFolder_ + name, LCMAP_UPPERCASE);
        if (std::find(keptFiles_.begin(), keptFiles_.end(), full) == keptFiles_.end()) folderHeldByKeptFiles_ = false;
    }
    if (!left.empty()) {
        lines += "残っているファイル・フォルダ：" + std::string(kCrLf);
        for (size_t k = 0; k < left.size() && k < kListedLeftovers; ++k) lines += "　" + left[k] + kCrLf;
        if (left.size() > kListedLeftovers) lines += "　ほか" + std::to_string(left.size() - kListedLeftovers) + "件" + kCrLf;
    }
    Log(tag, shown, lines);
}

void TUninstallRun::Summarize() {
    const std::string& u = s_.UnSetupString;
    LogLine("状況", stageLine_ + s_.StepResult);
    s_.StatusText += s_.StepResult + kCrLf;
    if (failures_ == 0) return Show();
    s_.StatusText += "《情報》" + u + "の過程で、一部の処理が失敗しました。" + kCrLf;
    Show();
    const std::string question = u + "の過程で、一部の処理が失敗しました。" + kCrLf + "詳細を表示しますか？";
    if (view_.Ask({question, "情報", 52, IDNO}) == IDYES) view_.ShowDetails("削除処理失敗　詳細表示", log_);
}

void TUninstallRun::Complete() {
    const std::string& u = s_.UnSetupString;
    s_.StatusText += std::string(kCrLf) + "【処理完了】" + kCrLf + "　「次へ(N)」をクリックして、" + u + "を完了してください。" + kCrLf;
    Show();
    view_.WaitForNext();

    s_.RebootRequired = restart_;
    CompletionPage page;
    if (restart_) {
        page.message = "　" + u + "を完了するには、Windowsを再起動する必要があります。" + kCrLf + kCrLf +
                       "　Windowsの再起動を選択した場合、現在稼動している他のプログラムは強制的に終了され、" +
                       "かつ、終了後プログラムは実行されませんので、十分にご注意ください。";
        page.choice1 = "はい、Windowsを再起動します。(&Y)";
        page.choice2 = "いいえ、Windowsは再起動せずに、アンインストーラーを終了します。(&N)";
    } else {
        page.message = u + "を完了しました。";
        page.choice1 = "アンインストーラを終了します。(&Y)";
    }
    page.finishCaption = u + "完了(&E)";
    const RunView::Choice choice = view_.ShowCompletion(page);
    if (restart_ && choice == RunView::Choice::First) TWinReboot().RebootWindows(EWX_REBOOT);
    view_.EndRun();
}

// A program that has just ended (the one run before uninstalling) can hold
// its folder a moment longer: a folder in use is tried again for a while.
unsigned long TUninstallRun::RemoveFolder(const std::string& folder, const std::string& patterns) {
    // Inside the install folder a pattern may take folders too.
    const WalkRules rules = Rules(!(installFolderDeletable_ && ProtectedFolders::IsInside(folder, installFolder_)));
    unsigned long code = DeleteFolderPatterns(folder, patterns, rules);
    for (int attempt = 0; attempt < kFolderInUseRetries && code == ERROR_SHARING_VIOLATION; ++attempt) {
        view_.ProcessMessages();
        Sleep(kFolderInUseWaitMs);
        code = DeleteFolderPatterns(folder, patterns, rules);
    }
    return code;
}

bool TUninstallRun::IsOwnFile(const std::string& canonical) const {
    return std::find(ownFiles_.begin(), ownFiles_.end(), Upper(canonical)) != ownFiles_.end();
}

WalkRules TUninstallRun::Rules(bool filesOnly) const {
    WalkRules rules;
    rules.filesOnly = filesOnly;
    rules.spared = [this](const std::string& path) { return IsOwnFile(path); };
    rules.linkLeft = [](const std::string& path) { LogItem("リンクを残す", "", path, "残す", kLinkLeft); };
    return rules;
}

std::vector<std::string> TUninstallRun::RecordedExtensions() const {
    std::vector<std::string> extensions;
    for (int n = 1; n <= Script::RestoreRelate::kCount; ++n) {
        const std::string value = IniRead(Script::RestoreRelate::kSection,
                                          Script::NumberedKey(Script::RestoreRelate::kKeyPrefix, n), "", record_);
        if (value.empty()) break;
        const int comma = IPos(",", value);
        extensions.push_back(comma > 0 ? StrLeft(value, comma - 1) : value);
    }
    return extensions;
}

bool TUninstallRun::OwnFolder(const std::string& folder) {
    if (!ownFolders_) {
        ownFolders_.emplace();
        for (const std::string& written :
             ReadNumbered(Script::DeleteFolder::kSection, Script::DeleteFolder::kFolderPrefix, record_)) {
            const RecordPath read = ReadRecordPath(AddPathDelimiter(written, "B"));
            if (!read.pattern && !read.wildcardInFolder && !read.folder.empty())
                ownFolders_->push_back(Upper(AddPathDelimiter(read.folder, "B")));
        }
    }
    const std::string wanted = Upper(AddPathDelimiter(folder, "B"));
    return std::find(ownFolders_->begin(), ownFolders_->end(), wanted) != ownFolders_->end();
}

std::string TUninstallRun::ThroughLink(const std::string& folder, std::optional<HeldFolders>& held) const {
    // Inside the install folder from the install folder down; elsewhere
    // from below the nearest folder of the system's or the user's own (a
    // menu folder, the desktop), which the user may not replace; that
    // folder itself may be a link of the system's making.
    const bool inside = IsFullyQualified(installFolder_) && InInstallFolder(folder);
    const std::string base = inside ? installFolder_ : protected_.NearestAbove(folder);
    if (base.empty()) return {};
    held.emplace(base, folder, inside);
    if (held->failed())
        return kUnheldFolder + held->unopened() + kCrLf + SysErrorText(held->error());
    return held->linked() ? kThroughLink + held->link() + kCrLf : std::string();
}

void TUninstallRun::BeginStage(const std::string& line) {
    LogLine("状況", stageLine_ + s_.StepResult);
    stageLine_ = line;
    s_.StatusText += s_.StepResult + kCrLf + line;
    s_.StepResult = kDone;
    Show();
}

void TUninstallRun::Log(const std::string& tag, const std::string& subject, const std::string& lines,
                        const char* result) {
    log_ += tag + subject + kCrLf + lines + kCrLf;
    // Why it stays (refused by a guard, a protected folder, not found, ...).
    const size_t end = lines.find_first_of("\r\n");
    Changes().Note("そのまま " + tag + subject + " : " + lines.substr(0, end));
    LogLine("失敗", tag + subject + " " + lines);
    ++failures_;
    s_.StepResult = result;
}

}  // namespace

std::optional<RunOutcome> FinishCutShortUninstall(const std::string& recordFile) {
    const UninstallProgress progress(recordFile);
    if (recordFile.empty() || FileExists(recordFile) || !progress.Exists()) return std::nullopt;
    RunOutcome outcome;
    auto fail = [&](const std::string& tag, const std::string& subject, const std::string& lines) {
        outcome.failureLog += tag + subject + kCrLf + lines + kCrLf;
        LogLine("失敗", tag + subject + " " + lines);
        ++outcome.failures;
    };
    const std::string folder = ExtractFilePath(recordFile);
    LogLine("状況", "記録の削除の後で中断された処理を完了します: " + progress.path());
    DropRecordDigest(recordFile);
    // Only the entries that start this very record: the progress file is
    // anyone's to write, so the key noted in it decides nothing.
    for (const std::string& entry : EntriesOfRecord(recordFile)) {
        DeleteRegistryKey("(Local)", entry);
        const bool left = RegistryKeyExists(HKEY_LOCAL_MACHINE, entry);
        LogItem("レジストリキー削除", "", "HKEY_LOCAL_MACHINE\\" + entry, left ? "失敗" : "完了", 0);
        if (left) fail("<Registry> ", "HKEY_LOCAL_MACHINE\\" + entry, kKeyRemains);
    }
    const unsigned long code = progress.Remove();
    LogItem("削除", "", progress.path(), code == 0 ? "完了" : "失敗", code);
    if (code != 0) fail("<File> ", progress.path(), SysErrorText(code));
    // What the cut-short run's last stage would have taken: the folder, when
    // nothing is left in it.
    if (!ProtectedFolders::ForThisMachine(State()).IsProtected(folder)) DeleteFolderPatterns(folder, "");
    return outcome;
}

namespace {

// Before anything is changed: a record is followed only when its bytes, as
// the run reads them (the working copy), are what the install wrote. A
// person may still go on, but such a record is not trusted with what only
// the install's own record may take; /S never goes on.
enum class RecordVerdict { Refused, Trusted, NotTrusted };

RecordVerdict CheckRecord(RunView& view, const SetupState& s) {
    // The bytes start-up read once and the whole run parses: none read
    // again (a run started without start-up reads its copy now).
    std::string bytes;
    if (!IniKeptBytes(s.ScriptFile, bytes)) ReadHeldFile(s.ScriptFile, bytes);
    const RecordCheck check = CheckRecordDigestOf(s.RecordFile, bytes);
    Changes().Note("記録の確認: " + s.RecordFile +
                   (check == RecordCheck::Matches   ? " はインストール時のまま"
                    : check == RecordCheck::Changed ? " はインストール時の確認用の値と一致しない"
                                                    : " の確認用の値が保存されていない"));
    if (check == RecordCheck::Matches) return RecordVerdict::Trusted;
    const std::string& u = s.UnSetupString;
    LogLine("警告", s.RecordFile + (check == RecordCheck::Changed
                                         ? ": インストール時に保存された確認用の値と内容が一致しません。"
                                         : ": インストール時の確認用の値が保存されていません。"));
    const std::string text = s.RecordFile + kCrLf + kCrLf + "この" + u +
                             "情報ファイルは、インストールの後に書き換えられたか、このインストーラが作成したものでは"
                             "ありません。" + kCrLf + "このまま続行すると、インストールされたもの以外のファイルやレジストリが"
                             "削除されたり、プログラムが実行されたりするおそれがあります。" + kCrLf + kCrLf + u +
                             "を中止することをお勧めします。" + u + "を続行しますか？";
    // Unattended, such a record is never followed.
    if (view.Ask({text, "警告", kWarnYesNo, IDNO}) != IDYES) return RecordVerdict::Refused;
    LogLine("状況", "確認用の値と一致しない記録で" + u + "を続行します: " + s.RecordFile);
    return RecordVerdict::NotTrusted;
}

}  // namespace

RunOutcome RunUninstall(RunView& view) {
    const SetupState& s = State();
    RunOptions options = view.Options();
    const RecordVerdict verdict = CheckRecord(view, s);
    if (verdict == RecordVerdict::Refused) {
        RunOutcome outcome;
        outcome.end = RunOutcome::End::RecordRefused;
        return outcome;
    }
    options.recordTrusted = verdict == RecordVerdict::Trusted;
    const std::string& text = options.folderText;
    const std::string folder = text.empty() ? text : AddPathDelimiter(text, "B");
    if (folder.empty() || folder == "\\") {
        view.Ask({s.UnSetupString + "フォルダが不明です。" + kCrLf + s.UnSetupString + "は続行できません。", "致命的エラー",
                  16, IDOK});
        RunOutcome outcome;
        outcome.end = RunOutcome::End::StoppedUnchanged;
        return outcome;
    }
    return TUninstallRun(view, options, folder).Run();
}

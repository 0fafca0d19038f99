#include "uninstall/UninstallRun.h"

#include "uninstall/UninstallContext.h"

namespace uninstall_run {

RunOutcome TUninstallRun::Run() {
    Prepare();
    // Before the first change: a run cut short from here on leaves the
    // progress file, and the next run knows what it took already.
    progress_.Begin(IniRead(Script::UnSetupRegistryKey::kSection, Script::UnSetupRegistryKey::kKey, "", record_));
    if (resumed_) LogLine("状況", "中断された" + s.UnSetupString + "の続きを行います: " + progress_.path());
    RemoveProgramID();
    RunBeforeProgram();
    // The run's own current folder must not keep the install folder in use.
    SetCurrentFolder(s.TempFolder);
    DeleteFiles();
    DeleteShortcuts();
    DeleteFolders();
    DeleteKeys();
    RestoreAssociations();
    RemoveRegistration();
    // Last but the install folder: until here the record and the entry
    // still start this run again. While the record is there, the next run
    // from it must know which counts this one took.
    if (!FileExists(s.RecordFile)) {
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
    outcome.failures = failures;
    outcome.failureLog = failureLog;
    outcome.restartNeeded = restart_;
    outcome.failuresFromKeptFiles = folderHeldByKeptFiles_ ? 1 : 0;
    outcome.failuresTheRestartCompletes = completedAtRestart_;
    return outcome;
}

void TUninstallRun::Prepare() {
    const std::string& u = s.UnSetupString;
    s.StatusText = u + "を行っています。" + kCrLf + kCrLf + "【処理状況】" + kCrLf;
    s.StepResult = kDone;

    view.DisableOptions();
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
    recordsFolder_ = !s.RecordFile.empty() && IsFullyQualified(installFolder_) &&
                     SamePath(ExtractFilePath(s.RecordFile), installFolder_);
    installFolderDeletable_ =
        recordsFolder_ && IsFullyQualified(installFolder_) && !protected_.IsProtected(installFolder_);

    view.HideWizard();
    view.ShowProgress();
    Show();
}

void TUninstallRun::RemoveProgramID() {
    const std::string id = IniRead(Script::ProgramID::kSection, Script::ProgramID::kID, "", record_);
    if (id.empty()) return;
    const std::string list = RemovePathDelimiter(s.WindowsFolder, "B") + "\\" + Script::ProgramIDList::kFileName;
    // The line of a package installed into another folder since (or of
    // another package by that name) is not this record's to remove.
    const std::string folder = IniRead(id, Script::ProgramIDList::kFolder, "", list);
    if (!folder.empty() && !SamePath(folder, ExtractFilePath(s.RecordFile)))
        return LogItem("プログラムIDの削除", "", id, "残す(" + folder + "のもの)", 0);
    DeleteIniSection(list, id);
}

void TUninstallRun::RunBeforeProgram() {
    s.StatusText += s.UnSetupString + "処理前のプログラム実行．．．";
    stageLine_ = s.UnSetupString + "処理前のプログラム実行．．．";
    Show();
    const std::string file = IniRead(Script::BeforeUnInstall::kSection, Script::BeforeUnInstall::kFile, "", record_);
    if (file.empty()) {
        s.StepResult = "なし";
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
        !GoOnWithChangedFile(program.path(), "実行すると、このプログラムは" + s.UnSetupString + "と同じ権限で動作します。",
                             "実行せずに続行"))
        return Log(tag, program.path(), kProgramNotRun, kFailed);
    // The author's program reports nothing to the log; only its start counts.
    s.StepResult = RunAndWait(before.program, before.parameters) == -1 ? kDone : kFailed;
}

// The record is deleted after everything it lists, and the Add/Remove
// Programs entry after the record: a run cut short before this point is
// started again from the entry as before; one cut short between the two
// leaves the progress file, by which the next start finishes it
// (FinishCutShortUninstall). False when the record is still there.
bool TUninstallRun::DeleteRecord() {
    if (!recordListed_) return true;
    const unsigned long code = DeletePath(s.RecordFile);
    LogItem("削除", "", s.RecordFile, code == 0 ? "完了" : "失敗", code);
    if (code != 0) Log("<File> ", s.RecordFile, SysErrorText(code));
    return !FileExists(s.RecordFile);
}

void TUninstallRun::DeleteInstallFolder() {
    const std::string& u = s.UnSetupString;
    const std::string& i = s.SetupString;
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
    const std::string& u = s.UnSetupString;
    LogLine("状況", stageLine_ + s.StepResult);
    s.StatusText += s.StepResult + kCrLf;
    if (failures == 0) return Show();
    s.StatusText += "《情報》" + u + "の過程で、一部の処理が失敗しました。" + kCrLf;
    Show();
    const std::string question = u + "の過程で、一部の処理が失敗しました。" + kCrLf + "詳細を表示しますか？";
    if (view.Ask({question, "情報", 52, IDNO}) == IDYES) view.ShowDetails("削除処理失敗　詳細表示", failureLog);
}

void TUninstallRun::Complete() {
    const std::string& u = s.UnSetupString;
    s.StatusText += std::string(kCrLf) + "【処理完了】" + kCrLf + "　「次へ(N)」をクリックして、" + u + "を完了してください。" + kCrLf;
    Show();
    view.WaitForNext();

    s.RebootRequired = restart_;
    CompletionPage page;
    if (restart_) {
        page.message = RestartNeededText(u);
        page.choice1 = kRestartChoice;
        page.choice2 = "いいえ、Windowsは再起動せずに、アンインストーラーを終了します。(&N)";
    } else {
        page.message = u + "を完了しました。";
        page.choice1 = "アンインストーラを終了します。(&Y)";
    }
    page.finishCaption = u + "完了(&E)";
    const RunView::Choice choice = view.ShowCompletion(page);
    if (restart_ && choice == RunView::Choice::First) TWinReboot().RebootWindows(EWX_REBOOT);
    view.EndRun();
}

// A program that has just ended (the one run before uninstalling) can hold
// its folder a moment longer: a folder in use is tried again for a while.
unsigned long TUninstallRun::RemoveFolder(const std::string& folder, const std::string& patterns) {
    // Inside the install folder a pattern may take folders too.
    const WalkRules rules = Rules(!(installFolderDeletable_ && ProtectedFolders::IsInside(folder, installFolder_)));
    unsigned long code = DeleteFolderPatterns(folder, patterns, rules);
    for (int attempt = 0; attempt < kFolderInUseRetries && code == ERROR_SHARING_VIOLATION; ++attempt) {
        view.ProcessMessages();
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
    LogLine("状況", stageLine_ + s.StepResult);
    stageLine_ = line;
    s.StatusText += s.StepResult + kCrLf + line;
    s.StepResult = kDone;
    Show();
}

void TUninstallRun::Log(const std::string& tag, const std::string& subject, const std::string& lines,
                        const char* result) {
    // Why it stays (refused by a guard, a protected folder, not found, ...).
    const size_t end = lines.find_first_of("\r\n");
    Changes().Note("そのまま " + tag + subject + " : " + lines.substr(0, end));
    AddFailure(tag, subject, lines);
    s.StepResult = result;
}

}  // namespace uninstall_run

using namespace uninstall_run;

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

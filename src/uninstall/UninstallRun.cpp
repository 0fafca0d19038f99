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

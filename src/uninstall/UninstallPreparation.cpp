// Before the first deletion: the wizard laid out for the run, the program ID
// given up, the author's program run.
#include "uninstall/UninstallContext.h"

namespace uninstall_run {

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
}  // namespace uninstall_run

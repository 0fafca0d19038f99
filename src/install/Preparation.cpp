// The run's opening: the progress window, the association list, the space
// the files need, the free-space check and the install folder.
#include <windows.h>

#include "app/PathMacros.h"
#include "app/ScriptKeys.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "install/InstallContext.h"
#include "install/ScriptEntries.h"
#include "sysops/FileInfo.h"
#include "sysops/FileOps.h"
#include "sysops/Payload.h"

namespace {

// The size of a source a one-file holds but has not extracted yet.
bool PackedSizeOf(const SetupState& s, const std::string& source, unsigned long long& size) {
    if (!s.OneFile || source.size() <= s.SourceFolder.size() ||
        MapString(source.substr(0, s.SourceFolder.size()), LCMAP_UPPERCASE) != MapString(s.SourceFolder, LCMAP_UPPERCASE))
        return false;
    const onefile::Entry* entry = s.OneFile->Lookup(source.substr(s.SourceFolder.size()));
    if (!entry) return false;
    size = entry->size;
    return true;
}

void ReadAssociations(InstallContext& run) {
    SetupState& s = run.s;
    run.StepBegin(s.SetupString + "の情報を作成しています．．．");
    run.relate.clear();
    // All twenty numbers are read: only pairs with both values count.
    for (int n = 1; n <= Script::Relate::kCount; ++n) {
        const std::string name =
            IniRead(Script::Relate::kSection, Script::NumberedKey(Script::Relate::kNamePrefix, n), "", s.ScriptFile);
        if (name.empty()) continue;
        const std::string file =
            IniRead(Script::Relate::kSection, Script::NumberedKey(Script::Relate::kFilePrefix, n), "", s.ScriptFile);
        if (!file.empty()) run.relate.push_back({name, file});
    }
    run.StepEnd();
    run.Pause();
}

bool MeasureRequirement(InstallContext& run) {
    SetupState& s = run.s;
    run.StepBegin(s.SetupString + "に必要な容量を調べています．．．");
    if (run.Aborted()) return false;
    run.Pause();
    for (const std::string& value :
         IniReadList(Script::CopyFiles::kSection, Script::CopyFiles::kFilePrefix, s.ScriptFile)) {
        ++run.copyEntries;
        // The source as the copy stage will take it, "(From)" sub-folders
        // included, so a package with one still has its space checked.
        const std::string source = ParseCopyEntry(ExpandPathMacros(value), s.SourceFolder).source;
        unsigned long long size = 0;
        // A source on a later disk cannot be measured: the gauge then
        // counts entries, and the free-space check is left out. A one-file's
        // are not extracted yet: its index knows them.
        if (!FileSizeOf(source, size) && !PackedSizeOf(s, source, size)) {
            run.byteProgress = false;
            continue;
        }
        run.requiredBytes += size == 0 ? 1 : size;
    }
    run.StepEnd();
    return true;
}

bool CheckFreeSpace(InstallContext& run) {
    SetupState& s = run.s;
    if (!run.byteProgress) return true;
    run.StepBegin("ディスクの空き容量をチェックしています．．．");
    // A one-file's files are extracted into the working folder first: its
    // drive needs room for them too (twice the files when it is the same).
    const unsigned long long extracted = s.OneFile ? s.OneFile->PartBytes(2) : 0;
    bool known = true, enough = true;
    const auto check = [&](const std::string& drive, unsigned long long needed) {
        long long freeBytes = -1;
        const bool here = DiskFreeBytesEx(drive, freeBytes) || DiskFreeBytes(drive, freeBytes);
        known = known && here && freeBytes >= 0;
        enough = enough && here && freeBytes >= 0 && static_cast<unsigned long long>(freeBytes) > needed;
    };
    const std::string drive = DrivePart(run.installFolder);
    const std::string workDrive = extracted ? DrivePart(s.WorkFolder) : std::string();
    const bool sameDrive = !workDrive.empty() && MapString(workDrive, LCMAP_UPPERCASE) == MapString(drive, LCMAP_UPPERCASE);
    check(drive, run.requiredBytes + (sameDrive ? extracted : 0));
    if (!workDrive.empty() && !sameDrive) check(workDrive, extracted);
    if (!known || !enough) {
        if (known) {
            s.ItemText = "ディスクの空き容量が不足しているため、エラーになる可能性があります。\r\nこのまま" +
                         s.SetupString + "を続行しますか？";
            s.StepResult = "不足の可能性あり";
        } else {
            s.ItemText = "ディスクの空き容量取得関数が失敗しました。\r\n" + s.SetupString + "に必要なディスク容量は " +
                         std::to_string(run.requiredBytes) + "Byteです。\r\n空き容量があるようであれば、" +
                         s.SetupString + "を続行してください。\r\n\r\n" + s.SetupString + "を続行しますか？";
            s.StepResult = "関数失敗";
        }
        // Unattended, a run that may not fit is not started.
        s.LastAnswer = run.view.Ask({s.ItemText, "空き容量チェックエラー", 36, IDNO});
        if (s.LastAnswer == IDNO) {
            run.Stop();
            return false;
        }
    }
    run.StepEnd();
    run.Pause();
    return true;
}

// The install folder and every folder above it up to its drive, held as
// themselves; false, after the person has been told, when one is a link
// (the run would write wherever it points) or cannot be held.
bool HoldInstallFolder(InstallContext& run) {
    SetupState& s = run.s;
    const std::string root = AddPathDelimiter(DrivePart(s.InstallFolder), "B");
    run.installHeld.emplace(root, s.InstallFolder, false);
    if (!run.installHeld->linked() && !run.installHeld->failed()) return true;
    const std::string why =
        run.installHeld->linked()
            ? "リンク(ジャンクション・シンボリックリンク)です。\r\n" + run.installHeld->link()
            : "確認できません(開けないフォルダがあります)。\r\n" + run.installHeld->unopened() + "\r\n" +
                  SysErrorText(run.installHeld->error());
    run.installHeld.reset();
    run.view.Ask({s.InstallFolder + "\r\n\r\n" + s.SetupString + "フォルダ、またはその上のフォルダが" + why +
                      "\r\n" + s.SetupString + "を中止します。",
                  "致命的エラー", 16, IDOK});
    s.StepResult = "リンク";
    run.Stop();
    return false;
}

// A one-file's files, into the folder its script and texts came out to, now
// that their space was checked: the install goes on from there as from a
// medium. Nothing of them is used unless the whole part matched its digest.
bool ExtractPackedFiles(InstallContext& run) {
    SetupState& s = run.s;
    if (!s.OneFile) return true;
    run.StepBegin("ファイルを展開しています．．．");
    run.view.ShowGauge(true);
    // A large download takes a while: the person may stop it, as a copy.
    run.view.SetAbortEnabled(true);
    const auto megabytes = [](unsigned long long bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20); };
    const unsigned long code = s.OneFile->Extract(2, s.SourceFolder, [&](unsigned long long done, unsigned long long total) {
        const int percent = total ? static_cast<int>(done * 100 / total) : 100;
        run.view.SetGauge(percent, "(" + megabytes(done) + "/" + megabytes(total) + " MB)");
        run.view.ProcessMessages();
        return !run.Aborted();
    });
    run.view.SetAbortEnabled(false);
    run.view.ShowGauge(false);
    if (code == 0) {
        run.StepEnd();
        return true;
    }
    if (run.Aborted()) return false;
    s.StepResult = "失敗";
    run.packageDamaged = code == ERROR_INVALID_DATA;
    const std::string text = run.packageDamaged
                                 ? "このプログラムのファイルが壊れているか、途中までしかないため、" + s.SetupString +
                                       "するファイルを取り出せませんでした。\r\nもう一度ダウンロードしてください。"
                                 : s.SetupString + "するファイルを作業フォルダに取り出せませんでした。\r\n\r\n" + SysErrorText(code);
    run.view.Ask({text, "致命的エラー", 16, IDOK});
    run.view.EndRun();
    return false;
}

bool CheckInstallFolder(InstallContext& run) {
    SetupState& s = run.s;
    run.StepBegin(s.SetupString + "フォルダをチェックしています．．．");
    if (run.Aborted()) return false;
    s.InstallFolder = run.installFolder;
    // Checked before a missing level is made (it would be made through a
    // link above it), and again once all are there.
    if (!HoldInstallFolder(run)) return false;
    if (!FolderExists(s.InstallFolder)) {
        // Unattended, the folder asked for is the folder meant.
        s.LastAnswer = run.view.Ask(
            {s.InstallFolder + "\r\n\r\nこのフォルダは存在しません。作成してもよろしいですか？", "フォルダ作成", 36, IDYES});
        if (s.LastAnswer == IDYES && !ForceFolders(s.InstallFolder)) {
            run.view.Ask({s.SetupString + "フォルダの作成に失敗しました。\r\n\r\nプログラム作者へご報告ください。",
                          "致命的エラー", 16, IDOK});
            s.LastAnswer = IDNO;
            s.StepResult = "作成失敗";
        }
        if (s.LastAnswer != IDYES) {
            run.Stop();
            return false;
        }
    }
    if (!HoldInstallFolder(run)) return false;
    s.InstallDrive = s.InstallFolder.substr(0, 2) + "\\";
    run.StepEnd();
    return true;
}

}  // namespace

bool PrepareInstall(InstallContext& run) {
    SetupState& s = run.s;
    run.view.HideWizard();
    run.view.Pause(500);
    run.view.ShowProgress();
    if (run.options.hiSpeed) s.SetupSpeed = 10;
    s.RebootRequired = false;
    s.LockedFileFound = false;

    s.StatusText = s.SetupString + "を開始します．．．\r\n\r\n";
    run.Show();
    run.view.Pause(1000);
    s.StatusText.clear();

    ReadAssociations(run);
    return MeasureRequirement(run) && CheckFreeSpace(run) && ExtractPackedFiles(run) && CheckInstallFolder(run);
}

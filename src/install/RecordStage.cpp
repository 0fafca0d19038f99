// The end of the install's work: the uninstaller copy, the program-ID line,
// the record text, the record's save and then the Add/Remove Programs entry.
#include <windows.h>

#include "app/RunLog.h"
#include "app/ScriptKeys.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "install/InstallContext.h"
#include "record/Digests.h"
#include "record/RecordKeys.h"
#include "record/Registration.h"
#include "sysops/Deletion.h"
#include "sysops/HeldFile.h"
#include "sysops/Shell.h"

namespace {

std::string ReadScript(const char* section, const char* key, const std::string& file,
                       const std::string& defaultValue = "") {
    return IniRead(section, key, defaultValue, file);
}

RecordContent ContentOf(InstallContext& run) {
    const SetupState& s = run.s;
    const std::string& script = s.ScriptFile;
    RecordContent c;
    c.unSetupTitle = s.UnSetupTitle;
    c.installFolder = s.InstallFolder;
    c.fresh = run.fresh;
    c.previous = run.previous;
    c.restore = run.restore;
    c.unSetupOption = ReadScript(Script::Extend::kSection, Script::Extend::kUnSetupOption, script);
    c.checkBox3 = ReadScript(Script::Extend::kSection, Script::Extend::kUnSetupCheckBox3, script);
    c.checkBox4 = ReadScript(Script::Extend::kSection, Script::Extend::kUnSetupCheckBox4, script);
    c.readmeFile = ReadScript(Script::BeforeUnInstall::kSection, Script::BeforeUnInstall::kReadmeFile, script);
    c.beforeFile = ReadScript(Script::BeforeUnInstall::kSection, Script::BeforeUnInstall::kFile, script);
    c.setupString = s.SetupString;
    c.unSetupString = s.UnSetupString;
    c.programID = ReadScript(Script::ProgramID::kSection, Script::ProgramID::kID, script);
    return c;
}

// The uninstall follows the record only while its digest is kept: the new
// one goes beside the one of the record there now, so a run cut short
// before the save leaves that record as trusted as it was.
void SignRecord(InstallContext& run, const std::string& recordFile, const std::string& text) {
    long error = 0;
    if (AddRecordDigest(recordFile, text, error)) return;
    run.AddFailure("<SetupFile> ", recordFile,
                   std::string("記録の確認用の値をレジストリ(HKEY_LOCAL_MACHINE\\") + kRecordDigestsKey +
                       ")に保存できませんでした。\r\n" + SysErrorText(static_cast<unsigned long>(error)) +
                       run.s.UnSetupString + "の際に、この記録は書き換えられたものとして警告されます。\r\n");
}

// The program run before uninstalling is run only while it is what the
// install left: signed only when this run wrote it or found the package's
// own bytes there. Anything else keeps the digest it had, or none.
void SignBeforeProgram(InstallContext& run, const std::string& value) {
    if (value.empty()) return;
    const BeforeProgram before = BeforeUninstallProgram(run.s.InstallFolder, value);
    if (before.program.empty()) return;
    const auto vouched = run.vouched.find(MapString(before.program, LCMAP_UPPERCASE));
    const HeldFile program(before.program);
    if (vouched != run.vouched.end() && program.ok() && program.Digest() == vouched->second) {
        StoreFileDigest(program);
        return;
    }
    run.AddNote("<BeforeUnInstall> " + before.program + "\r\n" + run.s.UnSetupString +
                "前に実行するプログラムは、この" + run.s.SetupString +
                "でコピーしたもの(またはパッケージのものと同じ内容)ではないため、確認用の値を記録しませんでした。");
}

// The uninstaller in the Windows folder and the program-ID line: both also
// for a package that leaves no record.
void PlaceUninstaller(InstallContext& run, bool setupOnly) {
    SetupState& s = run.s;
    const unsigned long copied = CopyUninstaller(s.ProgramImage.get(), s.WindowsFolder, setupOnly);
    if (copied == ERROR_SUCCESS_REBOOT_REQUIRED)
        s.LockedFileFound = true;  // the completion offers the restart
    else if (copied != 0)
        run.AddFailure("<SetupFile> ", s.WindowsFolder + "UNRAVEL.EXE", SysErrorText(copied));
    const std::string programID = ReadScript(Script::ProgramID::kSection, Script::ProgramID::kID, s.ScriptFile);
    WriteProgramID(programID, s.InstallFolder, s.WindowsFolder);
}

// The record text, with one more dot on the status line per section.
std::string RecordText(InstallContext& run, const RecordContent& content) {
    const std::string base = run.s.StatusText;
    return BuildRecordText(content, [&](int dots) {
        std::string label = base;
        for (int i = 0; i < dots; ++i) label += "．";
        run.view.ShowStatus(label);
    });
}

// The record saved as UNSETUP.INI; false, a failure of the run, when it went
// elsewhere or nowhere: the uninstall reads only that name.
bool SaveRecordText(InstallContext& run, const std::string& text) {
    SetupState& s = run.s;
    const std::string record = s.InstallFolder + "UNSETUP.INI";
    const RecordSaveResult saved = SaveRecord(s.InstallFolder, text, run.view);
    if (saved.saved) return true;
    if (!saved.fallbackPath.empty()) {
        run.AddFailure("<SetupFile> ", record,
                       "記録を" + ExtractFileName(saved.fallbackPath) + "に保存しました。「UNSETUP.INI」にリネームするまで、正常に" +
                           s.UnSetupString + "できません。\r\n「プログラム(アプリケーション)の追加と削除」への登録は行いませんでした。\r\n");
        return false;
    }
    // The text is in no file at all: the person must hear it now, and the
    // log keeps it with what was installed.
    const std::string message = RecordSaveFailureText(saved.error, s.UnSetupString);
    run.view.Ask({message, "警告", MB_OK | MB_ICONEXCLAMATION, IDOK});
    run.AddFailure("<SetupFile> ", record, message + "\r\n");
    // Everything the record would have listed, for removal by hand.
    LogBlock("保存できなかった記録", text);
    // The step's text ends without its dots: they belong to the result.
    s.StepResult = "．．．失敗";
    return false;
}

// The Add/Remove Programs entry, naming the record just saved; the registry
// error's text when it could not be written.
std::string Register(InstallContext& run, const std::string& keyPath, const std::string& display) {
    SetupState& s = run.s;
    if (keyPath.empty()) {
        run.registrationNote = s.UnSetupString +
                               "キー名が空のため、「プログラム(アプリケーション)の追加と削除」への登録を行いませんでした。";
        run.AddNote("<UnSetupRegistryKey> " + run.registrationNote);
        return {};
    }
    try {
        WriteUninstallKey(keyPath, display, s.WindowsFolder, s.InstallFolder, s.ScriptFile);
        WriteUninstallExtras(keyPath, s.WindowsFolder, s.InstallFolder, run.installedBytes);
    } catch (const RegistryWriteError& e) {
        return e.what();
    }
    run.registered = true;
    return {};
}

}  // namespace

bool WriteUninstallRecord(InstallContext& run) {
    SetupState& s = run.s;
    run.view.SetAbortEnabled(false);
    const bool setupOnly = IsSetupOnlyTitle(s.UnSetupTitle);
    PlaceUninstaller(run, setupOnly);
    if (setupOnly) {
        run.StepEnd();
        return true;
    }

    RecordContent content = ContentOf(run);
    const std::string keyName = ReadScript(Script::Title::kSection, Script::Title::kUnSetupKey, s.ScriptFile,
                                           s.UnSetupTitle);
    const std::string display =
        ReadScript(Script::Title::kSection, Script::Title::kUnSetupDisplay, s.ScriptFile, keyName);
    content.registryKey = UninstallKeyPath(keyName);
    const std::string text = RecordText(run, content);

    // Its digest goes beside the earlier one before the save, and the earlier
    // one is dropped only once the new record and its entry are in place.
    const std::string recordFile = AddPathDelimiter(s.InstallFolder, "B") + RecordFiles::kRecord;
    SignRecord(run, recordFile, text);
    SignBeforeProgram(run, content.beforeFile);

    // Notes of an uninstall cut short name counts this install has raised
    // again: the new record starts without them.
    DeletePath(AddPathDelimiter(s.InstallFolder, "B") + RecordFiles::kProgress);
    // The entry is written only once the record is in its place, so it never
    // starts an uninstall of a record that is not there (or an old one).
    if (!SaveRecordText(run, text)) {
        run.StepEnd();
        return true;
    }
    // The record is saved even when the entry cannot be written, so what was
    // installed can still be removed; the error is shown after.
    const std::string registryError = Register(run, content.registryKey, display);
    // The earlier record is gone: its digest vouches for nothing now.
    KeepOnlyRecordDigest(recordFile, text);
    if (!registryError.empty()) {
        run.view.Ask({registryError, kProductName, MB_OK | MB_ICONHAND, IDOK});
        run.view.EndRun();
        return false;
    }
    run.StepEnd();
    return true;
}

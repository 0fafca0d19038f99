// The end of the install's work: the uninstaller copy, the program-ID line,
// the record text, the Add/Remove Programs entry and the record's save.
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
// install left.
void SignBeforeProgram(const SetupState& s, const std::string& value) {
    if (value.empty()) return;
    const BeforeProgram before = BeforeUninstallProgram(s.InstallFolder, value);
    if (!before.program.empty()) StoreFileDigest(HeldFile(before.program));
}

}  // namespace

bool WriteUninstallRecord(InstallContext& run) {
    SetupState& s = run.s;
    run.view.SetAbortEnabled(false);
    const bool setupOnly = IsSetupOnlyTitle(s.UnSetupTitle);

    const unsigned long copied = CopyUninstaller(s.WorkFolder, s.WindowsFolder, setupOnly);
    if (copied != 0) run.AddFailure("<SetupFile> ", s.WindowsFolder + "UNRAVEL.EXE", SysErrorText(copied));
    const std::string programID = ReadScript(Script::ProgramID::kSection, Script::ProgramID::kID, s.ScriptFile);
    WriteProgramID(programID, s.InstallFolder, s.WindowsFolder);
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

    const std::string base = s.StatusText;
    const std::string text = BuildRecordText(content, [&](int dots) {
        std::string label = base;
        for (int i = 0; i < dots; ++i) label += "．";
        run.view.ShowStatus(label);
    });

    const std::string recordFile = AddPathDelimiter(s.InstallFolder, "B") + RecordFiles::kRecord;
    SignRecord(run, recordFile, text);
    SignBeforeProgram(s, content.beforeFile);

    // The record is saved even when the entry cannot be written, so what
    // was installed can still be removed; the error is shown after.
    std::string registryError;
    if (content.registryKey.empty()) {
        run.AddNote("<UnSetupRegistryKey> " + s.UnSetupString +
                    "キー名が空のため、「プログラム(アプリケーション)の追加と削除」への登録を行いませんでした。");
    } else {
        try {
            WriteUninstallKey(content.registryKey, display, s.WindowsFolder, s.InstallFolder, s.ScriptFile);
            WriteUninstallExtras(content.registryKey, s.WindowsFolder, s.InstallFolder, run.installedBytes);
        } catch (const RegistryWriteError& e) {
            registryError = e.what();
        }
    }

    // Notes of an uninstall cut short name counts this install has raised
    // again: the new record starts without them.
    DeletePath(AddPathDelimiter(s.InstallFolder, "B") + RecordFiles::kProgress);
    const RecordSaveResult saved = SaveRecord(s.InstallFolder, text, run.view);
    if (!saved.saved && saved.fallbackPath.empty()) {
        // The text is in no file at all: the person must hear it now, and
        // the log keeps it with what was installed.
        const std::string message = RecordSaveFailureText(saved.error, s.UnSetupString);
        run.view.Ask(message, "警告", MB_OK | MB_ICONEXCLAMATION);
        run.AddFailure("<SetupFile> ", s.InstallFolder + "UNSETUP.INI", message + "\r\n");
        // Everything the record would have listed, for removal by hand.
        LogBlock("保存できなかった記録", text);
        run.recordLost = true;
        // The step's text ends without its dots: they belong to the result.
        s.StepResult = "．．．失敗";
    }
    // The earlier record is gone: its digest vouches for nothing now.
    if (saved.saved) KeepOnlyRecordDigest(recordFile, text);
    if (!registryError.empty()) {
        run.view.Ask(registryError, "Ravelin Setup", MB_OK | MB_ICONHAND);
        run.view.EndRun();
        return false;
    }
    run.StepEnd();
    return true;
}

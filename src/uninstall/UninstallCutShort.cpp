// The end of an uninstall cut short after its record went: the Add/Remove
// Programs entries of that record, the progress file and the emptied folder.
#include "uninstall/UninstallContext.h"

using namespace uninstall_run;

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

#include "session/InstallationTests.h"

#include <windows.h>

#include "app/ScriptKeys.h"
#include "app/SetupState.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "record/RecordKeys.h"

bool RejectOperatingSystem(const SetupState& state) {
    const std::string rejected = IniRead(Script::Extend::kSection, Script::Extend::kRejectOS, "", state.ScriptFile);
    if (rejected.empty() || state.OSName.empty() || IPos(state.OSName, rejected) == 0) return false;
    const std::string& s = state.SetupString;
    MsgBox("このオペレーティングシステムへの" + s + "は、プログラム配布者により認められていません。" + "\r\n" +
               "詳細については、プログラム配布者へご確認ください。" + "\r\n" + s + "を続行することはできません。",
           "警告", MB_OK | MB_ICONEXCLAMATION);
    return true;
}

CheckTarget ResolveCheckValue(const std::string& value, const std::string& folderShown,
                              const std::string& windowsFolder) {
    CheckTarget target;
    if (IPos(Script::Values::kIDCheck, value)) {
        const std::string id = GetField(value, ':', 2);
        if (id.empty()) return target;
        const std::string folder = IniRead(id, Script::ProgramIDList::kFolder, "", windowsFolder + Script::ProgramIDList::kFileName);
        if (folder.empty()) return target;  // nothing installed under that id: nothing to find
        target.installedById = true;
        target.title = IniRead(Script::Title::kSection, Script::Title::kUnSetup, "不明なタイトル",
                           RemovePathDelimiter(folder, "B") + "\\" + RecordFiles::kRecord);
        return target;
    }
    target.path = folderShown + RemovePathDelimiter(value, "T");
    return target;
}

bool CheckPreviousInstallation(const SetupState& state, const std::string& folderShown) {
    const std::string& s = state.SetupString;
    const std::string& u = state.UnSetupString;
    const UINT flags = MB_OK | MB_ICONEXCLAMATION;

    const CheckTarget strict = ResolveCheckValue(IniRead(Script::Caution::kSection, Script::Caution::kUnInstallCheckEx,
                                                         Script::Caution::kCheckDefault, state.ScriptFile),
                                                 folderShown, state.WindowsFolder);
    if (strict.installedById) {
        MsgBox("インストーラはチェック対象プログラム識別子を検出しました。\r\n【" + strict.title + "】" + "\r\n" + s +
                   "を続行するためには、上記プログラムの" + u + "を行う必要があります。",
               "エラー", flags);
        return true;
    }
    if (FileExists(strict.path)) {
        MsgBox("インストーラはチェック対象プログラムを検出しました。\r\n" + s + "を続行するためには、前バージョンの" +
                   u + "を行う必要があります。",
               "エラー", flags);
        return true;
    }

    const CheckTarget advisory = ResolveCheckValue(IniRead(Script::Caution::kSection, Script::Caution::kUnInstallCheck,
                                                           Script::Caution::kCheckDefault, state.ScriptFile),
                                                   folderShown, state.WindowsFolder);
    const std::string tail = s + "はこのまま続行できますが、予期せぬ結果を招く可能性があります。" + "\r\n" +
                             "できる限り中断して、前バージョンの" + u + "を行うことをお勧めします。";
    if (advisory.installedById) {
        MsgBox("インストーラはチェック対象プログラム識別子を検出しました。\r\n【" + advisory.title + "】" + "\r\n" +
                   "パッケージ配布者は、上記プログラムの" + u + "を推奨しています。" + "\r\n" + tail,
               "警告", flags);
    } else if (FileExists(advisory.path)) {
        MsgBox("インストーラはチェック対象プログラムを検出しました。\r\nパッケージ配布者は、前バージョンのプログラムの" + u +
                   "を推奨しています。" + "\r\n" + tail,
               "警告", flags);
    }
    return false;
}

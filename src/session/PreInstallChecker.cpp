#include "session/PreInstallChecker.h"

#include <windows.h>

#include "app/PathMacros.h"
#include "app/RunLog.h"
#include "app/ScriptKeys.h"
#include "app/SetupState.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "session/ScriptSettings.h"
#include "session/WizardText.h"
#include "sysops/Deletion.h"
#include "sysops/Shell.h"

std::string PreInstallChecker(const SetupState& state) {
    const std::string name = IniRead(Script::Extend::kSection, Script::Extend::kInstallChecker, "", state.ScriptFile);
    const std::string checker = FileIn(state.SourceFolder, name);
    return !name.empty() && FileExists(checker) ? checker : std::string();
}

CheckerVerdict RunPreInstallChecker(const SetupState& state, const std::string& checker,
                                    const std::function<void()>& ended) {
    using namespace Script::CheckResult;
    const std::string resultFile = state.WindowsFolder + kFileName;
    DeletePath(resultFile);
    LogLine("状況", "事前チェックプログラムを実行します: " + checker);
    RunAndWait(checker, "");
    CheckerVerdict verdict;
    verdict.allows = IniRead(kSection, kResult, "", resultFile) == Script::Values::kContinueInstall;
    verdict.message = ReplaceToken(IniRead(kSection, kMessage, "", resultFile), "<改行>", "\r\n");
    DeletePath(resultFile);
    if (ended) ended();
    if (!verdict.message.empty()) LogLine("チェック", verdict.message);
    if (!verdict.allows) MsgBox(CheckerRefusal(state.SetupString), "警告", MB_OK | MB_ICONEXCLAMATION);
    return verdict;
}

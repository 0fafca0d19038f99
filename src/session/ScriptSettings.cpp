#include "session/ScriptSettings.h"

#include <climits>

#include "app/PathMacros.h"
#include "app/ScriptKeys.h"
#include "app/SetupState.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "sysops/Registry.h"

void ReadWords(SetupState& state) {
    state.SetupString = IniRead(Script::Extend::kSection, Script::Extend::kSetupString, Script::Extend::kSetupStringDefault, state.ScriptFile);
    state.UnSetupString = IniRead(Script::Extend::kSection, Script::Extend::kUnSetupString, Script::Extend::kUnSetupStringDefault,
                                  state.ScriptFile);
}

std::string BannerText(const std::string& scriptFile) {
    const std::string line1 = IniRead(Script::Title::kSection, Script::Title::kCopyRight1, "", scriptFile);
    const std::string line2 = IniRead(Script::Title::kSection, Script::Title::kCopyRight2, "", scriptFile);
    if (line1.empty() && line2.empty())
        return std::string(kProductName) + "\r\n" + "Copyright (C) 2026 The Ravelin Setup Project";
    return line1 + "\r\n" + line2;
}

long SetupSpeedFrom(const std::string& text) {
    constexpr long kDefault = 350;
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return kDefault;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return kDefault;
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return kDefault;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return kDefault;
    return value < 1 ? 1 : static_cast<long>(value);
}

void ReadPacingAndTitles(SetupState& state) {
    state.SetupSpeed = SetupSpeedFrom(IniRead(Script::Extend::kSection, Script::Extend::kSetupSpeed, Script::Extend::kSetupSpeedDefault,
                                               state.ScriptFile));
    state.SetupTitle = IniRead(Script::Title::kSection, Script::Title::kSetup, Script::Title::kSetupDefault, state.ScriptFile);
    state.UnSetupTitle = IniRead(Script::Title::kSection, Script::Title::kUnSetup, state.SetupTitle, state.ScriptFile);
}

std::string DefaultInstallFolder(SetupState& state) {
    const std::string& script = state.ScriptFile;
    std::string folder;
    if (state.Mode == "UNSETUP") {
        folder = IniRead(Script::SetupFolder::kSection, Script::SetupFolder::kFolder, "", script);
    } else {
        folder = IniRead(Script::DefaultFolder::kSection, Script::DefaultFolder::kFolder,
                         Script::DefaultFolder::kFolderDefault, script);

        state.ProgramID = IniRead(Script::ProgramID::kSection, Script::ProgramID::kID, "", script);
        if (!state.ProgramID.empty())
            folder = IniRead(state.ProgramID, Script::ProgramIDList::kFolder, folder,
                             state.WindowsFolder + Script::ProgramIDList::kFileName);

        const std::string referRegistry = IniRead(Script::DefaultFolder::kSection, Script::DefaultFolder::kReferRegistry, "", script);
        if (!referRegistry.empty()) {
            const RegistryRoot root = SplitRegistryRoot(GetField(referRegistry, ',', 1));
            const std::string subkey = RemovePathDelimiter(RemovePathDelimiter(root.subkey, "T"), "B");
            std::string value;
            if (ReadRegistryString(root.hive, subkey, GetField(referRegistry, ',', 2), value) && !value.empty())
                folder = value;
        }

        const std::string referIni = IniRead(Script::DefaultFolder::kSection, Script::DefaultFolder::kReferIniFile, "", script);
        if (!referIni.empty()) {
            const std::string expanded = ExpandPathMacros(referIni, state);
            const std::string file = GetField(expanded, ',', 3);
            // Without a file name the profile functions would read WIN.INI.
            if (!file.empty()) {
                const std::string value = IniRead(GetField(expanded, ',', 1), GetField(expanded, ',', 2), "", file);
                if (!value.empty()) folder = value;
            }
        }
    }
    return AddPathDelimiter(ExpandPathMacros(folder, state), "B");
}

bool OptionsChangeable(const std::string& scriptFile) {
    return IniRead(Script::Extend::kSection, Script::Extend::kEnabled, "", scriptFile) != Script::Values::kFalse;
}

std::string TopMessage(const SetupState& state) {
    if (state.Mode == "UNSETUP") {
        const std::string& u = state.UnSetupString;
        return u + "を行います。" + "\r\n\r\n" + "開始するには、「" + u + "開始(S)」を選択してください。" + "\r\n";
    }
    std::string text;
    bool any = false;
    for (int i = 1; i <= Script::TopMessage::kMessageCount; ++i) {
        const std::string line = IniRead(Script::TopMessage::kSection,
                                        Script::NumberedKey(Script::TopMessage::kMessagePrefix, i), "", state.ScriptFile);
        any = any || !line.empty();
        text += line + "\r\n";
    }
    return any ? text : state.SetupString + "を行います。" + "\r\n";
}

UninstallOptions UninstallOptionsFrom(const std::string& checkBox, const std::string& caption3,
                                      const std::string& caption4, const std::string& unSetupString) {
    UninstallOptions options;
    if (checkBox == Script::Values::kDeleteAll) {
        options.deleteAll = true;
        options.caption[0] = unSetupString + "フォルダ以下の全ファイル・フォルダ";
        options.checked[0] = options.enabled[0] = options.visible[0] = true;
    } else {
        options.caption[0] = "*.INI";
        options.caption[1] = "*.GID";
        options.caption[2] = caption3;
        options.caption[3] = caption4;
        for (int k = 0; k < 4; ++k) {
            options.visible[k] = true;
            options.enabled[k] = !options.caption[k].empty();
            const size_t flag = static_cast<size_t>(2 * k);
            options.checked[k] = flag < checkBox.size() && checkBox[flag] == '1';
        }
    }
    options.info = "　" + unSetupString +
                   "フォルダの中で、コピーされたファイル以外に追加削除するファイルをチェック(選択)してください。";
    return options;
}

UninstallOptions ReadUninstallOptions(SetupState& state) {
    using namespace Script::UnSetupOption;
    state.UnSetupOption = IniRead(kSection, kCheckBox, kCheckBoxDefault, state.ScriptFile);
    return UninstallOptionsFrom(state.UnSetupOption, IniRead(kSection, kCheckBox3, "", state.ScriptFile),
                                IniRead(kSection, kCheckBox4, "", state.ScriptFile), state.UnSetupString);
}

std::string FileIn(const std::string& folder, const std::string& name) {
    return folder + RemovePathDelimiter(name, "T");
}

std::string LicenceFile(const SetupState& state) {
    const std::string name = IniRead(Script::EULA::kSection, Script::EULA::kFile, "", state.ScriptFile);
    const std::string path = FileIn(state.SourceFolder, name);
    return !name.empty() && FileExists(path) ? path : std::string();
}

// Shortcuts, registry values, INI entries, the uninstall lists the script
// hands on, and file associations.
#include <windows.h>

#include "app/MBUtils.h"
#include "app/PathMacros.h"
#include "app/RunLog.h"
#include "app/ScriptKeys.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "install/InstallContext.h"
#include "install/ScriptEntries.h"
#include "install/ShortcutBoxes.h"
#include "platform/Win932.h"
#include "sysops/PathNames.h"
#include "sysops/Registry.h"
#include "sysops/Shell.h"

namespace {

constexpr const char* kNotSelected = "User Not Selected.";

std::string Read(const char* section, const char* prefix, int n, const std::string& file,
                 const std::string& defaultValue = "") {
    return IniRead(section, Script::NumberedKey(prefix, n), defaultValue, file);
}

// Where a shortcut may be made: a full path, the only form the uninstall
// removes, without a wildcard, which it refuses, and without a ":" past the
// drive's own (a full path written after a menu macro would otherwise end
// up inside the menu folder).
bool IsPlaceableLink(const std::string& link) {
    if (!IsFullyQualified(link) || HasWildcard(link)) return false;
    const bool drive = link.size() >= 2 && link[1] == ':';
    return MBPos(":", drive ? link.substr(2) : link) == 0;
}

const char kNotPlaceable[] =
    "作成先が、ドライブ名(C:\\など)かネットワーク共有(\\\\サーバー名\\共有名)から始まる、ワイルドカード(*・?)を"
    "含まないパスではないため、作成しませんでした。\r\n";

}  // namespace

bool MakeShortcuts(InstallContext& run) {
    SetupState& s = run.s;
    run.view.ShowGauge(false);
    run.StepBegin("ショートカットを作成しています．．．", "なし");
    for (int n = 1;; ++n) {
        std::string make = Read(Script::ShortCut::kSection, Script::ShortCut::kMakePrefix, n, s.ScriptFile);
        const std::string name = Read(Script::ShortCut::kSection, Script::ShortCut::kNamePrefix, n, s.ScriptFile,
                                      Script::ShortCut::kNameDefault);
        const int box = ShortcutBoxOf(name);
        if (box >= 0 && !run.options.boxes[box].checked && !make.empty()) make = kNotSelected;
        if (make.empty()) break;
        if (make == kNotSelected) continue;

        std::string target = ExpandPathMacros(make);
        const std::string arguments = GetField(target, ',', 2);
        target = GetField(target, ',', 1);
        std::string link = name == Script::ShortCut::kNameDefault ? ExtractFileName(target) : name;
        // A bare name goes into the programs menu; a full path is taken as
        // it stands, with or without "(" in it. A macro in the working
        // folder field does not make the link's own name any less bare.
        const std::string linkField = GetField(link, ',', 1);
        if (!IsFullyQualified(linkField) && !IPos("(", linkField) && !IPos(")", linkField)) link = "(Sta)" + link;
        link = ExpandPathMacros(link);
        const std::string workFolder = GetField(link, ',', 2);
        link = GetField(link, ',', 1);

        s.ItemText = "【作成元】" + target + "\r\n【作成先】" + RemovePathDelimiter(link, "T") + "\r\n";
        run.ShowItem();
        if (run.Aborted()) return false;
        std::string made;
        // Anything else would land wherever the current folder happens to
        // be, or be recorded where the uninstall never looks.
        const bool placeable = IsPlaceableLink(link);
        if (placeable) CreateShortcut(target, link, workFolder, arguments, made);
        run.Pause();
        LogItem("ショートカット", target, made.empty() ? link : made, made.empty() ? "失敗" : "完了",
                made.empty() ? (placeable ? ERROR_GEN_FAILURE : ERROR_INVALID_NAME) : 0);
        if (made.empty()) {
            // Never an empty record entry: it would end the reader's list.
            run.AddFailure("<ShortCut> ", link,
                           placeable ? std::string("ショートカットを作成できませんでした。\r\n") : kNotPlaceable);
            s.StepResult = kPartlyFailed;
        } else {
            run.fresh.shortcuts += made + "|";
            if (s.StepResult != kPartlyFailed) s.StepResult = "完了";
        }
    }
    run.StepEnd();
    return true;
}

bool WriteRegistryValues(InstallContext& run) {
    SetupState& s = run.s;
    run.StepBegin("レジストリキーを作成しています．．．", "なし");
    for (int n = 1;; ++n) {
        const std::string key = Read(Script::Registry::kSection, Script::Registry::kKeyPrefix, n, s.ScriptFile);
        if (key.empty()) break;
        const std::string name = Read(Script::Registry::kSection, Script::Registry::kNamePrefix, n, s.ScriptFile);
        std::string value = Read(Script::Registry::kSection, Script::Registry::kValuePrefix, n, s.ScriptFile);
        run.Show();
        if (run.Aborted()) return false;

        const RegistryRoot root = SplitRegistryRoot(key);
        const std::string subkey = RemovePathDelimiter(RemovePathDelimiter(root.subkey, "T"), "B");
        CreateRegistryKey(root.hive, subkey);
        const bool pdd = IPos("(Pdd)", value) > 0;
        if (pdd) value = ReplaceToken(value, "(Pdd)", "");
        const RegistryData data = ParseRegistryValue(ExpandPathMacros(value), pdd);
        switch (data.kind) {
        case RegistryData::String: WriteRegistryString(root.hive, subkey, name, data.text); break;
        case RegistryData::ExpandString: WriteRegistryString(root.hive, subkey, name, data.text, true); break;
        case RegistryData::Dword: WriteRegistryDword(root.hive, subkey, name, data.number); break;
        case RegistryData::Binary: WriteRegistryBinary(root.hive, subkey, name, data.text); break;
        case RegistryData::None: break;
        }
        LogItem("レジストリ値", "", key + "\\" + name, "完了", 0);
        s.StepResult = "完了";
    }
    run.StepEnd();
    return true;
}

bool WriteIniEntries(InstallContext& run) {
    SetupState& s = run.s;
    run.StepBegin("INIファイルを設定しています．．．", "なし");
    for (int n = 1;; ++n) {
        const std::string data = Read(Script::IniFile::kSection, Script::IniFile::kDataPrefix, n, s.ScriptFile);
        if (data.empty()) break;
        run.Show();
        if (run.Aborted()) return false;
        const std::string line = ExpandPathMacros(data);
        const std::string file = GetField(line, ',', 4);
        // Not a failure of the run (nothing of it is recorded), but the log
        // tells each entry.
        const bool written = IniWrite(GetField(line, ',', 1), GetField(line, ',', 2), GetField(line, ',', 3), file);
        LogItem("INIファイル", "", file + " [" + GetField(line, ',', 1) + "] " + GetField(line, ',', 2),
                written ? "完了" : "失敗", written ? 0 : ERROR_WRITE_FAULT);
        s.StepResult = "完了";
    }
    run.StepEnd();
    return true;
}

void CollectUninstallLists(InstallContext& run) {
    const std::string& script = run.s.ScriptFile;
    for (int n = 1;; ++n) {
        const std::string key = Read(Script::DeleteRegistry::kSection, Script::DeleteRegistry::kKeyPrefix, n, script);
        if (key.empty()) break;
        run.fresh.registry += key + "|";
    }
    for (int n = 1;; ++n) {
        const std::string file = Read(Script::AddDeleteFile::kSection, Script::AddDeleteFile::kFilePrefix, n, script);
        if (file.empty()) break;
        run.fresh.extraFiles += ExpandPathMacros(file) + "|";
    }
}

bool MakeAssociations(InstallContext& run) {
    SetupState& s = run.s;
    s.StatusText += "関連付けを設定しています．．．";
    s.StepResult = "なし";
    run.Show();
    for (const Association& pair : run.relate) {
        run.Show();
        if (run.Aborted()) return false;
        const std::string extension = GetField(pair.name, ',', 1);
        std::string description = GetField(pair.name, ',', 2);
        if (description.empty()) description = pair.name + " File";

        const std::string file = ExpandPathMacros(pair.file);
        const std::string verb = GetField(file, ',', 1);
        const std::string program = GetField(file, ',', 2);
        const std::string quoted = IPos(" ", program) ? "\"" + program + "\"" : program;
        const std::string arg1 = GetField(file, ',', 3);
        const std::string arg2 = GetField(file, ',', 4);
        const std::string arguments = arg1.empty() ? arg2 : arg1 + " " + arg2;
        const std::string command = arguments.empty() ? quoted : quoted + " " + arguments;

        // Unattended, the package's association is made as the package asks.
        s.LastAnswer = run.view.Ask({"拡張子 *." + extension + " を\r\n" + program + "\r\nに関連付けします。よろしいですか？",
                                     "関連付けの確認", 36, IDYES});
        if (s.LastAnswer == IDNO) continue;
        const std::string icon = program + "," + GetField(file, ',', 5);

        const std::string extensionKey = "." + extension;
        const std::string fileType = extension + "_auto_file";
        if (!RestoreTableHas(run.restore, extension)) {
            std::string previous;
            ReadRegistryString(HKEY_CLASSES_ROOT, extensionKey, "", previous);
            // This very association, left by an install of this package that
            // was cut short before its record was saved (the type without a
            // command yet, or with this command): there was nothing before it,
            // and restoring it would keep it for good. Another program's type
            // of the same name, with its own command, stays the previous value.
            std::string existing;
            if (MapString(previous, LCMAP_UPPERCASE) == MapString(fileType, LCMAP_UPPERCASE) &&
                (!ReadRegistryString(HKEY_CLASSES_ROOT, fileType + "\\shell\\" + verb + "\\command", "", existing) ||
                 existing == command))
                previous.clear();
            RestoreTableAdd(run.restore, extension + "," + previous);
        }
        WriteRegistryString(HKEY_CLASSES_ROOT, extensionKey, "", fileType);
        WriteRegistryString(HKEY_CLASSES_ROOT, fileType, "", description);
        WriteRegistryString(HKEY_CLASSES_ROOT, fileType + "\\DefaultIcon", "", icon);
        WriteRegistryString(HKEY_CLASSES_ROOT, fileType + "\\shell\\" + verb + "\\command", "", command);
        LogItem("関連付け", command, extensionKey, "完了", 0);
        s.StepResult = "完了";
    }
    run.StepEnd();
    s.StatusText += s.UnSetupString + "情報を更新しています";
    s.StepResult = "．．．完了";
    return true;
}

// The registry stages: the recorded keys, the associations and the Add/Remove
// Programs entry.
#include "uninstall/UninstallContext.h"

namespace uninstall_run {

void TUninstallRun::DeleteKeys() {
    BeginStage("レジストリの" + s.UnSetupString + "処理．．．");
    for (const std::string& value :
         ReadNumbered(Script::DeleteRegistry::kSection, Script::DeleteRegistry::kKeyPrefix, record_)) {
        std::string rootMacro, keyPath;
        SplitKeyValue(value, rootMacro, keyPath);
        const KeyRefusal refusal =
            RefuseRegistryKey(rootMacro, keyPath, options_.recordTrusted, userSid_, RecordedExtensions());
        if (refusal != KeyRefusal::None) {
            Log("<Registry> ", value, RefusalText(refusal));
            continue;
        }
        DeleteRegistryKey(rootMacro, keyPath);
        LogItem("レジストリキー削除", "", value, "完了", 0);
        if (RegistryKeyExists(HiveFromRootMacro(rootMacro), TrimKeyPath(keyPath))) Log("<Registry> ", value, kKeyRemains);
    }
}

void TUninstallRun::RestoreAssociations() {
    BeginStage("関連付けの" + s.UnSetupString + "処理．．．");
    for (int n = 1; n <= Script::RestoreRelate::kCount; ++n) {
        const std::string value = IniRead(Script::RestoreRelate::kSection,
                                          Script::NumberedKey(Script::RestoreRelate::kKeyPrefix, n), "", record_);
        if (value.empty()) break;
        const int comma = IPos(",", value);
        const std::string extension = comma > 0 ? StrLeft(value, comma - 1) : value;
        const std::string previous = comma > 0 ? StrMid(value, comma + 1) : "";
        const unsigned long code = RestoreAssociation(extension, previous);
        if (code != 0) Log("<Relate> ", "." + extension, SysErrorText(code));
    }
}

void TUninstallRun::RemoveRegistration() {
    BeginStage("「プログラム(アプリケーション)の追加と削除」の処理．．．");
    // The entry must go on starting the uninstall while the record is there.
    if (!DeleteRecord()) return;
    if (!FileExists(s.RecordFile)) DropRecordDigest(s.RecordFile);
    // Ours are the entries whose command starts the uninstall of the record
    // this run was started with; the key the record names only tells which
    // one it expects.
    const std::vector<std::string> entries = EntriesOfRecord(s.RecordFile);
    const std::string key = IniRead(Script::UnSetupRegistryKey::kSection, Script::UnSetupRegistryKey::kKey, "", record_);
    const std::string shown = "HKEY_LOCAL_MACHINE\\" + TrimKeyPath(key);
    // An empty key: the install run had no key name, so nothing was registered.
    if (!key.empty() && !IsUninstallEntryKey(key)) {
        Log("<Registry> ", shown, kNotUninstallEntry, kFailed);
    } else if (!key.empty() && RegistryKeyExists(HKEY_LOCAL_MACHINE, TrimKeyPath(key))) {
        bool ours = false;
        for (const std::string& entry : entries) ours = ours || Upper(entry) == Upper(TrimKeyPath(key));
        if (!ours) Log("<Registry> ", shown, kOtherProgramsEntry, kFailed);
    }
    for (const std::string& entry : entries) {
        DeleteRegistryKey("(Local)", entry);
        LogItem("レジストリキー削除", "", "HKEY_LOCAL_MACHINE\\" + entry, "完了", 0);
        if (RegistryKeyExists(HKEY_LOCAL_MACHINE, entry)) Log("<Registry> ", "HKEY_LOCAL_MACHINE\\" + entry, kKeyRemains, kFailed);
    }
}
}  // namespace uninstall_run

#pragma once
// The record built the slow way, step by step as its layout is defined:
// every entry placed with AddRecordEntry against the text built so far, the
// [DeleteFile] section in a text of its own with "/S" carried by
// ReplaceToken, entries cut from the lists with IPos. The fast builder must
// give exactly these bytes.
#include <string>

#include "app/PathMacros.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "record/UninstallRecord.h"

namespace walk {

// The next entry of a list (up to the next "|" found with IPos, or the rest).
inline std::string TakeEntry(std::string& rest) {
    const int bar = IPos("|", rest);
    std::string entry = bar ? StrLeft(rest, bar - 1) : rest;
    rest = bar ? StrMid(rest, bar + 1) : std::string();
    return entry;
}

inline bool SharedFlag(const std::string& entry) {
    const int comma = IPos(",", entry);
    return comma != 0 && IPos("/S", StrMid(entry, comma + 1)) != 0;
}

inline void Section(std::string& text, const std::string& section, const std::string& prefix,
                    const std::string& fresh, const std::string& previous) {
    text += "[" + section + "]\r\n";
    for (const std::string* list : {&fresh, &previous}) {
        std::string rest = *list;
        while (!rest.empty()) {
            const std::string entry = TakeEntry(rest);
            if (!entry.empty()) text += AddRecordEntry(entry, section, prefix, false, text);
        }
    }
    text += "\r\n";
}

inline std::string FileSection(const std::string& fresh, const std::string& previous) {
    std::string files = "[DeleteFile]\r\n";
    for (const std::string* list : {&fresh, &previous}) {
        std::string rest = *list;
        while (!rest.empty()) {
            const std::string entry = TakeEntry(rest);
            if (entry.empty()) continue;
            if (!SharedFlag(entry)) {
                files += AddRecordEntry(entry, "DeleteFile", "File", false, files);
                continue;
            }
            const std::string result = AddRecordEntry(entry, "DeleteFile", "File", true, files);
            if (result.rfind("[!!]", 0) != 0) {
                files += result;
                continue;
            }
            const std::string line = StrMid(result, 5);
            const std::string marked = IPos(",", line) ? line + "/S" : line + ",/S";
            files = ReplaceToken(files, line + "\r\n", marked + "\r\n");
        }
    }
    return files;
}

inline std::string BuildRecord(const RecordContent& c) {
    std::string text =
        "[Information]\r\n"
        "Message1=Ravelin Setup UnSetup(UnInstall) Initialize File\r\n"
        "Message2=！！！　警告　！！！\r\n"
        "Message3=このファイルをエディタなどで書き換えたり、削除しないでください。\r\n"
        "Message4=書き換えた場合、" + c.unSetupString + "動作の保証はできません。\r\n\r\n"
        "[Title]\r\nUnSetup=" + c.unSetupTitle + "\r\n\r\n"
        "[SetupFolder]\r\nFolder=" + c.installFolder + "\r\n\r\n";
    Section(text, "DeleteFolder", "Folder", c.fresh.folders, c.previous.folders);
    text += FileSection(c.fresh.files, c.previous.files) + "\r\n";
    Section(text, "DeleteShortCut", "File", c.fresh.shortcuts, c.previous.shortcuts);
    Section(text, "DeleteRegistry", "Key", c.fresh.registry, c.previous.registry);
    Section(text, "AddDeleteFile", "File", c.fresh.extraFiles, c.previous.extraFiles);
    text += "[RestoreRelate]\r\n";
    for (int i = 1; i <= 20; ++i)
        if (!c.restore[i - 1].empty()) text += "Key" + std::to_string(i) + "=" + c.restore[i - 1] + "\r\n";
    text += "\r\n[UnSetupOption]\r\n";
    if (!c.unSetupOption.empty()) text += "CheckBox=" + c.unSetupOption + "\r\n";
    if (!c.checkBox3.empty()) text += "CheckBox3=" + c.checkBox3 + "\r\n";
    if (!c.checkBox4.empty()) text += "CheckBox4=" + c.checkBox4 + "\r\n";
    text += "\r\n[BeforeUnInstall]\r\n";
    if (!c.readmeFile.empty()) text += "ReadmeFile=" + c.readmeFile + "\r\n";
    if (!c.beforeFile.empty()) text += "File=" + c.beforeFile + "\r\n";
    text += "\r\n[Extend]\r\nSetupString=" + c.setupString + "\r\nUnSetupString=" + c.unSetupString + "\r\n\r\n";
    text += "[UnSetupRegistryKey]\r\nKey=" + c.registryKey + "\r\n\r\n";
    text += "[ProgramID]\r\nID=" + c.programID + "\r\n";
    return text;
}

}  // namespace walk

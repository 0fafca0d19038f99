#include "pack/Medium.h"

#include <windows.h>

#include "app/Handles.h"
#include "app/Win932.h"

#include "app/PathMacros.h"
#include "app/ScriptKeys.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"

namespace {

struct NamedMacro {
    const char* macro;
    const char* name;
    std::string SetupState::*folder;
};
const NamedMacro kNamed[] = {
    {"(App)", "<APP>", &SetupState::InstallFolder},          {"(Prg)", "<PRG>", &SetupState::ProgramFilesFolder},
    {"(Win)", "<WIN>", &SetupState::WindowsFolder},          {"(Sys)", "<SYS>", &SetupState::SystemFolder},
    {"(Tmp)", "<TMP>", &SetupState::TempFolder},             {"(Boo)", "<BOO>", &SetupState::BootDrive},
    {"(Set)", "<SET>", &SetupState::InstallDrive},           {"(Edr)", "<EDR>", &SetupState::SourceDrive},
    {"(Smn)", "<SMN>", &SetupState::StartMenuFolder},        {"(Sta)", "<STA>", &SetupState::ProgramsFolder},
    {"(Dsk)", "<DSK>", &SetupState::DesktopFolder},          {"(Sup)", "<SUP>", &SetupState::StartupFolder},
    {"(Sen)", "<SEN>", &SetupState::SendToFolder},           {"(Myd)", "<MYD>", &SetupState::DocumentsFolder},
    {"(C_Smn)", "<C_SMN>", &SetupState::CommonStartMenuFolder}, {"(C_Sta)", "<C_STA>", &SetupState::CommonProgramsFolder},
    {"(C_Dsk)", "<C_DSK>", &SetupState::CommonDesktopFolder},   {"(C_Sup)", "<C_SUP>", &SetupState::CommonStartupFolder},
    {"(C_Myd)", "<C_MYD>", &SetupState::CommonDocumentsFolder},
};

}  // namespace

const SetupState& NamedFolders() {
    static const SetupState named = [] {
        SetupState s;
        for (const NamedMacro& m : kNamed) s.*(m.folder) = std::string(m.name) + "\\";
        return s;
    }();
    return named;
}

bool IsNamedRoot(const std::string& comparable) {
    for (const NamedMacro& m : kNamed)
        if (comparable == m.name) return true;
    return false;
}

std::string MacroForm(const std::string& named) {
    std::string text = named;
    for (const NamedMacro& m : kNamed) text = ReplaceToken(text, m.name, m.macro);
    return text;
}

std::string ComparableFolder(const std::string& path) {
    return MapString(RemovePathDelimiter(path, "B"), LCMAP_UPPERCASE);
}

std::vector<ListItem> ReadList(const ProfileText& script, const char* section, const char* prefix) {
    std::vector<ListItem> list;
    for (int n = 1;; ++n) {
        const std::string key = Script::NumberedKey(prefix, n);
        ListItem item;
        if (!script.Find(section, key, item.value) || item.value.empty()) return list;
        item.number = n;
        item.line = script.LineOf(section, key);
        list.push_back(std::move(item));
    }
}

std::vector<CopyItem> ReadCopyItems(const ProfileText& script) {
    std::vector<CopyItem> items;
    int disk = 1;
    for (ListItem& item : ReadList(script, Script::CopyFiles::kSection, Script::CopyFiles::kFilePrefix)) {
        CopyItem copy;
        copy.entry = ParseCopyEntry(ExpandPathMacros(item.value, NamedFolders()), "");
        if (copy.entry.diskChange) ++disk;
        copy.disk = disk;
        copy.item = std::move(item);
        items.push_back(std::move(copy));
    }
    return items;
}

std::vector<WizardFile> ReadWizardFiles(const ProfileText& script) {
    std::vector<WizardFile> files;
    const std::pair<const char*, const char*> keys[] = {
        {Script::EULA::kSection, Script::EULA::kFile},
        {Script::Readme::kSection, Script::Readme::kFile},
        {Script::Extend::kSection, Script::Extend::kInstallChecker},
    };
    for (const auto& [section, key] : keys) {
        std::string value;
        if (!script.Find(section, key, value) || value.empty()) continue;
        files.push_back({section, key, RemovePathDelimiter(value, "T"), script.LineOf(section, key)});
    }
    return files;
}

std::string DiskFolderName(int disk) { return "DISK" + std::to_string(disk); }

MediumFolders::MediumFolders(const std::string& scriptFolder) : root_(AddPathDelimiter(scriptFolder, "B")) {
    const std::string own = ExtractFileName(RemovePathDelimiter(root_, "B"));
    if (MapString(own, LCMAP_UPPERCASE) != DiskFolderName(1)) return;
    const std::string parent = ExtractFilePath(RemovePathDelimiter(root_, "B"));
    if (FolderExists(parent + DiskFolderName(2))) {
        root_ = parent;
        split_ = true;
    }
}

std::string MediumFolders::ForDisk(int disk) const {
    return split_ ? root_ + DiskFolderName(disk) + "\\" : root_;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    FileHandle file(CreateFile932(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    bytes.clear();
    char chunk[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) return false;
        if (got == 0) return true;
        bytes.append(chunk, got);
    }
}

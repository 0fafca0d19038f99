#include "pack/Medium.h"

#include <windows.h>

#include "platform/Handles.h"
#include "platform/Win932.h"

#include "app/MBUtils.h"
#include "app/PathMacros.h"
#include "app/ScriptKeys.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "sysops/PathNames.h"

namespace {

// "(C_Smn)" -> "<C_SMN>".
std::string NameOf(const char* macro) {
    std::string name = macro;
    name = "<" + name.substr(1, name.size() - 2) + ">";
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return name;
}

}  // namespace

const SetupState& NamedFolders() {
    static const SetupState named = [] {
        SetupState s;
        for (const PathMacro& m : PathMacroList()) s.*(m.folder) = NameOf(m.token) + "\\";
        return s;
    }();
    return named;
}

bool IsNamedRoot(const std::string& comparable) {
    for (const PathMacro& m : PathMacroList())
        if (comparable == NameOf(m.token)) return true;
    return false;
}

std::string MacroForm(const std::string& named) {
    std::string text = named;
    for (const PathMacro& m : PathMacroList()) text = ReplaceToken(text, NameOf(m.token), m.token);
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

bool IsInsideFolder(const std::string& path, const std::string& folder) {
    const std::string p = MapString(CanonicalPath(path), LCMAP_UPPERCASE);
    const std::string f = MapString(AddPathDelimiter(CanonicalPath(folder), "B"), LCMAP_UPPERCASE);
    if (p.empty() || f.size() < 2) return false;
    return p.compare(0, f.size(), f) == 0 || AddPathDelimiter(p, "B") == f;
}

std::string LinkOnTheWay(const std::string& folder, const std::string& relative) {
    const std::string root = AddPathDelimiter(folder, "B");
    for (size_t end = 0; end <= relative.size(); ++end) {
        if (end < relative.size() && !IsPathDelimiterAt(relative, static_cast<int>(end + 1))) continue;
        const std::string part = relative.substr(0, end);
        if (part.empty() || IsPathDelimiterAt(part, static_cast<int>(part.size()))) continue;
        const DWORD attributes = GetFileAttributes932(root + part);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return part;
    }
    return {};
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

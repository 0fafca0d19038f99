#include "uninstall/KeyGuards.h"

#include <windows.h>

#include <vector>

#include "app/MBUtils.h"
#include "app/SystemChanges.h"
#include "app/uStrOp.h"
#include "platform/Handles.h"
#include "platform/Win932.h"

namespace {

const char kUninstallList[] = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL";
const char kMicrosoft[] = "SOFTWARE\\MICROSOFT";

// Trees that hold what Windows and every program share: neither they, nor
// a key above them, nor one below them is deleted. Upper case, relative to the hive or the user's key.
const char* const kSharedTrees[] = {
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION",
    "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION",
    "SOFTWARE\\POLICIES",
    "SOFTWARE\\WOW6432NODE\\MICROSOFT",
    "SYSTEM",
    "CONTROL PANEL",
};

// First-level classes Windows itself relies on (their keys open every
// program, folder and shortcut); CLSID and the others hold every COM
// registration, of which only single entries below may go.
const char* const kWindowsClasses[] = {"EXEFILE", "BATFILE", "CMDFILE", "COMFILE", "LNKFILE", "PIFFILE",
                                       "DIRECTORY", "DRIVE", "FOLDER", "*", "ALLFILESYSTEMOBJECTS"};
const char* const kComLists[] = {"CLSID", "INTERFACE", "TYPELIB", "APPID"};

// The parts between "\" (never split inside a double-byte character).
std::vector<std::string> Parts(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsPathDelimiterAt(path, static_cast<int>(i + 1))) continue;
        parts.push_back(path.substr(start, i - start));
        start = i + 1;
    }
    return parts;
}

std::string Join(const std::vector<std::string>& parts, size_t from) {
    std::string path;
    for (size_t i = from; i < parts.size(); ++i) path += (i > from ? "\\" : "") + parts[i];
    return path;
}

bool Within(const std::string& path, const std::string& tree) {
    return path == tree || (path.size() > tree.size() && path.compare(0, tree.size(), tree) == 0 &&
                            path[tree.size()] == '\\');
}

bool OneOf(const std::string& name, const char* const* list, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (name == list[i]) return true;
    return false;
}

// The class is another program's to decide on: a file type outside the
// record's own names it, or the shell starts it for a URL scheme.
bool OthersClass(const std::string& upperClass, const std::vector<std::string>& ownExtensions) {
    SystemChanges& changes = Changes();
    DWORD type = 0;
    std::string data;
    if (changes.QueryValue(HKEY_CLASSES_ROOT, upperClass, "URL Protocol", type, data) == ERROR_SUCCESS) return true;
    RegKey root;
    if (RegOpenKeyEx932(HKEY_CLASSES_ROOT, "", 0, KEY_ENUMERATE_SUB_KEYS, root.put()) != ERROR_SUCCESS) return false;
    std::string name;
    for (DWORD index = 0; RegEnumKeyEx932(root.get(), index, name) == ERROR_SUCCESS; ++index) {
        if (name.size() < 2 || name[0] != '.') continue;
        if (changes.QueryValue(HKEY_CLASSES_ROOT, name, "", type, data) != ERROR_SUCCESS) continue;
        if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
        if (!data.empty() && data.back() == '\0') data.pop_back();
        if (Upper(data) != upperClass) continue;
        const std::string extension = Upper(name.substr(1));
        bool own = false;
        for (const std::string& listed : ownExtensions) own = own || Upper(listed) == extension;
        if (!own) return true;
    }
    return false;
}

// parts: below a classes root (HKEY_CLASSES_ROOT or a SOFTWARE\Classes).
KeyRefusal RefuseClass(const std::vector<std::string>& parts, size_t from, bool trusted,
                       const std::vector<std::string>& ownExtensions) {
    if (parts.size() <= from) return KeyRefusal::Shared;  // the classes root itself
    const std::string& first = parts[from];
    const bool single = parts.size() == from + 1;
    if (OneOf(first, kWindowsClasses, std::size(kWindowsClasses))) return KeyRefusal::WindowsClass;
    if (OneOf(first, kComLists, std::size(kComLists))) {
        if (single) return KeyRefusal::WindowsClass;
    } else if (first.empty() || first[0] == '.' || !single) {
        // Extensions are the association stage's; a class goes whole or not at all.
        return KeyRefusal::Shared;
    }
    if (!trusted) return KeyRefusal::NotTrusted;
    if (single && OthersClass(first, ownExtensions)) return KeyRefusal::OtherClass;
    return KeyRefusal::None;
}

// parts: below a hive or a user's key, not a classes root.
// machine: below HKEY_LOCAL_MACHINE, where a vendor's key holds the
// settings of all its programs and their users.
KeyRefusal RefuseOther(const std::vector<std::string>& parts, size_t from, bool machine) {
    if (parts.size() <= from + 1) return KeyRefusal::Shared;  // the first level
    const std::string path = Join(parts, from);
    if (Within(path, kUninstallList)) return KeyRefusal::UninstallEntry;
    if (Within(path, kMicrosoft)) return KeyRefusal::Shared;
    if (machine && parts.size() <= from + 2 && parts[from] == "SOFTWARE") return KeyRefusal::Shared;
    for (const char* tree : kSharedTrees) {
        if (Within(path, tree) || Within(tree, path)) return KeyRefusal::Shared;
    }
    return KeyRefusal::None;
}

}  // namespace

std::string TrimKeyPath(const std::string& keyPath) {
    std::string path = keyPath;
    for (;;) {
        const std::string trimmed = RemovePathDelimiter(RemovePathDelimiter(path, "B"), "T");
        if (trimmed == path) return path;
        path = trimmed;
    }
}

KeyRefusal RefuseRegistryKey(const std::string& rootMacro, const std::string& keyPath, bool recordTrusted,
                             const std::string& userSid, const std::vector<std::string>& extensions) {
    const std::string path = Upper(TrimKeyPath(keyPath));
    if (path.empty()) return KeyRefusal::Shared;
    const std::vector<std::string> parts = Parts(path);
    for (const std::string& part : parts)
        if (part.empty()) return KeyRefusal::Shared;  // "a\\b": no key of anyone's own
    const bool softwareClasses = parts.size() >= 2 && parts[0] == "SOFTWARE" && parts[1] == "CLASSES";
    if (rootMacro == "(Class)") return RefuseClass(parts, 0, recordTrusted, extensions);
    if (rootMacro == "(Local)") {
        if (parts[0] != "SOFTWARE") return KeyRefusal::Shared;  // SYSTEM, HARDWARE, SAM, SECURITY
        return softwareClasses ? RefuseClass(parts, 2, recordTrusted, extensions) : RefuseOther(parts, 0, true);
    }
    if (rootMacro == "(Users)") {
        // Only the run's own user, whose key is HKEY_CURRENT_USER as well.
        const std::string own = Upper(userSid);
        if (own.empty()) return KeyRefusal::OtherUser;
        if (parts[0] == own + "_CLASSES") return RefuseClass(parts, 1, recordTrusted, extensions);
        if (parts[0] != own) return KeyRefusal::OtherUser;
        if (parts.size() >= 3 && parts[1] == "SOFTWARE" && parts[2] == "CLASSES")
            return RefuseClass(parts, 3, recordTrusted, extensions);
        return RefuseOther(parts, 1, false);
    }
    return softwareClasses ? RefuseClass(parts, 2, recordTrusted, extensions) : RefuseOther(parts, 0, false);
}

std::string CurrentUserSid() { return CurrentUserSid932(); }

bool IsUninstallEntryKey(const std::string& keyPath) {
    const std::string path = Upper(TrimKeyPath(keyPath));
    const std::string list = std::string(kUninstallList) + "\\";
    if (path.size() <= list.size() || path.compare(0, list.size(), list) != 0) return false;
    return !TrimKeyPath(path.substr(list.size())).empty();
}

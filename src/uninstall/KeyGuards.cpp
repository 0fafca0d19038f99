#include "uninstall/KeyGuards.h"

#include <windows.h>

#include <vector>

#include "app/MBUtils.h"
#include "app/uStrOp.h"
#include "platform/Handles.h"
#include "platform/Win932.h"

namespace {

const char kUninstallList[] = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL";
const char kAppPaths[] = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS";

// Trees that hold what Windows and every program share: neither they, nor
// a key above them, nor one below them is deleted (App Paths\<program>
// excepted). Upper case, relative to the hive or the user's key.
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

std::string Upper(const std::string& text) { return MapString(text, LCMAP_UPPERCASE); }

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

// parts: below a classes root (HKEY_CLASSES_ROOT or a SOFTWARE\Classes).
KeyRefusal RefuseClass(const std::vector<std::string>& parts, size_t from, bool trusted) {
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
    return trusted ? KeyRefusal::None : KeyRefusal::NotTrusted;
}

// parts: below a hive or a user's key, not a classes root.
KeyRefusal RefuseOther(const std::vector<std::string>& parts, size_t from) {
    if (parts.size() <= from + 1) return KeyRefusal::Shared;  // the first level
    const std::string path = Join(parts, from);
    if (Within(path, kUninstallList)) return KeyRefusal::UninstallEntry;
    if (Within(path, kAppPaths) && path != kAppPaths) return KeyRefusal::None;  // a program's own
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
                             const std::string& userSid) {
    const std::string path = Upper(TrimKeyPath(keyPath));
    if (path.empty()) return KeyRefusal::Shared;
    const std::vector<std::string> parts = Parts(path);
    for (const std::string& part : parts)
        if (part.empty()) return KeyRefusal::Shared;  // "a\\b": no key of anyone's own
    const bool softwareClasses = parts.size() >= 2 && parts[0] == "SOFTWARE" && parts[1] == "CLASSES";
    if (rootMacro == "(Class)") return RefuseClass(parts, 0, recordTrusted);
    if (rootMacro == "(Local)") {
        if (parts[0] != "SOFTWARE") return KeyRefusal::Shared;  // SYSTEM, HARDWARE, SAM, SECURITY
        return softwareClasses ? RefuseClass(parts, 2, recordTrusted) : RefuseOther(parts, 0);
    }
    if (rootMacro == "(Users)") {
        // Only the run's own user, whose key is HKEY_CURRENT_USER as well.
        const std::string own = Upper(userSid);
        if (own.empty()) return KeyRefusal::OtherUser;
        if (parts[0] == own + "_CLASSES") return RefuseClass(parts, 1, recordTrusted);
        if (parts[0] != own) return KeyRefusal::OtherUser;
        if (parts.size() >= 3 && parts[1] == "SOFTWARE" && parts[2] == "CLASSES")
            return RefuseClass(parts, 3, recordTrusted);
        return RefuseOther(parts, 1);
    }
    return softwareClasses ? RefuseClass(parts, 2, recordTrusted) : RefuseOther(parts, 0);
}

std::string CurrentUserSid() { return CurrentUserSid932(); }

bool IsUninstallEntryKey(const std::string& keyPath) {
    const std::string path = Upper(TrimKeyPath(keyPath));
    const std::string list = std::string(kUninstallList) + "\\";
    if (path.size() <= list.size() || path.compare(0, list.size(), list) != 0) return false;
    return !TrimKeyPath(path.substr(list.size())).empty();
}

#include "uninstall/KeyGuards.h"

#include <windows.h>

#include "app/MBUtils.h"
#include "app/uStrOp.h"

namespace {

const char kUninstallList[] = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL";

// Keys whose deletion, or the deletion of any key above them, would remove
// what Windows and other programs keep there. Upper case, relative to the
// hive (or to the user's key under HKEY_USERS).
const char* const kSharedKeys[] = {
    kUninstallList,
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHAREDDLLS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER",
    "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION",
    "SOFTWARE\\CLASSES\\CLSID",
    "SOFTWARE\\POLICIES\\MICROSOFT",
    "SOFTWARE\\WOW6432NODE\\MICROSOFT",
    "SYSTEM\\CURRENTCONTROLSET\\CONTROL",
    "SYSTEM\\CURRENTCONTROLSET\\SERVICES",
    "CONTROL PANEL\\DESKTOP",
};

std::string Upper(const std::string& text) { return MapString(text, LCMAP_UPPERCASE); }

// Position (0-based) of the first "\" that is not a trail byte, or npos.
size_t FirstSeparator(const std::string& path) {
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsPathDelimiterAt(path, static_cast<int>(i + 1))) return i;
    }
    return std::string::npos;
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

bool IsSharedRegistryKey(const std::string& rootMacro, const std::string& keyPath) {
    std::string path = Upper(TrimKeyPath(keyPath));
    if (rootMacro == "(Users)") {
        // A user's key is a hive of its own.
        const size_t user = FirstSeparator(path);
        if (user == std::string::npos) return true;
        path = TrimKeyPath(path.substr(user + 1));
    }
    if (path.empty() || FirstSeparator(path) == std::string::npos) return true;
    for (const char* shared : kSharedKeys) {
        const std::string listed = shared;
        if (listed == path || (listed.size() > path.size() && listed.compare(0, path.size(), path) == 0 &&
                               listed[path.size()] == '\\'))
            return true;
    }
    return false;
}

bool IsUninstallEntryKey(const std::string& keyPath) {
    const std::string path = Upper(TrimKeyPath(keyPath));
    const std::string list = std::string(kUninstallList) + "\\";
    if (path.size() <= list.size() || path.compare(0, list.size(), list) != 0) return false;
    return !TrimKeyPath(path.substr(list.size())).empty();
}

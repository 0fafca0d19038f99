#include "uninstall/RecordEntries.h"

#include <windows.h>

#include "app/uStrOp.h"
#include "platform/Handles.h"
#include "platform/Win932.h"
#include "sysops/Registry.h"
#include "uninstall/PathGuards.h"

namespace {
const char kUninstallList[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
}  // namespace

bool CommandNamesRecord(const std::string& command, const std::string& recordFile) {
    const size_t open = command.find('"');
    const size_t close = open == std::string::npos ? open : command.find('"', open + 1);
    if (close == std::string::npos || recordFile.empty()) return false;
    return SamePath(command.substr(open + 1, close - open - 1), recordFile);
}

std::vector<std::string> EntriesOfRecord(const std::string& recordFile) {
    std::vector<std::string> entries;
    RegKey list;
    if (RegOpenKeyEx932(HKEY_LOCAL_MACHINE, kUninstallList, 0, KEY_ENUMERATE_SUB_KEYS, list.put()) != ERROR_SUCCESS)
        return entries;
    std::string name;
    for (DWORD index = 0;; ++index) {
        const LONG listed = RegEnumKeyEx932(list.get(), index, name);
        if (listed == static_cast<LONG>(win932::kNoCp932Form)) continue;  // a name this program never writes
        if (listed != ERROR_SUCCESS) break;
        const std::string key = std::string(kUninstallList) + "\\" + name;
        std::string command;
        if (ReadRegistryString(HKEY_LOCAL_MACHINE, key, "UninstallString", command) &&
            CommandNamesRecord(command, recordFile))
            entries.push_back(key);
    }
    return entries;
}

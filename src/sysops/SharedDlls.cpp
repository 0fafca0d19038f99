#include "sysops/SharedDlls.h"

#include <windows.h>

#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/Win932.h"
#include "sysops/Shell.h"

namespace {

const char kSharedDllsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

}  // namespace

long SharedDllCount(const std::string& path) {
    RegKey key;
    if (RegOpenKeyEx932(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return 0;
    DWORD type = 0;
    std::string data;
    DWORD value = 0;
    if (RegQueryValueEx932(key.get(), path, &type, data) != ERROR_SUCCESS || type != REG_DWORD ||
        data.size() != sizeof value)
        return 0;
    data.copy(reinterpret_cast<char*>(&value), sizeof value);
    return static_cast<long>(value);
}

long AdjustSharedDllCount(const std::string& path, bool increase) {
    long count = SharedDllCount(path);
    RegKey key;
    const LONG opened = RegCreateKeyEx932(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                          nullptr, key.put(), nullptr);
    if (opened != ERROR_SUCCESS)
        throw RegistryWriteError("ｷｰ " + std::string(kSharedDllsKey) + " の作成に失敗しました", opened);

    auto write = [&](long value) {
        const DWORD data = static_cast<DWORD>(value);
        const LONG written =
            RegSetValueEx932(key.get(), path, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
        if (written != ERROR_SUCCESS) throw RegistryWriteError("'" + path + "' の設定に失敗しました", written);
    };

    if (increase) {
        // A file already present without a count has one user already.
        if (count == 0 && FileExists(path)) count = 1;
        write(count + 1);
        return count + 1;
    }
    const long next = count - 1;
    if (count == 1 || next < 0)
        RegDeleteValue932(key.get(), path);
    else
        write(next);
    return next;
}

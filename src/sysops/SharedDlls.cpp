#include "sysops/SharedDlls.h"

#include <windows.h>

#include "app/uUtils.h"
#include "app/SystemChanges.h"
#include "sysops/Shell.h"

namespace {

const char kSharedDllsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

}  // namespace

long SharedDllCount(const std::string& path) {
    DWORD type = 0;
    std::string data;
    DWORD value = 0;
    if (Changes().QueryValue(HKEY_LOCAL_MACHINE, kSharedDllsKey, path, type, data) != ERROR_SUCCESS ||
        type != REG_DWORD || data.size() != sizeof value)
        return 0;
    data.copy(reinterpret_cast<char*>(&value), sizeof value);
    return static_cast<long>(value);
}

long AdjustSharedDllCount(const std::string& path, bool increase) {
    long count = SharedDllCount(path);
    SystemChanges& changes = Changes();
    auto write = [&](long value) {
        const DWORD data = static_cast<DWORD>(value);
        const LONG written = changes.SetValue(HKEY_LOCAL_MACHINE, kSharedDllsKey, path, REG_DWORD,
                                              std::string(reinterpret_cast<const char*>(&data), sizeof data));
        if (written == ERROR_SUCCESS) return;
        if (changes.KeyState(HKEY_LOCAL_MACHINE, kSharedDllsKey) == ERROR_FILE_NOT_FOUND)
            throw RegistryWriteError("ｷｰ " + std::string(kSharedDllsKey) + " の作成に失敗しました", written);
        throw RegistryWriteError("'" + path + "' の設定に失敗しました", written);
    };
    if (increase) {
        // A file already present without a count has one user already.
        if (count == 0 && FileExists(path)) count = 1;
        const ChangeSaid said([&] {
            return "共有カウント " + path + " " + std::to_string(count) + " -> " + std::to_string(count + 1);
        });
        write(count + 1);
        return count + 1;
    }
    const long next = count - 1;
    const ChangeSaid said([&] {
        return "共有カウント " + path + " " + std::to_string(count) + " -> " + std::to_string(next < 0 ? 0 : next) +
               (count == 1 || next < 0 ? " (値を削除)" : "");
    });
    if (count == 1 || next < 0) {
        // A count that may not be changed was not lowered.
        const LONG deleted = changes.DeleteValue(HKEY_LOCAL_MACHINE, kSharedDllsKey, path);
        if (deleted == ERROR_ACCESS_DENIED)
            throw RegistryWriteError("ｷｰ " + std::string(kSharedDllsKey) + " の作成に失敗しました", deleted);
    } else
        write(next);
    return next;
}

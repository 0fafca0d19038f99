#include "sysops/Registry.h"

#include <vector>

#include "app/SystemChanges.h"
#include "app/uUtils.h"
#include "sysops/Shell.h"

namespace {

bool classesChanged = false;

void SetValue(HKEY hive, const std::string& subkey, const std::string& name, DWORD type, const BYTE* data,
              DWORD size) {
    NoteRegistryChange(hive, subkey);
    SystemChanges& changes = Changes();
    const LONG written =
        changes.SetValue(hive, subkey, name, type, std::string(reinterpret_cast<const char*>(data), size));
    if (written == ERROR_SUCCESS) return;
    // The key could not be made, or the value not be set in it.
    if (changes.KeyState(hive, subkey) == ERROR_FILE_NOT_FOUND)
        throw RegistryWriteError("ｷｰ " + subkey + " の作成に失敗しました", written);
    throw RegistryWriteError("'" + name + "' の設定に失敗しました", written);
}

}  // namespace

void CreateRegistryKey(HKEY hive, const std::string& subkey) {
    NoteRegistryChange(hive, subkey);
    const LONG created = Changes().CreateKey(hive, subkey);
    if (created != ERROR_SUCCESS) throw RegistryWriteError("ｷｰ " + subkey + " の作成に失敗しました", created);
}

void WriteRegistryString(HKEY hive, const std::string& subkey, const std::string& name, const std::string& value,
                         bool expand) {
    SetValue(hive, subkey, name, expand ? REG_EXPAND_SZ : REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
             static_cast<DWORD>(value.size() + 1));
}

void WriteRegistryDword(HKEY hive, const std::string& subkey, const std::string& name, DWORD value) {
    SetValue(hive, subkey, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void WriteRegistryBinary(HKEY hive, const std::string& subkey, const std::string& name, const std::string& bytes) {
    SetValue(hive, subkey, name, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
             static_cast<DWORD>(bytes.size()));
}

bool ReadRegistryString(HKEY hive, const std::string& subkey, const std::string& name, std::string& value) {
    value.clear();
    DWORD type = 0;
    std::string data;
    if (Changes().QueryValue(hive, subkey, name, type, data) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    while (!data.empty() && data.back() == '\0') data.pop_back();
    value = data;
    return true;
}

bool RegistryKeyExists(HKEY hive, const std::string& subkey) {
    const LONG opened = Changes().KeyState(hive, subkey);
    // A key that may not be read is still there.
    return opened != ERROR_FILE_NOT_FOUND && opened != ERROR_PATH_NOT_FOUND;
}

bool RegistryKeyEmpty(HKEY hive, const std::string& subkey) {
    DWORD subkeys = 0;
    DWORD values = 0;
    if (Changes().KeyCounts(hive, subkey, subkeys, values) != ERROR_SUCCESS) return false;
    return subkeys == 0 && values == 0;
}

bool DeleteRegistryValue(HKEY hive, const std::string& subkey, const std::string& name) {
    NoteRegistryChange(hive, subkey);
    const LONG deleted = Changes().DeleteValue(hive, subkey, name);
    if (deleted == ERROR_FILE_NOT_FOUND && !RegistryKeyExists(hive, subkey)) return true;
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

bool ClassesMayHaveChanged() { return classesChanged; }

bool IsClassesKey(HKEY hive, const std::string& subkey) {
    return hive == HKEY_CLASSES_ROOT || IPos("Classes", subkey) > 0 || IPos("FileExts", subkey) > 0;
}

void NoteRegistryChange(HKEY hive, const std::string& subkey) {
    if (IsClassesKey(hive, subkey)) classesChanged = true;
}

void NoteClassesChanged() { classesChanged = true; }

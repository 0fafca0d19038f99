#include "sysops/Registry.h"

#include <vector>

#include "app/Handles.h"
#include "sysops/Shell.h"

namespace {

RegKey OpenForWriting(HKEY hive, const std::string& subkey) {
    RegKey key;
    const LONG created = RegCreateKeyExA(hive, subkey.c_str(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                         nullptr, key.put(), nullptr);
    if (created != ERROR_SUCCESS) throw RegistryWriteError("ｷｰ " + subkey + " の作成に失敗しました", created);
    return key;
}

void SetValue(HKEY hive, const std::string& subkey, const std::string& name, DWORD type, const BYTE* data,
              DWORD size) {
    RegKey key = OpenForWriting(hive, subkey);
    const LONG written = RegSetValueExA(key.get(), name.empty() ? nullptr : name.c_str(), 0, type, data, size);
    if (written != ERROR_SUCCESS) throw RegistryWriteError("'" + name + "' の設定に失敗しました", written);
}

}  // namespace

void CreateRegistryKey(HKEY hive, const std::string& subkey) { OpenForWriting(hive, subkey); }

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
    RegKey key;
    if (RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    const char* valueName = name.empty() ? nullptr : name.c_str();
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    // The value may grow between the two calls: ask until it fits.
    std::vector<char> buffer(size + 1);
    for (;;) {
        DWORD got = static_cast<DWORD>(buffer.size());
        const LONG read =
            RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (read == ERROR_MORE_DATA) {
            buffer.resize(got + 1);
            continue;
        }
        if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
        size_t length = got;
        if (length > buffer.size()) length = buffer.size();
        while (length > 0 && buffer[length - 1] == '\0') --length;
        value.assign(buffer.data(), length);
        return true;
    }
}

bool RegistryKeyExists(HKEY hive, const std::string& subkey) {
    RegKey key;
    return RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool RegistryKeyEmpty(HKEY hive, const std::string& subkey) {
    RegKey key;
    if (RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys == 0 && values == 0;
}

bool DeleteRegistryValue(HKEY hive, const std::string& subkey, const std::string& name) {
    RegKey key;
    if (RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
        return !RegistryKeyExists(hive, subkey);
    const char* valueName = name.empty() ? nullptr : name.c_str();
    const LONG deleted = RegDeleteValueA(key.get(), valueName);
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

#pragma once
// Machine-wide values the uninstall tests set and read back: SharedDLLs
// counts, pending deletions at restart, registry keys and values. Owners
// put back or remove what a test made, so no test leaves work behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Handles.h"

namespace ukit {
inline const char* SharedDllsKey() { return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"; }

// The SharedDLLs count of a path; -1 when there is no value.
inline long CountOf(const std::string& path) {
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SharedDllsKey(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return -1;
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key.get(), path.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return -1;
    return static_cast<long>(value);
}

// A SharedDLLs count set for one test; the value is removed afterwards.
class SharedCount {
public:
    SharedCount(const std::string& path, DWORD count) : path_(path) {
        RegKey key;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, SharedDllsKey(), 0, nullptr, 0, KEY_SET_VALUE,
                                                 nullptr, key.put(), nullptr));
        RegSetValueExA(key.get(), path.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    }
    ~SharedCount() {
        RegKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SharedDllsKey(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
            RegDeleteValueA(key.get(), path_.c_str());
    }
    SharedCount(const SharedCount&) = delete;
    SharedCount& operator=(const SharedCount&) = delete;

private:
    std::string path_;
};

// The PendingFileRenameOperations value as it was before the test, put back
// afterwards, so a test's scheduled deletion never waits for a restart of
// the prefix.
class PendingRenamesGuard {
public:
    PendingRenamesGuard() { existed_ = Read(saved_); }
    ~PendingRenamesGuard() {
        RegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
        if (existed_)
            RegSetValueExW(key.get(), kValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(saved_.data()),
                           static_cast<DWORD>(saved_.size() * sizeof(wchar_t)));
        else
            RegDeleteValueW(key.get(), kValue);
    }
    PendingRenamesGuard(const PendingRenamesGuard&) = delete;
    PendingRenamesGuard& operator=(const PendingRenamesGuard&) = delete;

    // True when a pending operation deletes the path (source \??\path, empty
    // target), any case.
    static bool DeletionPending(const std::string& path) {
        std::wstring data;
        if (!Read(data)) return false;
        wchar_t wide[MAX_PATH * 2] = {};
        MultiByteToWideChar(CP_ACP, 0, ("\\??\\" + path).c_str(), -1, wide, MAX_PATH * 2);
        std::vector<std::wstring> items;
        for (size_t i = 0; i < data.size();) {
            const std::wstring item(data.c_str() + i);
            items.push_back(item);
            i += item.size() + 1;
        }
        for (size_t i = 0; i + 1 < items.size(); i += 2) {
            if (lstrcmpiW(items[i].c_str(), wide) == 0 && items[i + 1].empty()) return true;
        }
        return false;
    }

private:
    static constexpr const wchar_t* kKey = L"System\\CurrentControlSet\\Control\\Session Manager";
    static constexpr const wchar_t* kValue = L"PendingFileRenameOperations";

    static bool Read(std::wstring& data) {
        data.clear();
        RegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
        DWORD size = 0;
        if (RegQueryValueExW(key.get(), kValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
        data.assign(size / sizeof(wchar_t), L'\0');
        if (RegQueryValueExW(key.get(), kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS)
            return false;
        data.resize(size / sizeof(wchar_t));
        return true;
    }

    std::wstring saved_;
    bool existed_ = false;
};

// Registry keys under HKEY_CLASSES_ROOT (or any hive) removed with their
// subkeys before and after a test.
class ScratchKeys {
public:
    ScratchKeys(HKEY hive, std::vector<std::string> subkeys) : hive_(hive), subkeys_(std::move(subkeys)) { Clear(); }
    ~ScratchKeys() { Clear(); }
    ScratchKeys(const ScratchKeys&) = delete;
    ScratchKeys& operator=(const ScratchKeys&) = delete;

private:
    void Clear() {
        for (const std::string& k : subkeys_) {
            RegDeleteTreeA(hive_, k.c_str());
            RegDeleteKeyA(hive_, k.c_str());
        }
    }
    HKEY hive_;
    std::vector<std::string> subkeys_;
};




inline void SetString(HKEY hive, const std::string& subkey, const std::string& name, const std::string& value) {
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(hive, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(value.c_str()),
                                            static_cast<DWORD>(value.size() + 1)));
}

inline bool KeyExists(HKEY hive, const std::string& subkey) {
    RegKey key;
    return RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The string value, or "<none>" when missing.
inline std::string GetString(HKEY hive, const std::string& subkey, const std::string& name) {
    RegKey key;
    if (RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return "<none>";
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    if (RegQueryValueExA(key.get(), name.empty() ? nullptr : name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return "<none>";
    return buffer;
}

}  // namespace ukit

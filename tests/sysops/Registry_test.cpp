// Reading a string value: only an existing key, opened read-only, and only
// a string CP932 can hold.
#include "sysops/Registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/Handles.h"

TEST(ReadRegistryString, ReadsAStringValueOfAnExistingKey) {
    TestRegKey reg;
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, reg.subkey().c_str(), 0, KEY_SET_VALUE, key.put()));
    const char value[] = "C:\\Apps\\テスト";
    RegSetValueExA(key.get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    const DWORD number = 5;
    RegSetValueExA(key.get(), "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    std::string read;
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, reg.subkey(), "Path", read));
    EXPECT_EQ(std::string(value), read);
    EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, reg.subkey(), "Missing", read));
    EXPECT_EQ("", read);
    EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, reg.subkey(), "Number", read));
    EXPECT_EQ("", read);
}

TEST(ReadRegistryString, AStringValueCp932CannotHoldIsNone) {
    TestRegKey reg;
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, reg.subkey().c_str(), 0, KEY_SET_VALUE, key.put()));
    const wchar_t value[] = L"C:\\Jos\u00e9";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key.get(), L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value));
    std::string read = "before";
    EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, reg.subkey(), "Path", read));
    EXPECT_EQ("", read);
}

TEST(ReadRegistryString, AMissingKeyIsNeverCreatedByReading) {
    TestRegKey reg;
    const std::string missing = reg.subkey() + "\\NotThere";
    std::string read;
    EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, missing, "ProgramFilesDir", read));
    RegKey key;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, missing.c_str(), 0, KEY_READ, key.put()));
}

// The shell hears that associations changed only after a change to one of
// these keys: a key missed here leaves stale icons behind.
TEST(ClassesKeys, EveryRootOfFileTypesAndClassesCountsAndNothingElse) {
    EXPECT_TRUE(IsClassesKey(HKEY_CLASSES_ROOT, ".txt"));
    EXPECT_TRUE(IsClassesKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{0}"));
    EXPECT_TRUE(IsClassesKey(HKEY_CURRENT_USER, "software\\classes\\.rvt"));
    EXPECT_TRUE(IsClassesKey(HKEY_USERS, "S-1-5-21-1-2-3-1000_Classes\\.rvt"));
    EXPECT_TRUE(IsClassesKey(HKEY_CURRENT_USER,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.rvt"));
    EXPECT_FALSE(IsClassesKey(HKEY_CURRENT_USER, "Software\\Vendor\\App"));
    EXPECT_FALSE(IsClassesKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App"));
}

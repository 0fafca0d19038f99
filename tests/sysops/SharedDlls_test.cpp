// The shared-library counts, read and written under the real HKLM.
#include "sysops/SharedDlls.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "platform/Handles.h"
#include "sysops/Shell.h"

namespace {

const char kSharedKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Removes the SharedDLLs values a test made (they live under the real HKLM).
class SharedValues {
public:
    ~SharedValues() {
        RegKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
        for (const auto& name : names_) RegDeleteValueA(key.get(), name.c_str());
    }
    std::string Name(const std::string& path) {
        names_.push_back(path);
        return path;
    }

private:
    std::vector<std::string> names_;
};

void SetShared(const std::string& name, DWORD value) {
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             key.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&value), sizeof value));
}

// The stored value: -1 when there is none; type checked.
long GetShared(const std::string& name) {
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return -1;
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return -1;
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    return static_cast<long>(value);
}

}  // namespace

TEST(SharedDllCounts, IncreaseCountsAnUncountedExistingFileAsOneUser) {
    ScratchFolder dir;
    SharedValues values;
    const std::string absent = values.Name(dir / "absent.dll");
    EXPECT_EQ(1, AdjustSharedDllCount(absent, true));
    EXPECT_EQ(1, GetShared(absent));

    dir.Write("present.dll", "MZ");
    const std::string present = values.Name(dir / "present.dll");
    EXPECT_EQ(2, AdjustSharedDllCount(present, true));
    EXPECT_EQ(2, GetShared(present));

    const std::string counted = values.Name(dir / "counted.dll");
    SetShared(counted, 3);
    EXPECT_EQ(4, AdjustSharedDllCount(counted, true));
    EXPECT_EQ(4, GetShared(counted));
    EXPECT_EQ(4, SharedDllCount(counted));
}

TEST(SharedDllCounts, DecreaseDeletesTheValueWhenNoUserIsLeft) {
    ScratchFolder dir;
    SharedValues values;
    const std::string one = values.Name(dir / "one.dll");
    SetShared(one, 1);
    EXPECT_EQ(0, AdjustSharedDllCount(one, false));
    EXPECT_EQ(-1, GetShared(one));

    const std::string none = values.Name(dir / "none.dll");
    EXPECT_EQ(-1, AdjustSharedDllCount(none, false));
    EXPECT_EQ(-1, GetShared(none));

    const std::string five = values.Name(dir / "five.dll");
    SetShared(five, 5);
    EXPECT_EQ(4, AdjustSharedDllCount(five, false));
    EXPECT_EQ(4, GetShared(five));
}

TEST(SharedDllCounts, AValueOfAnotherTypeCountsAsZero) {
    ScratchFolder dir;
    SharedValues values;
    const std::string name = values.Name(dir / "text.dll");
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             key.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("7"), 2));
    EXPECT_EQ(0, SharedDllCount(name));
}

TEST(SharedDllCounts, ReadingNeitherNeedsNorCreatesAWritableKey) {
    // HKLM is mapped to a test key opened for reading only: a count stored
    // there must still be seen, and reading must not create the key.
    TestRegKey test;
    RegKey readOnly;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, test.subkey().c_str(), 0, KEY_READ, readOnly.put()));
    if (RegOverridePredefKey(HKEY_LOCAL_MACHINE, readOnly.get()) != ERROR_SUCCESS)
        GTEST_SKIP() << "RegOverridePredefKey is not available here";
    const long before = SharedDllCount("C:\\X\\A.DLL");
    RegKey probe;
    const bool created = RegOpenKeyExA(HKEY_CURRENT_USER, (test.subkey() + "\\" + kSharedKey).c_str(), 0, KEY_READ,
                                       probe.put()) == ERROR_SUCCESS;
    probe.reset();
    {
        RegKey writable;
        RegCreateKeyExA(HKEY_CURRENT_USER, (test.subkey() + "\\" + kSharedKey).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, writable.put(), nullptr);
        const DWORD three = 3;
        RegSetValueExA(writable.get(), "C:\\X\\A.DLL", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&three),
                       sizeof three);
    }
    const long after = SharedDllCount("C:\\X\\A.DLL");
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    EXPECT_EQ(0, before);
    EXPECT_FALSE(created);
    EXPECT_EQ(3, after);
}

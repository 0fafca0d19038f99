#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

#include "SysopsTestUtil.h"
#include "TestSupport.h"
#include "platform/Handles.h"
#include "sysops/Deletion.h"
#include "sysops/HeldFile.h"
#include "sysops/Shell.h"

// ---------------------------------------------------------------- DeletePath

TEST(DeletePath, AMissingPathWithoutWildcardGivesTwoAndDoesNothingElse) {
    StateGuard guard;
    State().Mode = "SETUP";  // a library path would show a loading error if tried
    ScratchFolder dir;
    EXPECT_EQ(2u, DeletePath(dir / "missing.txt"));
    EXPECT_EQ(2u, DeletePath(dir / "missing.dll"));
}

TEST(DeletePath, AFolderWithoutWildcardIsNeverDeleted) {
    ScratchFolder dir;
    dir.Write("Sub\\keep.txt", "x");
    EXPECT_EQ(2u, DeletePath(dir / "Sub"));
    EXPECT_EQ(2u, DeletePath(dir / "Sub\\"));
    EXPECT_TRUE(dir.Exists("Sub\\keep.txt"));
}

TEST(DeletePath, DeletesAFileEvenWhenReadOnlyOrHidden) {
    ScratchFolder dir;
    dir.Write("a.txt", "x");
    dir.Write("b.txt", "y");
    dir.Write("c.txt", "z");
    ASSERT_TRUE(SetFileAttributesA((dir / "b.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA((dir / "c.txt").c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(0u, DeletePath(dir / "a.txt"));
    EXPECT_FALSE(dir.Exists("a.txt"));
    EXPECT_EQ(0u, DeletePath(dir / "b.txt"));
    EXPECT_FALSE(dir.Exists("b.txt"));
    EXPECT_EQ(0u, DeletePath(dir / "c.txt"));
    EXPECT_FALSE(dir.Exists("c.txt"));
}

// The read-only attribute belongs to the file, which another name may
// share (a hard link to win.ini planted in the install folder): such a name
// is not deleted at the price of the other's attribute.
TEST(DeletePath, AReadOnlyFileWithAnotherNameKeepsItsAttributeAndStays) {
    ScratchFolder dir;
    dir.Write("win.ini", "theirs");
    ASSERT_TRUE(SetFileAttributesA((dir / "win.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateHardLinkA((dir / "App.ini").c_str(), (dir / "win.ini").c_str(), nullptr));
    EXPECT_NE(0u, DeletePath(dir / "App.ini"));
    EXPECT_TRUE(FILE_ATTRIBUTE_READONLY & GetFileAttributesA((dir / "win.ini").c_str())) << "the other name's attribute";
    EXPECT_EQ("theirs", dir.Read("win.ini"));
    // A writable one loses only its own name.
    SetFileAttributesA((dir / "win.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(0u, DeletePath(dir / "App.ini"));
    EXPECT_FALSE(dir.Exists("App.ini"));
    EXPECT_EQ("theirs", dir.Read("win.ini"));
}

TEST(DeletePath, AWildcardRemovesMatchingFilesAndFoldersOnly) {
    ScratchFolder dir;
    dir.Write("App\\one.tmp", "1");
    dir.Write("App\\two.TMP", "2");
    dir.Write("App\\keep.txt", "k");
    dir.Write("App\\cache.tmp\\inner\\deep.txt", "d");  // a folder that matches
    dir.Write("App\\other\\three.tmp", "3");             // below a folder that does not
    EXPECT_EQ(0u, DeletePath(dir / "App\\*.tmp"));
    EXPECT_FALSE(dir.Exists("App\\one.tmp"));
    EXPECT_FALSE(dir.Exists("App\\two.TMP"));
    EXPECT_FALSE(dir.Exists("App\\cache.tmp"));
    EXPECT_TRUE(dir.Exists("App\\keep.txt"));
    EXPECT_TRUE(dir.Exists("App\\other\\three.tmp"));

    dir.Write("App\\a1.log", "1");
    dir.Write("App\\a22.log", "2");
    EXPECT_EQ(0u, DeletePath(dir / "App\\a?.log"));
    EXPECT_FALSE(dir.Exists("App\\a1.log"));
    EXPECT_TRUE(dir.Exists("App\\a22.log"));
}

TEST(DeletePath, AWildcardWithoutMatchesGivesZero) {
    ScratchFolder dir;
    dir.Write("App\\keep.txt", "k");
    EXPECT_EQ(0u, DeletePath(dir / "App\\*.tmp"));
    EXPECT_TRUE(dir.Exists("App\\keep.txt"));
}

TEST(DeletePath, AFileInUseIsReportedNotClaimedDeleted) {
    ScratchFolder dir;
    dir.Write("busy.txt", "in use");
    FileLocker locker(dir / "busy.txt");
    ASSERT_TRUE(locker.ok());
    EXPECT_EQ(static_cast<unsigned long>(ERROR_SHARING_VIOLATION), DeletePath(dir / "busy.txt"));
    EXPECT_TRUE(dir.Exists("busy.txt"));
    ASSERT_TRUE(locker.Release());
    EXPECT_EQ(0u, DeletePath(dir / "busy.txt"));
    EXPECT_FALSE(dir.Exists("busy.txt"));
}

// Open elsewhere with delete sharing, the file can be marked but stays
// until that handle closes: never reported as gone while it is there.
TEST(DeletePath, AFileOpenWithDeleteSharingIsNotClaimedDeletedWhileItStays) {
    ScratchFolder dir;
    dir.Write("shared.txt", "open");
    FileHandle open(CreateFileA((dir / "shared.txt").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
    ASSERT_TRUE(open);
    const unsigned long code = DeletePath(dir / "shared.txt");
    ASSERT_TRUE(dir.Exists("shared.txt")) << "the name stays while the file is open";
    EXPECT_EQ(static_cast<unsigned long>(ERROR_ACCESS_DENIED), code);
    open.reset();
    EXPECT_FALSE(dir.Exists("shared.txt"));
}

TEST(DeletePath, ALibraryIsUnregisteredBeforeItIsDeleted) {
    StateGuard guard;
    State().Mode = "UNSETUP";
    ScratchFolder dir;
    TestRegKey reg;
    SetEnvironmentVariableA("RV_SELFREG_KEY", reg.subkey().c_str());
    const std::string dll = dir / "Lib.Dll";
    ASSERT_TRUE(CopyFileA((BinFolder() + "sysops_selfreg_ok.dll").c_str(), dll.c_str(), FALSE));
    ASSERT_TRUE(RegisterServer(dll, true));
    auto registered = [&] {
        RegKey key;
        return RegOpenKeyExA(HKEY_CURRENT_USER, reg.subkey().c_str(), 0, KEY_QUERY_VALUE, key.put()) ==
                   ERROR_SUCCESS &&
               RegQueryValueExA(key.get(), "Registered", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    };
    ASSERT_TRUE(registered());
    EXPECT_EQ(0u, DeletePath(dll, {}, [](const HeldFile&) { return true; }));
    SetEnvironmentVariableA("RV_SELFREG_KEY", nullptr);
    EXPECT_FALSE(registered());
    EXPECT_FALSE(FileExistsAt(dll));
}

TEST(DeletePath, OnlyAFileNamedAsALibraryIsUnregisteredAndNothingIsShown) {
    StateGuard guard;
    State().Mode = "SETUP";  // an install: strict boxes, none may appear
    ScratchFolder dir;
    // The temporary expansion file inside a folder whose name holds ".dll".
    dir.Write("zlib.dll 1.2\\EXPAND.RVS", "expanded bytes");
    EXPECT_EQ(0u, DeletePath(dir / "zlib.dll 1.2\\EXPAND.RVS"));
    EXPECT_FALSE(dir.Exists("zlib.dll 1.2\\EXPAND.RVS"));
    // A library name whose file cannot be loaded goes silently as well.
    dir.Write("OCX.OCX\\broken.ocx", "not a library");
    EXPECT_EQ(0u, DeletePath(dir / "OCX.OCX\\broken.ocx"));
    EXPECT_FALSE(dir.Exists("OCX.OCX\\broken.ocx"));
}

TEST(DeletePath, ALibraryThatCrashesWhenUnregisteredIsStillDeleted) {
    StateGuard guard;
    State().Mode = "UNSETUP";
    ScratchFolder dir;
    TestRegKey reg;
    SetEnvironmentVariableA("RV_SELFREG_KEY", reg.subkey().c_str());
    const std::string dll = dir / "Crash.dll";
    ASSERT_TRUE(CopyFileA((BinFolder() + "sysops_selfreg_crash.dll").c_str(), dll.c_str(), FALSE));
    EXPECT_EQ(0u, DeletePath(dll, {}, [](const HeldFile&) { return true; }));
    SetEnvironmentVariableA("RV_SELFREG_KEY", nullptr);
    EXPECT_FALSE(FileExistsAt(dll));
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, reg.subkey().c_str(), 0, KEY_QUERY_VALUE, key.put()));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key.get(), "Unregistered", nullptr, nullptr, nullptr, nullptr))
        << "the library was unregistered first";
}

// ------------------------------------------------------- DeleteFolderPatterns

TEST(DeleteFolderPatterns, AnEmptyListOnlyRemovesAnEmptyFolder) {
    ScratchFolder dir;
    dir.Write("App\\keep.txt", "k");
    EXPECT_EQ(145u, DeleteFolderPatterns(dir / "App", ""));
    EXPECT_TRUE(dir.Exists("App\\keep.txt"));
    ASSERT_TRUE(CreateDirectoryA((dir / "Empty").c_str(), nullptr));
    EXPECT_EQ(0u, DeleteFolderPatterns(dir / "Empty\\", ""));
    EXPECT_FALSE(dir.Exists("Empty"));
}

TEST(DeleteFolderPatterns, RemovesOnlyTheListedPatternsThenTheFolderIfEmpty) {
    ScratchFolder dir;
    dir.Write("App\\a.INI", "1");
    dir.Write("App\\b.ini", "2");
    dir.Write("App\\help.GID", "3");
    dir.Write("App\\tool.exe", "4");
    EXPECT_EQ(145u, DeleteFolderPatterns(dir / "App\\", "*.INI|*.GID|"));
    EXPECT_FALSE(dir.Exists("App\\a.INI"));
    EXPECT_FALSE(dir.Exists("App\\b.ini"));
    EXPECT_FALSE(dir.Exists("App\\help.GID"));
    EXPECT_TRUE(dir.Exists("App\\tool.exe"));

    // A last element without "|" counts too; now nothing is left.
    EXPECT_EQ(0u, DeleteFolderPatterns(dir / "App", "*.INI|tool.exe"));
    EXPECT_FALSE(dir.Exists("App"));
}

TEST(DeleteFolderPatterns, AnEmptyElementDeletesNothingMore) {
    ScratchFolder dir;
    dir.Write("App\\a.INI", "1");
    dir.Write("App\\keep.txt", "k");
    dir.Write("App\\Sub\\x.txt", "x");
    EXPECT_EQ(145u, DeleteFolderPatterns(dir / "App", "*.INI||"));
    EXPECT_FALSE(dir.Exists("App\\a.INI"));
    EXPECT_TRUE(dir.Exists("App\\keep.txt"));
    EXPECT_TRUE(dir.Exists("App\\Sub\\x.txt"));
}

TEST(DeleteFolderPatterns, StarDotStarEmptiesAndRemovesTheWholeFolder) {
    ScratchFolder dir;
    dir.Write("RVTMP1\\SETUPB.EXE", "MZ");
    dir.Write("RVTMP1\\SETUP.INI", "[x]");
    dir.Write("RVTMP1\\Sub\\Deeper\\f.txt", "f");
    EXPECT_EQ(0u, DeleteFolderPatterns(dir / "RVTMP1\\", "*.*"));
    EXPECT_FALSE(dir.Exists("RVTMP1"));
}

TEST(DeleteFolderPatterns, DoubleByteNamesAreSplitOnlyAtRealBars) {
    // "ポ" is 0x83 0x7C: its trail byte is "|".
    ScratchFolder dir;
    ASSERT_EQ(std::string("\x83\x7C"), std::string("ポ"));
    dir.Write("App\\ポート.txt", "1");
    dir.Write("App\\keep.txt", "k");
    EXPECT_EQ(145u, DeleteFolderPatterns(dir / "App", "ポート.txt|"));
    EXPECT_FALSE(dir.Exists("App\\ポート.txt"));
    EXPECT_TRUE(dir.Exists("App\\keep.txt"));
}

// ---------------------------------------------------------- DeleteRegistryKey

namespace {

void MakeKey(HKEY hive, const std::string& subkey) {
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(hive, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr));
    const char data[] = "v";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), "Value", 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                                            sizeof data));
}

bool HasKey(HKEY hive, const std::string& subkey) {
    RegKey key;
    return RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// A key of this test under HKLM, removed at the end whatever happened.
class MachineKey {
public:
    MachineKey() : subkey_("SOFTWARE\\RavelinTest\\sysops" + std::to_string(GetCurrentProcessId())) {}
    ~MachineKey() { DeleteRegistryKey("(Local)", subkey_); }
    const std::string& subkey() const { return subkey_; }

private:
    std::string subkey_;
};

}  // namespace

TEST(DeleteRegistryKey, RemovesATreeSeveralLevelsDeepUnderTheMacrosHive) {
    MachineKey machine;
    const std::string root = machine.subkey() + "\\Vendor\\App";
    MakeKey(HKEY_LOCAL_MACHINE, root);
    MakeKey(HKEY_LOCAL_MACHINE, root + "\\A\\B\\C\\D");
    MakeKey(HKEY_LOCAL_MACHINE, root + "\\A\\B2");
    MakeKey(HKEY_LOCAL_MACHINE, root + "\\Z");
    MakeKey(HKEY_LOCAL_MACHINE, machine.subkey() + "\\Vendor\\Other");
    EXPECT_TRUE(DeleteRegistryKey("(Local)", root + "\\"));
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, root));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, machine.subkey() + "\\Vendor"));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, machine.subkey() + "\\Vendor\\Other"));
}

TEST(DeleteRegistryKey, AnUnknownMacroMeansTheCurrentUser) {
    TestRegKey test;
    MachineKey machine;
    // The same relative path under both hives.
    const std::string path = test.subkey() + "\\App";
    MakeKey(HKEY_CURRENT_USER, path + "\\Sub");
    MakeKey(HKEY_LOCAL_MACHINE, path + "\\Sub");
    EXPECT_TRUE(DeleteRegistryKey("(Abcde)", path));
    EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, path));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, path + "\\Sub"));
    EXPECT_TRUE(DeleteRegistryKey("(Local)", path));
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, path));
    // Tidy the HKLM copy's parents made above.
    DeleteRegistryKey("(Local)", "Software\\RavelinTest\\" +
                                     test.subkey().substr(std::string("Software\\RavelinTest\\").size()));

    MakeKey(HKEY_CURRENT_USER, test.subkey() + "\\Cuser");
    EXPECT_TRUE(DeleteRegistryKey("(Cuser)", test.subkey() + "\\Cuser"));
    EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, test.subkey() + "\\Cuser"));
}

TEST(DeleteRegistryKey, AnEmptyPathOrABareDelimiterDeletesNothing) {
    TestRegKey test;
    EXPECT_TRUE(DeleteRegistryKey("(Cuser)", ""));
    EXPECT_TRUE(DeleteRegistryKey("(Cuser)", "\\"));
    EXPECT_TRUE(HasKey(HKEY_CURRENT_USER, test.subkey()));
    EXPECT_TRUE(HasKey(HKEY_CURRENT_USER, "Software"));
}

TEST(DeleteRegistryKey, AMissingKeyIsNotAnError) {
    TestRegKey test;
    EXPECT_TRUE(DeleteRegistryKey("(Cuser)", test.subkey() + "\\Nothing\\Here"));
    EXPECT_TRUE(HasKey(HKEY_CURRENT_USER, test.subkey()));
}

namespace {

// Runs the call on a thread of its own: false when it has not returned after
// a minute (a walk that never ends; the thread is left to the process end).
bool ReturnsInTime(std::function<void()> call) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    TestThread worker([call, done] {
        call();
        *done = true;
    });
    for (int i = 0; i < 600 && !*done; ++i) Sleep(100);
    if (!*done) {
        worker.detach();
        return false;
    }
    worker.join();
    return true;
}

// Keys by their UTF-16 names, which the ANSI functions cannot all name.
void MakeWideKey(HKEY hive, const std::wstring& subkey) {
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(hive, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr));
}

bool HasWideKey(HKEY hive, const std::wstring& subkey) {
    RegKey key;
    return RegOpenKeyExW(hive, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::wstring Wide(const std::string& cp932) {
    std::wstring w(cp932.size(), L'\0');
    w.resize(static_cast<size_t>(
        MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), w.data(), static_cast<int>(w.size()))));
    return w;
}

// The registry's own name of a key of the current user, as a link names it.
std::wstring UserKeyPath(const std::wstring& subkey) {
    KernelObject token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    BYTE buffer[256];
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size)) return {};
    LPWSTR sid = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) return {};
    std::wstring path = L"\\Registry\\User\\" + std::wstring(sid) + L"\\" + subkey;
    LocalFree(sid);
    return path;
}

// A symbolic link key at subkey pointing at target (a registry path).
bool MakeLink(const std::wstring& subkey, const std::wstring& target) {
    RegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(key.get(), L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                          static_cast<DWORD>(target.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

TEST(DeleteRegistryKey, NamesOutsideTheCodePageAndLongNamesAreDeletedOnNt) {
    StateGuard guard;
    State().OSKind = "NT";
    TestRegKey test;
    const std::wstring root = Wide(test.subkey()) + L"\\App";
    // 'Café' and 'Wave〜' come back from the ANSI functions as other names;
    // 150 kana are 300 bytes in code page 932, more than 255.
    const std::wstring cafe = L"Caf\u00E9", wave = L"Wave\u301C", longName(150, L'\u3042');
    for (const std::wstring& name : {cafe, wave, longName}) {
        MakeWideKey(HKEY_CURRENT_USER, root + L"\\" + name + L"\\Inner");
        MakeWideKey(HKEY_CURRENT_USER, root + L"\\Plain\\" + name);
    }
    ASSERT_TRUE(HasWideKey(HKEY_CURRENT_USER, root + L"\\" + cafe + L"\\Inner"));
    const std::string path = test.subkey() + "\\App";
    ASSERT_TRUE(ReturnsInTime([path] { DeleteRegistryKey("(Cuser)", path); })) << "the walk never ends";
    EXPECT_FALSE(HasWideKey(HKEY_CURRENT_USER, root));
    EXPECT_TRUE(HasWideKey(HKEY_CURRENT_USER, Wide(test.subkey())));
}

TEST(DeleteRegistryKey, LongNamesAreDeletedThroughTheAnsiNamesOf95) {
    StateGuard guard;
    State().OSKind = "notNT";
    TestRegKey test;
    const std::string root = test.subkey() + "\\App";
    std::string longName;
    for (int i = 0; i < 150; ++i) longName += "あ";
    ASSERT_EQ(300u, longName.size());
    MakeKey(HKEY_CURRENT_USER, root + "\\" + longName + "\\Inner");
    MakeKey(HKEY_CURRENT_USER, root + "\\Plain\\ポート");
    MakeKey(HKEY_CURRENT_USER, root + "\\Zeta");
    ASSERT_TRUE(ReturnsInTime([root] { DeleteRegistryKey("(Cuser)", root); })) << "the walk never ends";
    EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, root));
}

TEST(DeleteRegistryKey, LinksAreRemovedWithoutTouchingWhatTheyPointAt) {
    StateGuard guard;
    State().OSKind = "NT";
    TestRegKey test;
    const std::wstring base = Wide(test.subkey());
    MakeWideKey(HKEY_CURRENT_USER, base + L"\\Elsewhere\\Keep");
    MakeWideKey(HKEY_CURRENT_USER, base + L"\\App\\Sub");
    ASSERT_TRUE(MakeLink(base + L"\\App\\ToElsewhere", UserKeyPath(base + L"\\Elsewhere")))
        << "cannot make a link key here";
    ASSERT_TRUE(MakeLink(base + L"\\App\\Dangling", UserKeyPath(base + L"\\Nowhere")));
    ASSERT_TRUE(MakeLink(base + L"\\App\\Sub\\BackUp", UserKeyPath(base + L"\\App")));  // a loop
    ASSERT_TRUE(HasWideKey(HKEY_CURRENT_USER, base + L"\\App\\ToElsewhere\\Keep")) << "the link is followed";

    const std::string path = test.subkey() + "\\App";
    ASSERT_TRUE(ReturnsInTime([path] { DeleteRegistryKey("(Cuser)", path); })) << "the walk never ends";
    EXPECT_FALSE(HasWideKey(HKEY_CURRENT_USER, base + L"\\App"));
    EXPECT_TRUE(HasWideKey(HKEY_CURRENT_USER, base + L"\\Elsewhere\\Keep")) << "deleted through a link";
}

namespace {

// A key that nobody may read, list or delete while the object lives; opened
// to everyone again at its end, so that the test's key can go.
class LockedKey {
public:
    explicit LockedKey(const std::string& subkey) : subkey_(subkey) { ok_ = SetDacl("D:(D;;KAGA;;;WD)"); }
    ~LockedKey() { SetDacl("D:(A;;KA;;;WD)"); }
    LockedKey(const LockedKey&) = delete;
    LockedKey& operator=(const LockedKey&) = delete;
    bool ok() const { return ok_; }

private:
    bool SetDacl(const char* sddl) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
            return false;
        RegKey key;
        // The owner may always change the list of who may do what.
        const bool set =
            RegOpenKeyExA(HKEY_CURRENT_USER, subkey_.c_str(), 0, WRITE_DAC, key.put()) == ERROR_SUCCESS &&
            RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
        LocalFree(descriptor);
        return set;
    }

    std::string subkey_;
    bool ok_ = false;
};

}  // namespace

TEST(DeleteRegistryKey, AChildThatCannotBeDeletedIsPassedOverAndTheRestGoes) {
    StateGuard guard;
    State().OSKind = "NT";
    TestRegKey test;
    const std::string root = test.subkey() + "\\App";
    MakeKey(HKEY_CURRENT_USER, root + "\\Before");
    MakeKey(HKEY_CURRENT_USER, root + "\\Locked\\Inside");
    MakeKey(HKEY_CURRENT_USER, root + "\\Zeta\\Deep");
    LockedKey locked(root + "\\Locked");
    ASSERT_TRUE(locked.ok());
    RegKey probe;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (root + "\\Locked").c_str(), 0, KEY_READ, probe.put()) == ERROR_SUCCESS)
        GTEST_SKIP() << "the registry here does not enforce key security";

    ASSERT_TRUE(ReturnsInTime([root] { DeleteRegistryKey("(Cuser)", root); })) << "the walk never ends";
    EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, root + "\\Before"));
    EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, root + "\\Zeta"));
    EXPECT_TRUE(HasKey(HKEY_CURRENT_USER, root)) << "it still holds the locked key";
}

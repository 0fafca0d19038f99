#include "platform/Win932.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "platform/Handles.h"
#include "platform/SystemLibraries.h"

namespace {

// "表" and "ソ" end in 0x5C, the byte of "\": a name that the wide calls must
// carry as two characters, never as a cut path.
const std::string kTrailByteName = "表ソ能.txt";

std::wstring WideOf(const std::string& cp932) { return win932::Wide(cp932); }

}  // namespace

// ---- Conversions ----

TEST(Win932Conversion, CarriesTrailByteTextBothWaysAndRefusesWhatCp932CannotHold) {
    EXPECT_EQ(L"\u8868\u30bd\u80fd.txt", WideOf(kTrailByteName));
    std::string back;
    EXPECT_TRUE(win932::Narrow(L"\u8868\u30bd\u80fd.txt", back));
    EXPECT_EQ(kTrailByteName, back);
    // 'é' has no CP932 form; a best-fit 'e' would name another file.
    EXPECT_FALSE(win932::Narrow(L"Jos\u00e9", back));
    EXPECT_EQ("Jos?", back);
    EXPECT_EQ("Jos?", win932::NarrowForDisplay(L"Jos\u00e9"));
}

TEST(Win932Conversion, APathCp932CannotHoldFallsBackToItsShortNameOrIsRefused) {
    ScratchFolder dir;
    const std::wstring jose = WideOf(dir.path()) + L"Jos\u00e9 Garc\u00eda";
    ASSERT_TRUE(CreateDirectoryW(jose.c_str(), nullptr));
    std::string path;
    ASSERT_TRUE(win932::PathFromSystem(jose, path));
    EXPECT_EQ(std::string::npos, path.find('?')) << ToUtf8(path);
    // The very folder, not a look-alike.
    wchar_t longForm[MAX_PATH] = {};
    ASSERT_NE(0u, GetLongPathNameW(WideOf(path).c_str(), longForm, MAX_PATH)) << ToUtf8(path);
    EXPECT_TRUE(std::wstring(longForm) == jose) << ToUtf8(path);

    // Nothing on disk, so no short name: no path at all.
    EXPECT_FALSE(win932::PathFromSystem(WideOf(dir.path()) + L"Ren\u00e9e", path));
}

TEST(Win932Conversion, CaseMappingIsJapaneseWhateverTheSystemLocale) {
    // Full-width letters and Greek have upper cases of the same byte length.
    EXPECT_EQ("ＡＢＣΣ表ソABC", LCMapString932("ａｂｃσ表ソabc", LCMAP_UPPERCASE));
    EXPECT_EQ("ＡＢＣ", LCMapString932("ABC", LCMAP_FULLWIDTH));
}

// ---- Files ----

TEST(Win932Files, ATrailByteNameIsTheSameFileThroughWideAndAnsiCalls) {
    ScratchFolder dir;
    const std::string path = dir / kTrailByteName;
    {
        FileHandle file(CreateFile932(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
    }
    // The name on disk is the Unicode of the CP932 text.
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(WideOf(path).c_str()));
    for (bool ansi : {false, true}) {
        SCOPED_TRACE(ansi ? "ANSI" : "wide");
        std::unique_ptr<win932::ForceAnsiForTest> force(ansi ? new win932::ForceAnsiForTest : nullptr);
        WIN32_FIND_DATAA data;
        FindHandle find(FindFirstFile932(dir / "*.txt", &data));
        ASSERT_TRUE(find);
        EXPECT_EQ(kTrailByteName, std::string(data.cFileName));
        EXPECT_FALSE(FindNextFile932(find.get(), &data));
        EXPECT_EQ(dir / kTrailByteName, GetFullPathName932(dir / "." + "\\" + kTrailByteName));
    }
    ASSERT_TRUE(CopyFile932(path, dir / "写し表.txt", TRUE));
    ASSERT_TRUE(MoveFileEx932(dir / "写し表.txt", dir / "移動ソ.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((WideOf(dir.path()) + L"\u79fb\u52d5\u30bd.txt").c_str()));
    EXPECT_TRUE(DeleteFile932(dir / "移動ソ.txt"));
}

TEST(Win932Files, AFoundNameCp932CannotHoldComesAsItsShortName) {
    ScratchFolder dir;
    const std::wstring jose = WideOf(dir.path()) + L"Jos\u00e9.txt";
    ASSERT_TRUE(FileHandle(CreateFileW(jose.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)));
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFile932(dir / "*", &data));
    ASSERT_TRUE(find);
    std::string found;
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..") found = name;
    } while (FindNextFile932(find.get(), &data));
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(std::string::npos, found.find('?'));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributes932(dir / found)) << ToUtf8(found);
}

// ---- Registry ----

TEST(Win932Registry, StringValuesAreStoredAsTheUnicodeOfTheirCp932Text) {
    TestRegKey reg;
    const std::string subkey = reg.subkey() + "\\表ソ";
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx932(HKEY_CURRENT_USER, subkey, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr));
    const std::string text = "ラベリン表示ソフト";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueEx932(key.get(), "名前ソ", REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                              static_cast<DWORD>(text.size() + 1)));
    const std::string list("一つ目\0二つ目\0\0", 16);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueEx932(key.get(), "一覧", REG_MULTI_SZ,
                                              reinterpret_cast<const BYTE*>(list.data()), static_cast<DWORD>(list.size())));

    // Read by the wide function, as the control panel does on any locale.
    RegKey wideKey;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, WideOf(subkey).c_str(), 0, KEY_READ, wideKey.put()));
    wchar_t buffer[64] = {};
    DWORD type = 0, size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(wideKey.get(), L"\u540d\u524d\u30bd", nullptr, &type,
                                              reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::wstring(L"\u30e9\u30d9\u30ea\u30f3\u8868\u793a\u30bd\u30d5\u30c8") + L'\0',
              std::wstring(buffer, size / sizeof(wchar_t)));

    for (bool ansi : {false, true}) {
        SCOPED_TRACE(ansi ? "ANSI" : "wide");
        std::unique_ptr<win932::ForceAnsiForTest> force(ansi ? new win932::ForceAnsiForTest : nullptr);
        std::string data;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueEx932(key.get(), "名前ソ", &type, data));
        EXPECT_EQ(text + '\0', data);
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueEx932(key.get(), "一覧", &type, data));
        EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
        EXPECT_EQ(list, data);
        std::string name;
        RegKey parent;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyEx932(HKEY_CURRENT_USER, reg.subkey(), 0, KEY_READ, parent.put()));
        ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyEx932(parent.get(), 0, name));
        EXPECT_EQ("表ソ", name);
    }
}

TEST(Win932Registry, AStringValueCp932CannotHoldIsRefusedNotGuessed) {
    TestRegKey reg;
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx932(HKEY_CURRENT_USER, reg.subkey(), 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr));
    const wchar_t value[] = L"C:\\Jos\u00e9";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key.get(), L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value));
    std::string data;
    EXPECT_EQ(static_cast<LONG>(win932::kNoCp932Form), RegQueryValueEx932(key.get(), "Path", nullptr, data));
}

// ---- What 95, 98 and NT 4.0 lack: the fallbacks give the same results ----

namespace {

// The same call with the newer entry points and with their fallbacks.
template <typename Check>
void BothWays(Check check) {
    for (const bool hidden : {false, true}) {
        SCOPED_TRACE(hidden ? "fallback" : "system function");
        std::unique_ptr<syslib::HideNewerEntriesForTest> hide(hidden ? new syslib::HideNewerEntriesForTest : nullptr);
        check();
    }
}

}  // namespace

TEST(Win932OlderSystems, WithoutTheBestFitFlagALookAlikeIsStillRefused) {
    BothWays([] {
        std::string out;
        // U+00A5 has no CP932 form; its best fit is 0x5C, a path separator.
        EXPECT_FALSE(win932::Narrow(L"C:\\App\u00a5..\\x", out)) << ToUtf8(out);
        EXPECT_FALSE(win932::Narrow(L"Jos\u00e9", out)) << ToUtf8(out);
        EXPECT_TRUE(win932::Narrow(L"\u8868\u30bd\u80fd.txt", out));
        EXPECT_EQ(kTrailByteName, out);
    });
}

TEST(Win932OlderSystems, LongNamesAreFoundByWalkingThePath) {
    ScratchFolder dir;
    const std::string folder = dir.path() + "Long Folder Name";
    const std::string file = folder + "\\長いファイルの名前" + kTrailByteName;
    dir.Write("Long Folder Name\\長いファイルの名前" + kTrailByteName, "x");
    const std::string shortFile = GetShortPathName932(file);
    const std::string shortFolder = GetShortPathName932(folder);
    ASSERT_NE(file, shortFile);
    for (const bool ansi : {false, true}) {
        SCOPED_TRACE(ansi ? "ANSI" : "wide");
        std::unique_ptr<win932::ForceAnsiForTest> force(ansi ? new win932::ForceAnsiForTest : nullptr);
        BothWays([&] {
            EXPECT_EQ(ToUtf8(file), ToUtf8(GetLongPathName932(shortFile)));
            EXPECT_EQ(ToUtf8(folder + "\\"), ToUtf8(GetLongPathName932(shortFolder + "\\")));
            EXPECT_EQ("", GetLongPathName932(dir.path() + "missing\\x.txt"));
            EXPECT_EQ("", GetLongPathName932(dir.path() + "*"));
        });
    }
}

TEST(Win932OlderSystems, AttributesSizeAndTimesComeFromTheSearch) {
    ScratchFolder dir;
    dir.Write("sub\\" + kTrailByteName, "12345");
    WriteTimeAgo(dir / ("sub\\" + kTrailByteName), 3600);
    for (const std::string& name : {dir / ("sub\\" + kTrailByteName), dir / "sub", dir / "sub\\", std::string("C:\\"),
                                    dir / "missing.txt", dir / "sub\\*.txt"}) {
        SCOPED_TRACE(ToUtf8(name));
        WIN32_FILE_ATTRIBUTE_DATA real{}, fallback{};
        const BOOL realOk = GetFileAttributesEx932(name, &real);
        BOOL fallbackOk = FALSE;
        {
            syslib::HideNewerEntriesForTest hide;
            fallbackOk = GetFileAttributesEx932(name, &fallback);
        }
        ASSERT_EQ(realOk, fallbackOk);
        if (!realOk) continue;
        EXPECT_EQ(real.dwFileAttributes, fallback.dwFileAttributes);
        if (name == "C:\\") continue;  // no search finds a root: its times stay unknown
        EXPECT_EQ(real.nFileSizeLow, fallback.nFileSizeLow);
        EXPECT_EQ(0, CompareFileTime(&real.ftLastWriteTime, &fallback.ftLastWriteTime));
    }
}

TEST(Win932OlderSystems, Windows95GetsNoCallItRefuses) {
    // FILE_SHARE_DELETE fails every open on 95/98/Me (a copy's source
    // among them); the NT-only flags go too, the rest stays.
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_BACKUP_SEMANTICS |
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_WRITE_THROUGH;
    win932::FileFlagsFor95(share, flags);
    EXPECT_EQ(static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE), share);
    EXPECT_EQ(static_cast<DWORD>(FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_WRITE_THROUGH), flags);

    // The account functions are never called there (95 exports some of
    // them not at all), and no second thread is ever made.
    EXPECT_EQ(0u, CurrentUserSid932().find("S-1-")) << CurrentUserSid932();
    win932::ForceAnsiForTest ansi;
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ("", CurrentUserSid932());
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
    EXPECT_FALSE(EnableProcessPrivilege932("SeShutdownPrivilege", true));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
    EXPECT_FALSE(PrepareDisplayAhead());
}

TEST(Win932OlderSystems, Utf8IsDecodedAsTheSystemDecodesItWithoutAskingTheSystem) {
    // 95 has no CP_UTF8: our own decoder, the same UTF-16 as the system's.
    for (const std::string& text : {std::string("plain"), std::string("\xE8\xA1\xA8\xE3\x82\xBD\xC3\xA9"),
                                   std::string("\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"), std::string("\xEF\xBB\xBF")}) {
        bool valid = false;
        const std::wstring ours = win932::FromUtf8(text, &valid);
        std::wstring system(text.size(), L'\0');
        system.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                                              static_cast<int>(text.size()), system.data(),
                                                              static_cast<int>(system.size()))));
        EXPECT_TRUE(valid);
        EXPECT_TRUE(ours == system) << ToUtf8(win932::NarrowForDisplay(ours));
    }
    // Ill-formed: each broken piece one U+FFFD, never a character made of
    // an overlong form ("/" as C0 AF), a surrogate or a cut sequence.
    const struct {
        std::string bytes;
        std::wstring wide;
    } broken[] = {
        {"a\xC0\xAF" "b", L"a\xFFFD\xFFFD" L"b"},
        {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD"},
        {"\xE8\xA1" "x", L"\xFFFD" L"x"},
        {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD"},
        {"\xE8", L"\xFFFD"},
        {"\x80\xBF", L"\xFFFD\xFFFD"},
    };
    for (const auto& c : broken) {
        bool valid = true;
        EXPECT_TRUE(c.wide == win932::FromUtf8(c.bytes, &valid)) << c.bytes.size();
        EXPECT_FALSE(valid);
    }
}

TEST(Win932OlderSystems, WithoutCodePage932AnUnattendedRunLogsWhyInWordsMadeWithoutTheSystem) {
    // A Western 2000 or XP without East Asian support: nothing converts,
    // so the log's name comes from the wide command line as it stands.
    ScratchFolder dir;
    const std::wstring log = WideOf(dir.path()) + L"\u30ed\u30b0 (1).txt";
    win932::TellCodePage932Missing(L"\"C:\\x\\SETUP.EXE\" /s \"/LOG=" + log + L"\"", 4);
    const std::string text = ReadFileBytes(dir.path() + "ログ (1).txt");
    EXPECT_NE(std::string::npos, text.find("[エラー] This setup needs the Japanese code page (932)")) << ToUtf8(text);
    EXPECT_NE(std::string::npos, text.find("東アジア言語のサポートをインストールしてから")) << ToUtf8(text);
    EXPECT_NE(std::string::npos, text.find("[終了コード] 4\r\n")) << ToUtf8(text);
    // Never over the script or a record.
    win932::TellCodePage932Missing(L"SETUP.EXE /PREVIEW /LOG=" + WideOf(dir.path()) + L"setup.ini", 4);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dir.path() + "setup.ini").c_str()));
    // Wine has the tables whatever the locale: the program starts here.
    EXPECT_FALSE(win932::CodePage932Missing());
}

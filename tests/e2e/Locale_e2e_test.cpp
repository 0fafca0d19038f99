// The program on systems whose own code page is not 932: the test command
// runs this file on an English (1252) and a Simplified Chinese (936) prefix
// as well as on the Japanese one. Texts are read back as Unicode, the way
// the system itself shows them, so a text handed over in the wrong code page
// cannot pass.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "Driver.h"
#include "SampleKit.h"
#include "TestSupport.h"
#include "platform/Handles.h"
#include "platform/Win932.h"
#include "ui/resource.h"

using namespace e2e;

namespace {

std::wstring WideText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Whether the control's own font draws its text within the control.
bool TextFits(HWND control) {
    const std::wstring text = WideText(control);
    WindowDC dc(control);
    HGDIOBJ old = SelectObject(dc.get(), reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc.get(), old);
    RECT client{};
    GetClientRect(control, &client);
    return size.cx <= client.right - client.left;
}

std::wstring UninstallDisplayName() {
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RavelinSample", 0,
                      KEY_READ, key.put()) != ERROR_SUCCESS)
        return L"(no entry)";
    wchar_t value[256] = {};
    DWORD size = sizeof value - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key.get(), L"DisplayName", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS)
        return L"(no value)";
    return value;
}

bool WideExists(const std::string& folder, const wchar_t* name) {
    return GetFileAttributesW((win932::Wide(folder) + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

TEST(LocaleE2E, TheSampleLooksInstallsAndUninstallsAsOnAJapaneseSystem) {
    // The medium and the install folder Japanese-named: where the volume has
    // no short names (the entry e2e-en-noshort, under the strict build's
    // personality) LZ32 cannot name MANUAL.TX_ on this code page and the
    // program expands it with its own decoder.
    Distribution dist("配布\\");
    CopySample(dist);
    const char* personality = std::getenv("RV_STRICT_PERSONALITY");
    std::optional<StrictProgram> strict;
    if (personality && *personality) strict.emplace(dist);
    ScratchFolder target;
    const std::string app = target.path() + "Ravelin サンプル\\";
    SampleLeftovers leftovers(app);
    DeleteFileW(win932::Wide(WindowsFolder() + "UNRAVEL.EXE").c_str());

    {
        SetupProcess setup(dist.exe(), "");
        HWND wizard = setup.WaitForWizard();
        ASSERT_TRUE(wizard);
        ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, "インストール続行(&C)"));
        EXPECT_EQ(std::wstring(L"Ravelin サンプル セットアップ"), WideText(wizard));
        EXPECT_EQ(std::wstring(L"インストール続行(&C)"), WideText(setup.Control(IDC_btnEvent)));
        EXPECT_TRUE(TextFits(setup.Control(IDC_btnEvent))) << "the start button's caption is cut off";
        EXPECT_TRUE(TextFits(setup.Control(IDC_btnEnd))) << "the end button's caption is cut off";
        InstallSample(setup, app);
    }
    if (HasFailure()) return;

    // Names whose second byte is "\" (ソ, 表) or "|" (ポ) arrive whole.
    EXPECT_TRUE(WideExists(app, L"ソフト情報.TXT"));
    EXPECT_TRUE(WideExists(app, L"データ\\表示設定.INI"));
    EXPECT_TRUE(WideExists(app, L"docs\\ポケットガイド.htm"));
    EXPECT_EQ(ReadFileBytes(SampleFolder() + "..\\sample-build\\lz\\MANUAL.TXT"), ReadFileBytes(app + "MANUAL.TXT"));
    const std::string programs = ShellFolder(CSIDL_PROGRAMS), desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    EXPECT_TRUE(WideExists(desktop, L"Ravelin サンプル.lnk"));
    EXPECT_TRUE(WideExists(programs, L"Ravelin サンプル\\お読みください.lnk"));
    // The record is the same bytes as on a Japanese system.
    EXPECT_EQ(ToUtf8(ExpectedSampleRecord(app, programs, desktop)), ToUtf8(ReadFileBytes(app + "UNSETUP.INI")));
    EXPECT_EQ(std::wstring(L"Ravelin サンプル 1.0"), UninstallDisplayName());

    {
        SetupProcess started(WindowsFolder() + "UNRAVEL.EXE", "\"" + app + "UNSETUP.INI\"");
        UninstallSample(started, app, false);
    }
    EXPECT_FALSE(WideExists(app, L""));
    EXPECT_FALSE(WideExists(desktop, L"Ravelin サンプル.lnk"));
    EXPECT_FALSE(WideExists(programs, L"Ravelin サンプル"));
    EXPECT_EQ(std::wstring(L"(no entry)"), UninstallDisplayName());
}

TEST(LocaleE2E, WithoutCodePage932TheProgramSaysSoInWordsTheSystemCanShowAndStops) {
    // A Western 2000 or XP without East Asian support, as the strict test
    // build plays it (Wine has the tables whatever the locale).
    Distribution dist;
    ASSERT_TRUE(CopyFileA((BinFolder() + "SETUP_STRICT.EXE").c_str(), dist.exe().c_str(), FALSE));
    const SetupProcess::Environment no932 = {{"RV_STRICT_PERSONALITY", "no932"}};
    {
        SetupProcess setup(dist.exe(), "", no932);
        const MessageBoxView box = setup.WaitForMessageBox("the missing code page");
        // Read as UTF-16, as such a system shows it: English first.
        std::wstring text(512, L'\0');
        text.resize(static_cast<size_t>(GetDlgItemTextW(box.hwnd, 0xFFFF, text.data(), 512)));
        EXPECT_EQ(0u, text.find(L"This setup needs the Japanese code page (932)")) << box.Describe();
        EXPECT_NE(std::wstring::npos, text.find(L"\u6771\u30a2\u30b8\u30a2\u8a00\u8a9e")) << box.Describe();
        setup.Answer(box, IDOK);
        EXPECT_TRUE(setup.WaitForExit(kWaitMs));
        EXPECT_EQ(4u, setup.ExitCode());
    }
    // Unattended: no box; the log says why.
    ScratchFolder logs;
    SetupProcess setup(dist.exe(), "/S \"/LOG=" + logs.path() + "setup.log\"", no932);
    EXPECT_TRUE(setup.WaitForExit(kWaitMs));
    EXPECT_EQ(4u, setup.ExitCode());
    const std::string log = ReadFileBytes(logs.path() + "setup.log");
    EXPECT_NE(std::string::npos, log.find("[エラー] This setup needs the Japanese code page (932)")) << ToUtf8(log);
    EXPECT_NE(std::string::npos, log.find("[終了コード] 4")) << ToUtf8(log);
}

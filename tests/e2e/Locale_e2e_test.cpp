// The program on systems whose own code page is not 932: the test command
// runs this file on an English (1252) and a Simplified Chinese (936) prefix
// as well as on the Japanese one. Texts are read back as Unicode, the way
// the system itself shows them, so a text handed over in the wrong code page
// cannot pass.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

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
    Distribution dist;
    CopySample(dist);
    ScratchFolder target;
    const std::string app = target.path() + "Ravelin Sample\\";
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

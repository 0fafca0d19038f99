// Colours and the taskbar title: what a person sees of the windows.
#include "ui/Forms.h"

#include "TestSupport.h"
#include "app/SetupState.h"
#include "platform/Handles.h"
#include "ui/Form.h"
#include "ui/frmBack.h"
#include "ui/frmMain.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

namespace {

// The windows as the program creates them, destroyed after each test; the
// state record is put back too.
class LookAndFeel : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = State();
        ASSERT_TRUE(CreateForms(GetModuleHandleA(nullptr)));
    }
    void TearDown() override {
        DestroyForms();
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        State() = saved_;
    }

private:
    SetupState saved_;
};

COLORREF BrushColour(HBRUSH brush) {
    LOGBRUSH lb{};
    if (!brush || GetObjectA(brush, sizeof lb, &lb) != sizeof lb) return CLR_INVALID;
    return lb.lbColor;
}

// The brush and background colour the wizard gives the memo for painting.
struct MemoColours {
    COLORREF brush = CLR_INVALID;
    COLORREF background = CLR_INVALID;
};
MemoColours AskMemoColours(TfrmMain& f) {
    MemoColours colours;
    WindowDC screen(nullptr);
    MemoryDC dc(CreateCompatibleDC(screen.get()));
    SetBkColor(dc.get(), RGB(1, 2, 3));
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageA(
        f.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(f.Item(IDC_txtReadme))));
    colours.brush = BrushColour(brush);
    colours.background = GetBkColor(dc.get());
    return colours;
}

// A taskbar button goes to a visible top-level window that is unowned or
// asks for one, unless it is a tool window.
bool HasTaskbarButton(HWND w) {
    if (!IsWindowVisible(w)) return false;
    const LONG ex = GetWindowLongA(w, GWL_EXSTYLE);
    if (ex & WS_EX_TOOLWINDOW) return false;
    return (ex & WS_EX_APPWINDOW) || !GetWindow(w, GW_OWNER);
}

BOOL CALLBACK CollectButtons(HWND w, LPARAM lp) {
    if (HasTaskbarButton(w)) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
    return TRUE;
}

std::string Caption(HWND w) {
    char text[256] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

}  // namespace

TEST_F(LookAndFeel, TheReadmeMemoHasTheWindowColourAgainAfterTheLicence) {
    ScratchFolder medium;
    medium.Write("EULA.TXT", "使用許諾\r\n");
    medium.Write("README.TXT", "お読みください\r\n");
    medium.Write("SETUP.INI", "[EULA]\r\nFile=EULA.TXT\r\n[Readme]\r\nFile=README.TXT\r\nTitle=はじめに\r\n");
    SetupState& s = State();
    s.Mode = "SETUP";
    s.SetupString = "インストール";
    s.UnSetupString = "アンインストール";
    s.SourceFolder = medium.path();
    s.ScriptFile = medium / "SETUP.INI";
    s.WindowsFolder = medium.path();
    s.ShowTitlePage = s.ShowEULAPage = s.ShowReadmePage = s.ShowFolderPage = true;
    s.CheckerDone = true;
    TfrmMain& f = frmMain();
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    ASSERT_NE(window, GetSysColor(COLOR_3DFACE)) << "the two colours must differ for this test";

    f.btnEventClick();  // the title page
    f.btnEventClick();  // the licence page
    ASSERT_EQ(f.GetText(IDC_btnEvent), "同意する(&A)") << ToUtf8(f.GetText(IDC_btnEvent));
    MemoColours colours = AskMemoColours(f);
    EXPECT_EQ(RGB(255, 255, 255), colours.brush);
    EXPECT_EQ(RGB(255, 255, 255), colours.background);

    f.Check(IDC_chkEULARead, true);
    f.chkEULAReadClick();
    f.btnEventClick();  // agreed: the readme page
    ASSERT_EQ(f.GetText(IDC_fraReadme), "はじめに") << ToUtf8(f.GetText(IDC_fraReadme));
    colours = AskMemoColours(f);
    EXPECT_EQ(window, colours.brush) << "the readme memo is painted grey";
    EXPECT_EQ(window, colours.background);
}

TEST_F(LookAndFeel, TheBackgroundWindowsOwnColourIsBlack) {
    // What shows of the form itself, where its gradient box does not cover it.
    HWND back = frmBack().Handle();
    WindowDC screen(nullptr);
    MemoryDC dc(CreateCompatibleDC(screen.get()));
    GdiObject bitmap(CreateCompatibleBitmap(screen.get(), 16, 16));
    HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    RECT all{0, 0, 16, 16};
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SendMessageA(back, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0);
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc.get(), 8, 8));
    SelectObject(dc.get(), old);
}

TEST(ApplicationWindow, CarriesTheOnlyTaskbarButtonWithTheApplicationTitle) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    ASSERT_TRUE(CreateApplicationWindow(instance, "Ravelin Setup"));
    HWND app = ApplicationWindow();
    ASSERT_NE(nullptr, app);
    ASSERT_TRUE(CreateForms(instance));
    frmBack().SetCaption("Ravelin Setup Version1.00β1(Build:0001/D3)");
    // Shown without letting its messages run, so the wizard does not start.
    ShowWindow(frmBack().Handle(), SW_SHOWNA);

    std::vector<HWND> buttons;
    EnumThreadWindows(GetCurrentThreadId(), CollectButtons, reinterpret_cast<LPARAM>(&buttons));
    ASSERT_EQ(1u, buttons.size()) << "one taskbar button for the program";
    EXPECT_EQ(app, buttons[0]);
    EXPECT_EQ("Ravelin Setup", Caption(buttons[0]));
    RECT r;
    GetWindowRect(app, &r);
    EXPECT_TRUE(IsRectEmpty(&r)) << "the application window itself is never seen";
    EXPECT_EQ(app, GetWindow(frmBack().Handle(), GW_OWNER));

    // Brought to the front from the taskbar, it hands over to the program's
    // last active window.
    // Only the application window's messages run: a caption on btnEvent and
    // the others' messages left queued keep start-up and the wizard still.
    frmMain().SetText(IDC_btnEvent, "-");
    ShowWindow(frmMain().Handle(), SW_SHOW);
    SetActiveWindow(frmMain().Handle());
    SetActiveWindow(app);
    ASSERT_EQ(app, GetActiveWindow());
    for (int i = 0; i < 100 && GetActiveWindow() != frmMain().Handle(); ++i) {
        MSG m;
        while (PeekMessageA(&m, app, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        Sleep(10);
    }
    EXPECT_EQ(frmMain().Handle(), GetActiveWindow());

    DestroyForms();
    DestroyWindow(app);
    EXPECT_EQ(nullptr, ApplicationWindow());
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

#include "ui/Forms.h"

#include "TestSupport.h"
#include "app/SetupState.h"
#include "app/uUtils.h"
#include "ui/Gauge.h"
#include "ui/WizardView.h"
#include "ui/frmBack.h"
#include "ui/frmCustomDlg.h"
#include "ui/frmMain.h"
#include "ui/frmStatus.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

std::string ClassOf(HWND h) {
    char name[64] = {};
    GetClassNameA(h, name, sizeof name);
    return name;
}

bool StyleVisible(HWND h) { return h && (GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE) != 0; }

void Click(TForm& form, int id) {
    SendMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(form.Item(id)));
}

// The four windows as the program creates them, destroyed after each test.
class Forms : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(CreateForms(GetModuleHandleA(nullptr))); }
    void TearDown() override {
        DestroyForms();
        // Drops what the windows left queued (a quit from the background).
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
};

}  // namespace

TEST_F(Forms, WindowsAreFoundByClassAndControlsById) {
    EXPECT_EQ(ClassOf(frmBack().Handle()), "TfrmBack");
    EXPECT_EQ(ClassOf(frmMain().Handle()), "TfrmMain");
    EXPECT_EQ(ClassOf(frmStatus().Handle()), "TfrmStatus");
    EXPECT_EQ(ClassOf(frmCustomDlg().Handle()), "TfrmCustomDlg");
    EXPECT_EQ(ClassOf(frmStatus().Item(IDC_GaugeStatus)), "TGauge");
    EXPECT_EQ(ClassOf(frmBack().Item(IDC_GradBox)), "TGradBox");
    for (int id : {IDC_fraTitle, IDC_lblTitleA1, IDC_lblTitleA2, IDC_imgTitle1, IDC_lblTitleMessage, IDC_fraReadme,
                   IDC_txtReadme, IDC_chkEULARead, IDC_grpMessage, IDC_lblMessage, IDC_grpSetupFolder, IDC_txtFolder,
                   IDC_btnRefer, IDC_grpOption, IDC_chkOverWrite, IDC_chkHiSpeed, IDC_fraShortCut, IDC_chkSCutDesktop,
                   IDC_chkSCutStartMenu, IDC_chkSCutStartUp, IDC_chkSCutSendTo, IDC_lblUnSetupInfo, IDC_fraSelectType,
                   IDC_optSelectType1, IDC_optSelectType2, IDC_lblSelectTypeMsg, IDC_btnEvent, IDC_btnEnd,
                   IDC_lblFormShare})
        EXPECT_NE(frmMain().Item(id), nullptr) << id;
    for (int id : {IDC_lblBackTitle1, IDC_lblBackTitle2, IDC_lblPrgTitle1, IDC_lblPrgTitle2})
        EXPECT_NE(frmBack().Item(id), nullptr) << id;
    // Owned by the background window, so they stay above it.
    EXPECT_EQ(GetWindow(frmMain().Handle(), GW_OWNER), frmBack().Handle());
    EXPECT_EQ(GetWindow(frmStatus().Handle(), GW_OWNER), frmBack().Handle());
}

TEST_F(Forms, WizardStartsBeforeStartUpWithEmptyDisabledStepButton) {
    TfrmMain& f = frmMain();
    EXPECT_EQ(f.GetText(IDC_btnEvent), "");
    EXPECT_FALSE(f.IsEnabled(IDC_btnEvent));
    EXPECT_EQ(f.GetText(IDC_btnEnd), "セットアップ終了(&E)") << ToUtf8(f.GetText(IDC_btnEnd));
    EXPECT_FALSE(f.IsEnabled(IDC_btnEnd));
    EXPECT_EQ(f.GetText(IDC_lblFormShare), "Can't Delete");
    EXPECT_FALSE(f.IsShown(IDC_lblFormShare));
    EXPECT_TRUE(f.IsChecked(IDC_chkOverWrite));
    EXPECT_FALSE(f.IsShown(IDC_chkEULARead));
    EXPECT_EQ(f.GetText(IDC_lblTitleA1), "汎用インストーラ") << ToUtf8(f.GetText(IDC_lblTitleA1));
    EXPECT_EQ(f.GetText(IDC_grpMessage), "メッセージ") << ToUtf8(f.GetText(IDC_grpMessage));
    EXPECT_EQ(f.ClientWidth(), 489);
    EXPECT_EQ(f.ClientHeight(), 298);
    // No page yet.
    for (int id : {IDC_fraTitle, IDC_fraReadme, IDC_grpMessage, IDC_grpSetupFolder, IDC_grpOption, IDC_fraSelectType})
        EXPECT_FALSE(f.IsShown(id)) << id;
}

TEST_F(Forms, PagesShowTheirContentsAndHideTheRest) {
    TfrmMain& f = frmMain();
    f.ShowPages(false, false, true);
    EXPECT_TRUE(StyleVisible(f.Item(IDC_grpOption)));
    EXPECT_TRUE(StyleVisible(f.Item(IDC_txtFolder)));
    EXPECT_TRUE(StyleVisible(f.Item(IDC_chkSCutSendTo)));  // nested in fraShortCut
    EXPECT_FALSE(StyleVisible(f.Item(IDC_lblUnSetupInfo)));  // hidden on its own
    EXPECT_FALSE(StyleVisible(f.Item(IDC_txtReadme)));

    // A control hidden on its own stays hidden when its group is shown again.
    f.Show(IDC_chkOverWrite, false);
    f.ShowPages(true, false, false);
    EXPECT_TRUE(StyleVisible(f.Item(IDC_lblTitleMessage)));
    EXPECT_FALSE(StyleVisible(f.Item(IDC_txtFolder)));
    EXPECT_TRUE(f.IsShown(IDC_txtFolder));  // its own flag is kept
    f.ShowPages(false, false, true);
    EXPECT_FALSE(StyleVisible(f.Item(IDC_chkOverWrite)));
    EXPECT_TRUE(StyleVisible(f.Item(IDC_chkHiSpeed)));

    f.ShowPages(false, true, false);
    EXPECT_TRUE(StyleVisible(f.Item(IDC_txtReadme)));
    EXPECT_FALSE(StyleVisible(f.Item(IDC_chkEULARead)));
    f.Show(IDC_chkEULARead, true);
    EXPECT_TRUE(StyleVisible(f.Item(IDC_chkEULARead)));
}

TEST_F(Forms, MovingAFrameMovesWhatItContains) {
    TfrmMain& f = frmMain();
    RECT frame = f.Bounds(IDC_fraShortCut);
    RECT box = f.Bounds(IDC_chkSCutDesktop);
    RECT info = f.Bounds(IDC_lblUnSetupInfo);
    f.SetBounds(IDC_fraShortCut, frame.left, frame.top - 36, frame.right - frame.left, 87);
    RECT moved = f.Bounds(IDC_chkSCutDesktop);
    EXPECT_EQ(moved.left, box.left);
    EXPECT_EQ(moved.top, box.top - 36);
    EXPECT_EQ(moved.bottom - moved.top, box.bottom - box.top);
    EXPECT_EQ(f.Bounds(IDC_lblUnSetupInfo).top, info.top - 36);
    EXPECT_EQ(f.Bounds(IDC_fraShortCut).bottom - f.Bounds(IDC_fraShortCut).top, 87);
    // Resizing alone leaves the contents in place.
    f.SetBounds(IDC_fraShortCut, frame.left, frame.top - 36, 300, 50);
    EXPECT_EQ(f.Bounds(IDC_chkSCutDesktop).top, box.top - 36);
}

TEST_F(Forms, AccessorsByIdWork) {
    TfrmMain& f = frmMain();
    f.SetText(IDC_lblMessage, "テスト\r\n二行目");
    EXPECT_EQ(f.GetText(IDC_lblMessage), "テスト\r\n二行目") << ToUtf8(f.GetText(IDC_lblMessage));
    f.Enable(IDC_btnEnd, true);
    EXPECT_TRUE(f.IsEnabled(IDC_btnEnd));
    f.Check(IDC_chkHiSpeed, true);
    EXPECT_TRUE(f.IsChecked(IDC_chkHiSpeed));
    f.SetBounds(IDC_btnRefer, 10, 20, 30, 40);
    RECT r = f.Bounds(IDC_btnRefer);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 40);
    EXPECT_EQ(r.bottom, 60);
    f.SetCaption("ウィザード");
    EXPECT_EQ(f.Caption(), "ウィザード") << ToUtf8(f.Caption());
    // Unknown ids read as nothing and change nothing.
    EXPECT_EQ(f.GetText(4242), "");
    EXPECT_FALSE(f.IsEnabled(4242));
    EXPECT_FALSE(f.IsShown(4242));
    f.SetText(4242, "x");
}

TEST_F(Forms, LicenceBoxEnablesTheStepButtonExactlyWhenTicked) {
    TfrmMain& f = frmMain();
    f.Check(IDC_chkEULARead, true);
    Click(f, IDC_chkEULARead);  // BN_CLICKED as the box sends it
    EXPECT_TRUE(f.IsEnabled(IDC_btnEvent));
    f.Check(IDC_chkEULARead, false);
    Click(f, IDC_chkEULARead);
    EXPECT_FALSE(f.IsEnabled(IDC_btnEvent));
}

TEST_F(Forms, EndButtonSetsTheModalResult) {
    Click(frmMain(), IDC_btnEnd);
    EXPECT_EQ(frmMain().ModalResult(), IDOK);
}

TEST_F(Forms, CloseQueryAsksOnlyWhileTheWizardIsInProgress) {
    TfrmMain& f = frmMain();
    State().SetupString = "インストール";
    State().UnSetupString = "アンインストール";
    f.SetText(IDC_btnEvent, "インストール続行(&C)");
    f.Enable(IDC_btnEvent, true);
    f.SetText(IDC_btnEnd, "インストール終了(&E)");
    {
        ScriptedMsgBox boxes;
        boxes.ExpectContaining("終了確認", "終了してもよろしいですか？", 36, IDNO);
        bool canClose = true;
        f.FormCloseQuery(canClose);
        EXPECT_FALSE(canClose);
        EXPECT_FALSE(frmBack().Enabled());
    }
    {
        ScriptedMsgBox boxes;
        boxes.ExpectContaining("終了確認", "インストール/アンインストールは終了していません。", 36, IDYES);
        bool canClose = true;
        f.FormCloseQuery(canClose);
        EXPECT_TRUE(canClose);
        EXPECT_TRUE(frmBack().Enabled());
        EXPECT_EQ(f.ModalResult(), IDOK);
    }
    // Now the background takes input again: no question (a strict responder
    // fails the test on any box).
    bool canClose = true;
    f.FormCloseQuery(canClose);
    EXPECT_TRUE(canClose);

    frmBack().SetEnabled(false);
    for (const char* end : {"同意しない(&N)", "終了(&E)"}) {
        f.SetText(IDC_btnEnd, end);
        canClose = true;
        f.FormCloseQuery(canClose);
        EXPECT_TRUE(canClose) << ToUtf8(end);
    }
    f.SetText(IDC_btnEnd, "インストール終了(&E)");
    f.Enable(IDC_btnEvent, false);
    canClose = true;
    f.FormCloseQuery(canClose);
    EXPECT_TRUE(canClose);
}

TEST_F(Forms, ProgressWindowLayoutAndGreyedClose) {
    TfrmStatus& s = frmStatus();
    EXPECT_EQ(s.Caption(), "進行状況") << ToUtf8(s.Caption());
    EXPECT_EQ(s.ClientWidth(), 497);
    EXPECT_EQ(s.ClientHeight(), 298);
    RECT b = s.Bounds(IDC_btnAbort);
    EXPECT_EQ(b.left, 168);
    EXPECT_EQ(b.top, 264);
    EXPECT_EQ(b.right - b.left, 161);
    EXPECT_EQ(b.bottom - b.top, 25);
    RECT g = s.Bounds(IDC_GaugeStatus);
    EXPECT_EQ(g.right - g.left, 369);
    EXPECT_EQ(g.bottom - g.top, 17);
    EXPECT_EQ(s.GetText(IDC_btnAbort), "中断(&A)") << ToUtf8(s.GetText(IDC_btnAbort));
    EXPECT_FALSE(s.IsEnabled(IDC_btnAbort));
    EXPECT_EQ(s.GetText(IDC_lblStatus), "(0/0)");
    EXPECT_FALSE(s.IsShown(IDC_fraStatus));
    EXPECT_FALSE(StyleVisible(s.Item(IDC_GaugeStatus)));  // inside the hidden frame
    s.Show(IDC_fraStatus, true);
    EXPECT_TRUE(StyleVisible(s.Item(IDC_GaugeStatus)));
    EXPECT_TRUE(StyleVisible(s.Item(IDC_lblStatus)));

    UINT state = GetMenuState(GetSystemMenu(s.Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND);
    ASSERT_NE(state, static_cast<UINT>(-1));
    EXPECT_TRUE(state & MF_GRAYED);
    // And a close request does not close it either.
    s.SetVisible(true);
    SendMessageA(s.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(s.Visible());
    s.SetVisible(false);
}

TEST_F(Forms, GaugeOfTheProgressWindow) {
    frmStatus().SetProgress(37);
    EXPECT_EQ(frmStatus().Progress(), 37);
    EXPECT_EQ(GaugeProgress(frmStatus().Item(IDC_GaugeStatus)), 37);
    frmStatus().SetProgress(101);
    EXPECT_EQ(frmStatus().Progress(), 100);
}

TEST_F(Forms, AbortAnsweredNoChangesNothing) {
    TfrmStatus& s = frmStatus();
    s.Enable(IDC_btnAbort, true);
    s.SetVisible(true);
    {
        ScriptedMsgBox boxes;
        boxes.Expect("中断の確認",
                     "ここで処理を中断すると、すでにコピー済みのファイルなどは削除されません。\r\n"
                     "一度、処理を完了してから、アンインストールすることをおすすめします。\r\n\r\n"
                     "本当にここで処理を中断しますか？",
                     36, IDNO);
        Click(s, IDC_btnAbort);
    }
    EXPECT_TRUE(frmMain().Enabled());
    EXPECT_FALSE(frmBack().Enabled());
    EXPECT_TRUE(s.Visible());
    EXPECT_TRUE(s.IsEnabled(IDC_btnAbort));
    EXPECT_EQ(frmMain().ModalResult(), 0);
    s.SetVisible(false);
}

TEST_F(Forms, AbortAnsweredYesStopsTheRunAndEndsTheWizard) {
    TfrmStatus& s = frmStatus();
    s.Enable(IDC_btnAbort, true);
    s.SetVisible(true);
    ScriptedMsgBox boxes;
    boxes.ExpectContaining("中断の確認", "本当にここで処理を中断しますか？", 36, IDYES);
    boxes.Expect("中断", "処理を中断しました。", 48, IDOK);
    Click(s, IDC_btnAbort);
    EXPECT_FALSE(frmMain().Enabled());  // the run's abort signal
    EXPECT_TRUE(frmBack().Enabled());
    EXPECT_FALSE(s.Visible());
    EXPECT_EQ(frmMain().ModalResult(), IDOK);
}

void CALLBACK ConfirmAbort(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    frmMain().SetEnabled(false);
    frmMain().SetModalResult(IDOK);
}

// Once the run was stopped (a confirmed abort disables the wizard and ends
// it), every wait of the run's view ends as stopped: no page's choice, not
// even the first one that is selected from the start, is ever acted on.
TEST_F(Forms, TheViewsWaitsEndAsStoppedOnceTheRunWasStopped) {
    TWizardView view;
    CompletionPage page;
    page.choice1 = "はい、Windowsを再起動します。(&Y)";
    page.choice2 = "いいえ、Windowsは再起動せずに、インストーラーを終了します。(&N)";
    page.finishCaption = "インストール完了(&E)";
    // Stopped while the page waits for its finish button, then before.
    SetTimer(nullptr, 0, 200, ConfirmAbort);
    EXPECT_EQ(RunView::Choice::Stopped, view.ShowCompletion(page));
    EXPECT_FALSE(view.WaitForNext());
    EXPECT_FALSE(view.ShowDetails("作成・コピー処理失敗　詳細表示", "<File> C:\\A\r\n"));
}

TEST_F(Forms, NextCaptionDisablesTheButtonAndOtherCaptionsDoNothing) {
    TfrmStatus& s = frmStatus();
    s.SetText(IDC_btnAbort, "次へ(&N)");
    s.Enable(IDC_btnAbort, true);
    Click(s, IDC_btnAbort);
    EXPECT_FALSE(s.IsEnabled(IDC_btnAbort));

    s.SetText(IDC_btnAbort, "中断(A)");  // near miss: not the abort caption
    s.Enable(IDC_btnAbort, true);
    Click(s, IDC_btnAbort);  // no message box may appear
    EXPECT_TRUE(s.IsEnabled(IDC_btnAbort));
    EXPECT_TRUE(frmMain().Enabled());
}

TEST_F(Forms, DialogButtonsLeaveTheirAnswerWord) {
    TfrmCustomDlg& d = frmCustomDlg();
    EXPECT_EQ(d.Caption(), "ファイル削除の確認") << ToUtf8(d.Caption());
    EXPECT_EQ(d.ClientWidth(), 426);
    EXPECT_EQ(d.ClientHeight(), 121);
    // No title-bar buttons: no system menu at all.
    EXPECT_EQ(GetWindowLongA(d.Handle(), GWL_STYLE) & WS_SYSMENU, 0);
    const struct {
        int id;
        const char* caption;
        const char* word;
        int x;
    } buttons[] = {{IDC_btnYes, "はい(&Y)", "Yes", 8},
                   {IDC_btnNo, "いいえ(&N)", "No", 112},
                   {IDC_btnDelete, "すべて削除(&D)", "Delete", 216},
                   {IDC_btnSave, "すべて保存(&A)", "Save", 320}};
    for (const auto& b : buttons) {
        EXPECT_EQ(d.GetText(b.id), b.caption);
        RECT r = d.Bounds(b.id);
        EXPECT_EQ(r.left, b.x);
        EXPECT_EQ(r.top, 88);
        EXPECT_EQ(r.right - r.left, 97);
        frmMain().SetText(IDC_lblFormShare, "Can't Delete");
        d.SetModalResult(0);
        Click(d, b.id);
        EXPECT_EQ(frmMain().GetText(IDC_lblFormShare), b.word);
        EXPECT_EQ(d.ModalResult(), IDOK);
    }
}

TEST_F(Forms, DialogIsLeftOnlyThroughItsButtons) {
    TfrmCustomDlg& d = frmCustomDlg();
    frmMain().SetText(IDC_lblFormShare, "Can't Delete");
    d.SetModalResult(0);
    d.SetVisible(true);
    SendMessageA(d.Handle(), WM_CLOSE, 0, 0);  // Alt+F4 arrives as this
    EXPECT_TRUE(d.Visible());
    EXPECT_EQ(d.ModalResult(), 0);
    d.SetVisible(false);
    EXPECT_EQ(frmMain().GetText(IDC_lblFormShare), "Can't Delete");
}

namespace {
class RaisingForm : public TForm {
protected:
    void OnCommand(int, int) override { throw std::runtime_error("ｷｰ \\SOFTWARE\\X の作成に失敗しました"); }
};
}  // namespace

TEST_F(Forms, AnErrorRaisedByAHandlerIsShownAndGoesNoFurther) {
    RaisingForm form;
    ASSERT_TRUE(form.Create(GetModuleHandleA(nullptr), IDD_FRMCUSTOMDLG, nullptr));
    {
        ScriptedMsgBox boxes;
        boxes.Expect("Ravelin Setup", "ｷｰ \\SOFTWARE\\X の作成に失敗しました", MB_OK | MB_ICONHAND, IDOK);
        Click(form, IDC_btnYes);
    }
    EXPECT_TRUE(IsWindow(form.Handle())) << "the window lives on after the error";
    form.Destroy();
}

namespace {

// Runs a bounded message loop while the background window lives; the
// callback steps the scenario from a timer inside the wizard's modal loop.
struct Scenario {
    int step = 0;
    bool wizardSeenModal = false;
    bool backgroundMaximised = false;
    bool backgroundDisabled = false;
    bool labelRepaintQueued = false;
    std::string caption;
};
Scenario* gScenario = nullptr;

void CALLBACK ScenarioTick(HWND, UINT, UINT_PTR, DWORD) {
    Scenario& s = *gScenario;
    if (s.step != 0 || !frmMain().Visible()) return;
    s.step = 1;
    s.wizardSeenModal = frmMain().InModal();
    s.backgroundMaximised = IsZoomed(frmBack().Handle()) != 0;
    s.backgroundDisabled = !frmBack().Enabled();
    s.caption = frmBack().Caption();
    // A label's new text must repaint the gradient under it.
    HWND box = frmBack().Item(IDC_GradBox);
    UpdateWindow(box);
    frmBack().SetText(IDC_lblBackTitle1, "新しいタイトル");
    RECT r;
    s.labelRepaintQueued = GetUpdateRect(box, &r, FALSE) != 0;
    Click(frmMain(), IDC_btnEnd);
}

}  // namespace

TEST_F(Forms, BackgroundShowsTheWizardModallyAndEndsWithIt) {
    // A caption on btnEvent keeps start-up from running in the test program.
    frmMain().SetText(IDC_btnEvent, "-");
    Scenario scenario;
    gScenario = &scenario;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, ScenarioTick);
    ShowWindow(frmBack().Handle(), SW_SHOWNORMAL);
    bool quit = false;
    DWORD start = GetTickCount();
    while (!quit && GetTickCount() - start < 20000) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) {
                quit = true;
                break;
            }
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(10);
    }
    KillTimer(nullptr, timer);
    gScenario = nullptr;
    ASSERT_EQ(scenario.step, 1) << "the wizard was never shown";
    EXPECT_TRUE(scenario.wizardSeenModal);
    EXPECT_TRUE(scenario.backgroundMaximised);
    EXPECT_TRUE(scenario.backgroundDisabled);
    EXPECT_TRUE(scenario.labelRepaintQueued);
    EXPECT_EQ(scenario.caption, "Ravelin Setup Version1.00β1(Build:0001/D3)") << ToUtf8(scenario.caption);
    // The wizard's end ends the program: a quit for the main loop, with the
    // windows left standing for the end of the process to take down at once.
    EXPECT_TRUE(quit) << "the program did not end with the wizard";
    EXPECT_FALSE(frmMain().InModal());
    EXPECT_TRUE(frmMain().Visible());
}

TEST_F(Forms, TitleLabelsAreDrawnOverTheGradientWithoutBoxes) {
    TfrmBack& b = frmBack();
    b.SetText(IDC_lblBackTitle1, "ＡＢＣ");
    b.SetText(IDC_lblBackTitle2, "ＡＢＣ");
    RECT t = b.Bounds(IDC_lblBackTitle1);
    SIZE text = b.MeasureText(IDC_lblBackTitle1);
    EXPECT_GT(text.cx, 40);  // three full-width letters at 32 pixels
    EXPECT_GE(text.cy, 30);
    EXPECT_EQ(b.Bounds(IDC_lblBackTitle2).left, t.left + 2);

    const int w = b.ClientWidth(), h = b.ClientHeight();
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all{0, 0, w, h};
    b.GradBox().Paint(dc, all);
    int white = 0, green = 0;
    for (int y = t.top; y < t.top + text.cy; ++y)
        for (int x = t.left; x < t.left + text.cx + 2; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            white += c == RGB(255, 255, 255);
            green += c == RGB(0, 128, 0);
        }
    EXPECT_GT(white, 20);
    EXPECT_GT(green, 5);
    // Beside the glyphs the gradient shows through: the pixel right of the
    // text, inside the label, has the colour of the band at that height.
    auto bands = GradientBands(RGB(0, 0, 255), RGB(0, 0, 0), 128, h);
    int y = t.top + 1;
    COLORREF band = 0;
    for (const GradBand& g : bands)
        if (y >= g.offset && y < g.offset + g.size) band = g.color;
    EXPECT_EQ(GetPixel(dc, t.left + text.cx + 20, y), band);
    // The banner is hidden until start-up fills it.
    b.SetText(IDC_lblPrgTitle1, "バナー");
    EXPECT_FALSE(b.IsShown(IDC_lblPrgTitle1));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
}

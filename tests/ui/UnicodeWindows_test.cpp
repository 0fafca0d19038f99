// Our windows are Unicode windows that show the program's CP932 texts
// through code page 932 itself, whatever the system's code page. ctest runs
// these cases twice: with the rest on the Japanese locale, and alone under an
// English one (ANSI code page 1252, see tests/CMakeLists.txt), where any text
// that goes through the system's code page comes out wrong.
#include "ui/Forms.h"

#include "TestSupport.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/Win932.h"
#include "ui/FolderDialog.h"
#include "ui/frmBack.h"
#include "ui/frmCustomDlg.h"
#include "ui/frmMain.h"
#include "ui/frmStatus.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>

namespace {

// Second bytes "\" (0x5C: 表, ソ, ―) and "|" (0x7C: ポ): a conversion that
// does not know CP932 takes them for those characters.
const std::string kTrailBytes = "表示ソフト―ポート";
const std::string kTitle = "テストアプリ セットアップ";

std::wstring WideText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

void DrainMessages() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

class UnicodeWindows : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(CreateForms(GetModuleHandleW(nullptr))); }
    void TearDown() override {
        DestroyForms();
        DrainMessages();
    }
};

// Waits on a thread of its own for a top-level window of this process with
// the given class to appear, hands it to look(), then closes it with the
// command id. The caller's thread meanwhile sits in the modal call.
class WindowWatcher {
public:
    WindowWatcher(const wchar_t* className, int command, std::function<void(HWND)> look)
        : thread_([this, className, command, look] {
              for (int i = 0; i < 400 && !stop_; ++i) {
                  if (HWND w = Find(className)) {
                      Sleep(200);  // let it finish its set-up
                      look(w);
                      found_ = true;
                      PostMessageW(w, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
                      return;
                  }
                  Sleep(50);
              }
          }) {}
    ~WindowWatcher() {
        stop_ = true;
        thread_.join();
    }
    bool found() const { return found_; }

private:
    struct Search {
        const wchar_t* name;
        HWND found;
    };
    static BOOL CALLBACK Match(HWND w, LPARAM lp) {
        auto* s = reinterpret_cast<Search*>(lp);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        wchar_t name[64] = {};
        GetClassNameW(w, name, 64);
        if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || lstrcmpW(name, s->name) != 0) return TRUE;
        s->found = w;
        return FALSE;
    }
    static HWND Find(const wchar_t* className) {
        Search search{className, nullptr};
        EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    std::atomic<bool> stop_{false};
    std::atomic<bool> found_{false};
    TestThread thread_;
};

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    return DefWindowProc932(window, message, wp, lp);
}

}  // namespace

TEST(CodePage, TheRunHasTheSystemCodePageItWasStartedFor) {
    // Set by the English run: without it that run would prove nothing.
    const char* expected = std::getenv("RV_EXPECT_ACP");
    if (!expected) GTEST_SKIP() << "the Japanese run";
    EXPECT_EQ(static_cast<UINT>(std::atoi(expected)), GetACP());
}

TEST_F(UnicodeWindows, EveryWindowOfOursIsAUnicodeWindow) {
    ASSERT_TRUE(CreateApplicationWindow(GetModuleHandleW(nullptr), kTitle));
    for (HWND w : {frmBack().Handle(), frmMain().Handle(), frmStatus().Handle(), frmCustomDlg().Handle(),
                   frmMain().Item(IDC_btnEvent), frmMain().Item(IDC_txtReadme), frmStatus().Item(IDC_GaugeStatus),
                   frmBack().Item(IDC_GradBox), ApplicationWindow()}) {
        ASSERT_NE(nullptr, w);
        wchar_t name[64] = {};
        GetClassNameW(w, name, 64);
        EXPECT_TRUE(IsWindowUnicode(w)) << "class " << win932::NarrowForDisplay(name);
    }
    EXPECT_EQ(win932::Wide(kTitle), WideText(ApplicationWindow()));
    DestroyWindow(ApplicationWindow());
}

TEST_F(UnicodeWindows, CaptionsAndControlTextsAreTheCp932TextsInUtf16) {
    TfrmMain& f = frmMain();
    f.SetCaption(kTitle);
    f.SetText(IDC_lblMessage, kTrailBytes + "\r\n" + kTitle);
    f.SetText(IDC_btnEvent, "セットアップ開始(&S)");
    frmBack().SetText(IDC_lblBackTitle1, kTrailBytes);

    EXPECT_EQ(win932::Wide(kTitle), WideText(f.Handle()));
    EXPECT_EQ(win932::Wide(kTrailBytes + "\r\n" + kTitle), WideText(f.Item(IDC_lblMessage)));
    EXPECT_EQ(L"セットアップ開始(&S)", WideText(f.Item(IDC_btnEvent)));
    EXPECT_EQ(win932::Wide(kTrailBytes), WideText(frmBack().Item(IDC_lblBackTitle1)));
    // And back as the same bytes: the step button's caption is the wizard's state.
    EXPECT_EQ(kTitle, f.Caption());
    EXPECT_EQ(kTrailBytes + "\r\n" + kTitle, f.GetText(IDC_lblMessage));
    EXPECT_EQ("セットアップ開始(&S)", f.GetText(IDC_btnEvent));

    // A text a person typed in UTF-16 reads as its CP932 bytes.
    SetWindowTextW(f.Item(IDC_txtFolder), L"C:\\表示ソフト\\");
    EXPECT_EQ("C:\\表示ソフト\\", f.GetText(IDC_txtFolder));
}

TEST_F(UnicodeWindows, TextIsMeasuredAsTheCharactersItShows) {
    // The banner is sized from this measure. Half-width kana read through
    // another code page become Latin letters of other widths in the
    // dialog's font.
    TfrmMain& f = frmMain();
    const std::string text = "ｾｯﾄｱｯﾌﾟ表示";
    f.SetText(IDC_lblMessage, text);
    const SIZE measured = f.MeasureText(IDC_lblMessage);

    HWND label = f.Item(IDC_lblMessage);
    WindowDC dc(label);
    ASSERT_TRUE(dc);
    HGDIOBJ old = SelectObject(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE expected{};
    const std::wstring wide = win932::Wide(text);
    GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &expected);
    SelectObject(dc.get(), old);
    EXPECT_GT(expected.cx, 0);
    EXPECT_EQ(expected.cx, measured.cx);
    EXPECT_EQ(expected.cy, measured.cy);
}

TEST_F(UnicodeWindows, TypedCharactersReachTheControlWhole) {
    // What a person types arrives as WM_CHAR through our message loop.
    TfrmMain& f = frmMain();
    f.SetText(IDC_txtFolder, "");
    f.Enable(IDC_txtFolder, true);
    HWND edit = f.Item(IDC_txtFolder);
    for (wchar_t c : std::wstring(L"ソ表ポ")) PostMessageW(edit, WM_CHAR, c, 1);
    ProcessMessages();
    EXPECT_EQ(L"ソ表ポ", WideText(edit));
    EXPECT_EQ("ソ表ポ", f.GetText(IDC_txtFolder));
}

TEST(UnicodeMessageBox, ARealBoxShowsTheCp932Texts) {
    SetMsgBoxResponder({});  // a real box this once
    std::wstring caption, text;
    int answer = 0;
    {
        WindowWatcher watcher(L"#32770", IDNO, [&](HWND box) {
            caption = WideText(box);
            for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                wchar_t name[16] = {};
                GetClassNameW(c, name, 16);
                if (lstrcmpiW(name, L"Static") == 0 && GetWindowTextLengthW(c) > 0) text = WideText(c);
            }
        });
        answer = MsgBox(kTrailBytes + "\r\n" + kTitle, "終了確認", MB_YESNO | MB_ICONQUESTION);
        EXPECT_TRUE(watcher.found());
    }
    InstallStrictMsgBox();
    EXPECT_EQ(IDNO, answer);
    EXPECT_EQ(L"終了確認", caption);
    EXPECT_EQ(win932::Wide(kTrailBytes + "\r\n" + kTitle), text);

    // The seam still stands in for the box, with the texts as they were.
    ScriptedMsgBox boxes;
    boxes.Expect("終了確認", kTrailBytes, MB_YESNO, IDYES);
    EXPECT_EQ(IDYES, MsgBox(kTrailBytes, "終了確認", MB_YESNO));
}

TEST(UnicodeFolderDialog, TheBrowserShowsTheTitleAndCancelsCleanly) {
    TFolderDialog dialog;
    dialog.Title = kTrailBytes;
    dialog.Folder = "unchanged";
    std::wstring shown;
    bool chosen = true;
    {
        WindowWatcher watcher(L"#32770", IDCANCEL, [&](HWND browser) {
            for (HWND c = GetWindow(browser, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                if (WideText(c) == win932::Wide(kTrailBytes)) shown = WideText(c);
        });
        chosen = dialog.Execute(nullptr);
        EXPECT_TRUE(watcher.found());
    }
    EXPECT_FALSE(chosen);
    EXPECT_EQ("unchanged", dialog.Folder);
    EXPECT_EQ(win932::Wide(kTrailBytes), shown) << "the title is not among the browser's texts";
}

TEST(AnsiWindows, On95TheWindowsStayAnsiWindowsWithTheSameBytes) {
    win932::ForceAnsiForTest ansi;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WindowClass932 probe;
    probe.name = "TAnsiProbe";
    probe.proc = ProbeProc;
    probe.instance = instance;
    ASSERT_TRUE(RegisterClass932(probe));
    HWND window = CreateWindowEx932(0, "TAnsiProbe", kTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance);
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(IsWindowUnicode(window));
    EXPECT_EQ(kTitle, GetWindowText932(window));
    ASSERT_TRUE(SetWindowText932(window, kTrailBytes));
    EXPECT_EQ(kTrailBytes, GetWindowText932(window));
    char bytes[64] = {};
    GetWindowTextA(window, bytes, sizeof bytes);
    EXPECT_EQ(kTrailBytes, bytes) << "the ANSI call sees the program's bytes unchanged";
    DestroyWindow(window);
}

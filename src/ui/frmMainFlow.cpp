// The wizard's page flow: the step button's state machine, the pre-install
// checker, the licence and readme pages, the folder page with its free-space
// caption and browser, and what happens when the wizard closes.
#include <windows.h>

#include <cstdint>

#include "app/ScriptKeys.h"
#include "app/SetupState.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/Win932.h"
#include "session/ScriptSettings.h"
#include "session/WizardText.h"
#include "sysops/FileOps.h"
#include "ui/Forms.h"
#include "ui/WizardView.h"
#include "ui/frmMain.h"
#include "ui/resource.h"

namespace {

constexpr int kEulaBoxRoom = 24;  // the memo gives way to the licence check box

// A text file's lines as the memo shows them: every line ended by CR LF.
std::string ReadLines(const std::string& path) {
    std::string bytes;
    FileHandle file(CreateFile932(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return bytes;
    char buf[8192];
    DWORD got = 0;
    while (ReadFile(file.get(), buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 16);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            text += "\r\n";
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            text += "\r\n";
        } else if (c == '\0') {
            break;  // a text file ends at its first zero byte
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace

void TfrmMain::btnEventClick() {
    SetupState& s = State();
    const std::string k = GetText(IDC_btnEvent);  // the caption carries the state
    const std::string& S = s.SetupString;
    const std::string& U = s.UnSetupString;

    // Title page.
    if (s.ShowTitlePage) {
        s.ShowTitlePage = false;
        Show(IDC_fraTitle, true);
        const std::string program = IniRead(Script::Title::kSection, Script::Title::kProgram, "", s.ScriptFile);
        SetText(IDC_lblTitleMessage, TitlePageMessage(program, S, s.OSKind));
        SetText(IDC_btnEvent, S + "続行(&C)");
        SetText(IDC_btnEnd, S + "終了(&E)");
        Enable(IDC_btnEvent, true);
        Enable(IDC_btnEnd, true);
        Focus(IDC_btnEvent);
        return;
    }

    // The package author's checker decides once whether the install may go on.
    if (!s.CheckerDone && !RunPreInstallChecker()) return;

    Enable(IDC_btnEvent, true);

    if (IsShown(IDC_fraTitle)) {
        Show(IDC_fraTitle, false);
        SetVisible(false);
        ProcessMessages();
        Sleep(1000);
        SetVisible(true);
    }

    // Licence page.
    if (s.ShowEULAPage) {
        s.ShowEULAPage = false;
        const std::string path = LicenceFile(s);
        if (!path.empty()) {
            SetText(IDC_fraReadme, "使用許諾契約書");
            SetText(IDC_btnEvent, "同意する(&A)");
            Enable(IDC_btnEvent, false);
            SetText(IDC_btnEnd, "同意しない(&N)");
            Enable(IDC_btnEnd, true);
            SetMemoWhite(true);
            SetMemoText(ReadLines(path));
            SetMemoScrollBars(IniRead(Script::EULA::kSection, Script::EULA::kScrollBars,
                                      Script::EULA::kScrollBarsDefault, s.ScriptFile));
            if (IniRead(Script::EULA::kSection, Script::EULA::kCheckBox, "", s.ScriptFile) != Script::Values::kHide) {
                Check(IDC_chkEULARead, false);
                Show(IDC_chkEULARead, true);
                const RECT r = Bounds(IDC_txtReadme);
                SetBounds(IDC_txtReadme, r.left, r.top, r.right - r.left, r.bottom - r.top - Scaled(kEulaBoxRoom));
            } else {
                Enable(IDC_btnEvent, true);
                Focus(IDC_btnEvent);
            }
            ShowPages(false, true, false);
            return;
        }
    }

    // Leaving the licence page.
    SetMemoWhite(false);
    if (IsShown(IDC_chkEULARead)) {
        const RECT r = Bounds(IDC_txtReadme);
        SetBounds(IDC_txtReadme, r.left, r.top, r.right - r.left, r.bottom - r.top + Scaled(kEulaBoxRoom));
        Show(IDC_chkEULARead, false);
    }

    // Readme page.
    if (s.ShowReadmePage) {
        s.ShowReadmePage = false;
        const bool uninstall = s.Mode == "UNSETUP";
        std::string path;
        std::string scrollBars;
        if (uninstall) {
            const std::string name =
                IniRead(Script::BeforeUnInstall::kSection, Script::BeforeUnInstall::kReadmeFile, "", s.ScriptFile);
            const std::string folder =
                IniRead(Script::SetupFolder::kSection, Script::SetupFolder::kFolder, "", s.ScriptFile);
            path = (!name.empty() && !folder.empty()) ? FileIn(AddPathDelimiter(folder, "B"), name) : name;
        } else {
            const std::string name = IniRead(Script::Readme::kSection, Script::Readme::kFile, "", s.ScriptFile);
            if (!name.empty()) path = FileIn(s.SourceFolder, name);
        }
        if (!path.empty() && FileExists(path)) {
            SetMemoText(ReadLines(path));
            if (uninstall) {
                SetText(IDC_fraReadme, U + "の前にお読みください。");
                SetText(IDC_btnEvent, U + "続行(&C)");
                SetText(IDC_btnEnd, U + "終了(&E)");
            } else {
                SetText(IDC_fraReadme, IniRead(Script::Readme::kSection, Script::Readme::kTitle, "", s.ScriptFile));
                SetText(IDC_btnEvent, S + "続行(&C)");
                SetText(IDC_btnEnd, S + "終了(&E)");
            }
            Enable(IDC_btnEvent, true);
            Enable(IDC_btnEnd, true);
            Focus(IDC_btnEvent);
            SetMemoScrollBars(IniRead(Script::Readme::kSection, Script::Readme::kScrollBars,
                                      Script::Readme::kScrollBarsDefault, s.ScriptFile));
            ShowPages(false, true, false);
            return;
        }
    }

    // Folder page; the click goes on with the old caption.
    if (s.ShowFolderPage) {
        s.ShowFolderPage = false;
        ShowPages(false, false, true);
        SetText(IDC_btnEvent, S + "開始(&S)");
        SetText(IDC_btnEnd, S + "終了(&E)");
        Enable(IDC_btnEvent, true);
        Enable(IDC_btnEnd, true);
    }

    // The mode decides as well as the caption: the two words may be equal.
    const bool uninstall = s.Mode == "UNSETUP";
    if ((uninstall && k == U + "開始(&S)") || (!uninstall && k == S + "開始(&S)")) {
        StartRun();
    } else if (runWaiting_ && (k == S + "完了(&E)" || k == U + "完了(&E)" || k == "続行(&C)")) {
        // Only while a run waits: with an empty word, S + "続行(&C)" is the
        // bare "続行(&C)" too, and the title page must still lead on.
        Enable(IDC_btnEvent, false);
    } else if (!uninstall && k == S + "続行(&C)") {
        ShowPages(false, false, true);
        SetText(IDC_btnEvent, S + "開始(&S)");
    } else if (uninstall && k == U + "続行(&C)") {
        ShowPages(false, false, true);
        SetText(IDC_btnEvent, U + "開始(&S)");
    }
}

bool TfrmMain::RunPreInstallChecker() {
    const std::string checker = session_.Checker();
    if (checker.empty()) return true;

    Enable(IDC_btnEvent, false);
    Enable(IDC_btnEnd, false);
    const CheckerVerdict verdict = session_.RunChecker(checker, [this] {
        Enable(IDC_btnEnd, true);
        SetForegroundWindow(Handle());
        State().CheckerDone = true;
    });

    if (!verdict.allows) {
        Focus(IDC_btnEnd);
        return false;
    }
    if (!verdict.message.empty()) MsgBox(verdict.message, "情報", MB_OK | MB_ICONINFORMATION);
    return true;
}

void TfrmMain::StartRun() {
    TWizardView wizard;
    SetWizardExitCode(session_.Run(wizard, "利用者"));
}

void TfrmMain::SetDetailsText(const std::string& text) {
    SetMemoWhite(false);
    SetMemoText(text);
    SetMemoScrollBars(Script::Values::kVertical);
}

void TfrmMain::txtFolderChange() {
    const std::string drive = DrivePart(GetText(IDC_txtFolder));
    FreeSpaceState state = FreeSpaceState::NoDrive;
    long long bytes = -1;
    // An empty drive part is the current drive, as the system reads "\".
    if (FolderExists(drive)) {
        state = (DiskFreeBytesEx(drive, bytes) || DiskFreeBytes(drive, bytes)) ? FreeSpaceState::Known
                                                                                 : FreeSpaceState::QueryFailed;
    }
    SetText(IDC_grpSetupFolder, FreeSpaceCaption(state, bytes));
}

void TfrmMain::btnReferClick() {
    dlgFolder.Title = "セットアップフォルダを選択してください．";
    if (dlgFolder.Execute(Handle())) SetText(IDC_txtFolder, AddPathDelimiter(dlgFolder.Folder, "B"));
}

void TfrmMain::FormClose() {
    ProcessMessages();
    // The runs hide the wizard when they end: the shell hears of what changed.
    session_.End(!Visible());
}

void TfrmMain::SetMemoText(const std::string& text) {
    // Readme files may be longer than an edit control takes by default.
    SendMessage932(Item(IDC_txtReadme), EM_SETLIMITTEXT, 0, 0);
    SetText(IDC_txtReadme, text);
}

void TfrmMain::SetMemoWhite(bool white) {
    memoWhite_ = white;
    InvalidateRect(Item(IDC_txtReadme), nullptr, TRUE);
}

void TfrmMain::SetMemoScrollBars(const std::string& value) {
    DWORD bars;
    if (value == Script::Values::kVertical) bars = WS_VSCROLL;
    else if (value == Script::Values::kHorizontal) bars = WS_HSCROLL | ES_AUTOHSCROLL;
    else if (value == Script::Values::kBoth) bars = WS_VSCROLL | WS_HSCROLL | ES_AUTOHSCROLL;
    else return;  // any other value keeps the memo as it is

    // An edit control takes its wrapping from its creation style, so the
    // memo is made anew with the same place, font, text and visibility.
    HWND old = Item(IDC_txtReadme);
    if (!old) return;
    const DWORD style = static_cast<DWORD>(GetWindowLongPtr932(old, GWL_STYLE));
    const DWORD wanted = (style & ~(WS_VSCROLL | WS_HSCROLL | ES_AUTOHSCROLL)) | bars;
    if (wanted == style) return;
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtr932(old, GWL_EXSTYLE));
    const RECT r = Bounds(IDC_txtReadme);
    const std::string text = GetText(IDC_txtReadme);
    HFONT font = reinterpret_cast<HFONT>(SendMessage932(old, WM_GETFONT, 0, 0));
    HWND memo = CreateWindowEx932(exStyle, "EDIT", "", wanted, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                  Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_txtReadme)),
                                  reinterpret_cast<HINSTANCE>(GetWindowLongPtr932(Handle(), GWLP_HINSTANCE)));
    if (!memo) return;
    SetWindowPos(memo, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    DestroyWindow(old);
    SendMessage932(memo, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessage932(memo, EM_SETLIMITTEXT, 0, 0);
    SetWindowText932(memo, text);
}

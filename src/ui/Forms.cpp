#include "ui/Forms.h"

#include "app/RunOutcome.h"
#include "platform/Win932.h"

#include "ui/frmBack.h"
#include "ui/frmCustomDlg.h"
#include "ui/frmMain.h"
#include "ui/frmStatus.h"
#include "ui/resource.h"

namespace {
TfrmBack gBack;
TfrmMain gMain;
TfrmStatus gStatus;
TfrmCustomDlg gCustomDlg;
}  // namespace

TfrmBack& frmBack() { return gBack; }
TfrmMain& frmMain() { return gMain; }
TfrmStatus& frmStatus() { return gStatus; }
TfrmCustomDlg& frmCustomDlg() { return gCustomDlg; }

bool CreateForms(HINSTANCE instance) {
    if (!RegisterFormClasses(instance)) return false;
    if (!gBack.Create(instance, IDD_FRMBACK, nullptr)) return false;
    // The others belong to the background window: they stay above it and
    // end with it.
    HWND owner = gBack.Handle();
    return gMain.Create(instance, IDD_FRMMAIN, owner) && gStatus.Create(instance, IDD_FRMSTATUS, owner) &&
           gCustomDlg.Create(instance, IDD_FRMCUSTOMDLG, owner);
}

void DestroyForms() {
    gCustomDlg.Destroy();
    gStatus.Destroy();
    gMain.Destroy();
    gBack.Destroy();
}

int RunMessageLoop() {
    MSG m;
    BOOL got;
    while ((got = GetMessage932(m)) != 0 && got != -1) {
        if (FormDialogKeys(m)) continue;
        TranslateMessage(&m);
        DispatchMessage932(m);
    }
    return got == 0 ? static_cast<int>(m.wParam) : 0;
}

namespace {

int wizardExitCode = ExitCode::kStoppedUnchanged;

}  // namespace

void SetWizardExitCode(int code) { wizardExitCode = code; }

int WizardExitCode() { return wizardExitCode; }

// Program entry: one instance at a time, COM for the shell objects, the four
// windows, the message loop. Everything else starts from the windows.
#include "app/Handles.h"
#include "app/Startup.h"
#include "app/uUtils.h"
#include "ui/Form.h"
#include "ui/Forms.h"
#include "ui/frmBack.h"
#include "ui/frmCustomDlg.h"
#include "ui/frmMain.h"
#include "ui/frmStatus.h"

#include <windows.h>

namespace {

// Everything the program holds lives in here and is released on the way out,
// the instance mutex included, except the windows (see the end).
int RunProgram(HINSTANCE instance) {
    // A second instance leaves at once and shows nothing.
    if (KernelObject other(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "RAVSETUP")); other) {
        PostQuitMessage(0);
        return 0;
    }
    KernelObject mutex(CreateMutexA(nullptr, FALSE, "RAVSETUP"));
    // Two programs started at the same moment both pass the first test; the
    // creation tells the later one.
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    ComApartment com;
    // The taskbar shows the application title, not a window's caption; the
    // program runs on without that button when it cannot be made.
    CreateApplicationWindow(instance, kProductName);
    if (!CreateForms(instance)) {
        DestroyForms();
        return 1;
    }
    SetOwnerWindow(frmMain().Handle());
    // Showing the background window starts the wizard (its first resize).
    ShowWindow(frmBack().Handle(), SW_SHOWNORMAL);
    const int code = RunMessageLoop();
    SetOwnerWindow(nullptr);
    // The windows stay standing: the end of the process right after takes
    // them all down at once, where destroying them one by one would hide each
    // in turn (seconds under a window system that waits for its window
    // manager, with the program still turning a new start away).
    for (TForm* form : {static_cast<TForm*>(&frmCustomDlg()), static_cast<TForm*>(&frmStatus()),
                        static_cast<TForm*>(&frmMain()), static_cast<TForm*>(&frmBack())})
        form->Abandon();
    return code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunProgram(instance); }

// Program entry: one instance at a time, COM for the shell objects, the four
// windows, the message loop. Everything else starts from the windows.
#include "app/Handles.h"
#include "app/uUtils.h"
#include "ui/Forms.h"
#include "ui/frmBack.h"
#include "ui/frmMain.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
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
    if (!CreateForms(instance)) {
        DestroyForms();
        return 1;
    }
    SetOwnerWindow(frmMain().Handle());
    // Showing the background window starts the wizard (its first resize).
    ShowWindow(frmBack().Handle(), SW_SHOWNORMAL);
    int code = RunMessageLoop();
    SetOwnerWindow(nullptr);
    DestroyForms();
    return code;
}

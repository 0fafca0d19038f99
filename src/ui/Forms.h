#pragma once
// The program's four windows, created once at start in the order background,
// wizard, progress, dialog, and living until the process ends.
#include <windows.h>

class TfrmBack;
class TfrmMain;
class TfrmStatus;
class TfrmCustomDlg;

TfrmBack& frmBack();
TfrmMain& frmMain();
TfrmStatus& frmStatus();
TfrmCustomDlg& frmCustomDlg();

// Registers the classes and creates the four windows (hidden) in order.
// False when any of them could not be created.
bool CreateForms(HINSTANCE instance);
// Destroys the windows again (tests create and destroy them per test).
void DestroyForms();

// The program's message loop; returns the quit code.
int RunMessageLoop();

// The program's exit code at the wizard's end, the code /S gives for the same
// outcome: "stopped before any change" until start-up, a run or an
// unexpected error says more.
void SetWizardExitCode(int code);
int WizardExitCode();

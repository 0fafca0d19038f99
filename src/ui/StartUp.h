#pragma once
// Start-up of the wizard window: run from TfrmMain::FormActivate while the
// caption of btnEvent is still empty. It fills SetupState, prepares the
// controls and ends at the first page, in the fatal state (only the end
// button works) or in a refused state. It leaves btnEvent's caption non-empty
// on every path, so it never runs twice.
#include <string>

class TfrmMain;

void StartUp(TfrmMain& form, const std::string& firstArgument);

#pragma once
// Start-up of the wizard window: run from TfrmMain::FormActivate while the
// caption of btnEvent is still empty. The session starts (Session::Start)
// and this lays its result out on the controls, ending at the first page, in
// the fatal state (only the end button works) or in a refused state. It
// leaves btnEvent's caption non-empty on every path, so it never runs twice.
#include <string>

class Session;
class TfrmMain;

void StartUp(TfrmMain& form, Session& session, const std::string& firstArgument);

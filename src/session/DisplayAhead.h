#pragma once
// Whether an unattended run will start COM, which brings up the display: a
// shortcut to make or a library to register (an install), a library to
// unregister or a program to start first (an uninstall). Read from the
// script or the record as the command line names it, before start-up copies
// it, so that the display can come up beside the start. A guess that only
// decides when that cost is paid, never what the run does.
#include <string>

bool RunMayStartCom(const std::string& programPath, const std::string& firstArgument);

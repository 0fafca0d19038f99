#pragma once
// SETUP.EXE /PREVIEW and UNRAVEL.EXE "...\UNSETUP.INI" /PREVIEW: the run /S
// would make, with the same answers, against the dry stand-in of the
// system's door, so that nothing changes. Every change goes to the standard
// output and the /LOG file in order, one line each; then, for an install,
// the text of the record it would write; then the exit code the run would
// have given, which is also the preview's own.
struct LaunchCommand;

int RunPreviewSession(const LaunchCommand& command);

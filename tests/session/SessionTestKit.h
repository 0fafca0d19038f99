#pragma once
// What the session's tests share.
#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "app/SetupState.h"

// A state whose script is the file SETUP.INI of the scratch folder, with
// the words' defaults and a Windows folder of its own in the scratch folder.
inline SetupState ScriptState(const ScratchFolder& scratch, const std::string& script,
                              const std::string& mode = "SETUP") {
    scratch.Write("SETUP.INI", script);
    SetupState state;
    state.Mode = mode;
    state.ScriptFile = scratch / "SETUP.INI";
    state.WindowsFolder = scratch / "win\\";
    state.ProgramFilesFolder = "C:\\Program Files\\";
    state.DesktopFolder = "C:\\Users\\me\\Desktop\\";
    state.InstallFolder = "(App)";
    state.SetupString = "インストール";
    state.UnSetupString = "アンインストール";
    CreateDirectoryA(state.WindowsFolder.c_str(), nullptr);
    return state;
}

#pragma once
// The settings a start reads from the script copy once it is there: the two
// words, pacing and titles, the banner, the default install folder, the
// option lock, the folder page's message and the uninstall option page.
#include <string>

struct SetupState;

// SetupString / UnSetupString from the script, with their defaults.
void ReadWords(SetupState& state);

// [Title] CopyRight1 + "\r\n" + CopyRight2, or the built-in banner.
std::string BannerText(const std::string& scriptFile);

// Pause from an [Extend] SetupSpeed text: a decimal integer (optional sign),
// at least 1. Anything else (empty, "abc", "12ms", out of range) gives the
// default 350, so a faulty script still leaves a usable wizard.
long SetupSpeedFrom(const std::string& text);

// SetupSpeed, SetupTitle and UnSetupTitle from the script.
void ReadPacingAndTitles(SetupState& state);

// The default install folder, path macros expanded, ending in "\". Install
// mode: [DefaultFolder] Folder, the program-ID list, ReferRegistry,
// ReferIniFile (also sets ProgramID); uninstall mode: [SetupFolder] Folder.
std::string DefaultInstallFolder(SetupState& state);

// False only when [Extend] Enabled is exactly "False".
bool OptionsChangeable(const std::string& scriptFile);

// The top message of the folder page for the state's mode.
std::string TopMessage(const SetupState& state);

// The four option boxes of the uninstall page, from the record.
struct UninstallOptions {
    bool deleteAll = false;
    std::string caption[4];
    bool checked[4] = {};
    bool enabled[4] = {};
    bool visible[4] = {};
    std::string info;  // text of lblUnSetupInfo
};
UninstallOptions UninstallOptionsFrom(const std::string& checkBox, const std::string& caption3,
                                      const std::string& caption4, const std::string& unSetupString);
// The options as the record's [UnSetupOption] gives them; the CheckBox flags
// are also kept in the state (UnSetupOption) for the run.
UninstallOptions ReadUninstallOptions(SetupState& state);

// A file the script names relative to a folder, with or without a leading
// "\" ("\CHECK\A.EXE", "README.TXT").
std::string FileIn(const std::string& folder, const std::string& name);

// The licence file ([EULA] File beside the program); empty when none is
// named or it is not there.
std::string LicenceFile(const SetupState& state);

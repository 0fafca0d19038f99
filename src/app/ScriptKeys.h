#pragma once
// Every section and key the program reads from the setup script, the
// uninstall record and its other INI files, with the defaults, in one place.
// Section and key names are matched by the system without regard to case;
// keyword values (Values below) are compared exactly.
#include <string>

namespace Script {

// The setup script beside the program (and its copy in the working folder).
inline constexpr const char* kFileName = "SETUP.INI";

// Numbered list keys: "File" + 3 -> "File3".
inline std::string NumberedKey(const char* prefix, int number) { return prefix + std::to_string(number); }

// Keyword values stored or expected exactly, with case.
namespace Values {
inline constexpr const char* kFalse = "False";
inline constexpr const char* kHide = "Hide";
inline constexpr const char* kDeleteAll = "DeleteAll";
inline constexpr const char* kVertical = "ssVertical";
inline constexpr const char* kHorizontal = "ssHorizontal";
inline constexpr const char* kBoth = "ssBoth";
inline constexpr const char* kContinueInstall = "ContinueInstall";
inline constexpr const char* kNoData = "NoData";
inline constexpr const char* kIDCheck = "IDCheck";       // "IDCheck:" + program ID
inline constexpr const char* kSetupOnly = "Setup Only.";  // marker inside [Title] UnSetup
}  // namespace Values

namespace Extend {
inline constexpr const char* kSection = "Extend";
inline constexpr const char* kSetupString = "SetupString";
inline constexpr const char* kSetupStringDefault = "インストール";
inline constexpr const char* kUnSetupString = "UnSetupString";
inline constexpr const char* kUnSetupStringDefault = "アンインストール";
inline constexpr const char* kSetupSpeed = "SetupSpeed";
inline constexpr const char* kSetupSpeedDefault = "350";
inline constexpr const char* kEnabled = "Enabled";
inline constexpr const char* kRejectOS = "RejectOS";
inline constexpr const char* kInstallChecker = "InstallChecker";
inline constexpr const char* kUnSetupOption = "UnSetupOption";
inline constexpr const char* kUnSetupCheckBox3 = "UnSetupCheckBox3";
inline constexpr const char* kUnSetupCheckBox4 = "UnSetupCheckBox4";
}  // namespace Extend

namespace Title {
inline constexpr const char* kSection = "Title";
inline constexpr const char* kCopyRight1 = "CopyRight1";
inline constexpr const char* kCopyRight2 = "CopyRight2";
inline constexpr const char* kSetup = "Setup";
inline constexpr const char* kSetupDefault = "Ravelin Setup";
inline constexpr const char* kUnSetup = "UnSetup";              // default: the value of Setup
inline constexpr const char* kProgram = "Program";
inline constexpr const char* kUnSetupKey = "UnSetupKey";        // default: the value of UnSetup
inline constexpr const char* kUnSetupDisplay = "UnSetupDisplay";  // default: the value of UnSetupKey
}  // namespace Title

namespace DefaultFolder {
inline constexpr const char* kSection = "DefaultFolder";
inline constexpr const char* kFolder = "Folder";
inline constexpr const char* kFolderDefault = "(Prg)\\";
inline constexpr const char* kReferRegistry = "ReferRegistry";  // key,value name
inline constexpr const char* kReferIniFile = "ReferIniFile";    // section,key,file
}  // namespace DefaultFolder

namespace ProgramID {
inline constexpr const char* kSection = "ProgramID";
inline constexpr const char* kID = "ID";
}  // namespace ProgramID

namespace TopMessage {
inline constexpr const char* kSection = "TopMessage";
inline constexpr const char* kMessagePrefix = "Message";  // Message1 to Message5
inline constexpr int kMessageCount = 5;
}  // namespace TopMessage

namespace Caution {
inline constexpr const char* kSection = "Caution";
inline constexpr const char* kUnInstallCheckEx = "UnInstallCheckEx";
inline constexpr const char* kUnInstallCheck = "UnInstallCheck";
inline constexpr const char* kCheckDefault = Values::kNoData;
}  // namespace Caution

namespace EULA {
inline constexpr const char* kSection = "EULA";
inline constexpr const char* kFile = "File";
inline constexpr const char* kScrollBars = "ScrollBars";
inline constexpr const char* kScrollBarsDefault = Values::kVertical;
inline constexpr const char* kCheckBox = "CheckBox";
}  // namespace EULA

namespace Readme {
inline constexpr const char* kSection = "Readme";
inline constexpr const char* kFile = "File";
inline constexpr const char* kTitle = "Title";
inline constexpr const char* kScrollBars = "ScrollBars";
inline constexpr const char* kScrollBarsDefault = Values::kVertical;
}  // namespace Readme

namespace SetupFolder {
inline constexpr const char* kSection = "SetupFolder";
inline constexpr const char* kFolder = "Folder";
}  // namespace SetupFolder

namespace BeforeUnInstall {
inline constexpr const char* kSection = "BeforeUnInstall";
inline constexpr const char* kReadmeFile = "ReadmeFile";
inline constexpr const char* kFile = "File";
}  // namespace BeforeUnInstall

namespace UnSetupOption {
inline constexpr const char* kSection = "UnSetupOption";
inline constexpr const char* kCheckBox = "CheckBox";
inline constexpr const char* kCheckBoxDefault = "0,0,0,0";
inline constexpr const char* kCheckBox3 = "CheckBox3";
inline constexpr const char* kCheckBox4 = "CheckBox4";
}  // namespace UnSetupOption

// Engine sections: numbered keys read until the first empty value, unless
// a fixed count is given.
namespace MakeFolder {
inline constexpr const char* kSection = "MakeFolder";
inline constexpr const char* kFolderPrefix = "Folder";
}  // namespace MakeFolder

// (CopyFile and DeleteFile are Win32 macros, hence the plural names.)
namespace CopyFiles {
inline constexpr const char* kSection = "CopyFile";
inline constexpr const char* kFilePrefix = "File";
}  // namespace CopyFiles

namespace ShortCut {
inline constexpr const char* kSection = "ShortCut";
inline constexpr const char* kMakePrefix = "Make";  // the list ends at the first empty Make
inline constexpr const char* kNamePrefix = "Name";
inline constexpr const char* kNameDefault = "Default";  // as the engine reads Name<n>
}  // namespace ShortCut

namespace Registry {
inline constexpr const char* kSection = "Registry";
inline constexpr const char* kKeyPrefix = "Key";  // the list ends at the first empty Key
inline constexpr const char* kNamePrefix = "Name";
inline constexpr const char* kValuePrefix = "Value";
}  // namespace Registry

namespace IniFile {
inline constexpr const char* kSection = "IniFile";
inline constexpr const char* kDataPrefix = "Data";
}  // namespace IniFile

namespace Relate {
inline constexpr const char* kSection = "Relate";
inline constexpr const char* kNamePrefix = "Name";
inline constexpr const char* kFilePrefix = "File";
inline constexpr int kCount = 20;  // all 20 numbers are read; empty ones are skipped
}  // namespace Relate

namespace DeleteRegistry {
inline constexpr const char* kSection = "DeleteRegistry";
inline constexpr const char* kKeyPrefix = "Key";
}  // namespace DeleteRegistry

namespace AddDeleteFile {
inline constexpr const char* kSection = "AddDeleteFile";
inline constexpr const char* kFilePrefix = "File";
}  // namespace AddDeleteFile

namespace Support {
inline constexpr const char* kSection = "Support";
inline constexpr const char* kPublisher = "Publisher";
inline constexpr const char* kURLInfoAbout = "URLInfoAbout";
inline constexpr const char* kDisplayVersion = "DisplayVersion";
inline constexpr const char* kContact = "Contact";
inline constexpr const char* kHelpLink = "HelpLink";
inline constexpr const char* kHelpTelephone = "HelpTelephone";
inline constexpr const char* kReadme = "Readme";
inline constexpr const char* kURLUpdateInfo = "URLUpdateInfo";
inline constexpr const char* kComments = "Comments";
}  // namespace Support

namespace ExecuteFile {
inline constexpr const char* kSection = "ExecuteFile";
inline constexpr const char* kFile = "File";
}  // namespace ExecuteFile

// The uninstall record's own opening section: a warning to anyone who opens
// the file, read by nobody.
namespace Information {
inline constexpr const char* kSection = "Information";
inline constexpr const char* kMessagePrefix = "Message";  // Message1 to Message4
}  // namespace Information

// Sections of a previous uninstall record that the install run merges.
namespace RestoreRelate {
inline constexpr const char* kSection = "RestoreRelate";
inline constexpr const char* kKeyPrefix = "Key";
inline constexpr int kCount = 20;
}  // namespace RestoreRelate

namespace DeleteFolder {
inline constexpr const char* kSection = "DeleteFolder";
inline constexpr const char* kFolderPrefix = "Folder";
}  // namespace DeleteFolder

namespace DeleteFiles {
inline constexpr const char* kSection = "DeleteFile";
inline constexpr const char* kFilePrefix = "File";
}  // namespace DeleteFiles

namespace DeleteShortCut {
inline constexpr const char* kSection = "DeleteShortCut";
inline constexpr const char* kFilePrefix = "File";
}  // namespace DeleteShortCut

namespace UnSetupRegistryKey {
inline constexpr const char* kSection = "UnSetupRegistryKey";
inline constexpr const char* kKey = "Key";
}  // namespace UnSetupRegistryKey

// The pre-install checker's result file.
namespace CheckResult {
inline constexpr const char* kFileName = "RVRESULT.INI";
inline constexpr const char* kSection = "CheckResult";
inline constexpr const char* kResult = "Result";
inline constexpr const char* kMessage = "Message";
}  // namespace CheckResult

// The program-ID list in the Windows folder: one section per program ID.
namespace ProgramIDList {
inline constexpr const char* kFileName = "RVSET98.INI";
inline constexpr const char* kFolder = "Folder";
}  // namespace ProgramIDList

}  // namespace Script

// The program's own name: the title of a script that names none.
inline constexpr const char* kProductName = Script::Title::kSetupDefault;

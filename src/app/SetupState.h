#pragma once
// The one process-wide state record: filled by start-up, updated by the
// wizard and the runs. Texts are CP932 byte strings; every folder ends in "\".
#include <memory>
#include <string>

class OpenedFile;
class Payload;

struct SetupState {
    // Folders (path macros).
    std::string InstallFolder;            // (App)
    std::string WindowsFolder;            // (Win)
    std::string SystemFolder;             // (Sys)
    std::string ProgramFilesFolder;       // (Prg)
    std::string SourceFolder;             // folder of the running executable
    std::string TempFolder;               // (Tmp)
    std::string BootDrive;                // (Boo)
    std::string InstallDrive;             // (Set)
    std::string SourceDrive;              // (Edr)
    std::string StartMenuFolder;          // (Smn)
    std::string ProgramsFolder;           // (Sta)
    std::string DesktopFolder;            // (Dsk)
    std::string StartupFolder;            // (Sup)
    std::string SendToFolder;             // (Sen)
    std::string DocumentsFolder;          // (Myd)
    std::string CommonStartMenuFolder;    // (C_Smn)
    std::string CommonProgramsFolder;     // (C_Sta)
    std::string CommonDesktopFolder;      // (C_Dsk)
    std::string CommonStartupFolder;      // (C_Sup)
    std::string CommonDocumentsFolder;    // (C_Myd)

    std::string WorkFolder;               // TempFolder + "RVTMP" + n + "\"
    // The program's own file, held from start-up (read sharing only) once
    // it was found to be the image that runs; the uninstaller is written
    // from it. Null before start-up, or when it could not be held.
    std::shared_ptr<OpenedFile> ProgramImage;
    // A one-file download's payload (sysops/Payload.h): its script and texts
    // are in SourceFolder, a folder in WorkFolder, from start-up on; its
    // other files once the install run has extracted them. Null otherwise.
    std::shared_ptr<Payload> OneFile;
    std::string ScriptFile;               // the script copy in WorkFolder
    std::string RecordFile;               // uninstall mode: the record the command line names
    std::string UnSetupOption;            // [UnSetupOption] CheckBox (uninstall mode)
    std::string Mode;                     // "SETUP" or "UNSETUP"
    std::string SetupString;              // install word
    std::string UnSetupString;            // uninstall word
    std::string SetupTitle;
    std::string UnSetupTitle;
    std::string StatusText;               // progress text of a run
    std::string StepResult;               // result word of the current run step
    std::string ItemText;                 // top message at start-up; current item in a run
    std::string ProgramID;
    long SetupSpeed = 350;                // pause between install steps, ms, >= 1
    long LastAnswer = 0;
    std::string OSKind;                   // "NT" or "notNT"
    std::string OSName;

    bool ShowTitlePage = false;
    bool ShowFolderPage = false;
    bool ShowEULAPage = false;
    bool ShowReadmePage = false;
    bool CheckerDone = false;
    bool RebootRequired = false;
    bool LockedFileFound = false;
};

// The process-wide instance.
SetupState& State();

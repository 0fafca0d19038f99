#pragma once
// The uninstall record UNSETUP.INI: the merge of an earlier record into the
// same install folder, the record text, and its save. Texts are CP932 bytes
// with CR LF line ends; every entry list is a text in which each entry is
// followed by "|".
#include <array>
#include <functional>
#include <string>

class RunView;

// The five lists a record is written from, in the order of their sections.
struct RecordLists {
    std::string folders;     // [DeleteFolder]   Folder<n>
    std::string files;       // [DeleteFile]     File<n>  (path[,flags])
    std::string shortcuts;   // [DeleteShortCut] File<n>
    std::string registry;    // [DeleteRegistry] Key<n>
    std::string extraFiles;  // [AddDeleteFile]  File<n>
};

// The association restore table: slot i holds extension + "," + the default
// value of ".extension" before the first installation. Filled from the front
// and never emptied.
using RestoreTable = std::array<std::string, 20>;

// True when a used slot's extension field (the text before its first ",")
// equals the extension, without regard to case. Whole fields only: "htm" is
// not recorded by a slot for "html".
bool RestoreTableHas(const RestoreTable& table, const std::string& extension);
// Puts the value into the first empty slot; false when every slot is used
// (or the value is empty, which would leave the slot empty).
bool RestoreTableAdd(RestoreTable& table, const std::string& value);

// The merge of an earlier record (installFolder + "UNSETUP.INI", copied to
// workFolder + "UNSETUPB.INI" first): its [RestoreRelate] values go into the
// table (an extension already there is dropped), and its five numbered
// sections are appended to previous. When no copy can be made, only the
// [RestoreRelate] values are taken, from the record itself. A missing or
// unreadable record adds nothing and is not reported. False, adding
// nothing, when the record is there but the bytes read are not as an
// install wrote them (Digests.h).
bool MergePreviousRecord(const std::string& installFolder, const std::string& workFolder, RecordLists& previous,
                         RestoreTable& table);

// One line for a numbered section at the end of recordText: prefix + n + "="
// + entry + CR LF with n the next free number; an empty text when an entry
// of the same path (first comma field, compared without regard to case in
// the system locale) is already in the section; with keepDuplicate, "[!!]" +
// the existing line (without its line end) instead. The section is the line
// "[" + section + "]" itself, never a value that contains that text. This is
// the walk the record's layout is defined by (quadratic over a whole record);
// the record builder gives the same bytes without walking.
std::string AddRecordEntry(const std::string& entry, const std::string& section, const std::string& prefix,
                           bool keepDuplicate, const std::string& recordText);

// Everything a record is written from.
struct RecordContent {
    std::string unSetupTitle;   // [Title] UnSetup
    std::string installFolder;  // [SetupFolder] Folder, ends with "\"
    RecordLists fresh;          // this run's entries
    RecordLists previous;       // the merged record's entries
    RestoreTable restore;
    std::string unSetupOption;  // [UnSetupOption] CheckBox, written when not empty
    std::string checkBox3;
    std::string checkBox4;
    std::string readmeFile;     // [BeforeUnInstall] ReadmeFile, written when not empty
    std::string beforeFile;     // [BeforeUnInstall] File, written when not empty
    std::string setupString;    // [Extend]
    std::string unSetupString;
    std::string registryKey;    // [UnSetupRegistryKey] Key (may be empty)
    std::string programID;      // [ProgramID] ID (may be empty)
};

// The whole record text, byte for byte as the record's layout defines it
// (this run's entries first, duplicates dropped, "/S" in a [DeleteFile]
// entry's flags carried onto an existing entry of the same path, empty
// entries skipped), ending with the line end of "ID=". Linear in the number
// of entries. progress is called with 1 to 8 as the sections are assembled.
std::string BuildRecordText(const RecordContent& content, const std::function<void(int dots)>& progress = {});

// True when the uninstall title marks a package that leaves no record.
bool IsSetupOnlyTitle(const std::string& unSetupTitle);

// How the save ended.
struct RecordSaveResult {
    bool saved = false;        // UNSETUP.INI holds the text
    std::string fallbackPath;  // the UNTMP<n>.INI that holds it instead, or empty
    unsigned long error = 0;   // the system's code when neither could be written
};

// Saves the text as installFolder + "UNSETUP.INI": written to a temporary
// file in the install folder first and put in place only when that write
// succeeded, so a failed save never loses the earlier record. When it cannot
// be put in place: the warnings through view.Ask and the first free
// UNTMP<n>.INI, which is named as created only when it was written.
// The messages name the uninstall word State().UnSetupString; the family
// (State().OSKind) chooses how the file is put in place.
RecordSaveResult SaveRecord(const std::string& installFolder, const std::string& text, RunView& view);

// What the caller tells the person (caption "警告", flags 48) and puts in the
// failure log when a save left the text in no file at all (result.error set):
// "インストールフォルダに「UNSETUP.INI」を保存できませんでした。" CR LF, the
// system's text for the code, "このままでは正常に" + uninstall word + "できません。".
std::string RecordSaveFailureText(unsigned long error, const std::string& unSetupWord);

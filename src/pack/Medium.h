#pragma once
// A setup script's medium as the install finds its files there: the
// [CopyFile] entries with their disks, sources and destinations, the files
// the wizard reads from beside the program, and the folder each disk's
// files lie in.
#include <string>
#include <vector>

#include "app/ProfileText.h"
#include "app/SetupState.h"
#include "install/ScriptEntries.h"

// Every path macro's folder as its name ("<APP>\", "<WIN>\", ...), so that
// two spellings of one place compare equal and a path shows the folder it
// starts in.
const SetupState& NamedFolders();
// A path of named folders in the one form paths are compared in: upper
// case, without a trailing "\".
std::string ComparableFolder(const std::string& path);
// True for the comparable form of a macro's own folder ("<WIN>").
bool IsNamedRoot(const std::string& comparable);
// The named folders written as their macros again, for a message.
std::string MacroForm(const std::string& named);

// One value of a numbered list, read as the program reads the list: from 1
// up to the first missing or empty value.
struct ListItem {
    int number = 0;
    size_t line = 0;
    std::string value;
};
std::vector<ListItem> ReadList(const ProfileText& script, const char* section, const char* prefix);

struct CopyItem {
    ListItem item;
    int disk = 1;     // one more at each "(Dch)"
    CopyEntry entry;  // source relative to the medium; destination in named folders
};
std::vector<CopyItem> ReadCopyItems(const ProfileText& script);

// [EULA] File, [Readme] File and [Extend] InstallChecker: read, or run, from
// beside the program, never expanded.
struct WizardFile {
    const char* section;
    const char* key;
    std::string path;  // relative to the medium
    size_t line = 0;
};
std::vector<WizardFile> ReadWizardFiles(const ProfileText& script);

// The folder the files of each disk lie in: the script's own for every disk,
// or, for a script in a folder "DISK1" beside "DISK2", ..., that disk's.
class MediumFolders {
public:
    explicit MediumFolders(const std::string& scriptFolder);
    std::string ForDisk(int disk) const;
    bool split() const { return split_; }

private:
    std::string root_;  // ends with "\"
    bool split_ = false;
};

// The DISK<n> folder of a split medium.
std::string DiskFolderName(int disk);

// True when path names folder itself or something below it, by the full
// long forms of both (".." resolved); the path need not exist.
bool IsInsideFolder(const std::string& path, const std::string& folder);

// The first name on the way from folder down to relative (relative's own
// last name included) that is a link: a directory link, a junction or a
// symbolic link, which would take the medium's files from elsewhere.
// relative up to that name; empty when the way has none.
std::string LinkOnTheWay(const std::string& folder, const std::string& relative);

// The whole file's bytes; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

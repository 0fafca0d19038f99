#pragma once
// Deletion that never passes through a link (junction, symbolic link, mount
// point): whoever may create a folder inside an install folder can point a
// link at the Windows folder, and an uninstall run with an administrator's
// rights must then delete nothing beyond it. Every check and every deletion
// goes through one handle to the name itself (FILE_FLAG_OPEN_REPARSE_POINT),
// and the folder being walked is held open without delete sharing, so it
// cannot be renamed away and replaced by a link meanwhile. On Windows
// 95/98/Me there are no links: the names are used directly there.
// Results are Win32 codes (0 = success); nothing is shown.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/SystemChanges.h"

// A name that is a link, seen from the name (the link's own attributes and
// reparse tag: a cloud placeholder or a deduplicated file is no link).
bool IsLinkName(const std::string& path);

// What a walk must know beyond its folder and patterns.
struct WalkRules {
    bool filesOnly = false;  // a match that is a folder stays (with all it holds)
    // Full paths (as folder + found name) never deleted, whatever matches.
    std::function<bool(const std::string& path)> spared;
    // Told of every link met and left in place.
    std::function<void(const std::string& path)> linkLeft;
};

// The code of a name left alone because it is a link.
constexpr unsigned long kLinkLeft = ERROR_CANT_ACCESS_FILE;

// The folders from base down to folder (both included; folder must lie in
// base), each opened as itself and held without delete sharing while the
// object lives, so that none of them can be renamed, removed or replaced by
// a link meanwhile. linked(): one of them is a link (the holding stops
// there); failed(): one could not be opened for another reason (what cannot
// be held cannot be vouched for: a refusal, as a link is). A level that is
// not there ends the holding without either: nothing below it can be
// reached. withBase false leaves base itself to a holder of its own.
class HeldFolders {
public:
    HeldFolders(const std::string& base, const std::string& folder, bool withBase = true);
    bool linked() const { return linked_; }
    // The first folder that is a link, when linked().
    const std::string& link() const { return link_; }
    bool failed() const { return error_ != 0; }
    // The folder that could not be held and the system's code, when failed().
    const std::string& unopened() const { return link_; }
    unsigned long error() const { return error_; }

private:
    std::vector<OpenedFilePtr> held_;
    bool linked_ = false;
    std::string link_;
    unsigned long error_ = 0;
};

// Deletes one file through a handle to the name itself; a read-only file
// loses the attribute first. A folder gives ERROR_FILE_NOT_FOUND, a link
// kLinkLeft (neither is touched). gone, when given, is set when the file is
// certainly gone (nobody else had it open); when it is not set, a 0 may
// still leave the name in place until another program lets the file go.
unsigned long DeleteFileItself(const std::string& path, bool* gone = nullptr);

// Deletes every match of the pattern (a bare name with "*" or "?") in the
// folder under the rules: files, and unless filesOnly folders with all they
// hold (links inside left). The folder itself, when it is a link, is not
// walked. 0, or the code of the first match that could not go.
unsigned long DeleteMatches(const std::string& folder, const std::string& pattern, const WalkRules& rules);

// Folder + the matches of each pattern as DeleteMatches does, all while the
// folder is held; then the folder itself when it has become empty (0, or
// e.g. 145 when something is left). A folder that is a link stays: kLinkLeft.
unsigned long RemoveFolderWith(const std::string& folder, const std::vector<std::string>& patterns,
                               const WalkRules& rules);

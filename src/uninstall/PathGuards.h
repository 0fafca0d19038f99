#pragma once
// What the uninstall run refuses to delete however the record reads: paths
// that are not fully qualified, patterns that are more than a bare name, and
// folders that hold the system, other programs or the user's own files.
// Decisions only; nothing here deletes or shows anything.
#include <string>
#include <vector>

// IsFullyQualified and HasWildcard: the path forms the install run checks too.
#include "sysops/PathNames.h"

struct SetupState;

// A path text of the record in the one form the run checks and uses: "/"
// read as "\", then resolved (CanonicalPath: full, ".." gone, short names
// expanded). A pattern's folder part is resolved and its name kept as
// written. Empty path: the text names no file the run may act on (not
// fully qualified, a stream name, or not resolvable). forms, when given,
// resolves a file's path through the folders it has resolved before.
struct RecordPath {
    std::string path;    // folder + name
    std::string folder;  // ends with "\"
    std::string name;
    bool pattern = false;           // "*" or "?" in the name
    bool wildcardInFolder = false;  // "*" or "?" before the name (never resolved)
};
RecordPath ReadRecordPath(const std::string& text, CanonicalPaths* forms = nullptr);

// The same file or folder: the canonical forms equal, without regard to case.
bool SamePath(const std::string& a, const std::string& b);

// A file-name pattern relative to the folder it is applied in: not empty,
// and without "\", "/", ":" or "..", so it can never reach another folder.
bool IsBareNamePattern(const std::string& pattern);

// The folders a delete-all or a wildcard must never touch, compared as
// canonical long paths (full, ".." resolved, short names expanded).
class ProtectedFolders {
public:
    // The given folders (any form; those the system cannot resolve are
    // dropped).
    explicit ProtectedFolders(const std::vector<std::string>& folders);
    // Every system folder of the state record (Windows, system, program
    // files, temporary, the menu, desktop and document folders of the user
    // and of all users) and the shell's profile, application-data, fonts
    // and further special folders of this machine.
    static ProtectedFolders ForThisMachine(const SetupState& state);

    // True when the folder is a drive or share root, on an administrative
    // share ("C$"), not fully qualified, cannot be resolved, or equals or
    // contains one of the folders.
    bool IsProtected(const std::string& folder) const;
    // The deepest of the folders that folder lies in (or equals), else its
    // drive or share root, in the spelling of folder's canonical form
    // (ending with "\"); empty when folder cannot be resolved. Below it,
    // every level is someone's to change.
    std::string NearestAbove(const std::string& folder) const;
    // The canonical form used for the comparison; ends with "\".
    static std::string Canonical(const std::string& folder);
    // True when the folder is the base or lies below it (canonical forms).
    static bool IsInside(const std::string& folder, const std::string& base);
    // IsInside for a folder already in canonical form (as ReadRecordPath
    // gives it) and the base's Canonical() form in upper case.
    static bool IsInsideCanonical(const std::string& folder, const std::string& upperBase);

private:
    std::vector<std::string> folders_;  // canonical, upper case, ending with "\"
};

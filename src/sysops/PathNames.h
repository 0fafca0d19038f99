#pragma once
// What the system makes of a path name, and the process's current folder.
// Queries only, apart from SetCurrentFolder; nothing here shows anything.
#include <string>
#include <unordered_map>
#include <vector>

// "X:\..." or "\\server\share\..."; never a relative path, a path on the
// current drive ("\x"), a drive-relative one ("C:x") or a device path
// ("\\?\", "\\.\"). The only form the uninstall acts on, so the only one
// the install may record.
bool IsFullyQualified(const std::string& path);

// The path as the file system resolves it: made absolute (relative to the
// current folder), "." and ".." resolved, every short (8.3) name of an
// existing part expanded to its long form. A trailing "\" of the input is
// kept. Parts that do not exist stay as written. Empty when the system
// cannot resolve the path at all.
std::string CanonicalPath(const std::string& path);

// CanonicalPath for many files of few folders: each folder's form is
// resolved once and kept (resolving looks up every level of a path), and a
// file's own name is looked up alone. Gives what CanonicalPath gives as long
// as no folder is made, renamed or removed while the object is used;
// Forget() starts afresh after such a change.
class CanonicalPaths {
public:
    std::string Of(const std::string& path);
    void Forget() { folders_.clear(); }

private:
    std::unordered_map<std::string, std::string> folders_;  // full form -> canonical form
};

// Makes the folder the process's current folder; true on success.
bool SetCurrentFolder(const std::string& folder);

// Names of the files and folders directly inside the folder ("." and ".."
// left out), in the order the system lists them; empty when there are none
// or the folder cannot be listed.
std::vector<std::string> FolderContents(const std::string& folder);

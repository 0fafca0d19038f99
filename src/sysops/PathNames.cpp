#include "sysops/PathNames.h"

#include "app/SystemChanges.h"

#include <windows.h>

#include <vector>

#include "app/MBUtils.h"
#include "app/uStrOp.h"
#include "platform/Handles.h"
#include "platform/Win932.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string FullPath(const std::string& path) { return GetFullPathName932(path); }

std::string LongPath(const std::string& path) { return GetLongPathName932(path); }

// Length of the root that names a drive ("C:") or a share
// ("\\server\share"); 0 for anything else.
size_t RootLength(const std::string& full) {
    if (full.size() >= 2 && full[1] == ':') return 2;
    if (full.size() < 2 || full[0] != '\\' || full[1] != '\\') return 0;
    int separators = 0;
    for (size_t i = 2; i < full.size(); ++i) {
        if (IsPathDelimiterAt(full, static_cast<int>(i + 1)) && ++separators == 2) return i;
    }
    return full.size();
}

// The long form of the longest existing leading part, the rest appended as
// written: the system expands short names only of parts that exist. The
// root itself is never looked up ("C:" alone would name drive C's current
// folder).
std::string LongForm(const std::string& full) {
    std::string head = RemovePathDelimiter(full, "B");
    // Every short name the system makes for a long one holds a "~" (a tail
    // like "~1"); a path without one is its own long form but for the case
    // of its letters, which no comparison of paths looks at. Under Wine each
    // name looked up costs a read of its folder.
    if (head.find('~') == std::string::npos) return head;
    const size_t root = RootLength(head);
    std::string tail;
    while (head.size() > root) {
        const std::string expanded = LongPath(head);
        if (!expanded.empty()) return RemovePathDelimiter(expanded, "B") + tail;
        const std::string name = ExtractFileName(head);
        const std::string parent = RemovePathDelimiter(ExtractFilePath(head), "B");
        if (name.empty() || parent.size() >= head.size()) break;
        tail = "\\" + name + tail;
        head = parent;
    }
    return head + tail;
}

}  // namespace

std::string CanonicalPath(const std::string& path) {
    if (path.empty()) return {};
    const std::string full = FullPath(path);
    if (full.empty()) return {};
    std::string result = LongForm(full);
    // A root keeps its "\" in every case ("C:" alone would mean the current
    // folder of drive C).
    const bool folderForm = full.size() && IsPathDelimiterAt(full, static_cast<int>(full.size()));
    if (folderForm || (result.size() == 2 && result[1] == ':')) result = AddPathDelimiter(result, "B");
    return result;
}

std::string CanonicalPaths::Of(const std::string& path) {
    const std::string full = path.empty() ? path : FullPath(path);
    // Nothing to look up (see LongForm).
    if (full.find('~') == std::string::npos) return CanonicalPath(path);
    size_t last = 0;
    for (size_t i = 0; i < full.size(); ++i)
        if (IsPathDelimiterAt(full, static_cast<int>(i + 1))) last = i;
    // A folder form, a root, or a name with a wildcard: resolved as a whole.
    if (full.empty() || last + 1 >= full.size() || last < RootLength(full) ||
        full.find_first_of("*?", last + 1) != std::string::npos)
        return CanonicalPath(path);
    const std::string folder = full.substr(0, last + 1), name = full.substr(last + 1);
    auto known = folders_.find(folder);
    if (known == folders_.end()) known = folders_.emplace(folder, CanonicalPath(folder)).first;
    if (known->second.empty()) return CanonicalPath(path);
    // The file's own long name, as the system's resolution finds it; a name
    // that is not there stays as written.
    std::vector<WIN32_FIND_DATAA> found;
    if (!Changes().Find(known->second + name, found) || found.empty()) return known->second + name;
    const std::string longName = found.front().cFileName;
    // A long name without a code page 932 form: the whole resolution decides.
    if (longName.find('?') != std::string::npos) return CanonicalPath(path);
    return known->second + longName;
}

bool SetCurrentFolder(const std::string& folder) { return SetCurrentDirectory932(folder) != FALSE; }

std::vector<std::string> FolderContents(const std::string& folder) {
    std::vector<std::string> names;
    std::vector<WIN32_FIND_DATAA> found;
    if (!Changes().Find(AddPathDelimiter(folder, "B") + "*", found)) return names;
    for (const WIN32_FIND_DATAA& data : found) {
        const std::string name = data.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    }
    return names;
}

bool IsFullyQualified(const std::string& path) {
    if (path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':' &&
        IsSeparator(path[2]))
        return true;
    if (path.size() < 3 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
    if (path[2] == '?' || path[2] == '.') return false;  // device and raw paths
    // "\\server\share": both names present.
    const size_t serverEnd = path.find_first_of("\\/", 2);
    if (serverEnd == std::string::npos || serverEnd == 2) return false;
    const size_t shareEnd = path.find_first_of("\\/", serverEnd + 1);
    return (shareEnd == std::string::npos ? path.size() : shareEnd) > serverEnd + 1;
}


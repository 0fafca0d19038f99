#include "sysops/NoFollow.h"

#include "app/MBUtils.h"
#include "app/SetupState.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "app/SystemChanges.h"

namespace {

bool Handles() { return State().OSKind != "notNT"; }

constexpr DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kAsItself = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;

OpenedFilePtr OpenItself(const std::string& path, DWORD access, DWORD share) {
    return Changes().Open(path, access | SYNCHRONIZE, share, OPEN_EXISTING, kAsItself);
}

// The name or the object opened under it is a link. Both are asked: Windows
// shows a link on its handle, Wine only on its name (its handles follow).
bool IsLink(const std::string& path, OpenedFile* opened) {
    if (IsLinkName(path)) return true;
    DWORD attributes = 0;
    return opened && opened->Attributes(attributes) == 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           RedirectingReparsePoint(path);
}

using Found = FolderEntry;

// Everything in the folder by its name (Windows 95/98/Me).
std::vector<Found> ListNamed(const std::string& folder) {
    std::vector<Found> found;
    std::vector<WIN32_FIND_DATAA> all;
    if (!Changes().Find(folder + "*", all)) return found;
    for (const WIN32_FIND_DATAA& data : all) {
        const std::string name = data.cFileName;
        if (name != "." && name != "..") found.push_back({name, data.dwFileAttributes});
    }
    return found;
}

unsigned long RemoveTree(const std::string& folder, const WalkRules& rules);

// One match of a walk; 0 or its code.
unsigned long DeleteFound(const std::string& folder, const Found& found, const WalkRules& rules) {
    const std::string path = folder + found.name;
    if (rules.spared && rules.spared(path)) return 0;
    if (found.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (rules.linkLeft) rules.linkLeft(path);
        return 0;
    }
    if (!(found.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const unsigned long code = DeleteFileItself(path);
        if (code == kLinkLeft && rules.linkLeft) rules.linkLeft(path);
        return code == kLinkLeft ? 0 : code;
    }
    if (rules.filesOnly) return 0;
    // Inside a folder that goes, everything goes (links still stay).
    WalkRules inside = rules;
    inside.filesOnly = false;
    const unsigned long code = RemoveTree(path + "\\", inside);
    return code == kLinkLeft ? 0 : code;
}

// held: the folder's holding handle (none on Windows 95/98/Me).
unsigned long WalkPatterns(OpenedFile* held, const std::string& folder, const std::vector<std::string>& patterns,
                           const WalkRules& rules) {
    unsigned long first = 0;
    for (const std::string& pattern : patterns) {
        if (pattern.empty()) continue;  // never the folder itself
        for (const Found& found : held ? held->List() : ListNamed(folder)) {
            if (!MatchesWildcard(pattern, found.name)) continue;
            const unsigned long code = DeleteFound(folder, found, rules);
            if (first == 0) first = code;
        }
    }
    return first;
}

unsigned long RemoveTree(const std::string& folder, const WalkRules& rules) {
    return RemoveFolderWith(folder, {"*"}, rules);
}

}  // namespace

bool IsLinkName(const std::string& path) {
    const std::string name = RemovePathDelimiter(path, "B");
    const DWORD attributes = Changes().Attributes(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           RedirectingReparsePoint(name);
}

HeldFolders::HeldFolders(const std::string& base, const std::string& folder, bool withBase) {
    std::string current = AddPathDelimiter(base, "B");
    const std::string target = AddPathDelimiter(folder, "B");
    for (bool first = true;; first = false) {
        const std::string name = RemovePathDelimiter(current, "B");
        if (!first || withBase) {
            OpenedFilePtr held;
            if (Handles()) held = OpenItself(name, FILE_READ_ATTRIBUTES, kShareAllButDelete);
            const DWORD error = held ? 0 : GetLastError();
            if (IsLink(name, held.get())) {
                linked_ = true;
                link_ = current;
                return;
            }
            if (Handles() && !held) {
                if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
                error_ = error ? error : ERROR_ACCESS_DENIED;
                link_ = current;
                return;
            }
            if (held) held_.push_back(std::move(held));
        }
        if (current.size() >= target.size()) return;
        // The next level: up to the next "\" of the target.
        size_t next = current.size();
        while (next < target.size() && !IsPathDelimiterAt(target, static_cast<int>(next + 1))) ++next;
        current = target.substr(0, next + 1);
    }
}

unsigned long DeleteFileItself(const std::string& path, bool* gone) {
    if (gone) *gone = false;
    if (!Handles()) {
        if (IsLinkName(path)) return kLinkLeft;
        SystemChanges& changes = Changes();
        const DWORD attributes = changes.Attributes(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_FILE_NOT_FOUND;
        if (attributes & FILE_ATTRIBUTE_READONLY) changes.SetAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY);
        return changes.DeleteFile(path) ? 0 : GetLastError();
    }
    constexpr DWORD kAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
    // First without any sharing: when that open succeeds nobody else has the
    // file open, so it is gone once this handle closes and needs no second
    // look (under Wine a look for a name that is not there reads the whole
    // folder). A file others have open is opened as they allow, and its
    // fate is left to the caller's look.
    OpenedFilePtr file = OpenItself(path, kAccess, 0);
    const bool alone = static_cast<bool>(file);
    if (!file) {
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION) return error;
        file = OpenItself(path, kAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        if (!file) return GetLastError();
    }
    if (IsLinkName(path)) return kLinkLeft;
    DWORD attributes = 0;
    if (const unsigned long error = file->Attributes(attributes)) return error;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return kLinkLeft;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_FILE_NOT_FOUND;
    const unsigned long code = file->MarkForDeletion();
    file.reset();
    if (gone) *gone = alone && code == 0;
    return code;
}

unsigned long DeleteMatches(const std::string& folder, const std::string& pattern, const WalkRules& rules) {
    const std::string base = AddPathDelimiter(folder, "B");
    // Held for the walk: the folder stays the one that was checked.
    OpenedFilePtr held;
    if (Handles()) {
        held = OpenItself(RemovePathDelimiter(base, "B"), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                          kShareAllButDelete);
        if (!held) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;  // nothing to match
        }
    }
    if (IsLink(base, held.get())) {
        if (rules.linkLeft) rules.linkLeft(base);
        return kLinkLeft;
    }
    return WalkPatterns(held.get(), base, {pattern}, rules);
}

unsigned long RemoveFolderWith(const std::string& folder, const std::vector<std::string>& patterns,
                               const WalkRules& rules) {
    const std::string base = AddPathDelimiter(folder, "B");
    const std::string name = RemovePathDelimiter(base, "B");
    if (!Handles()) {
        if (IsLinkName(name)) {
            if (rules.linkLeft) rules.linkLeft(base);
            return kLinkLeft;
        }
        WalkPatterns(nullptr, base, patterns, rules);
        return Changes().RemoveFolder(name) ? 0 : GetLastError();
    }
    const OpenedFilePtr held =
        OpenItself(name, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kShareAllButDelete);
    if (IsLink(name, held.get())) {
        if (rules.linkLeft) rules.linkLeft(base);
        return kLinkLeft;
    }
    if (!held) {
        // Not to be held for deletion (in use, or no right to delete it):
        // its contents may still go, through a walk that holds it as it can.
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return error;
        for (const std::string& pattern : patterns) DeleteMatches(base, pattern, rules);
        return error;
    }
    WalkPatterns(held.get(), base, patterns, rules);
    DWORD attributes = 0;
    if (held->Attributes(attributes) != 0 || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
    return held->MarkForDeletion();
}

#include "sysops/NoFollow.h"

#include "app/MBUtils.h"
#include "app/SetupState.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Win932.h"

namespace {

// ---- The native calls for setting a file's fate through its handle (NT
// family only; looked up, since they are not part of the Win32 interface).

struct IoStatus {
    LONG status;
    ULONG_PTR information;
};
struct DispositionInformation {
    BOOLEAN deleteFile;
};
struct BasicInformation {
    LARGE_INTEGER creation, lastAccess, lastWrite, change;
    ULONG attributes;
};
struct DirectoryInformation {
    ULONG nextEntryOffset, fileIndex;
    LARGE_INTEGER creation, lastAccess, lastWrite, change, endOfFile, allocation;
    ULONG attributes, nameLength;
    WCHAR name[1];
};
constexpr int kFileDirectoryInformation = 1;
constexpr int kFileBasicInformation = 4;
constexpr int kFileDispositionInformation = 13;
constexpr LONG kStatusCannotDelete = static_cast<LONG>(0xC0000121);

using SetInformationFunction = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
using QueryInformationFunction = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
using QueryDirectoryFunction = LONG(NTAPI*)(HANDLE, HANDLE, void*, void*, IoStatus*, void*, ULONG, int, BOOLEAN,
                                            void*, BOOLEAN);
using StatusToErrorFunction = ULONG(NTAPI*)(LONG);

FARPROC Native(const char* name) { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name); }

LONG SetInformation(HANDLE file, void* information, ULONG size, int kind) {
    static const auto set = reinterpret_cast<SetInformationFunction>(
        reinterpret_cast<void*>(Native("NtSetInformationFile")));
    if (!set) return static_cast<LONG>(0xC0000002);  // not implemented
    IoStatus io = {};
    return set(file, &io, information, size, kind);
}

unsigned long ErrorOf(LONG status) {
    static const auto convert = reinterpret_cast<StatusToErrorFunction>(
        reinterpret_cast<void*>(Native("RtlNtStatusToDosError")));
    if (status == 0) return 0;
    const unsigned long code = convert ? convert(status) : ERROR_GEN_FAILURE;
    return code ? code : ERROR_GEN_FAILURE;
}

bool Handles() { return State().OSKind != "notNT"; }

// The attributes of the opened object: 0, or the code. Asked through the
// native query, which reads the file's own information only
// (GetFileInformationByHandle asks the volume for its serial number too,
// which under Wine is a round trip to a driver process, for every file).
unsigned long AttributesOf(HANDLE file, DWORD& attributes) {
    static const auto query = reinterpret_cast<QueryInformationFunction>(
        reinterpret_cast<void*>(Native("NtQueryInformationFile")));
    if (query) {
        BasicInformation basic = {};
        IoStatus io = {};
        const LONG status = query(file, &io, &basic, sizeof basic, kFileBasicInformation);
        if (status != 0) return ErrorOf(status);
        attributes = basic.attributes;
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file, &info)) return GetLastError();
    attributes = info.dwFileAttributes;
    return 0;
}

constexpr DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kAsItself = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;

FileHandle OpenItself(const std::string& path, DWORD access, DWORD share) {
    return FileHandle(CreateFile932(path, access | SYNCHRONIZE, share, nullptr, OPEN_EXISTING, kAsItself, nullptr));
}

// The name or the object opened under it is a link. Both are asked: Windows
// shows a link on its handle, Wine only on its name (its handles follow).
bool IsLink(const std::string& path, HANDLE opened) {
    if (IsLinkName(path)) return true;
    DWORD attributes = 0;
    return opened && AttributesOf(opened, attributes) == 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Marks the opened name for deletion at its close; a read-only file loses
// the attribute first (through the same handle).
unsigned long MarkForDeletion(HANDLE file) {
    DispositionInformation disposition = {TRUE};
    LONG status = SetInformation(file, &disposition, sizeof disposition, kFileDispositionInformation);
    if (status == kStatusCannotDelete) {
        BasicInformation basic = {};
        basic.attributes = FILE_ATTRIBUTE_NORMAL;
        if (SetInformation(file, &basic, sizeof basic, kFileBasicInformation) == 0)
            status = SetInformation(file, &disposition, sizeof disposition, kFileDispositionInformation);
    }
    return ErrorOf(status);
}

struct Found {
    std::string name;
    DWORD attributes;
};

// Everything in the folder, listed through the handle that holds it (a
// second open to list it would need the delete sharing the holder denies).
// A name without a code page 932 form cannot be named here: left out.
std::vector<Found> ListHeld(HANDLE folder) {
    static const auto query = reinterpret_cast<QueryDirectoryFunction>(
        reinterpret_cast<void*>(Native("NtQueryDirectoryFile")));
    std::vector<Found> found;
    if (!query) return found;
    std::vector<ULONGLONG> buffer(8192);  // 64 KB, aligned for the records
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        IoStatus io = {};
        const LONG status = query(folder, nullptr, nullptr, nullptr, &io, buffer.data(),
                                  static_cast<ULONG>(buffer.size() * sizeof buffer[0]), kFileDirectoryInformation,
                                  FALSE, nullptr, restart);
        if (status != 0) return found;  // no more files, or the listing failed
        for (auto* entry = reinterpret_cast<const BYTE*>(buffer.data());;) {
            const auto* info = reinterpret_cast<const DirectoryInformation*>(entry);
            const std::wstring_view wide(info->name, info->nameLength / sizeof(WCHAR));
            std::string name;
            if (wide != L"." && wide != L".." && win932::Narrow(wide, name)) found.push_back({name, info->attributes});
            if (!info->nextEntryOffset) break;
            entry += info->nextEntryOffset;
        }
    }
}

// Everything in the folder by its name (Windows 95/98/Me).
std::vector<Found> ListNamed(const std::string& folder) {
    std::vector<Found> found;
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFile932(folder + "*", &data));
    if (!find) return found;
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..") found.push_back({name, data.dwFileAttributes});
    } while (FindNextFile932(find.get(), &data));
    return found;
}

// One character of a code page 932 text: its length in bytes.
size_t CharLength(const std::string& text, size_t at) {
    return at + 1 < text.size() && IsDBCSLeadByteEx(932, static_cast<BYTE>(text[at])) ? 2 : 1;
}

// "*" and "?" against a name, a character at a time; a mismatch goes back
// to the last "*" only, so no pattern can make the match take long.
bool Glob(const std::string& pattern, const std::string& name) {
    size_t p = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
            continue;
        }
        const size_t pl = p < pattern.size() ? CharLength(pattern, p) : 0, nl = CharLength(name, n);
        if (p < pattern.size() && (pattern[p] == '?' || (pl == nl && pattern.compare(p, pl, name, n, nl) == 0))) {
            p += pattern[p] == '?' ? 1 : pl;
            n += nl;
            continue;
        }
        if (star == std::string::npos) return false;
        p = star + 1;
        resume += CharLength(name, resume);
        n = resume;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// The long name against the pattern, as the system matches it ("*" and
// "?" one character each, no case; "x.*" also takes "x"), but never
// through the short (8.3) alias a name may have.
bool Matches(const std::string& pattern, const std::string& name) {
    const std::string p = MapString(pattern, LCMAP_UPPERCASE), n = MapString(name, LCMAP_UPPERCASE);
    if (Glob(p, n)) return true;
    return p.size() >= 2 && p.compare(p.size() - 2, 2, ".*") == 0 && n.find('.') == std::string::npos &&
           Glob(p, n + ".");
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
unsigned long WalkPatterns(HANDLE held, const std::string& folder, const std::vector<std::string>& patterns,
                           const WalkRules& rules) {
    unsigned long first = 0;
    for (const std::string& pattern : patterns) {
        if (pattern.empty()) continue;  // never the folder itself
        for (const Found& found : held ? ListHeld(held) : ListNamed(folder)) {
            if (!Matches(pattern, found.name)) continue;
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
    const DWORD attributes = GetFileAttributes932(RemovePathDelimiter(path, "B"));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

HeldFolders::HeldFolders(const std::string& base, const std::string& folder) {
    std::string current = AddPathDelimiter(base, "B");
    const std::string target = AddPathDelimiter(folder, "B");
    for (;;) {
        const std::string name = RemovePathDelimiter(current, "B");
        FileHandle held;
        if (Handles()) held = OpenItself(name, FILE_READ_ATTRIBUTES, kShareAllButDelete);
        if (IsLink(name, held ? held.get() : nullptr)) {
            linked_ = true;
            link_ = current;
            return;
        }
        if (held) held_.push_back(std::move(held));
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
        const DWORD attributes = GetFileAttributes932(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_FILE_NOT_FOUND;
        if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributes932(path, attributes & ~FILE_ATTRIBUTE_READONLY);
        return DeleteFile932(path) ? 0 : GetLastError();
    }
    constexpr DWORD kAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
    // First without any sharing: when that open succeeds nobody else has the
    // file open, so it is gone once this handle closes and needs no second
    // look (under Wine a look for a name that is not there reads the whole
    // folder). A file others have open is opened as they allow, and its
    // fate is left to the caller's look.
    FileHandle file = OpenItself(path, kAccess, 0);
    const bool alone = static_cast<bool>(file);
    if (!file) {
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION) return error;
        file = OpenItself(path, kAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        if (!file) return GetLastError();
    }
    if (IsLinkName(path)) return kLinkLeft;
    DWORD attributes = 0;
    if (const unsigned long error = AttributesOf(file.get(), attributes)) return error;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return kLinkLeft;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_FILE_NOT_FOUND;
    const unsigned long code = MarkForDeletion(file.get());
    file.reset();
    if (gone) *gone = alone && code == 0;
    return code;
}

unsigned long DeleteMatches(const std::string& folder, const std::string& pattern, const WalkRules& rules) {
    const std::string base = AddPathDelimiter(folder, "B");
    // Held for the walk: the folder stays the one that was checked.
    FileHandle held;
    if (Handles()) {
        held = OpenItself(RemovePathDelimiter(base, "B"), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                          kShareAllButDelete);
        if (!held) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;  // nothing to match
        }
    }
    if (IsLink(base, held ? held.get() : nullptr)) {
        if (rules.linkLeft) rules.linkLeft(base);
        return kLinkLeft;
    }
    return WalkPatterns(held ? held.get() : nullptr, base, {pattern}, rules);
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
        return RemoveDirectory932(name) ? 0 : GetLastError();
    }
    const FileHandle held = OpenItself(name, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kShareAllButDelete);
    if (IsLink(name, held ? held.get() : nullptr)) {
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
    if (AttributesOf(held.get(), attributes) != 0 || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
    return MarkForDeletion(held.get());
}

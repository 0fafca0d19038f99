#include "uninstall/PathGuards.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "app/MBUtils.h"
#include "app/SetupState.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Win932.h"
#include "sysops/PathNames.h"

namespace {

bool StartsWith(const std::string& text, const std::string& head) {
    return text.size() >= head.size() && text.compare(0, head.size(), head) == 0;
}

// A root of a canonical folder (ending with "\"): "C:\" or "\\server\share\".
bool IsRoot(const std::string& canonical) {
    if (canonical.size() == 3 && canonical[1] == ':') return true;
    if (!StartsWith(canonical, "\\\\")) return false;
    int separators = 0;
    for (size_t i = 2; i < canonical.size(); ++i) {
        if (IsPathDelimiterAt(canonical, static_cast<int>(i + 1))) ++separators;
    }
    return separators <= 2;
}

// "\\server\C$\...": an administrative share reaches a whole drive or the
// Windows folder of a machine, this one included ("\\localhost\C$").
bool OnAdministrativeShare(const std::string& canonical) {
    if (!StartsWith(canonical, "\\\\")) return false;
    size_t separators = 0, shareEnd = canonical.size();
    for (size_t i = 2; i < canonical.size(); ++i) {
        if (IsPathDelimiterAt(canonical, static_cast<int>(i + 1)) && ++separators == 2) {
            shareEnd = i;
            break;
        }
    }
    return shareEnd > 0 && canonical[shareEnd - 1] == '$';
}

}  // namespace

RecordPath ReadRecordPath(const std::string& text, CanonicalPaths* forms) {
    RecordPath read;
    // "/" is never part of a double-byte character in code page 932.
    std::string path = text;
    for (char& c : path)
        if (c == '/') c = '\\';
    if (!IsFullyQualified(path) || MBPos(":", StrMid(path, 3)) > 0) return read;  // "x:stream"
    // Fully qualified, and no ":" past the drive: split after the last "\".
    const std::string folder = ExtractFilePath(path);
    read.name = ExtractFileName(path);
    read.pattern = HasWildcard(read.name);
    read.wildcardInFolder = HasWildcard(folder);
    if (read.wildcardInFolder) return read;
    if (read.pattern) {
        read.folder = ProtectedFolders::Canonical(folder);
        if (!read.folder.empty()) read.path = read.folder + read.name;
        return read;
    }
    read.path = forms ? forms->Of(path) : CanonicalPath(path);
    if (!read.path.empty()) read.folder = ExtractFilePath(read.path);
    return read;
}

bool SamePath(const std::string& a, const std::string& b) {
    const std::string ca = CanonicalPath(a), cb = CanonicalPath(b);
    return !ca.empty() && Upper(ca) == Upper(cb);
}

bool IsBareNamePattern(const std::string& pattern) {
    return !pattern.empty() && MBPos("\\", pattern) == 0 && MBPos("/", pattern) == 0 && MBPos(":", pattern) == 0 &&
           MBPos("..", pattern) == 0;
}

ProtectedFolders::ProtectedFolders(const std::vector<std::string>& folders) {
    std::vector<std::string> seen;  // as given, upper case: the same text resolves the same
    // Most of them share their parent folders, each resolved once.
    CanonicalPaths forms;
    for (const std::string& folder : folders) {
        if (folder.empty() || !IsFullyQualified(folder)) continue;
        const std::string asFolder = AddPathDelimiter(folder, "B");
        const std::string given = Upper(asFolder);
        if (std::find(seen.begin(), seen.end(), given) != seen.end()) continue;
        seen.push_back(given);
        // A root is resolved whole ("C:" alone would be drive C's current folder).
        const std::string resolved = IsRoot(given) ? Canonical(folder) : forms.Of(RemovePathDelimiter(asFolder, "B"));
        if (!resolved.empty()) folders_.push_back(Upper(AddPathDelimiter(resolved, "B")));
    }
}

ProtectedFolders ProtectedFolders::ForThisMachine(const SetupState& s) {
    std::vector<std::string> folders = {
        s.WindowsFolder,         s.SystemFolder,          s.ProgramFilesFolder,   s.TempFolder,
        s.StartMenuFolder,       s.ProgramsFolder,        s.DesktopFolder,        s.StartupFolder,
        s.SendToFolder,          s.DocumentsFolder,       s.CommonStartMenuFolder, s.CommonProgramsFolder,
        s.CommonDesktopFolder,   s.CommonStartupFolder,   s.CommonDocumentsFolder,
    };
    // Folders the state record does not carry but that hold the user's or
    // every program's data.
    for (int csidl : {CSIDL_PROFILE, CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_PROGRAM_FILES,
                      CSIDL_PROGRAM_FILES_COMMON, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA,
                      CSIDL_FONTS, CSIDL_FAVORITES, CSIDL_TEMPLATES, CSIDL_COMMON_TEMPLATES, CSIDL_PERSONAL,
                      CSIDL_MYPICTURES, CSIDL_MYMUSIC, CSIDL_MYVIDEO, CSIDL_RECENT, CSIDL_NETHOOD, CSIDL_PRINTHOOD,
                      CSIDL_COOKIES, CSIDL_INTERNET_CACHE, CSIDL_HISTORY, CSIDL_ADMINTOOLS}) {
        // The path as the shell keeps it: every name is made canonical
        // below, so the item-list route (a walk of the shell's namespace,
        // a few dozen system calls a folder) is taken only where the shell
        // has no such call or gives nothing.
        std::string folder = SHGetFolderPath932(csidl);
        if (folder.empty()) folder = GetSpecialFolder(csidl);
        folders.push_back(folder);
    }
    return ProtectedFolders(folders);
}

std::string ProtectedFolders::Canonical(const std::string& folder) {
    const std::string canonical = CanonicalPath(AddPathDelimiter(folder, "B"));
    return canonical.empty() ? canonical : AddPathDelimiter(canonical, "B");
}

bool ProtectedFolders::IsInside(const std::string& folder, const std::string& base) {
    if (!IsFullyQualified(folder) || !IsFullyQualified(base)) return false;
    const std::string f = Upper(Canonical(folder)), b = Upper(Canonical(base));
    return !f.empty() && !b.empty() && StartsWith(f, b);
}

bool ProtectedFolders::IsInsideCanonical(const std::string& folder, const std::string& upperBase) {
    if (!IsFullyQualified(folder) || upperBase.empty()) return false;
    return StartsWith(Upper(AddPathDelimiter(folder, "B")), upperBase);
}

bool ProtectedFolders::IsProtected(const std::string& folder) const {
    if (!IsFullyQualified(folder)) return true;
    const std::string canonical = Upper(Canonical(folder));
    if (canonical.empty() || IsRoot(canonical) || OnAdministrativeShare(canonical)) return true;
    for (const std::string& listed : folders_) {
        if (StartsWith(listed, canonical)) return true;  // equals or contains it
    }
    return false;
}

std::string ProtectedFolders::NearestAbove(const std::string& folder) const {
    if (!IsFullyQualified(folder)) return {};
    const std::string canonical = Canonical(folder);
    if (canonical.empty()) return {};
    const std::string upper = Upper(canonical);
    size_t longest = 0;
    for (const std::string& listed : folders_)
        if (listed.size() > longest && StartsWith(upper, listed)) longest = listed.size();
    if (longest == 0) {
        // The root: "X:\", or "\\server\share\".
        size_t end = 0;
        if (canonical.rfind("\\\\", 0) == 0) {
            const size_t server = canonical.find('\\', 2);
            end = server == std::string::npos ? std::string::npos : canonical.find('\\', server + 1);
        } else {
            end = canonical.find('\\');
        }
        if (end == std::string::npos) return {};
        longest = end + 1;
    }
    return canonical.substr(0, longest);
}

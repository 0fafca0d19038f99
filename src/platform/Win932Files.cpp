// Files and folders: each call wide on the NT family, ANSI on 95/98/Me.
#include "platform/Win932.h"

#include "platform/StrictWindows.h"
#include "platform/SystemLibraries.h"
#include "platform/Win932Detail.h"

using win932::WideSystem;
using win932::Wide;

namespace win932 {

void FileFlagsFor95(DWORD& share, DWORD& flags) {
    // 95/98/Me fail the whole open on FILE_SHARE_DELETE, and know neither
    // directory handles nor reparse points. Without them the open means the
    // same there: no file of 95/98/Me can be deleted while it is open, and
    // no name on its file systems is a link.
    share &= ~static_cast<DWORD>(FILE_SHARE_DELETE);
    flags &= ~static_cast<DWORD>(FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_POSIX_SEMANTICS);
}

}  // namespace win932

HANDLE CreateFile932(const std::string& name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                     DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (!WideSystem()) win932::FileFlagsFor95(share, flags);
    if (!strict::Allows("CreateFile.share", share) || !strict::Allows("CreateFile.flags", flags))
        return INVALID_HANDLE_VALUE;
    if (WideSystem())
        return CreateFileW(Wide(name).c_str(), access, share, security, disposition, flags, templateFile);
    return CreateFileA(name.c_str(), access, share, security, disposition, flags, templateFile);
}

BOOL DeleteFile932(const std::string& name) {
    return WideSystem() ? DeleteFileW(Wide(name).c_str()) : DeleteFileA(name.c_str());
}

DWORD GetFileAttributes932(const std::string& name) {
    return WideSystem() ? GetFileAttributesW(Wide(name).c_str()) : GetFileAttributesA(name.c_str());
}

BOOL SetFileAttributes932(const std::string& name, DWORD attributes) {
    return WideSystem() ? SetFileAttributesW(Wide(name).c_str(), attributes)
                        : SetFileAttributesA(name.c_str(), attributes);
}

namespace {


// A folder named with its trailing separator is found without it; a root
// folder ("C:\", "\\server\share\") is found by no search at all.
bool RootFolder(const std::string& name) {
    if (name.size() == 3 && name[1] == ':' && (name[2] == '\\' || name[2] == '/')) return true;
    if (name.size() > 2 && name[0] == '\\' && name[1] == '\\') {
        const size_t share = name.find('\\', 2);
        const size_t end = share == std::string::npos ? std::string::npos : name.find('\\', share + 1);
        return share != std::string::npos && (end == std::string::npos || end + 1 == name.size());
    }
    return false;
}

BOOL AttributesByFind(const std::string& name, WIN32_FILE_ATTRIBUTE_DATA* data) {
    *data = WIN32_FILE_ATTRIBUTE_DATA{};
    if (name.empty() || HasWildcard(name)) {
        SetLastError(name.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME);
        return FALSE;
    }
    if (RootFolder(name)) {
        const DWORD attributes = GetFileAttributes932(name);
        if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
        data->dwFileAttributes = attributes;
        return TRUE;
    }
    std::string pattern = name;
    while (pattern.size() > 1 && (pattern.back() == '\\' || pattern.back() == '/')) pattern.pop_back();
    WIN32_FIND_DATAA found{};
    const HANDLE find = FindFirstFile932(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return FALSE;
    FindClose(find);
    // "X\" names a folder only.
    if (pattern.size() != name.size() && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    data->dwFileAttributes = found.dwFileAttributes;
    data->ftCreationTime = found.ftCreationTime;
    data->ftLastAccessTime = found.ftLastAccessTime;
    data->ftLastWriteTime = found.ftLastWriteTime;
    data->nFileSizeHigh = found.nFileSizeHigh;
    data->nFileSizeLow = found.nFileSizeLow;
    return TRUE;
}

}  // namespace

BOOL GetFileAttributesEx932(const std::string& name, WIN32_FILE_ATTRIBUTE_DATA* data) {
    // 98 and NT 4.0 on.
    static const auto wide = syslib::LoadedEntry<decltype(&::GetFileAttributesExW)>("KERNEL32.DLL", "GetFileAttributesExW");
    static const auto ansi = syslib::LoadedEntry<decltype(&::GetFileAttributesExA)>("KERNEL32.DLL", "GetFileAttributesExA");
    if (!syslib::NewerEntriesHidden()) {
        if (WideSystem() && wide) return wide(Wide(name).c_str(), GetFileExInfoStandard, data);
        if (!WideSystem() && ansi) return ansi(name.c_str(), GetFileExInfoStandard, data);
    }
    return AttributesByFind(name, data);
}

BOOL CopyFile932(const std::string& source, const std::string& target, BOOL failIfExists) {
    return WideSystem() ? CopyFileW(Wide(source).c_str(), Wide(target).c_str(), failIfExists)
                        : CopyFileA(source.c_str(), target.c_str(), failIfExists);
}

BOOL MoveFile932(const std::string& source, const std::string& target) {
    return WideSystem() ? MoveFileW(Wide(source).c_str(), Wide(target).c_str())
                        : MoveFileA(source.c_str(), target.c_str());
}

BOOL MoveFileEx932(const std::string& source, const std::string& target, DWORD flags) {
    if (!strict::Allows("MoveFileEx", flags)) return FALSE;
    if (WideSystem()) {
        const std::wstring wideTarget = Wide(target);
        return MoveFileExW(Wide(source).c_str(), target.empty() ? nullptr : wideTarget.c_str(), flags);
    }
    return MoveFileExA(source.c_str(), target.empty() ? nullptr : target.c_str(), flags);
}

BOOL CreateDirectory932(const std::string& name, SECURITY_ATTRIBUTES* security) {
    return WideSystem() ? CreateDirectoryW(Wide(name).c_str(), security) : CreateDirectoryA(name.c_str(), security);
}

BOOL RemoveDirectory932(const std::string& name) {
    return WideSystem() ? RemoveDirectoryW(Wide(name).c_str()) : RemoveDirectoryA(name.c_str());
}

BOOL SetCurrentDirectory932(const std::string& name) {
    return WideSystem() ? SetCurrentDirectoryW(Wide(name).c_str()) : SetCurrentDirectoryA(name.c_str());
}

namespace {

// Copies text with its null into a fixed field; false when it does not fit.
template <size_t N>
bool Fill(char (&field)[N], const std::string& text) {
    if (text.size() >= N) return false;
    text.copy(field, text.size());
    field[text.size()] = '\0';
    return true;
}

void FindRecordFromWide(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA* data) {
    data->dwFileAttributes = wide.dwFileAttributes;
    data->ftCreationTime = wide.ftCreationTime;
    data->ftLastAccessTime = wide.ftLastAccessTime;
    data->ftLastWriteTime = wide.ftLastWriteTime;
    data->nFileSizeHigh = wide.nFileSizeHigh;
    data->nFileSizeLow = wide.nFileSizeLow;
    data->dwReserved0 = wide.dwReserved0;
    data->dwReserved1 = wide.dwReserved1;
    std::string name, alternate;
    const bool alternateOk = win932::Narrow(wide.cAlternateFileName, alternate) && Fill(data->cAlternateFileName, alternate);
    if (!alternateOk) data->cAlternateFileName[0] = '\0';
    if (win932::Narrow(wide.cFileName, name) && Fill(data->cFileName, name)) return;
    // A name that is not ours to use: its short name, or one that matches nothing.
    if (alternateOk && data->cAlternateFileName[0]) {
        Fill(data->cFileName, alternate);
        return;
    }
    Fill(data->cFileName, std::string("?"));
}

}  // namespace

HANDLE FindFirstFile932(const std::string& pattern, WIN32_FIND_DATAA* data) {
    if (!WideSystem()) return FindFirstFileA(pattern.c_str(), data);
    WIN32_FIND_DATAW wide;
    const HANDLE find = FindFirstFileW(Wide(pattern).c_str(), &wide);
    if (find != INVALID_HANDLE_VALUE) FindRecordFromWide(wide, data);
    return find;
}

BOOL FindNextFile932(HANDLE find, WIN32_FIND_DATAA* data) {
    if (!WideSystem()) return FindNextFileA(find, data);
    WIN32_FIND_DATAW wide;
    if (!FindNextFileW(find, &wide)) return FALSE;
    FindRecordFromWide(wide, data);
    return TRUE;
}

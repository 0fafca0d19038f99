#include "platform/NativeFiles.h"

#include <algorithm>

#include "platform/Handles.h"
#include "platform/SystemLibraries.h"
#include "platform/Win932.h"

namespace native {

namespace {

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
struct StandardInformation {
    LARGE_INTEGER allocation, endOfFile;
    ULONG links;
    BOOLEAN deletePending, directory;
};
constexpr int kFileDirectoryInformation = 1;
constexpr int kFileBasicInformation = 4;
constexpr int kFileStandardInformation = 5;
constexpr int kFileDispositionInformation = 13;
constexpr LONG kStatusCannotDelete = static_cast<LONG>(0xC0000121);
constexpr LONG kStatusNotImplemented = static_cast<LONG>(0xC0000002);

using SetInformationFunction = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
using QueryInformationFunction = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
using QueryDirectoryFunction = LONG(NTAPI*)(HANDLE, HANDLE, void*, void*, IoStatus*, void*, ULONG, int, BOOLEAN,
                                            void*, BOOLEAN);
using StatusToErrorFunction = ULONG(NTAPI*)(LONG);
using DeleteKeyFunction = LONG(NTAPI*)(HANDLE);

// Through the loaded-library lookup, so that the strict test build hides
// what an old Windows lacks.
template <typename Function>
Function Native(const char* name) {
    return syslib::LoadedEntry<Function>("NTDLL.DLL", name);
}

LONG SetInformation(HANDLE file, void* information, ULONG size, int kind) {
    static const auto set = Native<SetInformationFunction>("NtSetInformationFile");
    if (!set) return kStatusNotImplemented;
    IoStatus io = {};
    return set(file, &io, information, size, kind);
}

unsigned long ErrorOf(LONG status) {
    static const auto convert = Native<StatusToErrorFunction>("RtlNtStatusToDosError");
    if (status == 0) return 0;
    const unsigned long code = convert ? convert(status) : ERROR_GEN_FAILURE;
    return code ? code : ERROR_GEN_FAILURE;
}

std::vector<std::wstring> SubkeyNames(HKEY key) {
    std::vector<std::wstring> names;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    std::vector<wchar_t> name(std::max<DWORD>(longest, 255) + 1);
    DWORD index = 0;
    for (;;) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG result = RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA && name.size() < 65536) {
            name.resize(name.size() * 2);  // the same index again, with room
            continue;
        }
        if (result != ERROR_SUCCESS) break;  // the end, or a key that cannot be listed further
        names.emplace_back(name.data(), length);
        ++index;
    }
    return names;
}

bool IsLinkKey(HKEY key) {
    DWORD type = REG_NONE;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// A link key itself can be deleted only through a handle to it: by name the
// system would delete the key it points at.
bool DeleteLinkItself(HKEY link) {
    static const auto deleteKey = Native<DeleteKeyFunction>("NtDeleteKey");
    return deleteKey && deleteKey(link) == 0;
}

}  // namespace

// Asked through the native query, which reads the file's own information
// only (GetFileInformationByHandle asks the volume for its serial number
// too, which under Wine is a round trip to a driver process, for every file).
unsigned long Attributes(HANDLE file, DWORD& attributes) {
    static const auto query = Native<QueryInformationFunction>("NtQueryInformationFile");
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

unsigned long Links(HANDLE file, DWORD& links) {
    static const auto query = Native<QueryInformationFunction>("NtQueryInformationFile");
    if (query) {
        StandardInformation standard = {};
        IoStatus io = {};
        const LONG status = query(file, &io, &standard, sizeof standard, kFileStandardInformation);
        if (status != 0) return ErrorOf(status);
        links = standard.links;
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file, &info)) return GetLastError();
    links = info.nNumberOfLinks ? info.nNumberOfLinks : 1;
    return 0;
}

unsigned long SetAttributes(HANDLE file, DWORD attributes) {
    BasicInformation basic = {};  // times of 0 stay as they are
    basic.attributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return ErrorOf(SetInformation(file, &basic, sizeof basic, kFileBasicInformation));
}

unsigned long MarkForDeletion(HANDLE file) {
    DispositionInformation disposition = {TRUE};
    LONG status = SetInformation(file, &disposition, sizeof disposition, kFileDispositionInformation);
    if (status == kStatusCannotDelete) {
        // The read-only attribute belongs to the file, not to this name: one
        // with other names (a hard link to someone's file) keeps it.
        DWORD links = 0;
        if (Links(file, links) != 0 || links != 1) return ERROR_ACCESS_DENIED;
        BasicInformation basic = {};
        basic.attributes = FILE_ATTRIBUTE_NORMAL;
        if (SetInformation(file, &basic, sizeof basic, kFileBasicInformation) == 0)
            status = SetInformation(file, &disposition, sizeof disposition, kFileDispositionInformation);
    }
    return ErrorOf(status);
}

// Listed through the handle that holds the folder (a second open to list it
// would need the delete sharing the holder denies).
std::vector<HeldEntry> List(HANDLE folder) {
    static const auto query = Native<QueryDirectoryFunction>("NtQueryDirectoryFile");
    std::vector<HeldEntry> found;
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

void DeleteKeyTree(HKEY parent, const std::wstring& name) {
    RegKey key;
    if (RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE,
                      key.put()) != ERROR_SUCCESS) {
        // Not to be listed: it can still go when it holds no subkeys.
        if (RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS &&
            !IsLinkKey(key.get()))
            RegDeleteKeyW(parent, name.c_str());
        return;
    }
    if (IsLinkKey(key.get())) {
        DeleteLinkItself(key.get());
        return;
    }
    for (const std::wstring& child : SubkeyNames(key.get())) DeleteKeyTree(key.get(), child);
    key.reset();
    RegDeleteKeyW(parent, name.c_str());
}

}  // namespace native

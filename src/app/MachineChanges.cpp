// The machine itself behind the door: each operation is its system call.
#include <windows.h>
#include <lzexpand.h>

#include <algorithm>
#include <vector>

#include "app/SetupState.h"
#include "app/SystemChanges.h"
#include "platform/Handles.h"
#include "platform/SystemLibraries.h"
#include "platform/SzddExpand.h"
#include "platform/Win932.h"

namespace {

// ---- The native calls for a file's fate and attributes through its handle
// (NT family only; looked up, since they are not part of the Win32
// interface).

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

// Asked through the native query, which reads the file's own information
// only (GetFileInformationByHandle asks the volume for its serial number
// too, which under Wine is a round trip to a driver process, for every file).
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

unsigned long LinksOf(HANDLE file, DWORD& links) {
    static const auto query = reinterpret_cast<QueryInformationFunction>(
        reinterpret_cast<void*>(Native("NtQueryInformationFile")));
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

unsigned long SetHeldAttributes(HANDLE file, DWORD attributes) {
    if (State().OSKind == "notNT") return ERROR_CALL_NOT_IMPLEMENTED;
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
        if (LinksOf(file, links) != 0 || links != 1) return ERROR_ACCESS_DENIED;
        BasicInformation basic = {};
        basic.attributes = FILE_ATTRIBUTE_NORMAL;
        if (SetInformation(file, &basic, sizeof basic, kFileBasicInformation) == 0)
            status = SetInformation(file, &disposition, sizeof disposition, kFileDispositionInformation);
    }
    return ErrorOf(status);
}

// Listed through the handle that holds the folder (a second open to list it
// would need the delete sharing the holder denies). A name without a code
// page 932 form cannot be named here: left out.
std::vector<FolderEntry> ListHeld(HANDLE folder) {
    static const auto query = reinterpret_cast<QueryDirectoryFunction>(
        reinterpret_cast<void*>(Native("NtQueryDirectoryFile")));
    std::vector<FolderEntry> found;
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

class MachineFile : public OpenedFile {
public:
    explicit MachineFile(HANDLE file) : file_(file) {}
    bool Read(void* buffer, DWORD size, DWORD& got) override {
        got = 0;
        return ReadFile(file_.get(), buffer, size, &got, nullptr) != FALSE;
    }
    bool Write(const void* data, DWORD size, DWORD& put) override {
        put = 0;
        return WriteFile(file_.get(), data, size, &put, nullptr) != FALSE;
    }
    bool Rewind() override { return SetFilePointer(file_.get(), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER; }
    bool SeekTo(unsigned long long offset) override {
        LONG high = static_cast<LONG>(offset >> 32);
        SetLastError(NO_ERROR);
        return SetFilePointer(file_.get(), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN) !=
                   INVALID_SET_FILE_POINTER ||
               GetLastError() == NO_ERROR;
    }
    bool SetEnd() override { return SetEndOfFile(file_.get()) != FALSE; }
    bool Flush() override { return FlushFileBuffers(file_.get()) != FALSE; }
    bool Size(unsigned long long& size) override {
        DWORD high = 0;
        const DWORD low = GetFileSize(file_.get(), &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
        size = (static_cast<unsigned long long>(high) << 32) | low;
        return true;
    }
    bool Time(FILETIME& lastWrite) override {
        return GetFileTime(file_.get(), nullptr, nullptr, &lastWrite) != FALSE;
    }
    bool SetTime(const FILETIME& lastWrite) override {
        return SetFileTime(file_.get(), nullptr, nullptr, &lastWrite) != FALSE;
    }
    unsigned long Attributes(DWORD& attributes) override { return AttributesOf(file_.get(), attributes); }
    unsigned long Links(DWORD& links) override { return LinksOf(file_.get(), links); }
    unsigned long SetHeldAttributes(DWORD attributes) override {
        return ::SetHeldAttributes(file_.get(), attributes);
    }
    unsigned long MarkForDeletion() override { return ::MarkForDeletion(file_.get()); }
    std::vector<FolderEntry> List() override { return ListHeld(file_.get()); }
    bool Close() override { return CloseHandle(file_.release()) != FALSE; }

private:
    FileHandle file_;
};

unsigned long LzErrorToWin32(LONG lzError) {
    switch (lzError) {
        case LZERROR_BADINHANDLE:
        case LZERROR_BADOUTHANDLE: return ERROR_INVALID_HANDLE;
        case LZERROR_READ: return ERROR_READ_FAULT;
        case LZERROR_WRITE: return ERROR_WRITE_FAULT;
        case LZERROR_GLOBALLOC:
        case LZERROR_GLOBLOCK: return ERROR_NOT_ENOUGH_MEMORY;
        case LZERROR_BADVALUE: return ERROR_INVALID_PARAMETER;
        default: return ERROR_INVALID_DATA;
    }
}

// ---- Registry key trees. NT family: UTF-16 names, which hold every name a
// key can have (handed back unchanged, never through code page 932).

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
    using NtDeleteKeyFunction = LONG(NTAPI*)(HANDLE);
    static const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFunction>(reinterpret_cast<void*>(Native("NtDeleteKey")));
    return ntDeleteKey && ntDeleteKey(link) == 0;
}

void DeleteKeyTreeWide(HKEY parent, const std::wstring& name) {
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
    for (const std::wstring& child : SubkeyNames(key.get())) DeleteKeyTreeWide(key.get(), child);
    key.reset();
    RegDeleteKeyW(parent, name.c_str());
}

// Windows 95/98/Me: the ANSI names are the keys' own names.
void DeleteKeyTreeAnsi(HKEY parent, const std::string& name) {
    {
        RegKey key;
        if (RegOpenKeyEx932(parent, name, 0, KEY_ENUMERATE_SUB_KEYS, key.put()) == ERROR_SUCCESS) {
            std::vector<std::string> names;
            std::string child;
            for (DWORD index = 0; RegEnumKeyEx932(key.get(), index, child) == ERROR_SUCCESS; ++index)
                names.push_back(child);
            for (const std::string& each : names) DeleteKeyTreeAnsi(key.get(), each);
        }
    }
    RegDeleteKey932(parent, name);
}

class Machine : public SystemChanges {
public:
    DWORD Attributes(const std::string& path) override { return GetFileAttributes932(path); }
    bool AttributesEx(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) override {
        return GetFileAttributesEx932(path, &data) != FALSE;
    }
    bool Find(const std::string& pattern, std::vector<WIN32_FIND_DATAA>& found) override {
        found.clear();
        WIN32_FIND_DATAA data;
        FindHandle find(FindFirstFile932(pattern, &data));
        if (!find) return false;
        do found.push_back(data);
        while (FindNextFile932(find.get(), &data));
        return true;
    }
    OpenedFilePtr Open(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override {
        const HANDLE file = CreateFile932(path, access, share, nullptr, disposition, flags, nullptr);
        if (file == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<MachineFile>(file);
    }
    bool CreateFolder(const std::string& path) override { return CreateDirectory932(path, nullptr) != FALSE; }
    bool RemoveFolder(const std::string& path) override { return RemoveDirectory932(path) != FALSE; }
    bool DeleteFile(const std::string& path) override { return DeleteFile932(path) != FALSE; }
    bool SetAttributes(const std::string& path, DWORD attributes) override {
        return SetFileAttributes932(path, attributes) != FALSE;
    }
    bool Move(const std::string& from, const std::string& to, DWORD flags) override {
        return (flags ? MoveFileEx932(from, to, flags) : MoveFile932(from, to)) != FALSE;
    }
    unsigned long Expand(const std::string& source, const std::string& target) override {
        // LZ32 wherever it can name both files; where one has no name in the
        // system's code page (no short names on the volume) or a name longer
        // than OpenFile takes, the program's own decoder, which gives the
        // same file.
        OFSTRUCT sourceInfo = {};
        OFSTRUCT targetInfo = {};
        const INT in = LZOpenFile932(source, &sourceInfo, OF_READ | OF_SHARE_EXCLUSIVE);
        if (in < 0 && LzCannotName(sourceInfo)) return szdd::ExpandFile(source, target);
        if (in < 0) return sourceInfo.nErrCode ? sourceInfo.nErrCode : LzErrorToWin32(in);
        LzFile input(in);
        const INT out = LZOpenFile932(target, &targetInfo, OF_CREATE);
        if (out < 0 && LzCannotName(targetInfo)) {
            input.reset();
            return szdd::ExpandFile(source, target);
        }
        if (out < 0) return targetInfo.nErrCode ? targetInfo.nErrCode : LzErrorToWin32(out);
        LzFile output(out);
        const LONG copied = syslib::LZCopy(input.get(), output.get());
        return copied < 0 ? LzErrorToWin32(copied) : 0;
    }
    bool WriteProfile(const char* section, const char* key, const char* value, const std::string& file) override {
        return WritePrivateProfileString932(section, key, value, file) != FALSE;
    }
    bool ReadProfile(const std::string& section, const std::string& key, const std::string& file,
                     std::string& value) override {
        return GetPrivateProfileString932(section, key, file, value);
    }
    LONG CreateKey(HKEY hive, const std::string& subkey) override {
        RegKey key;
        return RegCreateKeyEx932(hive, subkey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.put(), nullptr);
    }
    LONG SetValue(HKEY hive, const std::string& subkey, const std::string& name, DWORD type,
                  const std::string& data) override {
        RegKey key;
        const LONG created =
            RegCreateKeyEx932(hive, subkey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.put(), nullptr);
        if (created != ERROR_SUCCESS) return created;
        return RegSetValueEx932(key.get(), name, type, reinterpret_cast<const BYTE*>(data.data()),
                                static_cast<DWORD>(data.size()));
    }
    LONG QueryValue(HKEY hive, const std::string& subkey, const std::string& name, DWORD& type,
                    std::string& data) override {
        RegKey key;
        const LONG opened = RegOpenKeyEx932(hive, subkey, 0, KEY_QUERY_VALUE, key.put());
        if (opened != ERROR_SUCCESS) return opened;
        return RegQueryValueEx932(key.get(), name, &type, data);
    }
    LONG KeyState(HKEY hive, const std::string& subkey) override {
        // A link key is there whatever it points at.
        RegKey key;
        const DWORD options = State().OSKind == "notNT" ? 0 : REG_OPTION_OPEN_LINK;
        return RegOpenKeyEx932(hive, subkey, options, KEY_QUERY_VALUE, key.put());
    }
    LONG KeyCounts(HKEY hive, const std::string& subkey, DWORD& subkeys, DWORD& values) override {
        RegKey key;
        const LONG opened = RegOpenKeyEx932(hive, subkey, 0, KEY_READ, key.put());
        if (opened != ERROR_SUCCESS) return opened;
        return RegQueryInfoKey932(key.get(), &subkeys, &values);
    }
    LONG DeleteValue(HKEY hive, const std::string& subkey, const std::string& name) override {
        RegKey key;
        const LONG opened = RegOpenKeyEx932(hive, subkey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put());
        if (opened != ERROR_SUCCESS) return opened;
        return RegDeleteValue932(key.get(), name);
    }
    LONG DeleteKey(HKEY hive, const std::string& subkey) override { return RegDeleteKey932(hive, subkey); }
    void DeleteKeyTree(HKEY hive, const std::string& subkey) override {
        if (State().OSKind == "notNT")
            DeleteKeyTreeAnsi(hive, subkey);
        else
            DeleteKeyTreeWide(hive, win932::Wide(subkey));
    }
    bool Outside(const std::string&, const std::string&, const std::function<bool()>& act) override { return act(); }
    void Note(const std::string&) override {}
    void Say(const std::function<std::string()>&) override {}
    void Said() override {}
};

Machine machine;
SystemChanges* current = nullptr;

}  // namespace

SystemChanges& MachineChanges() { return machine; }

ChangeSaid::ChangeSaid(const std::function<std::string()>& line) { Changes().Say(line); }
ChangeSaid::~ChangeSaid() { Changes().Said(); }
SystemChanges& Changes() { return current ? *current : machine; }
void UseChanges(SystemChanges* changes) { current = changes; }

// The machine itself behind the door: each operation is its system call.
#include <windows.h>
#include <lzexpand.h>

#include <algorithm>
#include <vector>

#include "app/SetupState.h"
#include "app/SystemChanges.h"
#include "platform/Handles.h"
#include "platform/NativeFiles.h"
#include "platform/SystemLibraries.h"
#include "platform/SzddExpand.h"
#include "platform/Win932.h"

namespace {

unsigned long SetHeldAttributes(HANDLE file, DWORD attributes) {
    if (State().OSKind == "notNT") return ERROR_CALL_NOT_IMPLEMENTED;
    return native::SetAttributes(file, attributes);
}

std::vector<FolderEntry> ListHeld(HANDLE folder) {
    std::vector<FolderEntry> found;
    for (native::HeldEntry& entry : native::List(folder)) found.push_back({std::move(entry.name), entry.attributes});
    return found;
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
    unsigned long Attributes(DWORD& attributes) override { return native::Attributes(file_.get(), attributes); }
    unsigned long Links(DWORD& links) override { return native::Links(file_.get(), links); }
    unsigned long SetHeldAttributes(DWORD attributes) override {
        return ::SetHeldAttributes(file_.get(), attributes);
    }
    unsigned long MarkForDeletion() override { return native::MarkForDeletion(file_.get()); }
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
            native::DeleteKeyTree(hive, win932::Wide(subkey));
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

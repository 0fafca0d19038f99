#include "app/DryChanges.h"

#include <windows.h>
#include <lzexpand.h>

#include <algorithm>

#include "app/uStrOp.h"
#include "platform/Handles.h"
#include "platform/SystemLibraries.h"
#include "platform/SzddExpand.h"
#include "platform/Win932.h"

namespace {

DryTraceHook& Hook() {
    static DryTraceHook hook;
    return hook;
}

// The name without a final "\", upper case: one item per file or folder.
std::string ItemKey(const std::string& path) { return Upper(RemovePathDelimiter(path, "B")); }

// The folder holding the path, without its final "\".
std::string ParentOf(const std::string& path) { return RemovePathDelimiter(ExtractFilePath(RemovePathDelimiter(path, "B")), "B"); }

bool Writes(DWORD access, DWORD disposition) {
    return (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE)) != 0 ||
           disposition != OPEN_EXISTING;
}

FILETIME Now() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return now;
}

const char* HiveName(HKEY hive) {
    if (hive == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (hive == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (hive == HKEY_USERS) return "HKEY_USERS";
    return "HKEY_CURRENT_USER";
}

std::string KeyName(HKEY hive, const std::string& subkey) { return std::string(HiveName(hive)) + "\\" + subkey; }
std::string KeyKey(HKEY hive, const std::string& subkey) {
    return std::string(HiveName(hive)) + "\\" + Upper(RemovePathDelimiter(RemovePathDelimiter(subkey, "B"), "T"));
}

std::string TypeName(DWORD type) {
    switch (type) {
        case REG_SZ: return "REG_SZ";
        case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
        case REG_DWORD: return "REG_DWORD";
        case REG_BINARY: return "REG_BINARY";
        default: return "type " + std::to_string(type);
    }
}

constexpr const char* kUninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Shown(DWORD type, const std::string& data) {
    if (type == REG_DWORD && data.size() == 4) {
        DWORD number = 0;
        data.copy(reinterpret_cast<char*>(&number), 4);
        return std::to_string(number);
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) return "\"" + std::string(data.c_str()) + "\"";
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (unsigned char c : data) shown += std::string{kHex[c >> 4], kHex[c & 15], ' '};
    if (!shown.empty()) shown.pop_back();
    return shown;
}

// A file opened through the stand-in.
class DryFile : public OpenedFile {
public:
    DryFile(DryChanges& dry, const std::string& path, OpenedFilePtr real) : dry_(dry), path_(path), real_(std::move(real)) {}

    bool Read(void* buffer, DWORD size, DWORD& got) override {
        got = 0;
        DryChanges::Item item = dry_.Look(path_);
        if (!item.exists) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        if (!item.hasBytes) {
            // Unchanged: the contents of the file it came from.
            if (!source_) {
                source_ = MachineChanges().Open(item.origin, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                OPEN_EXISTING, 0);
                if (!source_) return false;
                for (unsigned long long skipped = 0; skipped < position_;) {
                    char scratch[4096];
                    DWORD chunk = 0;
                    const DWORD want = static_cast<DWORD>(std::min<unsigned long long>(sizeof scratch, position_ - skipped));
                    if (!source_->Read(scratch, want, chunk) || chunk == 0) break;
                    skipped += chunk;
                }
            }
            if (!source_->Read(buffer, size, got)) return false;
            position_ += got;
            return true;
        }
        if (position_ < item.bytes.size()) {
            got = static_cast<DWORD>(std::min<unsigned long long>(size, item.bytes.size() - position_));
            std::copy_n(item.bytes.data() + position_, got, static_cast<char*>(buffer));
            position_ += got;
        }
        return true;
    }
    bool Write(const void* data, DWORD size, DWORD& put) override {
        dry_.Trace("WriteFile", "");
        DryChanges::Item& item = dry_.Materialize(path_);
        if (item.bytes.size() < position_ + size) item.bytes.resize(static_cast<size_t>(position_ + size));
        std::copy_n(static_cast<const char*>(data), size, item.bytes.begin() + static_cast<std::ptrdiff_t>(position_));
        position_ += size;
        item.size = item.bytes.size();
        item.written = Now();
        source_.reset();
        put = size;
        return true;
    }
    bool Rewind() override { return SeekTo(0); }
    bool SeekTo(unsigned long long offset) override {
        position_ = offset;
        source_.reset();
        return true;
    }
    bool SetEnd() override {
        DryChanges::Item& item = dry_.Materialize(path_);
        item.bytes.resize(static_cast<size_t>(position_));
        item.size = item.bytes.size();
        return true;
    }
    bool Flush() override { return true; }
    bool Size(unsigned long long& size) override {
        const DryChanges::Item item = dry_.Look(path_);
        size = item.size;
        return item.exists;
    }
    bool Time(FILETIME& lastWrite) override {
        const DryChanges::Item item = dry_.Look(path_);
        lastWrite = item.written;
        return item.exists;
    }
    bool SetTime(const FILETIME& lastWrite) override {
        dry_.Materialize(path_).written = lastWrite;
        return true;
    }
    unsigned long Attributes(DWORD& attributes) override {
        // A link shows on the object only: the machine's handle says.
        if (real_) {
            const unsigned long code = real_->Attributes(attributes);
            if (code == 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 0;
        }
        const DryChanges::Item item = dry_.Look(path_);
        if (!item.exists) return ERROR_FILE_NOT_FOUND;
        attributes = item.attributes;
        return 0;
    }
    unsigned long Links(DWORD& links) override {
        links = 1;
        return real_ ? real_->Links(links) : 0;
    }
    unsigned long SetHeldAttributes(DWORD attributes) override {
        const DryChanges::Item item = dry_.Look(path_);
        if (!item.exists) return ERROR_FILE_NOT_FOUND;
        DryChanges::Item& changed = dry_.Materialize(path_);
        changed.attributes = (attributes ? attributes : FILE_ATTRIBUTE_NORMAL) | (item.folder ? FILE_ATTRIBUTE_DIRECTORY : 0);
        dry_.Change("属性変更 " + RemovePathDelimiter(path_, "B"));
        return 0;
    }
    unsigned long MarkForDeletion() override {
        if (real_) {
            // As the machine would: a read-only file with other names stays.
            DWORD links = 1;
            if (real_->Links(links) == 0 && links > 1 && (dry_.Look(path_).attributes & FILE_ATTRIBUTE_READONLY))
                return ERROR_ACCESS_DENIED;
        }
        const DryChanges::Item item = dry_.Look(path_);
        if (!item.exists) return ERROR_FILE_NOT_FOUND;
        if (item.folder && !dry_.Empty(path_)) return ERROR_DIR_NOT_EMPTY;
        DryChanges::Item& gone = dry_.Materialize(path_);
        gone.exists = false;
        dry_.Change((item.folder ? "フォルダ削除 " : "削除 ") + RemovePathDelimiter(path_, "B"));
        return 0;
    }
    std::vector<FolderEntry> List() override { return dry_.Listing(path_); }
    bool Close() override { return true; }

private:
    DryChanges& dry_;
    std::string path_;
    OpenedFilePtr real_;    // the machine's object, read only, when it is there
    OpenedFilePtr source_;  // unchanged contents being read
    unsigned long long position_ = 0;
};

}  // namespace

void SetDryTraceHook(DryTraceHook hook) { Hook() = std::move(hook); }

void DryChanges::Trace(const char* call, const std::string& detail) {
    if (!Hook()) return;
    // The calls with a text take it in the system's form (W on the NT family).
    const std::string name = call;
    const bool single = name == "WriteFile" || name == "LZCopy";
    Hook()((single ? name : name + (win932::WideSystem() ? "W" : "A")).c_str(), detail);
}

void DryChanges::Change(const std::string& line) {
    if (saying_ == 0 && tell_) tell_(line);
}

DryChanges::Item DryChanges::Look(const std::string& path) {
    const auto found = items_.find(ItemKey(path));
    if (found != items_.end()) return found->second;
    Item item;
    item.path = RemovePathDelimiter(path, "B");
    item.origin = item.path;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !MachineChanges().AttributesEx(path, data)) return item;
    item.exists = true;
    item.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    item.attributes = data.dwFileAttributes;
    item.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    item.written = data.ftLastWriteTime;
    return item;
}

DryChanges::Item& DryChanges::Materialize(const std::string& path) {
    const std::string key = ItemKey(path);
    auto found = items_.find(key);
    if (found == items_.end()) found = items_.emplace(key, Look(path)).first;
    Item& item = found->second;
    if (!item.hasBytes && item.exists && !item.folder) {
        // About to change: its contents from now on are its own.
        std::string bytes;
        OpenedFilePtr source = MachineChanges().Open(item.origin, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                     OPEN_EXISTING, 0);
        char chunk[65536];
        DWORD got = 0;
        while (source && source->Read(chunk, sizeof chunk, got) && got > 0) bytes.append(chunk, got);
        item.bytes = bytes;
        item.hasBytes = true;
    }
    return item;
}

bool DryChanges::Contents(const std::string& path, std::string& bytes) {
    const Item item = Look(path);
    if (!item.exists || item.folder) return false;
    if (item.hasBytes) {
        bytes = item.bytes;
        return true;
    }
    bytes = Materialize(path).bytes;
    return true;
}

std::vector<FolderEntry> DryChanges::Listing(const std::string& folder) {
    std::vector<FolderEntry> entries;
    std::vector<WIN32_FIND_DATAA> found;
    if (Find(AddPathDelimiter(folder, "B") + "*", found))
        for (const WIN32_FIND_DATAA& data : found) {
            const std::string name = data.cFileName;
            if (name != "." && name != "..") entries.push_back({name, data.dwFileAttributes});
        }
    return entries;
}

bool DryChanges::Empty(const std::string& folder) { return Listing(folder).empty(); }

DWORD DryChanges::Attributes(const std::string& path) {
    const Item item = Look(path);
    if (!item.exists) {
        SetLastError(Look(ParentOf(path)).exists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return item.attributes;
}

bool DryChanges::AttributesEx(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    const Item item = Look(path);
    if (!item.exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    data = {};
    data.dwFileAttributes = item.attributes;
    data.ftCreationTime = data.ftLastAccessTime = data.ftLastWriteTime = item.written;
    data.nFileSizeLow = static_cast<DWORD>(item.size);
    data.nFileSizeHigh = static_cast<DWORD>(item.size >> 32);
    return true;
}

bool DryChanges::Find(const std::string& pattern, std::vector<WIN32_FIND_DATAA>& found) {
    found.clear();
    const std::string folder = RemovePathDelimiter(ExtractFilePath(pattern), "B");
    const std::string name = ExtractFileName(pattern);
    const Item where = Look(folder.size() == 2 ? folder + "\\" : folder);
    if (!where.exists || !where.folder) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    std::vector<WIN32_FIND_DATAA> real;
    if (Upper(where.origin) == Upper(where.path) && !where.hasBytes) MachineChanges().Find(pattern, real);
    const std::string prefix = Upper(folder) + "\\";
    std::map<std::string, bool> seen;
    for (const WIN32_FIND_DATAA& data : real) {
        const std::string entry = data.cFileName;
        if (entry == "." || entry == "..") {
            found.push_back(data);
            continue;
        }
        seen[Upper(entry)] = true;
        const auto changed = items_.find(prefix + Upper(entry));
        if (changed == items_.end()) {
            found.push_back(data);
        } else if (changed->second.exists) {
            WIN32_FIND_DATAA copy = data;
            copy.dwFileAttributes = changed->second.attributes;
            found.push_back(copy);
        }
    }
    // A folder made here lists its own two entries, as a real one does.
    if (real.empty() && (name == "*" || name == "*.*")) {
        WIN32_FIND_DATAA dot = {};
        dot.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
        dot.cFileName[0] = '.';
        found.push_back(dot);
        dot.cFileName[1] = '.';
        found.push_back(dot);
    }
    for (const auto& [key, item] : items_) {
        if (!item.exists || key.size() <= prefix.size() || key.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = item.path.substr(item.path.size() - (key.size() - prefix.size()));
        if (rest.find('\\') != std::string::npos || seen.count(Upper(rest)) || !MatchesWildcard(name, rest)) continue;
        WIN32_FIND_DATAA data = {};
        data.dwFileAttributes = item.attributes;
        data.ftLastWriteTime = item.written;
        data.nFileSizeLow = static_cast<DWORD>(item.size);
        rest.copy(data.cFileName, std::min<size_t>(rest.size(), MAX_PATH - 1));
        found.push_back(data);
    }
    const bool any = std::any_of(found.begin(), found.end(), [](const WIN32_FIND_DATAA& d) {
        return std::string(d.cFileName) != "." && std::string(d.cFileName) != "..";
    });
    if (found.empty() || (!any && name != "*" && name != "*.*")) {
        found.clear();
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    return true;
}

OpenedFilePtr DryChanges::Open(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    const bool writes = Writes(access, disposition);
    const Item item = Look(path);
    const bool real = item.exists && Upper(item.origin) == Upper(item.path) && !item.hasBytes;
    // The machine's own open, below, is the call itself for an object that
    // is there.
    if (writes && !real) Trace("CreateFile", path);
    OpenedFilePtr machine;
    if (real) {
        // Whatever would refuse this open (in use, no right) refuses it
        // here too; opening changes nothing.
        OpenedFilePtr probe = MachineChanges().Open(path, access, share, OPEN_EXISTING, flags);
        if (!probe) return nullptr;
        probe.reset();
        machine = MachineChanges().Open(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        OPEN_EXISTING, flags);
    }
    switch (disposition) {
        case OPEN_EXISTING:
        case TRUNCATE_EXISTING:
            if (!item.exists) {
                SetLastError(Look(ParentOf(path)).exists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
                return nullptr;
            }
            if (item.folder && !(flags & FILE_FLAG_BACKUP_SEMANTICS)) {
                SetLastError(ERROR_ACCESS_DENIED);
                return nullptr;
            }
            if (disposition == TRUNCATE_EXISTING) Materialize(path).bytes.clear();
            break;
        default: {
            const Item parent = Look(ParentOf(path));
            if (!parent.exists || !parent.folder) {
                SetLastError(ERROR_PATH_NOT_FOUND);
                return nullptr;
            }
            if (item.exists && (disposition == CREATE_NEW || item.folder)) {
                SetLastError(item.folder ? ERROR_ACCESS_DENIED : ERROR_FILE_EXISTS);
                return nullptr;
            }
            if (item.exists && disposition == OPEN_ALWAYS) break;
            Item& made = items_[ItemKey(path)];
            if (saying_ == 0 && tell_) tell_((item.exists ? "書き換え " : "作成 ") + RemovePathDelimiter(path, "B"));
            made = Item();
            made.path = RemovePathDelimiter(path, "B");
            made.exists = true;
            made.hasBytes = true;
            made.attributes = (flags & 0xFFFF) ? (flags & 0xFFFF) : FILE_ATTRIBUTE_NORMAL;
            made.written = Now();
        }
    }
    return std::make_unique<DryFile>(*this, path, std::move(machine));
}

bool DryChanges::CreateFolder(const std::string& path) {
    Trace("CreateDirectory", path);
    const Item item = Look(path);
    if (item.exists) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    const Item parent = Look(ParentOf(path).size() == 2 ? ParentOf(path) + "\\" : ParentOf(path));
    if (!parent.exists || !parent.folder) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    Item& made = items_[ItemKey(path)];
    made = Item();
    made.path = RemovePathDelimiter(path, "B");
    made.exists = made.folder = made.hasBytes = true;
    made.attributes = FILE_ATTRIBUTE_DIRECTORY;
    made.written = Now();
    Change("フォルダ作成 " + made.path);
    return true;
}

bool DryChanges::RemoveFolder(const std::string& path) {
    Trace("RemoveDirectory", path);
    const Item item = Look(path);
    if (!item.exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (!item.folder) {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    if (!Empty(path)) {
        SetLastError(ERROR_DIR_NOT_EMPTY);
        return false;
    }
    Materialize(path).exists = false;
    Change("フォルダ削除 " + item.path);
    return true;
}

bool DryChanges::DeleteFile(const std::string& path) {
    Trace("DeleteFile", path);
    const Item item = Look(path);
    if (!item.exists || item.folder) {
        SetLastError(item.folder ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
        return false;
    }
    Materialize(path).exists = false;
    Change("削除 " + item.path);
    return true;
}

bool DryChanges::SetAttributes(const std::string& path, DWORD attributes) {
    Trace("SetFileAttributes", path);
    const Item item = Look(path);
    if (!item.exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    Item& changed = items_.emplace(ItemKey(path), item).first->second;
    changed.attributes = attributes | (item.folder ? FILE_ATTRIBUTE_DIRECTORY : 0);
    Change("属性変更 " + item.path);
    return true;
}

bool DryChanges::Move(const std::string& from, const std::string& to, DWORD flags) {
    Trace(flags ? "MoveFileEx" : "MoveFile", from);
    const Item item = Look(from);
    if (!item.exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
        Change(to.empty() ? "再起動時に削除 " + item.path : "再起動時に置換 " + to + " <- " + item.path);
        return true;
    }
    const Item target = Look(to);
    if (target.exists && !(flags & MOVEFILE_REPLACE_EXISTING)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    Item moved = item;
    moved.path = RemovePathDelimiter(to, "B");
    items_[ItemKey(to)] = moved;
    Item& left = items_.emplace(ItemKey(from), item).first->second;
    left.exists = false;
    Change("名前変更 " + item.path + " -> " + moved.path);
    return true;
}

unsigned long DryChanges::Expand(const std::string& source, const std::string& target) {
    OFSTRUCT info = {};
    const INT in = LZOpenFile932(source, &info, OF_READ | OF_SHARE_DENY_WRITE);
    // Without a name LZ32 can read, the machine expands with the program's
    // own decoder (see MachineChanges); so does the preview.
    const bool ownDecoder = in < 0 && LzCannotName(info);
    if (in < 0 && !ownDecoder) return info.nErrCode ? info.nErrCode : ERROR_FILE_NOT_FOUND;
    LzFile input(in);
    // The target is made by name first where names are wide (see
    // LZOpenFile932), then filled.
    if (win932::WideSystem()) Trace("CreateFile", target);
    const Item parent = Look(ParentOf(target));
    if (!parent.exists) return ERROR_PATH_NOT_FOUND;
    std::string bytes;
    if (ownDecoder) {
        Trace("WriteFile", "");
        if (const unsigned long error = szdd::ExpandBytes(source, bytes)) return error;
    } else {
        Trace("LZCopy", "");
        char chunk[65536];
        for (;;) {
            const INT got = syslib::LZRead(input.get(), chunk, sizeof chunk);
            if (got < 0) return ERROR_INVALID_DATA;
            if (got == 0) break;
            bytes.append(chunk, static_cast<size_t>(got));
        }
    }
    Item& made = items_[ItemKey(target)];
    made = Item();
    made.path = RemovePathDelimiter(target, "B");
    made.exists = made.hasBytes = true;
    made.bytes = bytes;
    made.size = bytes.size();
    made.attributes = FILE_ATTRIBUTE_ARCHIVE;
    // The expansion keeps the compressed file's time, as LZCopy does.
    const Item from = Look(source);
    made.written = from.exists ? from.written : Now();
    Change("展開 " + source + " -> " + made.path);
    return 0;
}

bool DryChanges::WriteProfile(const char* section, const char* key, const char* value, const std::string& file) {
    Trace("WritePrivateProfileString", section ? section : "");
    if (!section) return true;  // the flush
    const std::string entry = Upper(file) + "|" + Upper(section) + "|" + (key ? Upper(key) : std::string());
    if (key && value) {
        profile_[entry] = value;
        profileGone_.erase(entry);
    } else {
        profileGone_[entry] = true;
    }
    Change("INI " + file + " [" + section + "]" + (key ? std::string(" ") + key : std::string()) +
           (key && value ? std::string("=") + value : std::string(" を削除")));
    return true;
}

bool DryChanges::ReadProfile(const std::string& section, const std::string& key, const std::string& file,
                             std::string& value) {
    const std::string entry = Upper(file) + "|" + Upper(section) + "|" + Upper(key);
    const std::string whole = Upper(file) + "|" + Upper(section) + "|";
    if (profileGone_.count(entry) || profileGone_.count(whole)) return false;
    const auto found = profile_.find(entry);
    if (found != profile_.end()) {
        value = found->second;
        return true;
    }
    return MachineChanges().ReadProfile(section, key, file, value);
}

// ---- Registry

bool DryChanges::KeyGone(HKEY hive, const std::string& subkey) {
    // A key deleted here takes everything below it along.
    std::string path = Upper(RemovePathDelimiter(RemovePathDelimiter(subkey, "B"), "T"));
    for (;;) {
        const auto found = keys_.find(std::string(HiveName(hive)) + "\\" + path);
        if (found != keys_.end() && !found->second.exists) return true;
        const size_t cut = path.find_last_of('\\');
        if (cut == std::string::npos) return false;
        path.resize(cut);
    }
}

bool DryChanges::KeyThere(HKEY hive, const std::string& subkey) {
    if (KeyGone(hive, subkey)) return false;
    const auto found = keys_.find(KeyKey(hive, subkey));
    if (found != keys_.end()) return found->second.exists;
    const LONG state = MachineChanges().KeyState(hive, subkey);
    return state != ERROR_FILE_NOT_FOUND && state != ERROR_PATH_NOT_FOUND;
}

DryChanges::Key& DryChanges::KeyOf(HKEY hive, const std::string& subkey) {
    const std::string key = KeyKey(hive, subkey);
    auto found = keys_.find(key);
    if (found == keys_.end()) {
        Key made;
        made.path = RemovePathDelimiter(RemovePathDelimiter(subkey, "B"), "T");
        made.exists = KeyThere(hive, subkey);
        found = keys_.emplace(key, made).first;
    }
    return found->second;
}

void DryChanges::MakeKey(HKEY hive, const std::string& subkey) {
    const std::string path = RemovePathDelimiter(RemovePathDelimiter(subkey, "B"), "T");
    for (size_t cut = 0;; ++cut) {
        cut = path.find('\\', cut);
        const std::string level = cut == std::string::npos ? path : path.substr(0, cut);
        if (!KeyThere(hive, level)) {
            Key& made = KeyOf(hive, level);
            made.exists = true;
            made.values.clear();
        }
        if (cut == std::string::npos) return;
    }
}

LONG DryChanges::CreateKey(HKEY hive, const std::string& subkey) {
    Trace("RegCreateKeyEx", subkey);
    if (!KeyThere(hive, subkey)) Change("レジストリキー作成 " + KeyName(hive, subkey));
    MakeKey(hive, subkey);
    return ERROR_SUCCESS;
}

LONG DryChanges::SetValue(HKEY hive, const std::string& subkey, const std::string& name, DWORD type,
                          const std::string& data) {
    Trace("RegCreateKeyEx", subkey);
    Trace("RegSetValueEx", name);
    DWORD previousType = 0;
    std::string previous;
    const bool replaces = QueryValue(hive, subkey, name, previousType, previous) == ERROR_SUCCESS;
    MakeKey(hive, subkey);
    Value& value = KeyOf(hive, subkey).values[Upper(name)];
    value.name = name;
    value.exists = true;
    value.type = type;
    value.data = data;
    // What a program's own list entry and an association are, by their keys.
    const std::string upper = Upper(subkey);
    const char* kind = "レジストリ値 ";
    if (hive == HKEY_LOCAL_MACHINE && upper.rfind(Upper(kUninstallList), 0) == 0)
        kind = "追加と削除の値 ";
    else if (hive == HKEY_CLASSES_ROOT)
        kind = "関連付け ";
    Change(kind + KeyName(hive, subkey) + " " + (name.empty() ? "(既定)" : name) + " = " + TypeName(type) + " " +
           Shown(type, data) + (replaces ? " (置き換える値: " + Shown(previousType, previous) + ")" : ""));
    return ERROR_SUCCESS;
}

LONG DryChanges::QueryValue(HKEY hive, const std::string& subkey, const std::string& name, DWORD& type,
                            std::string& data) {
    if (KeyGone(hive, subkey)) return ERROR_FILE_NOT_FOUND;
    const auto key = keys_.find(KeyKey(hive, subkey));
    if (key != keys_.end()) {
        if (!key->second.exists) return ERROR_FILE_NOT_FOUND;
        const auto value = key->second.values.find(Upper(name));
        if (value != key->second.values.end()) {
            if (!value->second.exists) return ERROR_FILE_NOT_FOUND;
            type = value->second.type;
            data = value->second.data;
            return ERROR_SUCCESS;
        }
    }
    return MachineChanges().QueryValue(hive, subkey, name, type, data);
}

LONG DryChanges::KeyState(HKEY hive, const std::string& subkey) {
    if (KeyGone(hive, subkey)) return ERROR_FILE_NOT_FOUND;
    const auto key = keys_.find(KeyKey(hive, subkey));
    if (key != keys_.end()) return key->second.exists ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    return MachineChanges().KeyState(hive, subkey);
}

std::vector<std::string> DryChanges::Children(HKEY hive, const std::string& subkey) {
    std::vector<std::string> names;
    const std::string path = RemovePathDelimiter(RemovePathDelimiter(subkey, "B"), "T");
    {
        RegKey key;
        if (RegOpenKeyEx932(hive, path, 0, KEY_ENUMERATE_SUB_KEYS, key.put()) == ERROR_SUCCESS) {
            std::string name;
            for (DWORD index = 0; RegEnumKeyEx932(key.get(), index, name) == ERROR_SUCCESS; ++index)
                if (!KeyGone(hive, path + "\\" + name)) names.push_back(name);
        }
    }
    const std::string prefix = KeyKey(hive, path) + "\\";
    for (const auto& [key, item] : keys_) {
        if (!item.exists || key.size() <= prefix.size() || key.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = item.path.substr(item.path.size() - (key.size() - prefix.size()));
        if (rest.find('\\') != std::string::npos) continue;
        if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return Upper(n) == Upper(rest); }))
            names.push_back(rest);
    }
    return names;
}

LONG DryChanges::KeyCounts(HKEY hive, const std::string& subkey, DWORD& subkeys, DWORD& values) {
    if (!KeyThere(hive, subkey)) return ERROR_FILE_NOT_FOUND;
    subkeys = static_cast<DWORD>(Children(hive, subkey).size());
    DWORD realSubkeys = 0, realValues = 0;
    const bool real = MachineChanges().KeyCounts(hive, subkey, realSubkeys, realValues) == ERROR_SUCCESS;
    values = real ? realValues : 0;
    const auto key = keys_.find(KeyKey(hive, subkey));
    if (key != keys_.end())
        for (const auto& [upper, value] : key->second.values) {
            DWORD type = 0;
            std::string data;
            const bool wasThere = real && MachineChanges().QueryValue(hive, subkey, value.name, type, data) == ERROR_SUCCESS;
            if (value.exists && !wasThere) ++values;
            if (!value.exists && wasThere && values > 0) --values;
        }
    return ERROR_SUCCESS;
}

LONG DryChanges::DeleteValue(HKEY hive, const std::string& subkey, const std::string& name) {
    // The key is opened first: without it there is no deletion to make.
    if (!KeyThere(hive, subkey)) return ERROR_FILE_NOT_FOUND;
    Trace("RegDeleteValue", name);
    DWORD type = 0;
    std::string data;
    if (QueryValue(hive, subkey, name, type, data) != ERROR_SUCCESS) return ERROR_FILE_NOT_FOUND;
    Value& value = KeyOf(hive, subkey).values[Upper(name)];
    value.name = name;
    value.exists = false;
    Change("レジストリ値削除 " + KeyName(hive, subkey) + " " + (name.empty() ? "(既定)" : name));
    return ERROR_SUCCESS;
}

LONG DryChanges::DeleteKey(HKEY hive, const std::string& subkey) {
    Trace("RegDeleteKey", subkey);
    if (!KeyThere(hive, subkey)) return ERROR_FILE_NOT_FOUND;
    if (!Children(hive, subkey).empty()) return ERROR_ACCESS_DENIED;
    KeyOf(hive, subkey).exists = false;
    Change("レジストリキー削除 " + KeyName(hive, subkey));
    return ERROR_SUCCESS;
}

void DryChanges::DeleteTree(HKEY hive, const std::string& subkey, const std::string& detail) {
    if (!KeyThere(hive, subkey)) return;
    for (const std::string& child : Children(hive, subkey)) DeleteTree(hive, subkey + "\\" + child, child);
    Trace("RegDeleteKey", detail);
    KeyOf(hive, subkey).exists = false;
}

void DryChanges::DeleteKeyTree(HKEY hive, const std::string& subkey) {
    if (!KeyThere(hive, subkey)) return;
    Change("レジストリキー削除 " + KeyName(hive, subkey) + " (その下のすべてとともに)");
    ++saying_;
    DeleteTree(hive, RemovePathDelimiter(RemovePathDelimiter(subkey, "B"), "T"), subkey);
    --saying_;
}

// ---- Other code, and what is said

bool DryChanges::Outside(const std::string& what, const std::string& made, const std::function<bool()>&) {
    if (!made.empty()) {
        Item& item = items_[ItemKey(made)];
        item = Item();
        item.path = RemovePathDelimiter(made, "B");
        item.exists = item.hasBytes = true;
        item.attributes = FILE_ATTRIBUTE_ARCHIVE;
        item.written = Now();
    }
    if (tell_) tell_(what + " (プレビューでは行いません: その結果の変更は一覧にありません)");
    return true;
}

void DryChanges::Note(const std::string& line) {
    if (tell_) tell_(line);
}

void DryChanges::Say(const std::function<std::string()>& line) {
    if (saying_ == 0 && tell_) tell_(line());
    ++saying_;
}

void DryChanges::Said() {
    if (saying_ > 0) --saying_;
}

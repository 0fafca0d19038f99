#include "app/uIniFile.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <unordered_map>

#include "app/MBUtils.h"
#include "app/ProfileText.h"
#include "app/SystemChanges.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/Win932.h"

namespace {

// What tells one version of a file from another without reading it. (The
// file's identity is left out: asking for it makes the system query the
// volume, which costs more than the rest of a read.)
struct FileVersion {
    DWORD sizeLow = 0, sizeHigh = 0;
    FILETIME written{};
};

struct KeptProfile {
    std::string path;
    FileVersion version;
    bool trusted = false;
    bool unicode = false;
    ProfileText text;
};

// The few files a run reads (script, record, program-ID list, checker
// result, a referred INI file); the oldest goes first.
constexpr size_t kKeptFiles = 8;
std::vector<std::shared_ptr<const KeptProfile>> kept;

// A change within this time of the last write may not move the file time
// (FAT keeps it in steps of two seconds).
constexpr ULONGLONG kFileTimeTick = 3ull * 10'000'000;

ULONGLONG Ticks(const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

bool VersionOf(OpenedFile& file, FileVersion& version) {
    unsigned long long size = 0;
    if (!file.Size(size)) return false;
    version.sizeLow = static_cast<DWORD>(size);
    version.sizeHigh = static_cast<DWORD>(size >> 32);
    return file.Time(version.written);
}

bool SameVersion(const FileVersion& a, const FileVersion& b) {
    return a.sizeLow == b.sizeLow && a.sizeHigh == b.sizeHigh && Ticks(a.written) == Ticks(b.written);
}

// Kept by IniKeep: never read again, never pushed out.
struct PinnedProfile {
    std::string raw;
    std::shared_ptr<const KeptProfile> profile;
};
std::unordered_map<std::string, PinnedProfile> pinned;

void Forget(const std::string& path) {
    pinned.erase(path);
    for (auto it = kept.begin(); it != kept.end(); ++it)
        if ((*it)->path == path) {
            kept.erase(it);
            return;
        }
}

bool ReadAll(OpenedFile& file, std::string& bytes) {
    bytes.clear();
    char chunk[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!file.Read(chunk, sizeof chunk, got)) return false;
        if (got == 0) return true;
        bytes.append(chunk, got);
    }
}

// The file's profile, read now or kept from before; null when the file
// cannot be read (missing, a folder, locked).
std::shared_ptr<const KeptProfile> Load(const std::string& path) {
    if (const auto found = pinned.find(path); found != pinned.end()) return found->second.profile;
    // A kept copy whose file still shows its size and time of last write is
    // taken on one look at the file's attributes, without opening it: a
    // script is read a key at a time, a hundred times in a run.
    WIN32_FILE_ATTRIBUTE_DATA seen;
    if (Changes().AttributesEx(path, seen) && !(seen.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const FileVersion version{seen.nFileSizeLow, seen.nFileSizeHigh, seen.ftLastWriteTime};
        for (const auto& profile : kept)
            if (profile->path == path && profile->trusted && SameVersion(profile->version, version)) return profile;
    }
    OpenedFilePtr file = Changes().Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL);
    if (!file) {
        Forget(path);
        return nullptr;
    }
    FileVersion version;
    const bool known = VersionOf(*file, version);
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if ((*it)->path != path) continue;
        if (known && (*it)->trusted && SameVersion((*it)->version, version)) return *it;
        kept.erase(it);
        break;
    }
    auto profile = std::make_shared<KeptProfile>();
    std::string raw;
    if (!ReadAll(*file, raw)) return nullptr;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    profile->path = path;
    profile->version = version;
    profile->trusted = known && Ticks(version.written) + kFileTimeTick < Ticks(now);
    profile->text = ProfileText(ProfileBytesFromFile(raw, profile->unicode));
    if (kept.size() >= kKeptFiles) kept.erase(kept.begin());
    kept.push_back(profile);
    return profile;
}

// The system's list of mapped files changes with the system's setup only.
bool MappedBySystem(const std::string& path) {
    static std::unordered_map<std::string, bool> known;
    const auto found = known.find(path);
    if (found != known.end()) return found->second;
    const bool mapped = ProfileMappedToRegistry932(path);
    if (known.size() > 64) known.clear();
    known.emplace(path, mapped);
    return mapped;
}

// A name without any folder is the system's profile functions' file in the
// Windows folder, never one in whatever the current folder happens to be.
std::string ProfilePath(const std::string& file) {
    if (file.empty() || MBPos("\\", file) || MBPos("/", file) || MBPos(":", file)) return file;
    static const std::string windows = GetWindowsDirectory932();
    if (windows.empty()) return file;
    return IsPathDelimiterAt(windows, static_cast<int>(windows.size())) ? windows + file : windows + "\\" + file;
}

std::string DefaultWithoutTrailingBlanks(const std::string& defaultValue) {
    const size_t end = defaultValue.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : defaultValue.substr(0, end + 1);
}

// One change through the system's own function, then its flush.
bool SystemEdit(const char* section, const char* key, const char* value, const std::string& path) {
    const bool done = Changes().WriteProfile(section, key, value, path);
    Changes().WriteProfile(nullptr, nullptr, nullptr, path);
    return done;
}

enum class Absent { Create, NothingToDo };

// Applies the edit to the file's bytes and writes them back in place (the
// file keeps its attributes and security), only when the edit changed them.
bool Edit(const std::string& name, Absent absent, const std::function<bool(ProfileText&)>& edit,
          const std::function<bool(const std::string& path)>& bySystem) {
    const std::string path = ProfilePath(name);
    Forget(path);
    if (MappedBySystem(path)) return bySystem(path);
    // Written where it lies, so only through the file's one name: a link, or
    // a hard link to someone else's file, is left as it is.
    unsigned long error = 0;
    OpenedFilePtr file = OpenOwnFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, error);
    std::string raw;
    if (file) {
        if (!ReadAll(*file, raw)) return false;
    } else {
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            SetLastError(error);
            return false;
        }
        if (absent == Absent::NothingToDo) return true;
        if (error == ERROR_PATH_NOT_FOUND) return false;
    }
    bool unicode = false;
    ProfileText text(ProfileBytesFromFile(raw, unicode));
    if (unicode) {
        // Such a file has no code page to keep; the system keeps its form.
        file.reset();
        return bySystem(path);
    }
    if (!edit(text)) return true;
    if (!file) {
        file = Changes().Open(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (!file) return false;
    }
    const std::string& bytes = text.bytes();
    DWORD written = 0;
    if (!file->Rewind()) return false;
    if (!file->Write(bytes.data(), static_cast<DWORD>(bytes.size()), written) || written != bytes.size())
        return false;
    // On the disk before the caller goes on: a note written ahead of a
    // change must outlast a power loss right after it.
    return file->SetEnd() && file->Flush();
}

}  // namespace

void IniKeep(const std::string& file, const std::string& bytes) {
    const std::string path = ProfilePath(file);
    auto profile = std::make_shared<KeptProfile>();
    profile->path = path;
    profile->trusted = true;
    profile->text = ProfileText(ProfileBytesFromFile(bytes, profile->unicode));
    pinned[path] = {bytes, std::move(profile)};
}

bool IniKeptBytes(const std::string& file, std::string& bytes) {
    const auto found = pinned.find(ProfilePath(file));
    if (found == pinned.end()) return false;
    bytes = found->second.raw;
    return true;
}

std::string IniRead(const std::string& section, const std::string& key, const std::string& defaultValue,
                    const std::string& name) {
    const std::string file = ProfilePath(name);
    std::string value;
    if (MappedBySystem(file)) {
        if (Changes().ReadProfile(section, key, file, value)) return value;
    } else if (const auto profile = Load(file); profile && profile->text.Find(section, key, value)) {
        return value;
    }
    return DefaultWithoutTrailingBlanks(defaultValue);
}

std::vector<std::string> IniReadList(const std::string& section, const std::string& prefix,
                                     const std::string& name) {
    const std::string file = ProfilePath(name);
    std::vector<std::string> list;
    if (MappedBySystem(file)) {
        for (int n = 1;; ++n) {
            std::string value = IniRead(section, prefix + std::to_string(n), "", file);
            if (value.empty()) return list;
            list.push_back(std::move(value));
        }
    }
    const auto profile = Load(file);
    if (!profile) return list;
    for (int n = 1;; ++n) {
        std::string value;
        if (!profile->text.Find(section, prefix + std::to_string(n), value) || value.empty()) return list;
        list.push_back(std::move(value));
    }
}

bool IniWrite(const std::string& section, const std::string& key, const std::string& value,
              const std::string& file) {
    const ChangeSaid said([&] { return "INI " + ProfilePath(file) + " [" + section + "] " + key + "=" + value; });
    return Edit(
        file, Absent::Create, [&](ProfileText& text) { return text.Set(section, key, value); },
        [&](const std::string& path) { return SystemEdit(section.c_str(), key.c_str(), value.c_str(), path); });
}

bool IniDeleteKey(const std::string& section, const std::string& key, const std::string& file) {
    const ChangeSaid said([&] { return "INI " + ProfilePath(file) + " [" + section + "] " + key + " を削除"; });
    return Edit(
        file, Absent::NothingToDo, [&](ProfileText& text) { return text.DeleteKey(section, key); },
        [&](const std::string& path) { return SystemEdit(section.c_str(), key.c_str(), nullptr, path); });
}

bool IniDeleteSection(const std::string& section, const std::string& file) {
    const ChangeSaid said([&] { return "INI " + ProfilePath(file) + " [" + section + "] を削除"; });
    return Edit(
        file, Absent::NothingToDo, [&](ProfileText& text) { return text.DeleteSection(section); },
        [&](const std::string& path) { return SystemEdit(section.c_str(), nullptr, nullptr, path); });
}

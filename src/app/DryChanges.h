#pragma once
// The dry stand-in behind the door: it changes nothing, answers every read
// from the machine as the changes so far would have left it (a folder made
// is there for the copy that follows, a count raised reads raised, a value
// written reads back, a file deleted is gone), and tells each change, in
// order, one line each. What it cannot know it assumes went well (another
// program's code: a link saved, a library registered), and says so.
#include <functional>
#include <map>
#include <string>

#include "app/SystemChanges.h"

class DryChanges : public SystemChanges {
public:
    using Tell = std::function<void(const std::string& line)>;
    explicit DryChanges(Tell tell) : tell_(std::move(tell)) {}

    // The bytes a file holds now, as the changes left it; false when it is
    // not there.
    bool Contents(const std::string& path, std::string& bytes);

    DWORD Attributes(const std::string& path) override;
    bool AttributesEx(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) override;
    bool Find(const std::string& pattern, std::vector<WIN32_FIND_DATAA>& found) override;
    OpenedFilePtr Open(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override;
    bool CreateFolder(const std::string& path) override;
    bool RemoveFolder(const std::string& path) override;
    bool DeleteFile(const std::string& path) override;
    bool SetAttributes(const std::string& path, DWORD attributes) override;
    bool Move(const std::string& from, const std::string& to, DWORD flags) override;
    unsigned long Expand(const std::string& source, const std::string& target) override;
    bool WriteProfile(const char* section, const char* key, const char* value, const std::string& file) override;
    bool ReadProfile(const std::string& section, const std::string& key, const std::string& file,
                     std::string& value) override;
    LONG CreateKey(HKEY hive, const std::string& subkey) override;
    LONG SetValue(HKEY hive, const std::string& subkey, const std::string& name, DWORD type,
                  const std::string& data) override;
    LONG QueryValue(HKEY hive, const std::string& subkey, const std::string& name, DWORD& type,
                    std::string& data) override;
    LONG KeyState(HKEY hive, const std::string& subkey) override;
    LONG KeyCounts(HKEY hive, const std::string& subkey, DWORD& subkeys, DWORD& values) override;
    LONG DeleteValue(HKEY hive, const std::string& subkey, const std::string& name) override;
    LONG DeleteKey(HKEY hive, const std::string& subkey) override;
    void DeleteKeyTree(HKEY hive, const std::string& subkey) override;
    bool Outside(const std::string& what, const std::string& made, const std::function<bool()>& act) override;
    void Note(const std::string& line) override;
    void Say(const std::function<std::string()>& line) override;
    void Said() override;

    // A file or folder as the changes left it.
    struct Item {
        std::string path;  // as first named
        bool exists = false;
        bool folder = false;
        bool hasBytes = false;  // else the contents are those of origin
        std::string bytes;
        std::string origin;
        unsigned long long size = 0;
        DWORD attributes = 0;
        FILETIME written{};
    };
    struct Value {
        std::string name;
        bool exists = false;
        DWORD type = 0;
        std::string data;
    };
    struct Key {
        std::string path;
        bool exists = false;
        std::map<std::string, Value> values;  // by upper-case name
    };

    // For the open files (DryChanges.cpp).
    Item Look(const std::string& path);
    Item& Materialize(const std::string& path);
    bool Empty(const std::string& folder);
    std::vector<FolderEntry> Listing(const std::string& folder);
    void Trace(const char* call, const std::string& detail);
    void Change(const std::string& line);

private:
    bool KeyGone(HKEY hive, const std::string& subkey);
    bool KeyThere(HKEY hive, const std::string& subkey);
    Key& KeyOf(HKEY hive, const std::string& subkey);
    void MakeKey(HKEY hive, const std::string& subkey);
    std::vector<std::string> Children(HKEY hive, const std::string& subkey);
    void DeleteTree(HKEY hive, const std::string& subkey, const std::string& detail);

    Tell tell_;
    int saying_ = 0;  // inside a Say: the change's line is said already
    std::map<std::string, Item> items_;                // by upper-case path
    std::map<std::string, Key> keys_;                  // by hive and upper-case path
    std::map<std::string, std::string> profile_;       // file|section|key (upper) -> value
    std::map<std::string, bool> profileGone_;          // same keys: deleted
};

// Each change the dry stand-in takes in, as the call it stands for would be
// seen (its name, and its file, key or value name): a test build lists them
// beside the machine's own calls.
using DryTraceHook = std::function<void(const char* call, const std::string& detail)>;
void SetDryTraceHook(DryTraceHook hook);

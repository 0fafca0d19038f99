#pragma once
// A profile (INI) file held as its code page 932 bytes, read and edited the
// way the system's profile functions do it on a Japanese system, whatever
// the system's own code page is:
// - a line is cut at CR or LF, and blanks (tab, LF, VT, FF, CR, space and
//   ^Z; never the full-width space) around it are dropped; empty lines do
//   not count;
// - '[' opening a line that has a ']' starts a section named by what lies
//   between the '[' and the last ']'; a '[' line without ']' is a key line;
// - a key line is name '=' value, blanks around both dropped; a line
//   without '=' is a key without a value (it reads as missing, and it hides
//   a later key of the same name), comment lines included (';' and '#' mean
//   nothing special);
// - names are matched after dropping the caller's surrounding blanks,
//   without regard to the case of the ASCII letters only (full-width,
//   Greek and Cyrillic letters keep their case); the first section of a
//   name and the first key of a name in it count; keys before the first
//   section belong to the section with the empty name;
// - a value enclosed in a pair of equal quotes (" or ') loses them;
// - a lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it are one
//   character whatever that byte is, unless it is zero; a zero byte ends a
//   name or a value.
// The edits change only the lines they are about and leave every other byte
// alone; on a file in the form the system writes (CR LF, no empty lines, no
// blanks around '=') they give the very bytes the system's write gives.
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class ProfileText {
public:
    ProfileText() = default;
    explicit ProfileText(std::string bytes);

    const std::string& bytes() const { return bytes_; }

    // The value of the key, false when the section, the key or its value is
    // missing. An empty key name finds a line that starts with '='.
    bool Find(std::string_view section, std::string_view key, std::string& value) const;

    // Sets the key in the first section of the name: replaces its value, or
    // adds the key at the end of the section, or adds the section with the
    // key at the end of the file. Leading blanks of the value are dropped.
    // False when the value was already there (nothing changed).
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes the line of the first key of the name in the sections of the
    // name; false when there was none.
    bool DeleteKey(std::string_view section, std::string_view key);
    // Removes the first section of the name with all its lines; false when
    // there was none. The keys before the first section cannot be removed.
    bool DeleteSection(std::string_view section);

    // Replaces the values of keys that are there, as Set does, in one pass
    // (Set reparses the file for each key); keys that are not there are left
    // out. Returns how many were replaced.
    size_t ReplaceValues(std::string_view section, const std::vector<std::pair<std::string, std::string>>& values);

    // The line (from 1) of the key Find reads; 0 when there is none.
    size_t LineOf(std::string_view section, std::string_view key) const;

    // What these rules make of each line that is not empty, in file order,
    // for a tool that reports on the file line by line: the very parse Find
    // reads. Lines are counted as editors count them (CR LF, a lone LF and
    // a lone CR each end one).
    struct Line {
        enum Kind { Header, Key, KeyWithoutValue } kind = Key;
        size_t number = 0;
        size_t section = 0;   // the section it belongs to: 0 before the first header, then 1, 2, ...
        std::string name;     // of the section or the key
        std::string value;    // a Key's value as Find gives it
        std::string text;     // the line without the blanks around it
        bool counts = false;  // the first section of its name, or the first key of its name in it
    };
    std::vector<Line> Lines() const;

private:
    struct Key {
        std::string name;  // up to a zero byte
        bool hasValue = false;
        size_t line = 0;
        size_t lineBegin = 0, nameEnd = 0, valueBegin = 0, contentEnd = 0, lineEnd = 0;
        size_t contentBegin = 0;
    };
    struct Section {
        std::string name;
        size_t line = 0, contentBegin = 0, contentEnd = 0;  // of the header
        size_t lineBegin = 0;   // of the header; 0 for the keys before the first header
        size_t insertAt = 0;    // after the line end of the section's last line
        bool lastLineEnded = true;
        std::vector<Key> keys;
        std::unordered_map<std::wstring, size_t> index;  // first key per matched name
    };

    void Parse();
    const Section* FindSection(std::string_view name) const;
    const Key* FindKey(std::string_view section, std::string_view key) const;
    std::string ValueOf(const Key& key) const;
    void Splice(size_t at, size_t length, const std::string& text);

    std::string bytes_;
    std::vector<Section> sections_;
    std::unordered_map<std::wstring, size_t> sectionIndex_;
};

// The bytes of a file as the profile functions read them: a file that starts
// with a UTF-8 or UTF-16 byte-order mark is turned into code page 932 (what
// the system does for such a file); unicode is set for them.
std::string ProfileBytesFromFile(const std::string& raw, bool& unicode);

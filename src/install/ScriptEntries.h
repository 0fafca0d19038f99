#pragma once
// How the install run reads the script's entries: copy entries, registry
// values, and the install folder typed on the folder page. Pure text work:
// nothing here touches the system.
#include <cstdint>
#include <string>

// One [CopyFile] entry after its path macros were expanded.
struct CopyEntry {
    bool diskChange = false;  // "(Dch)": first file of the next disk
    std::string flags;        // "," + the second field, or empty
    std::string source;       // sourceFolder + name, or a "(From)" sub-folder path
    std::string destination;  // "AUTO.EXT" as the name takes the compressed file's own
};
CopyEntry ParseCopyEntry(const std::string& expandedValue, const std::string& sourceFolder);

// True when the path's last character is "_": a file compressed for the
// medium, expanded while it is copied.
bool IsCompressedName(const std::string& path);

// A number as the registry tags read it: leading blanks, then an optional
// sign and decimal digits, or "$" and one to eight hexadecimal digits.
// Anything else (the empty text, trailing characters, a decimal number
// outside 32 bits) is false.
bool ParseTagNumber(const std::string& text, std::int32_t& value);

// What a [Registry] value writes.
struct RegistryData {
    enum Kind { None, String, ExpandString, Dword, Binary } kind = None;
    std::string text;     // String, ExpandString; Binary: the 4 bytes
    std::uint32_t number = 0;
};
// value is the expanded value with every "(Pdd)" already removed; pdd says
// whether there was one.
RegistryData ParseRegistryValue(const std::string& value, bool pdd);

// The folder typed on the folder page as the run uses it: a fully qualified
// path with a drive letter ('X:\...'), '.' and '..' resolved, "/" turned
// into "\", ending with "\". Empty when the text is not such a path (relative,
// UNC, a bare drive 'C:', characters no file name may hold).
std::string CanonicalInstallFolder(const std::string& text);

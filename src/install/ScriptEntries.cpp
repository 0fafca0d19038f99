#include "install/ScriptEntries.h"

#include <windows.h>

#include <vector>

#include "app/MBUtils.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Win932.h"

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

bool IsCompressedName(const std::string& path) {
    // 0x5F ("_") can be the trail byte of a double-byte character: look at
    // the last character, not the last byte.
    if (path.empty() || path.back() != '_') return false;
    int i = 0;
    const int n = static_cast<int>(path.size());
    while (i < n - 1) i += IsLeadByte(static_cast<unsigned char>(path[i])) ? 2 : 1;
    return i == n - 1;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

CopyEntry ParseCopyEntry(const std::string& expandedValue, const std::string& sourceFolder) {
    CopyEntry entry;
    std::string value = expandedValue;
    if (StartsWith(value, "(Dch)")) {
        entry.diskChange = true;
        value = value.substr(5);
    }
    const std::string second = GetField(value, ',', 2);
    if (!second.empty()) entry.flags = "," + second;
    const std::string main = GetField(value, ',', 1);

    const int bar = IPos("|", main);
    if (bar > 0) {
        const std::string left = StrLeft(main, bar - 1);
        const std::string right = StrMid(main, bar + 1);
        if (StartsWith(right, "(From)")) {
            entry.destination = left;
            entry.source = sourceFolder + RemovePathDelimiter(right.substr(6), "T");
        } else {
            entry.destination = RemovePathDelimiter(ExtractFilePath(left), "B") + AddPathDelimiter(right, "T");
            entry.source = sourceFolder + ExtractFileName(left);
        }
        return entry;
    }
    entry.source = sourceFolder + ExtractFileName(main);
    entry.destination =
        IsCompressedName(main) ? RemovePathDelimiter(ExtractFilePath(main), "B") + "\\AUTO.EXT" : main;
    return entry;
}

bool ParseTagNumber(const std::string& text, std::int32_t& value) {
    value = 0;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && text[i] == '$') {
        ++i;
        const size_t digits = text.size() - i;
        if (digits == 0 || digits > 8) return false;
        std::uint32_t n = 0;
        for (; i < text.size(); ++i) {
            const int d = HexDigit(text[i]);
            if (d < 0) return false;
            n = (n << 4) | static_cast<std::uint32_t>(d);
        }
        value = static_cast<std::int32_t>(n);
        return true;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return false;
    long long n = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        n = n * 10 + (text[i] - '0');
        if (n > 2147483648LL) return false;
    }
    if (negative) n = -n;
    if (n > 2147483647LL || n < -2147483648LL) return false;
    value = static_cast<std::int32_t>(n);
    return true;
}

RegistryData ParseRegistryValue(const std::string& value, bool pdd) {
    RegistryData result;
    if (value.empty()) return result;
    const std::string tag = value.substr(0, 5);
    std::string data = value.size() > 5 ? value.substr(5) : std::string();
    if (pdd) data = RemovePathDelimiter(data, "B");
    if (tag == "(Str)") {
        result.kind = RegistryData::String;
        result.text = data;
    } else if (tag == "(Exp)") {
        result.kind = RegistryData::ExpandString;
        result.text = data;
    } else if (tag == "(Int)" || tag == "(Dwd)") {
        std::int32_t n = 0;
        ParseTagNumber(data, n);  // anything that is no number writes 0
        result.kind = RegistryData::Dword;
        result.number = static_cast<std::uint32_t>(n);
    } else if (tag == "(Bin)") {
        std::int32_t n = 0;
        if (!ParseTagNumber("$" + data, n)) return result;  // no number, nothing written
        const auto u = static_cast<std::uint32_t>(n);
        result.kind = RegistryData::Binary;
        for (int b = 0; b < 4; ++b) result.text += static_cast<char>((u >> (8 * b)) & 0xFF);
    } else {
        result.kind = RegistryData::String;
        result.text = value;
    }
    return result;
}

std::string CanonicalInstallFolder(const std::string& text) {
    if (text.size() < 3) return {};
    const unsigned char drive = static_cast<unsigned char>(text[0]);
    const bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    if (!letter || text[1] != ':' || (text[2] != '\\' && text[2] != '/')) return {};
    // Characters that no file name may hold (checked on character
    // boundaries: "|" may be the trail byte of a double-byte character).
    for (const char* bad : {"*", "?", "\"", "<", ">", "|", ":"}) {
        const int at = MBPos(bad, text.substr(2));
        if (at > 0) return {};
    }
    const std::string full = GetFullPathName932(text);
    if (full.size() < 3 || full[1] != ':') return {};
    return AddPathDelimiter(full, "B");
}

#include "app/uStrOp.h"

#include <windows.h>

#include <vector>

#include "app/MBUtils.h"
#include "platform/Win932.h"

std::string StrLeft(const std::string& text, int count) {
    if (count <= 0) return {};
    return text.substr(0, static_cast<size_t>(count));
}

std::string StrRight(const std::string& text, int count) {
    if (count <= 0) return {};
    if (static_cast<size_t>(count) >= text.size()) return text;
    return text.substr(text.size() - static_cast<size_t>(count));
}

std::string StrMid(const std::string& text, int start) {
    if (start < 1) start = 1;
    if (static_cast<size_t>(start) > text.size()) return {};
    return text.substr(static_cast<size_t>(start) - 1);
}

std::string AddPathDelimiter(const std::string& path, const std::string& endFlag) {
    if (endFlag.empty()) return path;
    if (path.empty()) return (endFlag[0] == 'T' || endFlag[0] == 'B') ? "\\" : path;
    if (endFlag[0] == 'T') return IsPathDelimiterAt(path, 1) ? path : "\\" + path;
    if (endFlag[0] == 'B') {
        return IsPathDelimiterAt(path, static_cast<int>(path.size())) ? path : path + "\\";
    }
    return path;
}

std::string RemovePathDelimiter(const std::string& path, const std::string& endFlag) {
    if (endFlag.empty() || path.empty()) return path;
    if (endFlag[0] == 'T') return IsPathDelimiterAt(path, 1) ? path.substr(1) : path;
    if (endFlag[0] == 'B') {
        const int last = static_cast<int>(path.size());
        return IsPathDelimiterAt(path, last) ? path.substr(0, path.size() - 1) : path;
    }
    return path;
}

std::string MapString(const std::string& text, unsigned long mapFlags) {
    if (text.empty()) return text;
    return LCMapString932(text, mapFlags);
}

std::string Upper(const std::string& text) { return MapString(text, LCMAP_UPPERCASE); }

namespace {

// One character of a code page 932 text: its length in bytes.
size_t CharLength(const std::string& text, size_t at) {
    return at + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
}

// "*" and "?" against a name, a character at a time; a mismatch goes back
// to the last "*" only, so no pattern can make the match take long.
bool Glob(const std::string& pattern, const std::string& name) {
    size_t p = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
            continue;
        }
        const size_t pl = p < pattern.size() ? CharLength(pattern, p) : 0, nl = CharLength(name, n);
        if (p < pattern.size() && (pattern[p] == '?' || (pl == nl && pattern.compare(p, pl, name, n, nl) == 0))) {
            p += pattern[p] == '?' ? 1 : pl;
            n += nl;
            continue;
        }
        if (star == std::string::npos) return false;
        p = star + 1;
        resume += CharLength(name, resume);
        n = resume;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace

// As the system matches a long name, but never through the short (8.3)
// alias a name may have.
bool MatchesWildcard(const std::string& pattern, const std::string& name) {
    const std::string p = Upper(pattern), n = Upper(name);
    if (Glob(p, n)) return true;
    return p.size() >= 2 && p.compare(p.size() - 2, 2, ".*") == 0 && n.find('.') == std::string::npos &&
           Glob(p, n + ".");
}

std::string GetField(const std::string& text, char delimiter, int index) {
    std::string out;
    int field = 1;
    for (char c : text) {
        if (c == delimiter) ++field;
        else if (field == index) out += c;
    }
    return out;
}

namespace {
// Byte index just past the last "\" or ":" on a character boundary; 0 when none.
size_t NameStart(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(c)) { ++i; continue; }
        if (c == '\\' || c == ':') start = i + 1;
    }
    return start;
}
}  // namespace

std::string ExtractFileName(const std::string& path) { return path.substr(NameStart(path)); }

std::string ExtractFilePath(const std::string& path) { return path.substr(0, NameStart(path)); }

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    const size_t nameStart = NameStart(path);
    // "." never occurs as a trail byte, so a byte search is safe here.
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return path + ext;
    return path.substr(0, dot) + ext;
}

std::string DrivePart(const std::string& folder) {
    if (folder.size() >= 2 && folder[1] == ':' && !IsLeadByte(static_cast<unsigned char>(folder[0])))
        return folder.substr(0, 2);
    if (folder.size() >= 2 && folder[0] == '\\' && folder[1] == '\\') {
        // \\server\share: up to, not including, the "\" after the share name.
        int separators = 0;
        for (size_t i = 2; i < folder.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(folder[i]);
            if (IsLeadByte(c)) {
                ++i;
                continue;
            }
            if (c == '\\' && ++separators == 2) return folder.substr(0, i);
        }
        return separators == 1 ? folder : std::string();
    }
    return {};
}

std::string ZeroPadded(unsigned long value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

#include "app/MBUtils.h"

#include <windows.h>

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByteEx(932, byte) != FALSE; }

int MBPos(const std::string& needle, const std::string& haystack) {
    if (needle.empty()) return 0;
    const size_t n = needle.size();
    for (size_t p = 0; p < haystack.size(); ++p) {
        if (haystack.compare(p, n, needle) == 0) return static_cast<int>(p) + 1;
        if (IsLeadByte(static_cast<unsigned char>(haystack[p]))) ++p;  // never start at a trail byte
    }
    return 0;
}

bool IsPathDelimiterAt(const std::string& text, int pos) {
    if (pos < 1 || pos > static_cast<int>(text.size())) return false;
    // Walk from the start: only a character boundary can hold a delimiter.
    for (int i = 1; i <= pos; ++i) {
        unsigned char c = static_cast<unsigned char>(text[static_cast<size_t>(i) - 1]);
        if (i == pos) return c == '\\';
        if (IsLeadByte(c)) {
            ++i;
            if (i == pos) return false;  // pos is a trail byte
        }
    }
    return false;
}

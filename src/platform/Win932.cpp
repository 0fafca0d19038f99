// The text conversions every crossing of the boundary goes through.
#include "platform/Win932.h"

#include <algorithm>

#include "platform/SystemLibraries.h"
#include "platform/Win932Detail.h"

namespace win932 {

namespace {
int forcedAnsi = 0;
}

bool WideSystem() {
    // The high bit of the version word is set only on the 95 family.
    static const bool nt = (GetVersion() & 0x80000000u) == 0;
    return nt && forcedAnsi == 0;
}

ForceAnsiForTest::ForceAnsiForTest() { ++forcedAnsi; }
ForceAnsiForTest::~ForceAnsiForTest() { --forcedAnsi; }

std::wstring Wide(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(kCodePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(kCodePage, 0, text.data(), size, wide.data(), n);
    return wide;
}

namespace detail {

// Exactly the text in the code page, or false. The best-fit switch is
// refused before Windows 2000 (ERROR_INVALID_FLAGS): there a plain
// conversion must convert back to the text itself.
bool ToCodePage(UINT codePage, std::wstring_view text, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    const int size = static_cast<int>(text.size());
    static bool bestFitSwitchRefused = false;
    if (!bestFitSwitchRefused && !syslib::NewerEntriesHidden()) {
        BOOL lost = FALSE;
        const int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr, 0, nullptr, &lost);
        if (n > 0) {
            out.assign(static_cast<size_t>(n), '\0');
            lost = FALSE;
            WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), size, out.data(), n, nullptr, &lost);
            return !lost;
        }
        if (GetLastError() != ERROR_INVALID_FLAGS) return false;
        bestFitSwitchRefused = true;
    }
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, &lost);
    if (n <= 0) return false;
    out.assign(static_cast<size_t>(n), '\0');
    lost = FALSE;
    WideCharToMultiByte(codePage, 0, text.data(), size, out.data(), n, nullptr, &lost);
    if (lost) return false;
    const int back = MultiByteToWideChar(codePage, 0, out.data(), n, nullptr, 0);
    if (back != size) return false;
    std::wstring again(static_cast<size_t>(back), L'\0');
    MultiByteToWideChar(codePage, 0, out.data(), n, again.data(), back);
    return again == text;
}

}  // namespace detail

bool Narrow(std::wstring_view text, std::string& out) { return detail::ToCodePage(kCodePage, text, out); }

std::wstring FromUtf8(std::string_view text, bool* valid) {
    // Each ill-formed piece (the longest start of a sequence that could
    // still have been right) becomes one U+FFFD, as the NT family's own
    // conversion gives it from Vista on.
    std::wstring out;
    out.reserve(text.size());
    bool ok = true;
    const size_t size = text.size();
    for (size_t i = 0; i < size;) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        size_t length = 0;
        unsigned long code = 0;
        unsigned char low = 0x80, high = 0xBF;  // the second byte's range
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;   // no overlong form
            if (lead == 0xED) high = 0x9F;  // no surrogate
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
        }
        size_t used = 1;
        for (; length && used < length && i + used < size; ++used) {
            const auto next = static_cast<unsigned char>(text[i + used]);
            const unsigned char from = used == 1 ? low : 0x80, to = used == 1 ? high : 0xBF;
            if (next < from || next > to) break;
            code = (code << 6) | (next & 0x3F);
        }
        if (!length || used < length) {
            out += L'\xFFFD';
            ok = false;
            i += used;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (code >> 10));
            out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
        i += length;
    }
    if (valid) *valid = ok;
    return out;
}

std::string NarrowForDisplay(std::wstring_view text) {
    std::string out;
    Narrow(text, out);
    return out;
}

bool PathFromSystem(const std::wstring& path, std::string& out) {
    if (Narrow(path, out)) return true;
    const std::wstring shortPath = detail::ShortPath(path);
    return !shortPath.empty() && Narrow(shortPath, out);
}

}  // namespace win932

#pragma once
// Shared by the boundary's own files only: nothing outside src/platform/Win932*
// includes this.
#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace win932::detail {

// Exactly the text in the code page, or false (no best-fit look-alike).
bool ToCodePage(UINT codePage, std::wstring_view text, std::string& out);

// A path the system gave: its CP932 form, or empty with kNoCp932Form.
std::string FromSystem(const std::wstring& path);

// The path's short form, as GetShortPathNameW gives it, or empty with its
// error. On a volume that makes no 8.3 names (and in the test personality
// of one) the call succeeds and gives the path back as asked.
std::wstring ShortPath(const std::wstring& path);

// Calls a path function with a buffer grown until the result fits; the
// function returns the length written, or the size needed when it did not fit.
template <typename Char, typename Call>
std::basic_string<Char> Grown(Call call) {
    std::vector<Char> buffer(MAX_PATH + 1);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_GEN_FAILURE);
            return {};
        }
        if (n < buffer.size()) return std::basic_string<Char>(buffer.data(), n);
        if (buffer.size() >= 32768) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return {};
        }
        buffer.resize(std::max<size_t>(n + 1, buffer.size() * 2));
    }
}

}  // namespace win932::detail

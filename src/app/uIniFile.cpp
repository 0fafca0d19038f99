#include "app/uIniFile.h"

#include <windows.h>

#include <unordered_map>
#include <vector>

std::string IniRead(const std::string& section, const std::string& key, const std::string& defaultValue,
                    const std::string& file) {
    // The profile functions are handed a short marker instead of the caller's
    // default: a default of 32 K characters or more (a script's title can be
    // the default of another key) makes the wide conversion inside the
    // system fail and the call crash.
    static const char kMissing[] = "\x01\x02\x03";
    constexpr DWORD kStep = 256;
    std::vector<char> buffer(kStep);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), kMissing, buffer.data(), size,
                                                 file.c_str());
        // A cut value comes back as size - 1 bytes, or as size - 2 when the
        // cut fell before a double-byte character that no longer fit; only a
        // shorter answer is certainly whole.
        if (n < size - 2) {
            std::string value(buffer.data(), n);
            if (value != kMissing) return value;
            // The system gives a default back without its trailing blanks.
            const size_t end = defaultValue.find_last_not_of(' ');
            return end == std::string::npos ? std::string() : defaultValue.substr(0, end + 1);
        }
        buffer.assign(buffer.size() + kStep, '\0');
    }
}

namespace {

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The section's "key=value" lines, each ending with a zero, the whole
// ending with a second zero; the buffer grows until the section fits.
std::string SectionText(const std::string& section, const std::string& file) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = GetPrivateProfileSectionA(section.c_str(), buffer.data(), size, file.c_str());
        if (n < size - 2) return std::string(buffer.data(), n);
        buffer.assign(buffer.size() * 2, '\0');
    }
}

}  // namespace

std::vector<std::string> IniReadList(const std::string& section, const std::string& prefix,
                                     const std::string& file) {
    std::unordered_map<std::string, std::string> values;
    const std::string text = SectionText(section, file);
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string value = Trimmed(line.substr(equals + 1));
        // As the profile functions give a quoted value: without its quotes.
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        values.emplace(UpperAscii(Trimmed(line.substr(0, equals))), std::move(value));
    }
    std::vector<std::string> list;
    const std::string upperPrefix = UpperAscii(prefix);
    for (int n = 1;; ++n) {
        const auto found = values.find(upperPrefix + std::to_string(n));
        if (found == values.end() || found->second.empty()) break;
        list.push_back(found->second);
    }
    return list;
}

bool IniWrite(const std::string& section, const std::string& key, const std::string& value,
              const std::string& file) {
    const BOOL written = WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str());
    // All-null arguments make the system write its cached copy out now, so a
    // reader of the file itself (another process, a restart) sees the value.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    return written != FALSE;
}

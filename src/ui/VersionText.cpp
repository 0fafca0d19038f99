#include "ui/VersionText.h"

#include <windows.h>

#include <vector>

#include "platform/Win932.h"

namespace {

// Decimal digits of the leading number of a part, without leading zeros
// ("0" for none), so long parts never overflow.
std::string Number(const std::string& part) {
    size_t i = 0;
    while (i < part.size() && part[i] == ' ') ++i;
    std::string digits;
    for (; i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i) digits += part[i];
    size_t nz = digits.find_first_not_of('0');
    return nz == std::string::npos ? "0" : digits.substr(nz);
}

std::string PadLeft(std::string s, size_t width) {
    if (s.size() < width) s.insert(0, width - s.size(), '0');
    return s;
}

}  // namespace

std::string ReadFileVersionString(const std::string& path) {
    std::vector<BYTE> block;
    std::string text;
    if (!GetFileVersionInfo932(path, block) ||
        !VerQueryString932(block, "\\StringFileInfo\\041103a4\\FileVersion", text))
        return {};
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

std::string VersionText(const std::string& fileVersion) {
    std::string parts[4] = {"0", "0", "0", "0"};
    size_t start = 0;
    for (int i = 0; i < 4 && start <= fileVersion.size(); ++i) {
        size_t dot = fileVersion.find('.', start);
        parts[i] = Number(fileVersion.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    std::string minor = Number(parts[1] + parts[2]);
    return parts[0] + "." + PadLeft(minor, 2) + "β1(Build:" + PadLeft(parts[3], 4) + "/D3)";
}

std::string VersionCaption(const std::string& fileVersion) {
    return "Ravelin Setup Version" + VersionText(fileVersion);
}

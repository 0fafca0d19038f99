#include "sysops/ProfileSections.h"

#include <windows.h>

bool DeleteIniSection(const std::string& file, const std::string& section) {
    if (file.empty() || section.empty()) return false;
    // A write of the section with neither key nor value deletes it.
    const BOOL deleted = WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, file.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    return deleted != FALSE;
}

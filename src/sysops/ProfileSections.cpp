#include "sysops/ProfileSections.h"

#include "app/uIniFile.h"

bool DeleteIniSection(const std::string& file, const std::string& section) {
    if (file.empty() || section.empty()) return false;
    return IniDeleteSection(section, file);
}

#include "uninstall/UninstallProgress.h"

#include <windows.h>

#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "sysops/Deletion.h"

namespace {
const char kKeySection[] = "UnSetupRegistryKey";
const char kKey[] = "Key";
const char kCountSection[] = "SharedCount";
}  // namespace

UninstallProgress::UninstallProgress(const std::string& recordFile) {
    const std::string folder = ExtractFilePath(recordFile);
    if (!recordFile.empty() && !folder.empty()) path_ = folder + RecordFiles::kProgress;
}

bool UninstallProgress::Exists() const { return !path_.empty() && FileExists(path_); }

void UninstallProgress::Begin(const std::string& registryKey) {
    if (path_.empty() || Exists()) return;
    IniWrite(kKeySection, kKey, registryKey, path_);
}

std::string UninstallProgress::RegistryKey() const {
    return path_.empty() ? std::string() : IniRead(kKeySection, kKey, "", path_);
}

bool UninstallProgress::NoteDecrement(const std::string& entry, const std::string& path, long countBefore) {
    if (path_.empty()) return true;
    return IniWrite(kCountSection, entry, std::to_string(countBefore) + "," + path, path_);
}

bool UninstallProgress::AlreadyDecremented(const std::string& entry, const std::string& path, long countNow) const {
    if (path_.empty()) return false;
    const std::string note = IniRead(kCountSection, entry, "", path_);
    const int comma = IPos(",", note);
    if (comma == 0) return false;
    // A note of another file (the record was replaced in between) says
    // nothing about this one.
    if (MapString(StrMid(note, comma + 1), LCMAP_UPPERCASE) != MapString(path, LCMAP_UPPERCASE)) return false;
    return StrLeft(note, comma - 1) != std::to_string(countNow);
}

unsigned long UninstallProgress::Remove() const {
    if (!Exists()) return 0;
    return DeletePath(path_);
}

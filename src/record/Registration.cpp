#include "record/Registration.h"

#include <windows.h>

#include <string>

#include "app/ScriptKeys.h"
#include "app/SystemChanges.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "record/RecordKeys.h"
#include "sysops/FileOps.h"
#include "sysops/Registry.h"

namespace {

constexpr const char* kUninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The file's last write time; false when it cannot be read (missing file,
// no access).
bool LastWriteTime(const std::string& path, FILETIME& time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!Changes().AttributesEx(path, data)) return false;
    time = data.ftLastWriteTime;
    return true;
}

// The [Support] values in the order the list shows them; REG_EXPAND_SZ for
// the two that name places.
struct SupportValue {
    const char* name;
    bool expand;
};
constexpr SupportValue kSupportValues[] = {
    {Script::Support::kPublisher, false},     {Script::Support::kURLInfoAbout, false},
    {Script::Support::kDisplayVersion, false}, {Script::Support::kContact, false},
    {Script::Support::kHelpLink, true},        {Script::Support::kHelpTelephone, false},
    {Script::Support::kReadme, true},          {Script::Support::kURLUpdateInfo, false},
    {Script::Support::kComments, false},
};

std::string UninstallCommand(const std::string& windowsFolder, const std::string& installFolder) {
    const std::string uninstaller = AddPathDelimiter(windowsFolder, "B") + RecordFiles::kUninstaller;
    const std::string record = AddPathDelimiter(installFolder, "B") + RecordFiles::kRecord;
    return uninstaller + " \"" + record + "\"";
}

}  // namespace

unsigned long CopyUninstaller(OpenedFile* image, const std::string& windowsFolder, bool setupOnly) {
    const std::string target = AddPathDelimiter(windowsFolder, "B") + RecordFiles::kUninstaller;
    const bool installed = FileExists(target);
    // A package that leaves no record needs no uninstaller of its own; one
    // that is there already is still brought up to date.
    if (setupOnly && !installed) return 0;
    if (!image) return ERROR_FILE_NOT_FOUND;
    FILETIME ours = {}, theirs = {};
    if (installed && image->Time(ours) && LastWriteTime(target, theirs) && CompareFileTime(&ours, &theirs) <= 0)
        return 0;
    return PlaceUninstallerCopy(image, target);
}

unsigned long PlaceUninstallerCopy(OpenedFile* image, const std::string& target) {
    // An uninstaller running now (another package's uninstall) is replaced
    // at the restart by the whole copy beside it.
    std::string waiting;
    CopyRequest request;
    request.inUseTemporary = &waiting;
    request.from = image;
    const unsigned long copied = CopyFileTo("(このプログラム自身)", target, request);
    if (copied != ERROR_SHARING_VIOLATION || waiting.empty()) return copied;
    return ScheduleReplacement(waiting, target) ? ERROR_SUCCESS_REBOOT_REQUIRED : copied;
}

void WriteProgramID(const std::string& id, const std::string& installFolder, const std::string& windowsFolder) {
    if (id.empty()) return;
    IniWrite(id, Script::ProgramIDList::kFolder, installFolder,
             RemovePathDelimiter(windowsFolder, "B") + "\\" + Script::ProgramIDList::kFileName);
}

std::string UninstallKeyPath(const std::string& keyName) {
    // Separators around the name name nothing more: "\" alone would be the
    // list itself.
    std::string name = keyName;
    for (std::string trimmed; (trimmed = RemovePathDelimiter(RemovePathDelimiter(name, "T"), "B")) != name;)
        name = trimmed;
    if (name.empty()) return {};
    return kUninstallList + name;
}

void WriteUninstallKey(const std::string& keyPath, const std::string& displayName, const std::string& windowsFolder,
                       const std::string& installFolder, const std::string& scriptFile) {
    if (keyPath.empty()) return;
    const std::string uninstaller = AddPathDelimiter(windowsFolder, "B") + RecordFiles::kUninstaller;
    CreateRegistryKey(HKEY_LOCAL_MACHINE, keyPath);
    WriteRegistryString(HKEY_LOCAL_MACHINE, keyPath, "DisplayName", displayName);
    WriteRegistryString(HKEY_LOCAL_MACHINE, keyPath, "UninstallString", UninstallCommand(windowsFolder, installFolder),
                        true);
    WriteRegistryString(HKEY_LOCAL_MACHINE, keyPath, "DisplayIcon", uninstaller);
    for (const SupportValue& support : kSupportValues) {
        const std::string value = IniRead(Script::Support::kSection, support.name, "", scriptFile);
        if (!value.empty()) WriteRegistryString(HKEY_LOCAL_MACHINE, keyPath, support.name, value, support.expand);
    }
}

std::string InstallDateText(unsigned year, unsigned month, unsigned day) {
    return ZeroPadded(year % 10000, 4) + ZeroPadded(month % 100, 2) + ZeroPadded(day % 100, 2);
}

unsigned long EstimatedSizeKiB(unsigned long long bytes) {
    const unsigned long long kib = bytes / 1024 + (bytes % 1024 != 0);
    return kib > 0xFFFFFFFFull ? 0xFFFFFFFFul : static_cast<unsigned long>(kib);
}

void WriteUninstallExtras(const std::string& keyPath, const std::string& windowsFolder,
                          const std::string& installFolder, unsigned long long installedBytes) {
    if (keyPath.empty()) return;
    SYSTEMTIME today;
    GetLocalTime(&today);
    WriteRegistryString(HKEY_LOCAL_MACHINE, keyPath, "QuietUninstallString",
                        UninstallCommand(windowsFolder, installFolder) + " /S", true);
    WriteRegistryString(HKEY_LOCAL_MACHINE, keyPath, "InstallLocation", AddPathDelimiter(installFolder, "B"));
    WriteRegistryString(HKEY_LOCAL_MACHINE, keyPath, "InstallDate",
                        InstallDateText(today.wYear, today.wMonth, today.wDay));
    WriteRegistryDword(HKEY_LOCAL_MACHINE, keyPath, "EstimatedSize", EstimatedSizeKiB(installedBytes));
    WriteRegistryDword(HKEY_LOCAL_MACHINE, keyPath, "NoModify", 1);
    WriteRegistryDword(HKEY_LOCAL_MACHINE, keyPath, "NoRepair", 1);
}

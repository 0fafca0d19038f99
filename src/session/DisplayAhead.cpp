#include "session/DisplayAhead.h"

#include "app/ScriptKeys.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "install/ShortcutBoxes.h"
#include "platform/Win932.h"
#include "record/EntryFlags.h"
#include "session/SessionStart.h"

namespace {

bool AnyRegistration(const char* section, const char* prefix, const std::string& file) {
    for (const std::string& value : IniReadList(section, prefix, file))
        if (EntryFlags::Read(GetField(value, ',', 2)).registered) return true;
    return false;
}

}  // namespace

bool RunMayStartCom(const std::string& programPath, const std::string& firstArgument) {
    if (ModeFromArgument(firstArgument) == "UNSETUP") {
        const std::string record = GetFullPathName932(firstArgument);
        if (record.empty()) return false;
        return !IniRead(Script::BeforeUnInstall::kSection, Script::BeforeUnInstall::kFile, "", record).empty() ||
               AnyRegistration(Script::DeleteFiles::kSection, Script::DeleteFiles::kFilePrefix, record);
    }
    if (programPath.empty()) return false;
    const std::string script = ExtractFilePath(programPath) + Script::kFileName;
    const ShortcutBoxes boxes = ShortcutBoxesFrom(script);
    return boxes.desktop || boxes.startMenu || boxes.startUp || boxes.sendTo ||
           AnyRegistration(Script::CopyFiles::kSection, Script::CopyFiles::kFilePrefix, script);
}

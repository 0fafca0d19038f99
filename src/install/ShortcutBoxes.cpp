#include "install/ShortcutBoxes.h"

#include "app/ScriptKeys.h"
#include "app/uIniFile.h"
#include "app/uUtils.h"

int ShortcutBoxOf(const std::string& name) {
    if (IPos("Dsk)", name)) return 0;
    if (IPos("Sta)", name) || name == Script::ShortCut::kNameDefault) return 1;
    if (IPos("Sup)", name)) return 2;
    if (IPos("Sen)", name)) return 3;
    return -1;
}

ShortcutBoxes ShortcutBoxesFrom(const std::string& scriptFile) {
    ShortcutBoxes boxes;
    bool* const flags[4] = {&boxes.desktop, &boxes.startMenu, &boxes.startUp, &boxes.sendTo};
    for (int i = 1;; ++i) {
        const std::string make =
            IniRead(Script::ShortCut::kSection, Script::NumberedKey(Script::ShortCut::kMakePrefix, i), "", scriptFile);
        if (make.empty()) break;
        const std::string name = IniRead(Script::ShortCut::kSection, Script::NumberedKey(Script::ShortCut::kNamePrefix, i),
                                         Script::ShortCut::kNameDefault, scriptFile);
        const int box = ShortcutBoxOf(name);
        if (box >= 0) *flags[box] = true;
    }
    return boxes;
}

#include "uninstall/UninstallRun.h"

#include "app/RunView.h"
#include "app/SetupState.h"

void RunUninstall(RunView& view) {
    view.Ask(State().UnSetupString + "処理は、このバージョンではまだ利用できません。", "情報", 64);
}

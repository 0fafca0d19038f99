#include "install/InstallRun.h"

#include "app/RunView.h"
#include "app/SetupState.h"

void RunInstall(RunView& view) {
    view.Ask(State().SetupString + "処理は、このバージョンではまだ利用できません。", "情報", 64);
}

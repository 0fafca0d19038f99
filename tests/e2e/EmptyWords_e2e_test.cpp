// A package may give empty install or uninstall words: the captions are then
// the bare ones ("続行(&C)", "開始(&S)"), which the runs' own pages use too.
// The wizard must still lead to the folder page and its start button.
#include <windows.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "TestSupport.h"
#include "ui/resource.h"

using namespace e2e;

TEST(EmptyWordsE2E, AnEmptyInstallWordStillLeadsToAUsableStartButton) {
    Distribution dist;
    dist.WriteScript("[Title]\r\nSetup=語なし\r\n[Extend]\r\nSetupString=\r\n");
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, "続行(&C)"));
    setup.Press(IDC_btnEvent);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, "開始(&S)"));
    EXPECT_TRUE(setup.WaitUntil([&] { return setup.Shown(IDC_grpSetupFolder); }, "the folder page"));
    EXPECT_TRUE(setup.Enabled(IDC_btnEvent)) << "the start button must be usable";
    setup.Press(IDC_btnEnd);
    EXPECT_TRUE(setup.WaitForExit(20000));
}

TEST(EmptyWordsE2E, AnEmptyUninstallWordStillShowsTheOptionPage) {
    ScratchFolder app;
    app.Write("UNSETUP.INI", "[Title]\r\nUnSetup=語なし\r\n[SetupFolder]\r\nFolder=" + app.path() +
                                 "\r\n[Extend]\r\nSetupString=インストール\r\nUnSetupString=\r\n");
    Distribution dist;
    SetupProcess setup(dist.exe(), "\"" + app.path() + "UNSETUP.INI\"");
    ASSERT_TRUE(setup.WaitForWizard());
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, "開始(&S)"));
    EXPECT_TRUE(setup.WaitUntil([&] { return setup.Shown(IDC_grpOption); }, "the option page"));
    EXPECT_TRUE(setup.Enabled(IDC_btnEvent));
    setup.Press(IDC_btnEnd);
    EXPECT_TRUE(setup.WaitForExit(20000));
}

// Leaving the program: once its window is gone from the screen, the program
// has let go of everything, so the next start is welcome at once.
#include <windows.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "TestSupport.h"
#include "ui/resource.h"

using namespace e2e;

namespace {

// Waits until the wizard is no longer on the screen (hidden or destroyed).
bool WaitUntilWizardGone(const SetupProcess& setup) {
    const DWORD start = GetTickCount();
    while (IsWindow(setup.Wizard()) && IsWindowVisible(setup.Wizard())) {
        if (GetTickCount() - start > kWaitMs) return false;
        Sleep(2);
    }
    return true;
}

// A start right after the first program's window went away must reach its
// wizard, not be turned away as a second instance.
void ExpectANewStartIsWelcome(const Distribution& dist) {
    SetupProcess next(dist.exe(), "");
    EXPECT_TRUE(next.WaitForWizard()) << "a start right after the window went away was turned away";
    next.Press(IDC_btnEnd);
    MessageBoxView question;
    if (next.FindMessageBox(question)) next.Answer(question, IDYES);
}

}  // namespace

TEST(ExitE2E, AfterTheCloseQuestionsYesTheWindowGoesOnlyWithTheProgram) {
    Distribution dist;
    dist.WriteScript("[Title]\r\nSetup=テストアプリ\r\nProgram=テストアプリ\r\n");
    {
        SetupProcess setup(dist.exe(), "");
        ASSERT_TRUE(setup.WaitForWizard());
        setup.Press(IDC_btnEnd);
        const MessageBoxView box = setup.WaitForMessageBox("the close question");
        EXPECT_EQ(ToUtf8("終了確認"), ToUtf8(box.caption));
        setup.Answer(box, IDYES);
        ASSERT_TRUE(WaitUntilWizardGone(setup)) << "the wizard stayed on the screen";
        ExpectANewStartIsWelcome(dist);
        EXPECT_TRUE(setup.WaitForExit(kWaitMs));
        EXPECT_EQ(2u, setup.ExitCode()) << "left before any change";
    }
}

TEST(ExitE2E, TheFatalStatesEndButtonLeavesNothingBehindTheWindow) {
    Distribution dist;  // no script: the fatal state
    {
        SetupProcess setup(dist.exe(), "");
        ASSERT_TRUE(setup.WaitForWizard());
        ASSERT_EQ(ToUtf8("終了(&E)"), ToUtf8(setup.Text(IDC_btnEnd)));
        setup.Press(IDC_btnEnd);
        ASSERT_TRUE(WaitUntilWizardGone(setup)) << "the wizard stayed on the screen";
        dist.WriteScript("[Title]\r\nSetup=テストアプリ\r\n");
        ExpectANewStartIsWelcome(dist);
        EXPECT_TRUE(setup.WaitForExit(kWaitMs));
        EXPECT_EQ(4u, setup.ExitCode()) << "could not start, as /S says it";
    }
}

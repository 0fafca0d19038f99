// How a form lets go of its window at the end of the program.
#include "ui/Forms.h"

#include "TestSupport.h"
#include "ui/frmMain.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

TEST(FormEnd, AnAbandonedWindowStaysButNoLongerReachesItsForm) {
    ASSERT_TRUE(CreateForms(GetModuleHandleA(nullptr)));
    TfrmMain& f = frmMain();
    HWND window = f.Handle();
    HWND end = f.Item(IDC_btnEnd);
    f.Abandon();
    EXPECT_EQ(nullptr, f.Handle());
    EXPECT_TRUE(IsWindow(window)) << "the window is left for the end of the process";
    // A press on the end button reaches no handler of the form any more.
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_btnEnd, BN_CLICKED), reinterpret_cast<LPARAM>(end));
    EXPECT_EQ(0, f.ModalResult());
    f.Destroy();  // the form has nothing left to destroy
    EXPECT_TRUE(IsWindow(window));
    DestroyWindow(window);
    DestroyForms();
}

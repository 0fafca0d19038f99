#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/Handles.h"

int main(int argc, char** argv) {
    // A crash must end the test program with a failure, never wait for a
    // debugger dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ComApartment com;
    ::testing::InitGoogleTest(&argc, argv);
    InstallStrictMsgBox();
    return RUN_ALL_TESTS();
}

// What the uninstall checks through a held file is what it then loads or
// starts: nobody can write, rename or delete the file meanwhile.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/Handles.h"
#include "sysops/HeldFile.h"

TEST(HeldFile, NobodyChangesTheFileWhileItIsHeldAndItsDigestIsOfItsBytes) {
    ScratchFolder dir;
    const std::string path = dir / "Lib.dll";
    dir.Write("Lib.dll", "abc");
    {
        const HeldFile held(path);
        ASSERT_TRUE(held.ok());
        EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", held.Digest());
        EXPECT_FALSE(FileHandle(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                            FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr)));
        EXPECT_FALSE(DeleteFileA(path.c_str()));
        EXPECT_FALSE(MoveFileA(path.c_str(), (dir / "Other.dll").c_str()));
        EXPECT_EQ(held.Digest(), held.Digest()) << "read from the start each time";
    }
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "let go with the object";
}

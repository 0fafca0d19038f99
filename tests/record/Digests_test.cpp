#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "record/Digests.h"
#include "sysops/HeldFile.h"

// A registered library loads what it imports from its own folder: those
// are signed with it and checked with it, or a planted one runs elevated.
TEST(ImportDigests, TheLibrariesItLoadsFromItsFolderAreSignedAndChecked) {
    ScratchFolder folder;
    const std::string library = folder / "useshelper.dll", helper = folder / "importhelper.dll";
    ASSERT_TRUE(CopyFileA((TestBinFolder() + "useshelper.dll").c_str(), library.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((TestBinFolder() + "importhelper.dll").c_str(), helper.c_str(), FALSE));
    {
        const HeldFile held(library);
        const auto imports = HoldImportsBeside(held);
        ASSERT_EQ(1u, imports.size());
        EXPECT_EQ(helper, imports[0]->path());
        EXPECT_NE(nullptr, ChangedImport(imports)) << "not signed yet";
        StoreImportDigests(held);
    }
    {
        const HeldFile held(library);
        EXPECT_EQ(nullptr, ChangedImport(HoldImportsBeside(held)));
    }
    // Planted in its place after the install.
    ASSERT_TRUE(CopyFileA((TestBinFolder() + "sysops_selfreg_ok.dll").c_str(), helper.c_str(), FALSE));
    {
        const HeldFile held(library);
        const auto imports = HoldImportsBeside(held);
        ASSERT_NE(nullptr, ChangedImport(imports));
        EXPECT_EQ(helper, ChangedImport(imports)->path());
    }
    ForgetFileDigest(helper);
}

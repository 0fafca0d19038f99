#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/ImageHeaders.h"
#include "platform/PrivateFolder.h"

namespace {

struct Entry {
    std::string sid;
    DWORD mask;
    BYTE flags;
};

// The access list as the system reads it back from the descriptor: Wine
// keeps no access lists on files, so the descriptor itself is what is
// checked.
std::vector<Entry> AllowedEntries(SECURITY_ATTRIBUTES* attributes, bool& isProtected) {
    std::vector<Entry> entries;
    BOOL present = FALSE, defaulted = FALSE;
    ACL* acl = nullptr;
    auto* descriptor = static_cast<PSECURITY_DESCRIPTOR>(attributes->lpSecurityDescriptor);
    EXPECT_TRUE(IsValidSecurityDescriptor(descriptor));
    EXPECT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted));
    EXPECT_TRUE(present && acl);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    isProtected = (control & SE_DACL_PROTECTED) != 0;
    if (!acl || !IsValidAcl(acl)) return entries;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace)) break;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, allowed->Header.AceType);
        char* text = nullptr;
        ConvertSidToStringSidA(&allowed->SidStart, &text);
        entries.push_back({text ? text : "?", allowed->Mask, allowed->Header.AceFlags});
        LocalFree(text);
    }
    return entries;
}

std::string UserSidText() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    char buffer[256];
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
    CloseHandle(token);
    char* text = nullptr;
    ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
    const std::string sid = text ? text : "";
    LocalFree(text);
    return sid;
}

}  // namespace

TEST(PrivateFolder, OnlySystemAndAdministratorsAndTheUserOnlyWhenUnelevated) {
    const BYTE inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    for (bool admitUser : {false, true}) {
        PrivateFolderSecurity security(admitUser);
        ASSERT_NE(nullptr, security.get());
        bool isProtected = false;
        const std::vector<Entry> entries = AllowedEntries(security.get(), isProtected);
        EXPECT_TRUE(isProtected) << "nothing the temporary folder hands down may come in";
        std::vector<std::string> sids;
        for (const Entry& e : entries) {
            sids.push_back(e.sid);
            EXPECT_EQ(static_cast<DWORD>(FILE_ALL_ACCESS), e.mask) << e.sid;
            EXPECT_EQ(inherit, e.flags) << e.sid;
        }
        std::vector<std::string> expected = {"S-1-5-18", "S-1-5-32-544"};
        if (admitUser && UserSidText() != "S-1-5-18") expected.push_back(UserSidText());
        EXPECT_EQ(expected, sids);
    }
}

TEST(ImageHeaders, OnlyTheFileTheProcessRunsFrom) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string bytes = ReadFileBytes(self).substr(0, 64 * 1024);
    EXPECT_TRUE(HeadersOfThisImage(bytes));
    // Another build of a program with the same layout differs in its stamp.
    std::string other = bytes;
    const DWORD at = *reinterpret_cast<const DWORD*>(other.data() + 0x3C) + 8;  // FileHeader.TimeDateStamp
    other[at] ^= 1;
    EXPECT_FALSE(HeadersOfThisImage(other));
    EXPECT_FALSE(HeadersOfThisImage(ReadFileBytes(TestBinFolder() + "sysops_child.exe")));
    EXPECT_FALSE(HeadersOfThisImage(bytes.substr(0, 200))) << "cut before the section table";
}

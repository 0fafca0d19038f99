// The digest that decides whether the uninstall trusts a record, a program
// or a library: the published test vectors (FIPS 180-2, the two-block
// messages, and one million "a" fed in pieces that straddle the blocks).
#include <gtest/gtest.h>

#include <string>

#include "sysops/Sha256.h"

TEST(Sha256, PublishedVectors) {
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", Sha256Hex(std::string()));
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", Sha256Hex(std::string("abc")));
    EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
              Sha256Hex(std::string("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")));
    EXPECT_EQ("cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1",
              Sha256Hex(std::string("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
                                    "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu")));
    Sha256 million;
    const std::string tenA(10, 'a');
    for (int i = 0; i < 100000; ++i) million.Update(tenA.data(), tenA.size());
    EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", Sha256Hex(million.Finish()));
}

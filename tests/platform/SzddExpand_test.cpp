// The program's own SZDD decoder against LZ32 on files another compressor
// made, and against damaged and hostile files. (The files RVPACK makes are
// compared in tests/pack/Szdd_test.cpp.)
#include "platform/SzddExpand.h"

#include <windows.h>
#include <lzexpand.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

std::string LzData(const std::string& name) { return TestBinFolder() + "lzdata\\" + name; }

FILETIME WriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

std::string ExpandWithLz32(const std::string& compressed, const std::string& out) {
    OFSTRUCT a{}, b{};
    char in[MAX_PATH], target[MAX_PATH];
    lstrcpynA(in, compressed.c_str(), MAX_PATH);
    lstrcpynA(target, out.c_str(), MAX_PATH);
    const INT source = LZOpenFileA(in, &a, OF_READ);
    const INT destination = LZOpenFileA(target, &b, OF_CREATE);
    const LONG copied = source >= 0 && destination >= 0 ? LZCopy(source, destination) : -1;
    if (source >= 0) LZClose(source);
    if (destination >= 0) LZClose(destination);
    return copied < 0 ? "(LZCopy failed)" : ReadFileBytes(out);
}

}  // namespace

TEST(SzddExpand, FilesOfMscompressComeOutAsLz32GivesThemWithTheirTime) {
    ScratchFolder dir;
    for (const char* name : {"sample.txt", "child.exe"}) {
        SCOPED_TRACE(name);
        const std::string compressed = ReadFileBytes(LzData(std::string(name) + "_"));
        ASSERT_GT(compressed.size(), szdd::kHeaderSize) << "compressed test data missing";
        dir.Write("in.bi_", compressed);
        WriteTimeAgo(dir / "in.bi_", 86400 * 5);
        const std::string lz32 = ExpandWithLz32(dir / "in.bi_", dir / "lz32.out");
        ASSERT_EQ(ReadFileBytes(LzData(name)), lz32);
        ASSERT_EQ(0u, szdd::ExpandFile(dir / "in.bi_", dir / "own.out"));
        EXPECT_TRUE(ReadFileBytes(dir / "own.out") == lz32);
        const FILETIME a = WriteTime(dir / "lz32.out"), b = WriteTime(dir / "own.out");
        EXPECT_EQ(0, CompareFileTime(&a, &b));
        std::string bytes;
        EXPECT_EQ(0u, szdd::ExpandBytes(dir / "in.bi_", bytes));
        EXPECT_TRUE(bytes == lz32);
    }
    // A file without the magic is copied as it is, as LZCopy copies it.
    dir.Write("plain.tx_", "SZDD but not the magic");
    ASSERT_EQ(0u, szdd::ExpandFile(dir / "plain.tx_", dir / "own.out"));
    EXPECT_EQ("SZDD but not the magic", ReadFileBytes(dir / "own.out"));
}

TEST(SzddExpand, TheRecordedNameIsTheOneGetExpandedNameGives) {
    ScratchFolder dir;
    std::string compressed = ReadFileBytes(LzData("sample.txt_"));
    ASSERT_GT(compressed.size(), szdd::kHeaderSize);
    compressed[9] = 'l';  // as a packager keeps the name's last character
    for (const char* name : {"setup.dl_", "SETUP.DL_", "noext_", "a.b.c_"}) {
        dir.Write(name, compressed);
        char expanded[MAX_PATH] = {};
        std::string path = dir / name;
        ASSERT_EQ(1, GetExpandedNameA(path.data(), expanded));
        EXPECT_EQ(std::string(expanded), szdd::ExpandedName(dir / name)) << name;
    }
    // Nothing to take the character from: the name as it is.
    compressed[9] = '\0';
    dir.Write("zero.tx_", compressed);
    EXPECT_EQ(dir / "zero.tx_", szdd::ExpandedName(dir / "zero.tx_"));
    EXPECT_EQ(dir / "missing.tx_", szdd::ExpandedName(dir / "missing.tx_"));
}

TEST(SzddExpand, ACutDamagedOrHostileFileIsAnErrorNeverMoreThanItsLength) {
    ScratchFolder dir;
    const std::string good = ReadFileBytes(LzData("sample.txt_"));
    ASSERT_GT(good.size(), 200u);
    std::string longer = good, shorter = good, otherMode = good;
    longer[10] = static_cast<char>(longer[10] + 1);    // one byte more promised than the stream holds
    shorter[10] = static_cast<char>(shorter[10] - 1);  // one byte less
    otherMode[8] = 'B';
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"cut in half", good.substr(0, good.size() / 2)},
        {"cut inside the header", good.substr(0, 12)},
        {"the header alone", good.substr(0, szdd::kHeaderSize)},
        {"a longer length", longer},
        {"a shorter length", shorter},
        {"another mode", otherMode},
    };
    for (const auto& c : cases) {
        dir.Write("bad.tx_", c.bytes);
        EXPECT_EQ(static_cast<unsigned long>(ERROR_INVALID_DATA), szdd::ExpandFile(dir / "bad.tx_", dir / "out"))
            << c.name;
    }
    // References only, every one of 18 bytes: output stops at the length.
    szdd::Decoder decoder(10);
    std::string out;
    EXPECT_FALSE(decoder.Add(std::string(3000, '\0').data(), 3000, out));
    EXPECT_EQ(std::string(10, ' '), out);
    EXPECT_FALSE(decoder.Complete());
    // Noise of every kind, fed in odd pieces: never a crash, never more
    // than promised.
    unsigned seed = 11;
    for (int round = 0; round < 200; ++round) {
        std::string noise(1 + round * 37 % 5000, '\0');
        for (char& ch : noise) ch = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
        const std::uint32_t length = seed % 20000;
        szdd::Decoder d(length);
        std::string expanded;
        for (size_t at = 0; at < noise.size(); at += 1 + at % 7)
            if (!d.Add(noise.data() + at, std::min<size_t>(1 + at % 7, noise.size() - at), expanded)) break;
        EXPECT_LE(expanded.size(), length);
    }
}

// The compressor against the expanders its files must satisfy: the
// system's LZ32 functions, which the install expands with, the program's
// own decoder for where LZ32 cannot be used, and the expander of the
// mscompress tools; and that decoder against LZ32 on mscompress's files and
// on damaged and hostile ones.
#include <windows.h>
#include <lzexpand.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "pack/Szdd.h"
#include "platform/Handles.h"

namespace {

struct Sample {
    std::string name, bytes;
};

std::string Noise(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

std::vector<Sample> EdgeSet() {
    std::string text;
    for (int i = 0; text.size() < 100 * 1024; ++i)
        text += "行 " + std::to_string(i * 7919 % 1000) + ": インストールするファイルの一覧 (App)\\DATA\\FILE" +
                std::to_string(i % 13) + ".DAT\r\n";
    // Blocks repeated at distances around the window's reach.
    const std::string reach = Noise(4000, 3), beyond = Noise(4090, 4);
    std::string large;
    while (large.size() < 2600 * 1024) large += text.substr(0, 9000) + Noise(3000, static_cast<unsigned>(large.size()));
    return {
        {"EMPTY.DAT", ""},
        {"ONE.DAT", "x"},
        {"BLANKS.TXT", std::string(5000, ' ') + "end"},  // the window starts as blanks
        {"RUN.BIN", std::string(70000, 'A') + "B"},
        {"RANDOM.BIN", Noise(70 * 1024, 1)},
        {"TEXT.TXT", text},
        {"WINDOW.BIN", reach + reach + reach + beyond + beyond},
        {"DATA.DA_", text.substr(0, 3000)},  // a name that ends in "_" already
        {"LARGE.BIN", large},                // longer than the stream the encoder keeps
    };
}

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
    return copied < 0 ? "(LZCopy failed " + std::to_string(copied) + ")" : ReadFileBytes(out);
}

}  // namespace

TEST(Szdd, EveryEdgeExpandsToTheOriginalThroughLz32AndMsexpand) {
    ScratchFolder folder;
    const bool unix = !UnixPathOf(folder.path()).empty();
    for (const Sample& s : EdgeSet()) {
        SCOPED_TRACE(s.name);
        folder.Write(s.name, s.bytes);
        WriteTimeAgo(folder / s.name, 86400 * 3);
        char lastChar = 0;
        const std::string compressed = folder / ("lz\\" + szdd::CompressedName(s.name, lastChar));
        CreateDirectoryA((folder / "lz").c_str(), nullptr);
        std::uint64_t written = 0;
        ASSERT_EQ(0u, szdd::CompressFile(folder / s.name, compressed, lastChar, written));
        EXPECT_EQ(written, ReadFileBytes(compressed).size());
        const FILETIME original = WriteTime(folder / s.name), kept = WriteTime(compressed);
        EXPECT_EQ(0, CompareFileTime(&original, &kept));

        EXPECT_TRUE(ExpandWithLz32(compressed, folder / "lz32.out") == s.bytes) << "LZ32 expands it otherwise";
        // The program's own decoder, for where LZ32 cannot be used, to the
        // same file.
        ASSERT_EQ(0u, szdd::ExpandFile(compressed, folder / "own.out"));
        EXPECT_TRUE(ReadFileBytes(folder / "own.out") == s.bytes) << "the own decoder expands it otherwise";
        const FILETIME lz32Time = WriteTime(folder / "lz32.out"), ownTime = WriteTime(folder / "own.out");
        EXPECT_EQ(0, CompareFileTime(&lz32Time, &ownTime));
        char expanded[MAX_PATH] = {};
        GetExpandedNameA(const_cast<char*>(compressed.c_str()), expanded);
        EXPECT_EQ(folder / ("lz\\" + s.name), std::string(expanded)) << "the header names another file";
        if (unix) {
            UnixCommandOutput("msexpand < '" + UnixPathOf(compressed) + "' > '" + UnixPathOf(folder / "ms.out") + "'");
            EXPECT_TRUE(ReadFileBytes(folder / "ms.out") == s.bytes) << "msexpand expands it otherwise";
        }
        if (s.name == "TEXT.TXT" || s.name == "BLANKS.TXT" || s.name == "RUN.BIN") {
            EXPECT_LT(written, s.bytes.size() / 4) << "repeats are not referred to";
        }
        DeleteFileA(compressed.c_str());
    }
    if (!unix) GTEST_SKIP() << "msexpand runs on Wine's Unix side only";
}

TEST(Szdd, TheHeaderIsReadAsTheInstallReadsIt) {
    szdd::Header header;
    const std::string magic("SZDD\x88\xF0\x27\x33", 8);
    EXPECT_EQ(szdd::HeaderKind::Valid, szdd::ReadHeader(magic + "AT" + std::string("\x10\x27\0\0", 4), header));
    EXPECT_EQ('T', header.lastChar);
    EXPECT_EQ(10000u, header.length);
    EXPECT_EQ(szdd::HeaderKind::Broken, szdd::ReadHeader(magic + "BT" + std::string(4, '\0'), header));
    EXPECT_EQ(szdd::HeaderKind::Broken, szdd::ReadHeader(magic + "A", header));
    EXPECT_EQ(szdd::HeaderKind::Plain, szdd::ReadHeader("plain text, not compressed", header));
    // The last character, never half of a double-byte one.
    char last = 0;
    EXPECT_EQ("DATA.DA_", szdd::CompressedName("DATA.DAT", last));
    EXPECT_EQ('T', last);
    EXPECT_EQ("デー_", szdd::CompressedName("データ", last));
    EXPECT_EQ(0, last);
}

TEST(Szdd, TheOwnDecoderGivesWhatLz32GivesForMscompressFilesAndTheirNames) {
    ScratchFolder dir;
    for (const char* name : {"sample.txt", "child.exe"}) {
        SCOPED_TRACE(name);
        dir.Write("in.bi_", ReadFileBytes(TestBinFolder() + "lzdata\\" + name + "_"));
        WriteTimeAgo(dir / "in.bi_", 86400 * 5);
        const std::string lz32 = ExpandWithLz32(dir / "in.bi_", dir / "lz32.out");
        ASSERT_EQ(ReadFileBytes(TestBinFolder() + "lzdata\\" + name), lz32);
        ASSERT_EQ(0u, szdd::ExpandFile(dir / "in.bi_", dir / "own.out"));
        EXPECT_TRUE(ReadFileBytes(dir / "own.out") == lz32);
        const FILETIME a = WriteTime(dir / "lz32.out"), b = WriteTime(dir / "own.out");
        EXPECT_EQ(0, CompareFileTime(&a, &b));
    }
    // A file without the magic is copied as it is, as LZCopy copies it.
    dir.Write("plain.tx_", "SZDD but not the magic");
    ASSERT_EQ(0u, szdd::ExpandFile(dir / "plain.tx_", dir / "own.out"));
    EXPECT_EQ("SZDD but not the magic", ReadFileBytes(dir / "own.out"));

    // The name an "AUTO.EXT" entry takes from the header.
    std::string named = ReadFileBytes(TestBinFolder() + "lzdata\\sample.txt_");
    named[9] = 'l';  // as a packager keeps the name's last character
    for (const char* name : {"setup.dl_", "SETUP.DL_", "noext_", "a.b.c_"}) {
        dir.Write(name, named);
        char expanded[MAX_PATH] = {};
        std::string path = dir / name;
        ASSERT_EQ(1, GetExpandedNameA(path.data(), expanded));
        EXPECT_EQ(std::string(expanded), szdd::ExpandedName(path)) << name;
    }
    named[9] = '\0';  // nothing to take the character from: the name as it is
    dir.Write("zero.tx_", named);
    EXPECT_EQ(dir / "zero.tx_", szdd::ExpandedName(dir / "zero.tx_"));
}

TEST(Szdd, TheOwnDecoderRefusesCutDamagedAndHostileFilesAndNeverGivesMoreThanTheLength) {
    ScratchFolder dir;
    const std::string good = ReadFileBytes(TestBinFolder() + "lzdata\\sample.txt_");
    ASSERT_GT(good.size(), 200u);
    std::string longer = good, shorter = good, otherMode = good;
    longer[10] = static_cast<char>(longer[10] + 1);
    shorter[10] = static_cast<char>(shorter[10] - 1);
    otherMode[8] = 'B';
    for (const std::string& bad : {good.substr(0, good.size() / 2), good.substr(0, 12), good.substr(0, 14), longer,
                                   shorter, otherMode}) {
        dir.Write("bad.tx_", bad);
        EXPECT_EQ(static_cast<unsigned long>(ERROR_INVALID_DATA), szdd::ExpandFile(dir / "bad.tx_", dir / "out"))
            << bad.size() << " bytes";
    }
    // References only, each of 18 bytes: the output stops at the length.
    szdd::Decoder decoder(10);
    std::string out;
    EXPECT_FALSE(decoder.Add(std::string(3000, '\0').data(), 3000, out));
    EXPECT_EQ(std::string(10, ' '), out);
    // Noise fed in odd pieces: never a crash, never more than promised.
    for (unsigned round = 0, seed = 11; round < 200; ++round) {
        const std::string noise = Noise(1 + round * 37 % 5000, seed += round);
        const std::uint32_t length = seed % 20000;
        szdd::Decoder d(length);
        std::string expanded;
        for (size_t at = 0; at < noise.size() && d.Add(noise.data() + at, std::min<size_t>(7, noise.size() - at), expanded);)
            at += 7;
        EXPECT_LE(expanded.size(), length);
    }
}

// The one-file in-process: what RVPACK packs comes out byte for byte and the
// plain program back, and a file cut short, damaged or naming a place
// outside its folder gives nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"
#include "app/SystemChanges.h"
#include "pack/OneFile.h"
#include "sysops/Payload.h"
#include "sysops/Sha256.h"

namespace {

class OneFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        project_.Write("SETUP.INI",
                       "[Title]\r\nProgram=Tool サンプル 2\r\n[EULA]\r\nFile=LICENSE.TXT\r\n[MakeFolder]\r\nFolder1=(App)\\data\r\n"
                       "[CopyFile]\r\nFile1=(App)\\A.TXT\r\nFile2=(App)\\data\\B.BIN|(From)\\data\\B.BIN\r\nFile3=(App)\\EMPTY.DAT\r\n");
        project_.Write("LICENSE.TXT", "使用許諾契約書\r\n");
        project_.Write("A.TXT", std::string(100000, 'a'));
        std::string noise(300000, '\0');
        unsigned seed = 7;
        for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
        project_.Write("data\\B.BIN", noise);
        project_.Write("EMPTY.DAT", "");
    }
    OneFileReport Build() {
        BuildOptions options;
        options.project = project_.path();
        options.out = out_.path();
        options.setupExe = TestBinFolder() + "SETUP.EXE";
        return BuildOneFile(options, DefaultOneFileName(project_ / "SETUP.INI"), [](const std::string&) {});
    }
    std::unique_ptr<Payload> Open(const std::string& path, unsigned long& error) {
        std::shared_ptr<OpenedFile> image =
            MachineChanges().Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
        return Payload::Find(image, error);
    }
    ScratchFolder project_, out_, extracted_;
};

// The trailer of a built one-file, changed by edit, written back.
void EditTrailer(const std::string& path, const std::function<void(std::string& file, onefile::Trailer&)>& edit) {
    std::string file = ReadFileBytes(path);
    onefile::Trailer t;
    ASSERT_TRUE(onefile::DecodeTrailer(file.substr(file.size() - onefile::kTrailerSize), t));
    edit(file, t);
    file.replace(file.size() - onefile::kTrailerSize, onefile::kTrailerSize, onefile::EncodeTrailer(t));
    ASSERT_TRUE(WriteFileBytes(path, file));
}

}  // namespace

TEST_F(OneFileTest, WhatIsPackedComesOutWholeAndThePlainProgramBack) {
    const OneFileReport report = Build();
    ASSERT_TRUE(report.errors.empty()) << ToUtf8(report.errors[0]);
    EXPECT_EQ(out_ / "Tool2.EXE", report.path) << "the ASCII of [Title] Program, never half a character";
    unsigned long error = 99;
    std::unique_ptr<Payload> payload = Open(report.path, error);
    ASSERT_TRUE(payload) << error;
    EXPECT_EQ(0u, payload->Extract(1, extracted_.path()));
    EXPECT_TRUE(extracted_.Exists("SETUP.INI"));
    EXPECT_EQ("使用許諾契約書\r\n", extracted_.Read("LICENSE.TXT"));
    EXPECT_FALSE(extracted_.Exists("A.TXT")) << "the files wait for the install run";
    EXPECT_EQ(0u, payload->Extract(2, extracted_.path()));
    for (const char* name : {"A.TXT", "data\\B.BIN", "EMPTY.DAT"}) EXPECT_EQ(project_.Read(name), extracted_.Read(name)) << name;
    EXPECT_FALSE(extracted_.Exists("SETUP.EXE")) << "the program is the stub itself";
    EXPECT_EQ(0u, payload->WritePlainProgram(extracted_ / "PLAIN.EXE"));
    EXPECT_TRUE(ReadFileBytes(TestBinFolder() + "SETUP.EXE") == extracted_.Read("PLAIN.EXE"));
}

TEST_F(OneFileTest, CutShortDamagedOrNamingAPlaceOutsideGivesNothing) {
    const OneFileReport report = Build();
    ASSERT_TRUE(report.errors.empty());
    const std::string whole = ReadFileBytes(report.path);
    const std::string copy = out_ / "copy.exe";
    unsigned long error = 0;

    // Cut short: the stub says it is a one-file, the trailer is not there.
    ASSERT_TRUE(WriteFileBytes(copy, whole.substr(0, whole.size() - 1000)));
    EXPECT_FALSE(Open(copy, error));
    EXPECT_EQ(static_cast<unsigned long>(ERROR_INVALID_DATA), error);

    // One byte of the files changed: found, but nothing of that part stays.
    std::string flipped = whole;
    flipped[report.stub + report.payload / 2] ^= 0x20;
    ASSERT_TRUE(WriteFileBytes(copy, flipped));
    std::unique_ptr<Payload> payload = Open(copy, error);
    ASSERT_TRUE(payload);
    EXPECT_EQ(0u, payload->Extract(1, extracted_.path()));
    EXPECT_EQ(static_cast<unsigned long>(ERROR_INVALID_DATA), payload->Extract(2, extracted_.path()));
    for (const char* name : {"A.TXT", "data\\B.BIN", "EMPTY.DAT"}) EXPECT_FALSE(extracted_.Exists(name)) << name;
    payload.reset();

    // A name that climbs out of the folder, with digests to match.
    ASSERT_TRUE(WriteFileBytes(copy, whole));
    EditTrailer(copy, [&](std::string& file, onefile::Trailer& t) {
        const size_t at = file.find("EMPTY.DAT", t.stubLength + t.index.offset);
        ASSERT_NE(std::string::npos, at);
        file.replace(at, 9, "..\\EM.DAT");
        Sha256 hash;
        hash.Update(file.data() + t.stubLength + t.index.offset, static_cast<size_t>(t.index.length));
        t.index.digest = hash.Finish();
    });
    EXPECT_FALSE(Open(copy, error));
    EXPECT_EQ(static_cast<unsigned long>(ERROR_INVALID_DATA), error);

    // And a plain program is no one-file at all.
    EXPECT_FALSE(Open(TestBinFolder() + "SETUP.EXE", error));
    EXPECT_EQ(0u, error);
}

TEST(OneFileNames, OnlyNamesThatStayInTheirFolder) {
    for (const char* good : {"A.TXT", "docs\\guide.htm", "\x83\x5C\x83\x74\x83\x67.TXT", "a.b.c"})
        EXPECT_TRUE(onefile::IsSafeName(good)) << good;
    for (const char* bad : {"", "..\\X", "a\\..\\X", "\\X", "C:\\X", "C:X", "x:stream", "a\\\\b", "CON", "nul.txt",
                            "COM1.log", "dir\\LPT9", "name.", "name ", "a/b", "a*b", "a?b", "tab\there"})
        EXPECT_FALSE(onefile::IsSafeName(bad)) << bad;
    EXPECT_FALSE(onefile::AreSafeNames({{"A.TXT", 2, 0, 0}, {"a.txt", 2, 0, 0}})) << "two names for one file";
    EXPECT_FALSE(onefile::AreSafeNames({{"A", 2, 0, 0}, {"A\\B", 2, 0, 0}})) << "a file that is a folder";
}

TEST(OneFileFindings, WhatAOneFileCannotDoIsWarned) {
    ScratchFolder project;
    project.Write("SETUP.INI", "[Extend]\r\nInstallChecker=check\\CHK.EXE\r\n[CopyFile]\r\nFile1=(App)\\A.TXT|(Edr)A.TXT\r\n"
                               "File2=(Dch)(App)\\B.TXT\r\n");
    std::vector<std::string> codes;
    for (const Finding& f : OneFileFindings(project / "SETUP.INI")) codes.push_back(f.code + "@" + std::to_string(f.line));
    EXPECT_EQ((std::vector<std::string>{"RV308@2", "RV307@4", "RV307@5"}), codes);
}

// The packer in-process: entries rewritten for compressed files, disks
// filled in the script's order, and what it refuses to lay out.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/uIniFile.h"
#include "pack/Build.h"
#include "pack/ScriptCheck.h"

namespace {

std::string Noise(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    return bytes;
}

std::string Text(size_t size) {
    std::string text;
    while (text.size() < size) text += "ファイルの一覧 " + std::to_string(text.size() % 97) + "\r\n";
    return text;
}

std::uint64_t SizeOf(const std::string& path) { return ReadFileBytes(path).size(); }

BuildReport Build(const ScratchFolder& project, const std::string& out, bool compress, std::uint64_t diskSize) {
    BuildOptions options;
    options.project = project.path();
    options.out = out;
    options.setupExe = TestBinFolder() + "SETUP.EXE";
    options.compress = compress;
    options.diskSize = diskSize;
    return BuildDistribution(options, [](const std::string&) {});
}

std::string Errors(const BuildReport& report) {
    std::string text;
    for (const std::string& e : report.errors) text += ToUtf8(e) + "\n";
    return text;
}

}  // namespace

TEST(Build, CompressedEntriesKeepTheInstalledName) {
    const struct {
        const char* value;
        const char* name;
        const char* rewritten;
    } cases[] = {
        {"(App)\\DATA.DAT", "DATA.DAT", "(App)\\DATA.DA_|DATA.DAT"},
        {"(App)DATA.DAT,/S/R", "DATA.DAT", "(App)DATA.DA_|DATA.DAT,/S/R"},
        {"(Dch)(App)\\X.DAT|Y.DAT", "X.DAT", "(Dch)(App)\\X.DA_|Y.DAT"},
        {"(App)\\help\\guide.htm|(From)\\docs\\guide.htm", "guide.htm", "(App)\\help\\guide.htm|(From)\\docs\\guide.ht_"},
        {"(App)\\ソ.TXT", "ソ.TXT", "(App)\\ソ.TX_|ソ.TXT"},  // "ソ" ends in the byte of "\"
        {"(App)\\\x82X", "X", ""},  // that "X" is the second half of a double-byte character
    };
    for (const auto& c : cases) {
        const std::string name = c.name;
        EXPECT_EQ(c.rewritten, RewriteCopyValue(c.value, name, name.substr(0, name.size() - 1) + "_")) << ToUtf8(c.value);
    }

    std::uint64_t size = 0;
    EXPECT_TRUE(ParseDiskSize("1440K", size));
    EXPECT_EQ(1440u * 1024, size);
    EXPECT_TRUE(ParseDiskSize("2m", size));
    EXPECT_EQ(2u * 1024 * 1024, size);
    for (const char* bad : {"", "0", "1.44M", "12KB", "-5", "K"}) EXPECT_FALSE(ParseDiskSize(bad, size)) << bad;
}

TEST(Build, FillsTheDisksInTheScriptsOrderAndTheResultChecksClean) {
    ScratchFolder project, out;
    project.Write("LICENSE.TXT", "licence");
    project.Write("README.TXT", Text(3000));  // shown by the wizard and installed: never compressed
    project.Write("A.TXT", Text(30000));
    // A disk holds the program with room to spare, and one of the two
    // noise files but never both, whatever the program's size.
    const std::uint64_t disk = SizeOf(TestBinFolder() + "SETUP.EXE") + 40 * 1024;
    const size_t noise = static_cast<size_t>(disk * 3 / 5);
    project.Write("N1.BIN", Noise(noise, 1));  // no smaller compressed: stays as it is
    project.Write("N2.BIN", Noise(noise, 2));
    project.Write("C.TXT", Text(5000));
    project.Write("docs\\D.TXT", Text(4000));
    project.Write("SETUP.INI",
                  "[DefaultFolder]\r\nFolder=(Prg)\\RvBuildTest\r\n[EULA]\r\nFile=LICENSE.TXT\r\n[Readme]\r\nFile=README.TXT\r\n"
                  "[MakeFolder]\r\nFolder1=(App)\\docs\r\n"
                  "[CopyFile]\r\nFile1=(App)\\README.TXT\r\nFile2=(App)\\A.TXT\r\nFile3=(App)\\N1.BIN,/S\r\n"
                  "File4=(Dch)(App)\\N2.BIN\r\nFile5=(App)\\C.TXT\r\nFile6=(App)\\docs\\D.TXT|(From)\\docs\\D.TXT\r\n"
                  "File7=(App)\\A.TXT|A.COPY\r\n");
    const BuildReport report = Build(project, out / "dist", true, disk);
    ASSERT_TRUE(report.errors.empty()) << Errors(report);
    EXPECT_EQ(3, report.disks);
    const std::string d1 = out / "dist\\DISK1\\", d2 = out / "dist\\DISK2\\", d3 = out / "dist\\DISK3\\";
    const auto value = [&](int n) { return IniRead("CopyFile", "File" + std::to_string(n), "", d1 + "SETUP.INI"); };
    // The author's "(Dch)" goes: disks are where the sizes put them.
    EXPECT_EQ("(App)\\README.TXT", value(1));
    EXPECT_EQ("(App)\\A.TX_|A.TXT", value(2));
    EXPECT_EQ("(Dch)(App)\\N1.BIN,/S", value(3));
    EXPECT_EQ("(Dch)(App)\\N2.BIN", value(4));
    EXPECT_EQ("(App)\\C.TX_|C.TXT", value(5));
    EXPECT_EQ("(App)\\docs\\D.TXT|(From)\\docs\\D.TX_", value(6));
    EXPECT_EQ("(App)\\A.TX_|A.COPY", value(7));  // A.TXT again, on disk 3 as well
    for (const char* file : {"SETUP.EXE", "SETUP.INI", "LICENSE.TXT", "README.TXT", "A.TX_"})
        EXPECT_TRUE(FileExistsAt(d1 + file)) << file;
    EXPECT_TRUE(FileExistsAt(d2 + "N1.BIN"));
    for (const char* file : {"N2.BIN", "C.TX_", "docs\\D.TX_", "A.TX_"}) EXPECT_TRUE(FileExistsAt(d3 + file)) << file;
    EXPECT_FALSE(FileExistsAt(d2 + "A.TX_"));
    EXPECT_EQ(ReadFileBytes(project / "N1.BIN"), ReadFileBytes(d2 + "N1.BIN"));
    for (const std::string& d : {d1, d2, d3}) {
        std::uint64_t total = 0;
        WIN32_FIND_DATAA data;
        for (const char* pattern : {"*", "docs\\*"}) {
            HANDLE find = FindFirstFileA((d + pattern).c_str(), &data);
            if (find == INVALID_HANDLE_VALUE) continue;
            do {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) total += data.nFileSizeLow;
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        EXPECT_LE(total, disk) << d;
    }
    for (const Finding& f : CheckScript(d1 + "SETUP.INI").findings) ADD_FAILURE() << ToUtf8(FormatFinding("DISK1", f));
}

TEST(Build, WithoutASizeTheScriptsOwnDisksAreKept) {
    ScratchFolder project, out;
    project.Write("A.TXT", "a");
    project.Write("B.TXT", "b");
    project.Write("SETUP.INI", "[CopyFile]\r\nFile1=(App)\\A.TXT\r\nFile2=(Dch)(App)\\B.TXT\r\n");
    const BuildReport report = Build(project, out / "dist", false, 0);
    ASSERT_TRUE(report.errors.empty()) << Errors(report);
    EXPECT_EQ(2, report.disks);
    EXPECT_TRUE(FileExistsAt(out / "dist\\DISK1\\A.TXT"));
    EXPECT_TRUE(FileExistsAt(out / "dist\\DISK2\\B.TXT"));
    EXPECT_FALSE(FileExistsAt(out / "dist\\DISK1\\B.TXT"));
    EXPECT_EQ("(Dch)(App)\\B.TXT", IniRead("CopyFile", "File2", "", out / "dist\\DISK1\\SETUP.INI"));
}

TEST(Build, RefusesWhatCannotBeLaidOut) {
    ScratchFolder project, out;
    project.Write("DATA.DAT", Text(20000));
    project.Write("DATA.DAX", Text(20000));
    project.Write("SETUP.INI", "[CopyFile]\r\nFile1=(App)\\DATA.DAT\r\nFile2=(App)\\DATA.DAX\r\n");
    // Two sources, one compressed name.
    BuildReport report = Build(project, out / "a", true, 0);
    ASSERT_EQ(1u, report.errors.size()) << Errors(report);
    EXPECT_NE(std::string::npos, report.errors[0].find("DATA.DA_"));
    EXPECT_FALSE(FileExistsAt(out / "a\\SETUP.INI"));
    // Without compression they are two files; but a file larger than a disk.
    const std::uint64_t disk = SizeOf(TestBinFolder() + "SETUP.EXE") + 100 * 1024;
    project.Write("BIG.BIN", Noise(disk + 1, 3));
    project.Write("SETUP.INI", "[CopyFile]\r\nFile1=(App)\\DATA.DAT\r\nFile2=(App)\\BIG.BIN\r\n");
    report = Build(project, out / "b", false, disk);
    ASSERT_EQ(1u, report.errors.size()) << Errors(report);
    EXPECT_NE(std::string::npos, report.errors[0].find("BIG.BIN"));
    // An output folder that holds something already.
    out.Write("c\\old.txt", "left from before");
    report = Build(project, out / "c", false, 0);
    EXPECT_EQ(1u, report.errors.size()) << Errors(report);
    EXPECT_EQ("left from before", ReadFileBytes(out / "c\\old.txt"));
}

TEST(Build, WritesNothingOutsideOutAndTakesNothingThroughALink) {
    // A source inside the project whose name climbs out of it and back in:
    // laid out as named, it would land beside OUT.
    ScratchFolder work;
    work.Write("proj\\A.TXT", "a");
    work.Write("proj\\SETUP.INI", "[CopyFile]\r\nFile1=(App)\\A.TXT|(From)\\..\\proj\\A.TXT\r\n");
    BuildOptions options;
    options.project = work / "proj";
    options.out = work / "out\\dist";
    options.setupExe = TestBinFolder() + "SETUP.EXE";
    BuildReport report = BuildDistribution(options, [](const std::string&) {});
    EXPECT_EQ(1u, report.errors.size()) << Errors(report);
    EXPECT_FALSE(FileExistsAt(work / "out\\proj\\A.TXT"));

    // Whether or not the check ran first.
    ScratchFolder outside;
    outside.Write("SECRET.TXT", "not the project's");
    const PlantedLink linked(work / "proj\\linked", outside.path());
    ASSERT_TRUE(linked.ok());
    work.Write("proj\\SETUP.INI", "[Readme]\r\nFile=linked\\SECRET.TXT\r\n");
    options.out = work / "out\\linked";
    report = BuildDistribution(options, [](const std::string&) {});
    EXPECT_EQ(1u, report.errors.size()) << Errors(report);
    EXPECT_FALSE(FolderExistsAt(work / "out\\linked"));
}

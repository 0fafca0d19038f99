// The bench's floor program (RVFLOOR.EXE, tests/bench/floor.c) does the work
// the program's install and uninstall do to the same files; one that skipped
// a file, a folder or the time, or left its temporary copy, would make every
// ratio the bench prints compare different work.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Driver.h"
#include "TestSupport.h"

using namespace e2e;

namespace {

// Runs RVFLOOR.EXE with the arguments; its exit code (~0 when it hung).
DWORD RunFloor(const std::string& arguments) {
    SetupProcess floor(BinFolder() + "RVFLOOR.EXE", arguments);
    if (!floor.started() || !floor.WaitForExit(kWaitMs)) return ~DWORD{0};
    return floor.ExitCode();
}

FILETIME WriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

TEST(BenchFloor, CopiesATreeWholeWithItsTimesAndDeletesItDepthFirst) {
    ScratchFolder source, target;
    // More than one of its 1 MiB blocks, and not a whole number of them.
    std::string large(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 131 % 251);
    source.Write("large.bin", large);
    source.Write("下\\表.txt", "double-byte names");
    source.Write("下\\深い\\c.txt", "deep");
    source.Write("空.txt", "");
    ASSERT_TRUE(CreateDirectoryA((source / "empty").c_str(), nullptr));
    WriteTimeAgo(source / "large.bin", 86400 * 40);
    WriteTimeAgo(source / "下\\深い\\c.txt", 3600);

    const std::string copy = target / "app";
    // No "\" before a closing quote: the command line would read it as a quote.
    const std::string from = source.path().substr(0, source.path().size() - 1);
    ASSERT_EQ(0u, RunFloor("install \"" + from + "\" \"" + copy + "\""));
    EXPECT_TRUE(ReadFileBytes(copy + "\\large.bin") == large) << "the large file differs";
    EXPECT_EQ("double-byte names", ReadFileBytes(copy + "\\下\\表.txt"));
    EXPECT_EQ("deep", ReadFileBytes(copy + "\\下\\深い\\c.txt"));
    EXPECT_TRUE(FileExistsAt(copy + "\\空.txt"));
    EXPECT_TRUE(FolderExistsAt(copy + "\\empty"));
    EXPECT_TRUE(SameTime(WriteTime(source / "large.bin"), WriteTime(copy + "\\large.bin")));
    EXPECT_TRUE(SameTime(WriteTime(source / "下\\深い\\c.txt"), WriteTime(copy + "\\下\\深い\\c.txt")));
    // Every temporary copy was renamed into place.
    for (const char* folder : {"\\", "\\下\\", "\\下\\深い\\"})
        EXPECT_FALSE(FileExistsAt(copy + folder + "~floor.tmp")) << folder;

    ASSERT_EQ(0u, RunFloor("uninstall \"" + copy + "\""));
    EXPECT_FALSE(FolderExistsAt(copy));
}

TEST(BenchFloor, ReturnsAtOnceWithoutArgumentsAndReportsAFailure) {
    EXPECT_EQ(0u, RunFloor(""));
    ScratchFolder target;
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND),
              RunFloor("install \"" + target.path() + "missing\" \"" + target.path() + "app\""));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), RunFloor("uninstall \"" + target.path() + "missing\""));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_ARGUMENTS), RunFloor("copy"));
}

}  // namespace

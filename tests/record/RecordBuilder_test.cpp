// The indexed record builder against the walk that defines the record, on
// generated records; and the benchmark (disabled, run by
// scripts/bench-record.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "RecordTestSupport.h"
#include "RecordWalk.h"
#include "TestSupport.h"
#include "app/MBUtils.h"
#include "app/ScriptKeys.h"
#include "app/uIniFile.h"
#include "record/UninstallRecord.h"

namespace {

// Path parts full of CP932 traps: trail bytes "\" (表 ソ 能 予), "|" (ポ),
// letters (ア = 83 41, ヂ = 83 61, ト = 83 67), and full-width letters that
// differ only in case (ＬＯＧ / ｌｏｇ).
const char* const kParts[] = {"表",   "ソフト", "ポート", "能力", "予定表", "ア",     "ヂ",    "abc",
                              "ＬＯＧ", "ｌｏｇ",  "x",      "データ", "Readme", "表ポ",   "a.dll", "Sub"};
const char* const kFlags[] = {"", "", "", ",/S", ",/s", ",/C", ",/S/R", ",", ",/C/S", ",/F", ",/W"};

class RecordGenerator {
public:
    explicit RecordGenerator(unsigned seed) : rng_(seed) {}

    int Below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

    // Single-byte letters change case at random; double-byte characters are
    // left whole (their trail bytes may look like letters).
    std::string ShuffleCase(const std::string& text) {
        std::string out = text;
        for (size_t i = 0; i < out.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(out[i]);
            if (IsLeadByte(c)) {
                ++i;
                continue;
            }
            if (Below(2) == 0) continue;
            if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 'a' + 'A');
            else if (c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c - 'A' + 'a');
        }
        return out;
    }

    std::string NewPath(bool folder) {
        std::string path = "C:\\";
        const int depth = 1 + Below(3);
        for (int d = 0; d < depth; ++d) {
            path += kParts[Below(static_cast<int>(std::size(kParts)))];
            if (d + 1 < depth || folder) path += "\\";
        }
        if (!folder && Below(2)) path += ".DAT";
        return path;
    }

    // A list drawn from a pool of paths, so that entries repeat (in other
    // case, with other flags); with empty entries and sometimes without the
    // last "|".
    std::string List(const std::vector<std::string>& pool, int maxEntries, bool flags) {
        std::string list;
        const int n = Below(maxEntries + 1);
        for (int i = 0; i < n; ++i) {
            if (Below(12) == 0) {
                list += "|";
                continue;
            }
            list += ShuffleCase(pool[static_cast<size_t>(Below(static_cast<int>(pool.size())))]);
            if (flags) list += kFlags[Below(static_cast<int>(std::size(kFlags)))];
            list += "|";
        }
        if (!list.empty() && Below(5) == 0) list.pop_back();
        return list;
    }

    std::vector<std::string> Pool(int size, bool folders) {
        std::vector<std::string> pool;
        for (int i = 0; i < size; ++i) pool.push_back(NewPath(folders));
        return pool;
    }

    RecordContent Record(int maxEntries) {
        RecordContent c;
        c.unSetupTitle = "表計算 " + std::to_string(Below(100));
        c.installFolder = NewPath(true);
        const int poolSize = 1 + Below(maxEntries + 1);
        const auto folders = Pool(poolSize, true);
        const auto files = Pool(poolSize, false);
        c.fresh.folders = List(folders, maxEntries, false);
        c.previous.folders = List(folders, maxEntries, false);
        c.fresh.files = List(files, maxEntries, true);
        c.previous.files = List(files, maxEntries, true);
        c.fresh.shortcuts = List(files, maxEntries, false);
        c.previous.shortcuts = List(files, maxEntries, false);
        c.fresh.registry = List(folders, maxEntries, false);
        c.previous.registry = List(folders, maxEntries, false);
        c.fresh.extraFiles = List(files, maxEntries, true);
        c.previous.extraFiles = List(files, maxEntries, true);
        const int used = Below(21);
        for (int i = 0; i < used; ++i) c.restore[static_cast<size_t>(i)] = "x" + std::to_string(i) + ",t";
        if (Below(2)) c.unSetupOption = "0,1,0,1";
        if (Below(2)) c.checkBox3 = "*.LOG";
        if (Below(2)) c.readmeFile = "\\表.TXT";
        c.setupString = "インストール";
        c.unSetupString = "アンインストール";
        if (Below(2)) c.registryKey = std::string("SOFTWARE\\X\\") + kParts[Below(static_cast<int>(std::size(kParts)))];
        if (Below(2)) c.programID = "ID" + std::to_string(Below(9));
        return c;
    }

private:
    std::mt19937 rng_;
};

TEST(BuildRecordText, GivesTheWalksBytesOnGeneratedRecords) {
    for (unsigned seed = 1; seed <= 150; ++seed) {
        RecordGenerator gen(seed);
        const RecordContent content = gen.Record(seed % 10 == 0 ? 60 : 25);
        const std::string fast = BuildRecordText(content);
        const std::string walked = walk::BuildRecord(content);
        ASSERT_EQ(ToUtf8(walked), ToUtf8(fast)) << "seed " << seed;
        ASSERT_TRUE(walked == fast) << "seed " << seed;
    }
}

TEST(BuildRecordText, GivesTheWalksBytesPastTwoAndThreeDigitNumbers) {
    // Many distinct files and all their duplicates: numbers run past 9 and
    // 99 (the walk finds "File1" inside "File10" and "File100" too).
    RecordGenerator gen(7);
    RecordContent content;
    for (int i = 0; i < 260; ++i) {
        const std::string path = "C:\\表\\" + std::to_string(i) + kParts[i % std::size(kParts)];
        content.fresh.files += path + (i % 4 == 0 ? ",/S|" : "|");
        content.previous.files += gen.ShuffleCase(path) + kFlags[i % std::size(kFlags)] + "|";
        content.previous.shortcuts += path + ".LNK|";
    }
    content.previous.files += "C:\\NEW.DAT,/S|";
    const std::string fast = BuildRecordText(content);
    EXPECT_TRUE(walk::BuildRecord(content) == fast);
    EXPECT_NE(std::string::npos, fast.find("\r\nFile261=C:\\NEW.DAT,/S\r\n"));
    EXPECT_NE(std::string::npos, fast.find("\r\nFile4=C:\\表\\3能力,/S\r\n")) << ToUtf8(fast.substr(0, 600));
    EXPECT_NE(std::string::npos, fast.find("\r\nFile5=C:\\表\\4予定表,/S/S\r\n"));
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// 10,000 new files and 10,000 of an earlier record, half of them the same
// files in other case, some carrying "/S"; plus shortcuts and folders.
RecordContent LargeRecord(int count) {
    RecordContent c;
    c.installFolder = "C:\\Program Files\\表計算\\";
    for (int i = 0; i < count; ++i) {
        const std::string name = "C:\\Program Files\\表計算\\データ" + std::to_string(i / 100) + "\\ソフト" +
                                 std::to_string(i) + ".DLL";
        c.fresh.files += name + (i % 7 == 0 ? ",/S|" : "|");
        const std::string earlier =
            i % 2 ? "c:\\program files\\表計算\\データ" + std::to_string(i / 100) + "\\ソフト" + std::to_string(i) +
                        ".dll"
                  : "C:\\OLD\\ポート" + std::to_string(i) + ".DAT";
        c.previous.files += earlier + (i % 3 == 0 ? ",/S|" : "|");
        c.fresh.shortcuts += "C:\\WINDOWS\\DESKTOP\\表" + std::to_string(i) + ".LNK|";
    }
    return c;
}

// Not part of the test run: scripts/bench-record.sh runs it and prints the
// times. It checks only that the record it timed is whole.
TEST(RecordBenchmark, DISABLED_TenThousandEntries) {
    constexpr int kCount = 10000;
    const RecordContent large = LargeRecord(kCount);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const std::string text = BuildRecordText(large);
    QueryPerformanceCounter(&end);
    std::printf("BuildRecordText, %d new + %d earlier files, %d shortcuts: %.3f s (%lu bytes)\n", kCount, kCount,
                kCount, Seconds(start, end), static_cast<unsigned long>(text.size()));
    EXPECT_NE(std::string::npos, text.find("\r\nFile15000=C:\\OLD\\ポート9998.DAT\r\n"));
    EXPECT_EQ(std::string::npos, text.find("\r\nFile15001="));

    // The walk on a tenth of it, for scale.
    const RecordContent small = LargeRecord(kCount / 10);
    QueryPerformanceCounter(&start);
    const std::string walked = walk::BuildRecord(small);
    QueryPerformanceCounter(&end);
    std::printf("walk with AddRecordEntry, %d new + %d earlier files, %d shortcuts: %.3f s\n", kCount / 10,
                kCount / 10, kCount / 10, Seconds(start, end));
    EXPECT_TRUE(walked == BuildRecordText(small));
}

// Not part of the test run: scripts/bench.sh runs it and prints the times of
// writing a 10,000-entry record to its file and of reading every entry back
// key by key with the profile functions and as the uninstall run reads it
// (the whole list at once).
TEST(RecordBenchmark, DISABLED_TenThousandEntriesWrittenAndReadBack) {
    constexpr int kCount = 10000;
    ScratchFolder folder;
    ExpectingRunView view;
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const RecordSaveResult saved = SaveRecord(folder.path(), BuildRecordText(LargeRecord(kCount)), view);
    QueryPerformanceCounter(&end);
    ASSERT_TRUE(saved.saved);
    std::printf("BENCH record of %d entries, built and written: %.3f s\n", kCount, Seconds(start, end));

    const std::string record = folder / "UNSETUP.INI";
    QueryPerformanceCounter(&start);
    int entries = 0;
    while (!IniRead(Script::DeleteFiles::kSection, Script::NumberedKey(Script::DeleteFiles::kFilePrefix, entries + 1),
                    "", record)
                .empty())
        ++entries;
    QueryPerformanceCounter(&end);
    std::printf("BENCH record of %d entries, read back key by key: %.3f s\n", entries, Seconds(start, end));
    EXPECT_GE(entries, kCount);

    // As the uninstall run reads its lists: one read of the section.
    QueryPerformanceCounter(&start);
    const std::vector<std::string> list =
        IniReadList(Script::DeleteFiles::kSection, Script::DeleteFiles::kFilePrefix, record);
    QueryPerformanceCounter(&end);
    std::printf("BENCH record of %u entries, read back as one list: %.3f s\n", static_cast<unsigned>(list.size()),
                Seconds(start, end));
    EXPECT_EQ(static_cast<size_t>(entries), list.size());
}

}  // namespace

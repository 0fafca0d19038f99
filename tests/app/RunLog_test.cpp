// The /LOG file: CP932 lines ending in CR LF, each event one line with the
// time of day, readable while the program still writes it.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/RunLog.h"

namespace {

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The text after the "hh:mm:ss.mmm " stamp.
std::string Body(const std::string& line) { return line.size() > 13 ? line.substr(13) : line; }

class RunLogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenRunLog(path_)); }
    void TearDown() override { CloseRunLog(); }
    ScratchFolder dir_;
    std::string path_ = dir_ / "実行.log";
};

TEST_F(RunLogTest, EachEventIsOneStampedLineOnDiskAtOnce) {
    LogLine("状況", "ファイルをコピーしています．．．完了");
    LogItem("コピー", "D:\\表.TXT", "C:\\App\\表.TXT", "失敗", 5);
    LogQuestion("フォルダ作成", "C:\\App\\\r\n\r\n作成しますか？", AnswerWord(IDYES), "サイレント既定");
    // Read while the log is still open: nothing waits in a buffer of ours.
    const std::vector<std::string> lines = Lines(ReadFileBytes(path_));
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(':', lines[0][2]);
    EXPECT_EQ('.', lines[0][8]);
    EXPECT_EQ(ToUtf8("[状況] ファイルをコピーしています．．．完了"), ToUtf8(Body(lines[0])));
    EXPECT_EQ(ToUtf8("[項目] コピー 元: D:\\表.TXT 先: C:\\App\\表.TXT 結果: 失敗 コード: 5"), ToUtf8(Body(lines[1])));
    EXPECT_EQ(ToUtf8("[質問] 「フォルダ作成」 C:\\App\\ /  / 作成しますか？ → 回答: はい (サイレント既定)"),
              ToUtf8(Body(lines[2])));
}

TEST_F(RunLogTest, ABlockBecomesOneLinePerTextLine) {
    LogBlock("失敗ログ", "<File> C:\\a\r\n見つかりません。\r\n\r\n");
    const std::vector<std::string> lines = Lines(ReadFileBytes(path_));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(ToUtf8("[失敗ログ] <File> C:\\a"), ToUtf8(Body(lines[0])));
    EXPECT_EQ(ToUtf8("[失敗ログ] 見つかりません。"), ToUtf8(Body(lines[1])));
}

TEST(RunLog, WithoutAnOpenLogNothingIsWrittenAndABadPathIsRefused) {
    CloseRunLog();
    EXPECT_FALSE(RunLogOpen());
    LogLine("状況", "nowhere");  // must not fail
    EXPECT_FALSE(OpenRunLog("C:\\no such folder\\x\\run.log"));
    EXPECT_FALSE(RunLogOpen());
}

}  // namespace

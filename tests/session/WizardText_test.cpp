#include <gtest/gtest.h>

#include <cstdint>

#include "TestSupport.h"
#include "session/WizardText.h"

TEST(FreeSpaceCaption, GroupsThousandsAndNamesTheFailures) {
    EXPECT_EQ(ToUtf8("インストールフォルダ(空き容量：1,234,567,890Byte)"),
              ToUtf8(FreeSpaceCaption(FreeSpaceState::Known, 1234567890)));
    // Sizes past 4 GiB keep every digit.
    EXPECT_EQ("12,884,901,888", FormatThousands(12884901888LL));
    EXPECT_EQ("0", FormatThousands(0));
    EXPECT_EQ("999", FormatThousands(999));
    EXPECT_EQ("1,000", FormatThousands(1000));
    EXPECT_EQ("-1", FormatThousands(-1));
    EXPECT_EQ("-9,223,372,036,854,775,808", FormatThousands(INT64_MIN));
    // The failure caption has no closing parenthesis.
    EXPECT_EQ(ToUtf8("インストールフォルダ(空き容量：関数失敗<致命的エラー>"),
              ToUtf8(FreeSpaceCaption(FreeSpaceState::QueryFailed, -1)));
    EXPECT_EQ(ToUtf8("インストールフォルダ(空き容量：不明)"), ToUtf8(FreeSpaceCaption(FreeSpaceState::NoDrive, -1)));
}

TEST(TitlePageMessage, AdministratorNoteOnlyOnNT) {
    const std::string nt = TitlePageMessage("App", "インストール", "NT");
    const std::string nine = TitlePageMessage("App", "インストール", "notNT");
    EXPECT_EQ(0u, nt.find("　App インストールプログラムへようこそ。"));
    EXPECT_NE(std::string::npos, nt.find("【注意】"));
    EXPECT_EQ(std::string::npos, nine.find("【注意】"));
    EXPECT_EQ(0u, nt.find(nine)) << "the note is appended to the same text";
    EXPECT_EQ(ToUtf8("\r\n【注意】\r\n　Administrator権限でのインストールを推奨します。"
                     "Administrator権限を持たないユーザーでのインストールは、正常に処理が行われない場合があります。"),
              ToUtf8(nt.substr(nine.size())));
}

TEST(WizardQuestions, ComposedFromBothWords) {
    EXPECT_EQ(ToUtf8("セットアップ/削除は終了していません。\r\n終了してもよろしいですか？"),
              ToUtf8(CloseQuestion("セットアップ", "削除")));
    EXPECT_EQ(ToUtf8("導入チェック機能により、導入は続行不可能と判断されました。\r\n"
                     "詳細については、プログラム配布者へご確認ください。\r\n導入を続行することはできません。"),
              ToUtf8(CheckerRefusal("導入")));
}

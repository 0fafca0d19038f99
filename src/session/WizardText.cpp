#include "session/WizardText.h"

#include "app/MBUtils.h"

std::string TitlePageMessage(const std::string& p, const std::string& s, const std::string& osKind) {
    std::string text = "　" + p + " " + s + "プログラムへようこそ。この" + s + "プログラムは、あなたのコンピュータに " + p +
                       " を" + s + "します。" + "\r\n\r\n" + "　" + s +
                       "を開始する前に、必ず、すべてのWindowsプログラムを終了させてください。" + "\r\n\r\n" + "　「" + s +
                       "終了(E)」を選択すると、" + s + "を行わずに" + s + "プログラムを終了します。" + s +
                       "を続行する場合は、「" + s + "続行(C)」を選択してください。" + "\r\n";
    if (osKind == "NT") {
        text += "\r\n【注意】\r\n　Administrator権限での" + s + "を推奨します。" + "Administrator権限を持たないユーザーでの" + s +
                "は、正常に処理が行われない場合があります。";
    }
    return text;
}

std::string FormatThousands(std::int64_t value) {
    const bool negative = value < 0;
    // Work on the magnitude as unsigned so the most negative value survives.
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    std::string out;
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        out += digits[i];
        const size_t left = n - 1 - i;
        if (left > 0 && left % 3 == 0) out += ',';
    }
    return negative ? "-" + out : out;
}

std::string FreeSpaceCaption(FreeSpaceState state, std::int64_t freeBytes) {
    switch (state) {
    case FreeSpaceState::Known:
        return "インストールフォルダ(空き容量：" + FormatThousands(freeBytes) + "Byte)";
    case FreeSpaceState::QueryFailed:
        return "インストールフォルダ(空き容量：関数失敗<致命的エラー>";
    case FreeSpaceState::NoDrive:
        break;
    }
    return "インストールフォルダ(空き容量：不明)";
}

std::string CloseQuestion(const std::string& s, const std::string& u) {
    return s + "/" + u + "は終了していません。" + "\r\n" + "終了してもよろしいですか？";
}

std::string CheckerRefusal(const std::string& s) {
    return s + "チェック機能により、" + s + "は続行不可能と判断されました。" + "\r\n" +
           "詳細については、プログラム配布者へご確認ください。" + "\r\n" + s + "を続行することはできません。";
}

#include "app/LoggingView.h"

#include "app/RunLog.h"

std::string TLoggingView::AskSharedFile(const std::string& text) {
    const std::string answer = inner_.AskSharedFile(text);
    LogQuestion("共有ファイル", text, answer, who_);
    return answer;
}

bool TLoggingView::ShowCompletion(const CompletionPage& page) {
    const bool second = inner_.ShowCompletion(page);
    LogQuestion("完了", page.message, second ? page.choice2 : page.choice1, who_);
    return second;
}

#include "session/LoggingView.h"

#include "app/RunLog.h"

std::string TLoggingView::AskSharedFile(const std::string& text) {
    const std::string answer = inner_.AskSharedFile(text);
    LogQuestion("共有ファイル", text, answer, who_);
    return answer;
}

RunView::Choice TLoggingView::ShowCompletion(const CompletionPage& page) {
    const Choice choice = inner_.ShowCompletion(page);
    if (choice != Choice::Stopped)
        LogQuestion("完了", page.message, choice == Choice::Second ? page.choice2 : page.choice1, who_);
    return choice;
}

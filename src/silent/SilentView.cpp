#include "silent/SilentView.h"

#include <windows.h>

#include "app/RunLog.h"

void WriteStandardError(const std::string& text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
    const std::string line = text + "\r\n";
    DWORD written = 0;
    WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

int TSilentView::Ask(const Question& question) {
    WriteStandardError("[" + question.caption + "] " + question.text);
    LogQuestion(question.caption, question.text, AnswerWord(question.unattended), kSilentAnswerer);
    return question.unattended;
}

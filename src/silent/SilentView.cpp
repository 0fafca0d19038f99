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
    if (echo_) {
        std::string line = "質問 [" + question.caption + "] ";
        for (size_t i = 0; i < question.text.size(); ++i) {
            if (question.text.compare(i, 2, "\r\n") == 0) {
                line += ' ';
                ++i;
            } else {
                line += question.text[i];
            }
        }
        echo_(line + " -> " + AnswerWord(question.unattended));
    }
    return question.unattended;
}

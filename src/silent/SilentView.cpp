#include "silent/SilentView.h"

#include <windows.h>

#include "app/RunLog.h"
#include "platform/Win932.h"

void WriteStandardError(const std::string& text) { WriteStandard932(STD_ERROR_HANDLE, text + "\r\n"); }

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

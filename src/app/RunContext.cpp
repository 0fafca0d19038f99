#include "app/RunContext.h"

#include "app/RunLog.h"

std::string RestartNeededText(const std::string& word) {
    return "　" + word + "を完了するには、Windowsを再起動する必要があります。\r\n\r\n"
                         "　Windowsの再起動を選択した場合、現在稼動している他のプログラムは強制的に終了され、"
                         "かつ、終了後プログラムは実行されませんので、十分にご注意ください。";
}

void RunContext::AddFailure(const std::string& tag, const std::string& subject, const std::string& reason) {
    failureLog += tag + subject + "\r\n" + reason + "\r\n";
    LogLine("失敗", tag + subject + " " + reason);
    ++failures;
}

void RunContext::AddNote(const std::string& line) { failureLog += line + "\r\n\r\n"; }

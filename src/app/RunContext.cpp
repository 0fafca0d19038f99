#include "app/RunContext.h"

#include "app/RunLog.h"

void RunContext::AddFailure(const std::string& tag, const std::string& subject, const std::string& reason) {
    failureLog += tag + subject + "\r\n" + reason + "\r\n";
    LogLine("失敗", tag + subject + " " + reason);
    ++failures;
}

void RunContext::AddNote(const std::string& line) { failureLog += line + "\r\n\r\n"; }

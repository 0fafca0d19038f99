#include "install/InstallContext.h"

#include <windows.h>

#include "app/RunLog.h"

void InstallContext::Show() { view.ShowStatus(s.StatusText); }

void InstallContext::ShowItem() { view.ShowStatus(s.StatusText + "\r\n" + s.ItemText); }

void InstallContext::StepBegin(const std::string& text, const char* initialResult) {
    s.StatusText += text;
    s.StepResult = initialResult;
    Show();
}

void InstallContext::StepEnd() {
    s.StatusText += s.StepResult + "\r\n";
    // The line just ended, whichever stage began it.
    const size_t end = s.StatusText.size() - 2;
    const size_t start = s.StatusText.rfind("\r\n", end == 0 ? 0 : end - 1);
    LogLine("状況", s.StatusText.substr(start == std::string::npos ? 0 : start + 2,
                                         end - (start == std::string::npos ? 0 : start + 2)));
    s.StepResult = "完了";
    Show();
}

void InstallContext::Stop() {
    s.LastAnswer = view.Ask({s.SetupString + "を続行できませんでした。", s.SetupString + "中止", 16, IDOK});
    view.EndRun();
}

void InstallContext::AddFailure(const std::string& tag, const std::string& path, const std::string& reason) {
    failureLog += tag + path + "\r\n" + reason + "\r\n";
    LogLine("失敗", tag + path + " " + reason);
    ++failures;
}

void InstallContext::AddNote(const std::string& line) { failureLog += line + "\r\n\r\n"; }

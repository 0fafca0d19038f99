#include "install/InstallContext.h"

#include "app/RunLog.h"

void InstallContext::Show() { view.ShowStatus(s.StatusText); }

void InstallContext::ShowItem() { view.ShowStatus(s.StatusText + "\r\n" + s.ItemText); }

void InstallContext::StepBegin(const std::string& text, const char* initialResult) {
    s.StatusText += text;
    s.StepResult = initialResult;
    stepLine = text;
    Show();
}

void InstallContext::StepEnd() {
    s.StatusText += s.StepResult + "\r\n";
    LogLine("状況", stepLine + s.StepResult);
    s.StepResult = "完了";
    Show();
}

void InstallContext::Stop() {
    s.LastAnswer = view.Ask(s.SetupString + "を続行できませんでした。", s.SetupString + "中止", 16);
    view.EndRun();
}

void InstallContext::AddFailure(const std::string& tag, const std::string& path, const std::string& reason) {
    failureLog += tag + path + "\r\n" + reason + "\r\n";
    LogLine("失敗", tag + path + " " + reason);
    ++failures;
}

void InstallContext::AddNote(const std::string& line) { failureLog += line + "\r\n\r\n"; }

#include "install/InstallContext.h"

#include <windows.h>

#include "app/RunLog.h"

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

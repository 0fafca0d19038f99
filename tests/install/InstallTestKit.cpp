#include "InstallTestKit.h"

#include "app/SystemChanges.h"

#include <gtest/gtest.h>

#include "record/Digests.h"
#include "sysops/Deletion.h"

TestView::~TestView() {
    for (const std::string& a : sharedAnswers) ADD_FAILURE() << "shared-file question never asked: " << a;
    for (const Answer& a : answers_)
        ADD_FAILURE() << "question never asked: " << ToUtf8(a.caption) << ": " << ToUtf8(a.textPart);
}

TestView& TestView::Expect(const std::string& caption, const std::string& textPart, int answer,
                           std::function<void()> before) {
    answers_.push_back({caption, textPart, answer, std::move(before)});
    return *this;
}

void TestView::ShowStatus(const std::string& text) {
    statuses.push_back(text);
    if (!abortWhenStatusHas.empty() && text.find(abortWhenStatusHas) != std::string::npos) aborted = true;
}

int TestView::Ask(const Question& question) {
    const std::string& text = question.text;
    const std::string& caption = question.caption;
    const unsigned flags = question.flags;
    const bool again = !asked.empty() && asked.back() == caption + ": " + text;
    EXPECT_EQ(ExpectedUnattendedAnswer(caption, flags, again), question.unattended) << ToUtf8(caption + ": " + text);
    asked.push_back(caption + ": " + text);
    if (answers_.empty()) {
        ADD_FAILURE() << "unexpected question: " << ToUtf8(caption) << ": " << ToUtf8(text);
        const unsigned buttons = flags & 0x0F;
        return buttons == MB_YESNO ? IDNO : buttons == MB_OKCANCEL ? IDCANCEL : IDOK;
    }
    Answer a = answers_.front();
    answers_.pop_front();
    EXPECT_EQ(ToUtf8(a.caption), ToUtf8(caption)) << ToUtf8(text);
    if (!a.textPart.empty()) {
        EXPECT_NE(std::string::npos, text.find(a.textPart)) << ToUtf8(text) << " lacks " << ToUtf8(a.textPart);
    }
    if (a.before) a.before();
    return a.answer;
}

std::string TestView::AskSharedFile(const std::string& text) {
    sharedAsked.push_back(text);
    if (sharedAnswers.empty()) {
        ADD_FAILURE() << "unexpected shared-file question: " << ToUtf8(text);
        return "No";
    }
    const std::string answer = sharedAnswers.front();
    sharedAnswers.pop_front();
    return answer;
}

namespace {

std::string Folder(const ScratchFolder& root, const std::string& name) {
    const std::string path = root / (name + "\\");
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

}  // namespace

InstallFixture::InstallFixture() : s(State()), saved_(State()) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    key_ = std::string("RavelinTest ") + info->test_suite_name() + "." + info->name();
    s = SetupState{};
    s.SourceFolder = Folder(root, "dist");
    s.SourceDrive = s.SourceFolder.substr(0, 3);
    s.WorkFolder = Folder(root, "work");
    s.TempFolder = Folder(root, "tmp");
    s.WindowsFolder = Folder(root, "win");
    s.SystemFolder = Folder(root, "win\\system");
    s.ProgramFilesFolder = Folder(root, "prg");
    s.StartMenuFolder = Folder(root, "smenu");
    s.ProgramsFolder = Folder(root, "smenu\\programs");
    s.DesktopFolder = Folder(root, "desk");
    s.StartupFolder = Folder(root, "smenu\\programs\\startup");
    s.SendToFolder = Folder(root, "sendto");
    s.DocumentsFolder = Folder(root, "docs");
    s.CommonStartMenuFolder = s.StartMenuFolder;
    s.CommonProgramsFolder = s.ProgramsFolder;
    s.CommonDesktopFolder = s.DesktopFolder;
    s.CommonStartupFolder = s.StartupFolder;
    s.CommonDocumentsFolder = s.DocumentsFolder;
    s.BootDrive = s.WindowsFolder.substr(0, 3);
    s.ScriptFile = s.WorkFolder + "SETUP.INI";
    s.Mode = "SETUP";
    s.SetupString = "インストール";
    s.UnSetupString = "アンインストール";
    s.SetupTitle = "テストアプリ";
    s.UnSetupTitle = "テストアプリ";
    s.SetupSpeed = 1;
    s.OSKind = "NT";
    // The uninstaller copied at the end of a run is this very program.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    s.ProgramImage = MachineChanges().Open(self, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
}

InstallFixture::~InstallFixture() {
    DeleteRegistryKey("(Local)", KeyPath());
    DropRecordDigest(App() + "UNSETUP.INI");
    State() = saved_;
}

void InstallFixture::Script(const std::string& body) const {
    WriteFileBytes(s.ScriptFile, "[Title]\r\nUnSetupKey=" + key_ + "\r\n" + body);
}

std::string InstallFixture::KeyPath() const {
    return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + key_;
}

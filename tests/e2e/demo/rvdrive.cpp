// rvdrive: walks the install wizard of a distribution medium the way a
// person accepting every default would (licence accepted, folder created,
// associations made, failure details declined), printing each step. Given a
// screenshot folder it saves a picture of the screen at every page and every
// message box; it always prints how long the install took from the start
// press to the completion page. The demo and the install benchmark use it;
// it is not a test, but it reuses the end-to-end driver, whose waits report
// through gtest, so the walk runs as the one test of this program and the
// exit code says whether it got through.
//
//   rvdrive.exe [--shots FOLDER] [--hispeed on|off] [--stall SECONDS] MEDIUM [INSTALL_FOLDER]
//   rvdrive.exe [--shots FOLDER] [--stall SECONDS] --uninstall KEY
//
// With --uninstall it removes the program registered under the Add/Remove
// Programs key KEY the way the control panel does (wine uninstaller
// --remove), walks the uninstaller's pages, answers the shared-file dialog
// with "delete all" and shows the failure details it offers (a file the
// user left in the folder is reported there).
//
// MEDIUM is the folder holding SETUP.EXE (a Windows path). INSTALL_FOLDER is
// typed into the folder page; without it the page's default stays. FOLDER
// takes the PNG files (a Unix path, or a Windows path of the prefix).
// --hispeed sets the high-speed box before the start press (left as it is
// otherwise). --stall ends the walk when nothing on screen changes for that
// long (default 120 seconds).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <set>
#include <string>
#include <vector>

#include "Driver.h"
#include "TestSupport.h"
#include "ui/resource.h"

using namespace e2e;

namespace {

struct Options {
    std::string medium, folder, shots, uninstallKey;
    int hiSpeed = -1;  // -1: leave the box as the script set it
    int stallSeconds = 120;
};
Options options;

// Seconds on the performance counter (<chrono> does not compile with the
// CP932 execution character set: its "µs" suffix has no CP932 form).
double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / frequency;
}

// Our texts are CP932; the terminal reads UTF-8.
void Say(const std::string& cp932) {
    const std::string line = ToUtf8(cp932) + "\n";
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
}

// Every line of a multi-line text, indented, empty lines dropped.
void SayIndented(const std::string& cp932) {
    size_t start = 0;
    while (start <= cp932.size()) {
        size_t end = cp932.find('\n', start);
        if (end == std::string::npos) end = cp932.size();
        std::string line = cp932.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) Say("        " + line);
        start = end + 1;
    }
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Pictures of the X display that Wine draws on, cut to Wine's screen (the
// virtual desktop when there is one, which sits at the display's corner).
class Camera {
public:
    explicit Camera(const std::string& folder) : folder_(folder) {
        if (!folder_.empty() && folder_[0] != '/') folder_ = UnixPathOf(folder_);
        while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
    }
    bool on() const { return !folder_.empty(); }

    void Shoot(const std::string& name) {
        if (!on()) return;
        char number[8];
        snprintf(number, sizeof number, "%02d", ++count_);
        const std::string file = folder_ + "/" + number + "-" + name + ".png";
        const std::string crop = std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
                                 std::to_string(GetSystemMetrics(SM_CYSCREEN)) + "+0+0";
        const std::string output = UnixCommandOutput("mkdir -p " + ShellQuoted(folder_) + " && import -window root -crop " +
                                                     crop + " +repage " + ShellQuoted(file) + " && test -s " +
                                                     ShellQuoted(file) + " && echo saved");
        if (output.find("saved") == std::string::npos) {
            ADD_FAILURE() << "screenshot " << file << " failed: " << output;
            return;
        }
        Say("        screenshot " + file);
    }

private:
    std::string folder_;
    int count_ = 0;
};

enum class Scene {
    Gone, Hidden, Busy, Title, Licence, Readme, Folder, Details, Completion, Progress, Copying, Summary, Box, Shared
};

const char* NameOf(Scene s) {
    switch (s) {
        case Scene::Gone: return "program ended";
        case Scene::Hidden: return "no window";
        case Scene::Busy: return "wizard busy";
        case Scene::Title: return "title page";
        case Scene::Licence: return "licence page";
        case Scene::Readme: return "readme page";
        case Scene::Folder: return "folder page";
        case Scene::Details: return "failure details page";
        case Scene::Completion: return "completion page";
        case Scene::Progress: return "progress window";
        case Scene::Copying: return "progress window, copying";
        case Scene::Summary: return "summary";
        case Scene::Box: return "message box";
        case Scene::Shared: return "shared-file dialog";
    }
    return "?";
}

struct View {
    Scene scene = Scene::Hidden;
    std::string key;    // what the walk acts on once
    std::string pulse;  // changes while the program makes progress
    MessageBoxView box;
    HWND status = nullptr;
};

// What a person would see now: a message box above all, else the progress
// window, else the wizard page told by its step button and shown frame.
View Look(SetupProcess& setup) {
    View v;
    if (setup.WaitForExit(0)) {
        v.scene = Scene::Gone;
    } else if (setup.FindMessageBox(v.box)) {
        v.scene = Scene::Box;
        v.key = v.box.caption + "|" + v.box.text;
    } else if (HWND dialog = setup.FindWindowOfClass("TfrmCustomDlg"); dialog && IsWindowVisible(dialog)) {
        v.scene = Scene::Shared;
        v.status = dialog;
        v.key = setup.Text(IDC_lblMessage, dialog);
    } else if (HWND status = setup.FindWindowOfClass("TfrmStatus"); status && IsWindowVisible(status)) {
        v.status = status;
        if (setup.Text(IDC_btnAbort, status) == "次へ(&N)" && setup.Enabled(IDC_btnAbort, status))
            v.scene = Scene::Summary;
        else
            v.scene = setup.Shown(IDC_fraStatus, status) ? Scene::Copying : Scene::Progress;
        v.pulse = setup.Text(IDC_lblMessage, status) + setup.Text(IDC_lblStatus, status);
    } else if (HWND wizard = setup.Wizard(); wizard && IsWindowVisible(wizard)) {
        const std::string step = setup.Text(IDC_btnEvent);
        const bool ready = setup.Enabled(IDC_btnEvent);
        v.scene = Scene::Busy;
        if (step == "同意する(&A)" && setup.Shown(IDC_fraReadme))
            v.scene = Scene::Licence;
        else if (!ready)
            v.scene = Scene::Busy;
        else if (EndsWith(step, "完了(&E)") && setup.Shown(IDC_fraSelectType))
            v.scene = Scene::Completion;
        else if (step == "続行(&C)" && setup.Shown(IDC_fraReadme))
            v.scene = Scene::Details;
        else if (EndsWith(step, "開始(&S)") && setup.Shown(IDC_grpSetupFolder))
            v.scene = Scene::Folder;
        else if (EndsWith(step, "続行(&C)") && setup.Shown(IDC_fraTitle))
            v.scene = Scene::Title;
        else if (EndsWith(step, "続行(&C)") && setup.Shown(IDC_fraReadme))
            v.scene = Scene::Readme;
        v.key = step + "|" + setup.Text(IDC_fraReadme);
        v.pulse = step + (ready ? "+" : "-");
    }
    v.key = std::string(NameOf(v.scene)) + "|" + v.key;
    v.pulse = v.key + "|" + v.pulse;
    return v;
}

// The answer of a person accepting the defaults, and a file name for the
// picture of the box.
int Decide(const MessageBoxView& box, std::string& shotName, bool& failure) {
    const std::set<int> buttons(box.buttons.begin(), box.buttons.end());
    failure = false;
    if (box.caption == "フォルダ作成") {
        shotName = "question-create-folder";
        return IDYES;
    }
    if (box.caption == "関連付けの確認") {
        shotName = "question-association";
        return IDYES;
    }
    if (box.text.find("詳細を表示しますか") != std::string::npos) {
        shotName = "question-failure-details";
        // An uninstall reports what it had to leave (such as the user's own
        // files): the details are the point. In an install it means some
        // folder or copy failed.
        if (!options.uninstallKey.empty()) return IDYES;
        failure = true;
        return IDNO;
    }
    shotName = "message";
    // An error box (a stop, a fatal error) ends the walk as a failure; any
    // other box gets its first button, the one a person's Enter would press.
    if (box.iconKnown && box.icon == MB_ICONHAND) failure = true;
    for (int id : {IDYES, IDOK, IDRETRY, IDIGNORE})
        if (buttons.count(id)) return id;
    return box.buttons.empty() ? IDOK : box.buttons.front();
}

class Walk {
public:
    explicit Walk(SetupProcess& setup) : setup_(setup), camera_(options.shots) {}

    void Run() {
        if (!setup_.WaitForWizard(60000)) return;
        Say("[rvdrive] the wizard is up");
        std::string actedOn, lastPulse;
        double lastChange = Now();
        for (;;) {
            View v = Look(setup_);
            if (v.scene == Scene::Gone) {
                if (!finished_) ADD_FAILURE() << "the program ended (code " << setup_.ExitCode()
                                              << ") before the completion page";
                return;
            }
            if (v.pulse != lastPulse) {
                lastPulse = v.pulse;
                lastChange = Now();
            }
            if (Now() - lastChange > options.stallSeconds) {
                ADD_FAILURE() << "nothing changed for " << options.stallSeconds << " s; the screen shows: "
                              << NameOf(v.scene) << " " << ToUtf8(v.key);
                return;
            }
            if (v.key == actedOn || !Actionable(v.scene)) {
                if (v.scene == Scene::Copying && !copyingShot_) {
                    copyingShot_ = true;
                    Announce(v.scene);
                    camera_.Shoot("progress-copying");
                }
                Sleep(50);
                continue;
            }
            const double seen = Now();
            // A page is built in several steps: act once it has settled.
            Sleep(300);
            View settled = Look(setup_);
            if (settled.key != v.key) continue;
            actedOn = v.key;
            if (!Act(settled, seen)) return;
            if (finished_) break;
        }
        if (!setup_.WaitForExit(60000)) {
            ADD_FAILURE() << "the program did not end after the finish press";
            return;
        }
        Say("[rvdrive] the program ended with code " + std::to_string(setup_.ExitCode()));
    }

    void PrintTiming() const {
        if (startPress_ == 0 || completionSeen_ == 0) return;
        const double total = completionSeen_ - startPress_;
        char line[256];
        snprintf(line, sizeof line,
                 "[rvdrive] %s time: %.2f s from the start press to the completion page "
                 "(%.2f s of it the program waited for this driver's answers)",
                 options.uninstallKey.empty() ? "install" : "uninstall", total, waitedForUs_);
        Say(line);
    }

private:
    // The scene's name, after the start press with the time since it.
    void Announce(Scene s) const {
        char elapsed[32] = "";
        if (startPress_ != 0) snprintf(elapsed, sizeof elapsed, " (+%.2f s)", Now() - startPress_);
        Say(std::string("[rvdrive] ") + NameOf(s) + elapsed);
    }

    static bool Actionable(Scene s) {
        return s != Scene::Hidden && s != Scene::Busy && s != Scene::Progress && s != Scene::Copying;
    }

    // Handles one settled scene; false ends the walk.
    bool Act(const View& v, double seen) {
        Announce(v.scene);
        switch (v.scene) {
            case Scene::Title:
                camera_.Shoot("title");
                return Step("press " + setup_.Text(IDC_btnEvent), IDC_btnEvent);
            case Scene::Licence:
                Say("        " + setup_.Text(IDC_fraReadme));
                camera_.Shoot("licence");
                if (setup_.Shown(IDC_chkEULARead) && !setup_.Checked(IDC_chkEULARead)) {
                    Say("        tick " + setup_.Text(IDC_chkEULARead));
                    setup_.Press(IDC_chkEULARead);
                    if (!setup_.WaitUntil([&] { return setup_.Enabled(IDC_btnEvent); }, "the agree button")) return false;
                }
                return Step("press " + setup_.Text(IDC_btnEvent), IDC_btnEvent);
            case Scene::Readme:
                Say("        " + setup_.Text(IDC_fraReadme));
                camera_.Shoot("readme");
                return Step("press " + setup_.Text(IDC_btnEvent), IDC_btnEvent);
            case Scene::Folder:
                return StartInstall();
            case Scene::Box: {
                std::string name;
                bool failure = false;
                const int answer = Decide(v.box, name, failure);
                Say("        " + v.box.caption + ":");
                SayIndented(v.box.text);
                camera_.Shoot(name);
                const char* word = answer == IDYES ? "Yes" : answer == IDNO ? "No" : answer == IDOK ? "OK" : "button";
                Say("        answer " + std::string(word));
                if (startPress_ != 0) waitedForUs_ += Now() - seen;
                setup_.Answer(v.box, answer);
                if (failure) ADD_FAILURE() << "the install did not go through: " << v.box.Describe();
                return !::testing::Test::HasFatalFailure();
            }
            case Scene::Shared:
                SayIndented(setup_.Text(IDC_lblMessage, v.status));
                camera_.Shoot("shared-file-dialog");
                Say("        press " + setup_.Text(IDC_btnDelete, v.status));
                setup_.Press(IDC_btnDelete, v.status);
                return true;
            case Scene::Summary:
                SayIndented(setup_.Text(IDC_lblMessage, v.status));
                camera_.Shoot("summary");
                waitedForUs_ += Now() - seen;
                Say("        press " + setup_.Text(IDC_btnAbort, v.status));
                setup_.Press(IDC_btnAbort, v.status);
                return true;
            case Scene::Details:
                SayIndented(setup_.Text(IDC_txtReadme));
                camera_.Shoot("failure-details");
                return Step("press " + setup_.Text(IDC_btnEvent), IDC_btnEvent);
            case Scene::Completion:
                if (completionSeen_ == 0) completionSeen_ = seen;
                SayIndented(setup_.Text(IDC_lblSelectTypeMsg));
                Say("        choice: " + setup_.Text(IDC_optSelectType1));
                camera_.Shoot("completion");
                finished_ = true;
                return Step("press " + setup_.Text(IDC_btnEvent), IDC_btnEvent);
            default:
                return true;
        }
    }

    // Presses a wizard button; false when the press itself failed (an
    // earlier failure, such as a reported install failure, lets the walk go
    // on to the end).
    bool Step(const std::string& what, int button) {
        Say("        " + what);
        const int before = Failures();
        setup_.Press(button);
        return Failures() == before;
    }

    static int Failures() {
        return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
    }

    bool StartInstall() {
        if (!options.uninstallKey.empty()) {
            for (int id : {IDC_chkSCutDesktop, IDC_chkSCutStartMenu, IDC_chkSCutStartUp, IDC_chkSCutSendTo})
                if (setup_.Shown(id))
                    Say(std::string("        [") + (setup_.Checked(id) ? "x" : " ") + "] " + setup_.Text(id));
            camera_.Shoot("uninstall-options");
            const bool pressed = Step("press " + setup_.Text(IDC_btnEvent), IDC_btnEvent);
            startPress_ = Now();
            return pressed;
        }
        if (!options.folder.empty()) {
            setup_.SetText(IDC_txtFolder, options.folder);
            if (!setup_.WaitForText(IDC_txtFolder, options.folder)) return false;
        }
        if (options.hiSpeed >= 0 && setup_.Checked(IDC_chkHiSpeed) != (options.hiSpeed == 1)) {
            setup_.Press(IDC_chkHiSpeed);
            if (!setup_.WaitUntil([&] { return setup_.Checked(IDC_chkHiSpeed) == (options.hiSpeed == 1); },
                                  "the high-speed box"))
                return false;
        }
        Say("        " + setup_.Text(IDC_grpSetupFolder) + ": " + setup_.Text(IDC_txtFolder));
        for (int id : {IDC_chkOverWrite, IDC_chkHiSpeed, IDC_chkSCutDesktop, IDC_chkSCutStartMenu, IDC_chkSCutStartUp,
                       IDC_chkSCutSendTo})
            if (setup_.Shown(id)) Say(std::string("        [") + (setup_.Checked(id) ? "x" : " ") + "] " + setup_.Text(id));
        camera_.Shoot("folder");
        const bool pressed = Step("press " + setup_.Text(IDC_btnEvent), IDC_btnEvent);
        startPress_ = Now();
        return pressed;
    }

    SetupProcess& setup_;
    Camera camera_;
    bool finished_ = false, copyingShot_ = false;
    double startPress_ = 0, completionSeen_ = 0;  // seconds on Now()
    double waitedForUs_ = 0;
};

TEST(Rvdrive, Walk) {
    if (!options.uninstallKey.empty()) {
        // As the control panel starts it: the entry's uninstall string.
        Say("[rvdrive] wine uninstaller --remove " + options.uninstallKey);
        RunShellCommand("wine uninstaller --remove '" + options.uninstallKey + "'");
        std::unique_ptr<SetupProcess> uninstaller = SetupProcess::Attach("UNRAVEL.EXE", 60000);
        ASSERT_TRUE(uninstaller);
        Walk walk(*uninstaller);
        walk.Run();
        walk.PrintTiming();
        return;
    }
    std::string medium = options.medium;
    if (!medium.empty() && medium.back() != '\\') medium += '\\';
    const std::string exe = medium + "SETUP.EXE";
    ASSERT_TRUE(FileExistsAt(exe)) << "no SETUP.EXE in " << ToUtf8(medium);
    Say("[rvdrive] starting " + exe);
    SetupProcess setup(exe, "");
    ASSERT_TRUE(setup.started());
    Walk walk(setup);
    walk.Run();
    walk.PrintTiming();
}

// Failures printed as they happen, in place of gtest's own banner.
class FailurePrinter : public ::testing::EmptyTestEventListener {
    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        if (!result.failed()) return;
        fprintf(stdout, "[rvdrive] FAILED at %s:%d: %s\n", result.file_name() ? result.file_name() : "?",
                result.line_number(), result.message());
        fflush(stdout);
    }
};

int Usage() {
    fprintf(stderr,
            "usage: rvdrive.exe [--shots FOLDER] [--hispeed on|off] [--stall SECONDS] MEDIUM [INSTALL_FOLDER]\n"
            "       rvdrive.exe [--shots FOLDER] [--stall SECONDS] --uninstall KEY\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    _setmode(_fileno(stdout), _O_BINARY);
    ::testing::InitGoogleTest(&argc, argv);
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--shots" && hasValue)
            options.shots = argv[++i];
        else if (arg == "--hispeed" && hasValue) {
            const std::string value = argv[++i];
            if (value != "on" && value != "off") return Usage();
            options.hiSpeed = value == "on";
        } else if (arg == "--stall" && hasValue)
            options.stallSeconds = atoi(argv[++i]);
        else if (arg == "--uninstall" && hasValue)
            options.uninstallKey = argv[++i];
        else if (arg.rfind("--", 0) == 0)
            return Usage();
        else
            positional.push_back(arg);
    }
    if (options.stallSeconds <= 0) return Usage();
    if (options.uninstallKey.empty()) {
        if (positional.empty() || positional.size() > 2) return Usage();
        options.medium = positional[0];
        if (positional.size() == 2) options.folder = positional[1];
    } else if (!positional.empty()) {
        return Usage();
    }

    auto& listeners = ::testing::UnitTest::GetInstance()->listeners();
    delete listeners.Release(listeners.default_result_printer());
    listeners.Append(new FailurePrinter);
    const int failed = RUN_ALL_TESTS();
    Say(failed ? "[rvdrive] the walk FAILED" : "[rvdrive] the walk succeeded");
    return failed ? 1 : 0;
}

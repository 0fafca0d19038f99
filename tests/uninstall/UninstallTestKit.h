#pragma once
// What the uninstall tests share: a view whose answers are scripted (an
// unexpected question fails the test), the state record of a started
// uninstaller on this machine, hand-written records, and owners for the
// machine-wide values a test sets (SharedDLLs counts, pending deletions,
// classes).
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "../sysops/SysopsTestUtil.h"
#include "TestSupport.h"
#include "app/Handles.h"
#include "app/RunView.h"
#include "app/SetupState.h"
#include "app/Startup.h"
#include "sysops/Shell.h"

namespace ukit {

// ---- The view ----

class TestRunView : public RunView {
public:
    // Scripted answers, used in order. Each question must match the caption
    // and flags exactly and contain textPart.
    TestRunView& ExpectAsk(const std::string& caption, const std::string& textPart, unsigned flags, int answer) {
        asks_.push_back({caption, textPart, flags, answer});
        return *this;
    }
    TestRunView& ExpectShared(const std::string& answer) {
        sharedAnswers_.push_back(answer);
        return *this;
    }
    ~TestRunView() override {
        EXPECT_TRUE(asks_.empty()) << asks_.size() << " expected question(s) never asked, first: "
                                   << (asks_.empty() ? "" : ToUtf8(asks_.front().textPart));
        EXPECT_TRUE(sharedAnswers_.empty()) << sharedAnswers_.size() << " shared-file answer(s) never used";
    }

    RunOptions options;
    bool choosesSecond = false;  // the completion page's answer

    // What the run did with the view.
    std::vector<std::string> events;  // calls in order, by name
    std::vector<std::string> asked;   // texts of Ask
    std::vector<std::string> sharedTexts;
    std::vector<std::string> statuses;
    std::string detailsCaption, detailsText;
    CompletionPage completion;

    RunOptions Options() override {
        events.push_back("Options");
        return options;
    }
    void DisableOptions() override { events.push_back("DisableOptions"); }
    void HideWizard() override { events.push_back("HideWizard"); }
    void ShowProgress() override { events.push_back("ShowProgress"); }
    void ShowStatus(const std::string& text) override { statuses.push_back(text); }
    void ProcessMessages() override {}
    void Pause(unsigned long) override {}
    void SetAbortEnabled(bool) override { ADD_FAILURE() << "the uninstall run has no abort"; }
    bool Aborted() override { return false; }
    void ShowGauge(bool) override { ADD_FAILURE() << "the uninstall run shows no gauge"; }
    void SetGauge(int, const std::string&) override { ADD_FAILURE() << "the uninstall run shows no gauge"; }

    int Ask(const std::string& text, const std::string& caption, unsigned flags) override {
        events.push_back("Ask");
        asked.push_back(text);
        if (asks_.empty()) {
            ADD_FAILURE() << "unexpected question [" << ToUtf8(caption) << "] " << ToUtf8(text);
            return (flags & 0xF) == MB_YESNO ? IDNO : IDOK;  // the answer that changes nothing
        }
        const Question q = asks_.front();
        asks_.pop_front();
        EXPECT_EQ(ToUtf8(q.caption), ToUtf8(caption)) << ToUtf8(text);
        EXPECT_EQ(q.flags, flags) << ToUtf8(text);
        EXPECT_NE(std::string::npos, text.find(q.textPart)) << "expected within: " << ToUtf8(q.textPart)
                                                            << "\nasked: " << ToUtf8(text);
        return q.answer;
    }
    std::string AskSharedFile(const std::string& text) override {
        events.push_back("AskSharedFile");
        sharedTexts.push_back(text);
        if (sharedAnswers_.empty()) {
            ADD_FAILURE() << "unexpected shared-file question " << ToUtf8(text);
            return "No";
        }
        const std::string answer = sharedAnswers_.front();
        sharedAnswers_.pop_front();
        return answer;
    }
    void ShowDetails(const std::string& caption, const std::string& text) override {
        events.push_back("ShowDetails");
        detailsCaption = caption;
        detailsText = text;
    }
    void WaitForNext() override { events.push_back("WaitForNext"); }
    bool ShowCompletion(const CompletionPage& page) override {
        events.push_back("ShowCompletion");
        completion = page;
        return choosesSecond;
    }
    void EndRun() override { events.push_back("EndRun"); }

    // The final progress text.
    std::string LastStatus() const { return statuses.empty() ? std::string() : statuses.back(); }

private:
    struct Question {
        std::string caption, textPart;
        unsigned flags;
        int answer;
    };
    std::deque<Question> asks_;
    std::deque<std::string> sharedAnswers_;
};

// The option page as start-up sets it up from a record: the four boxes with
// the given captions (empty: disabled), checked as given.
inline RunOptions OptionBoxes(const std::string& folder, bool ini, bool gid, const std::string& caption3 = "",
                              bool box3 = false, const std::string& caption4 = "", bool box4 = false) {
    RunOptions o;
    o.folderText = folder;
    const std::string captions[4] = {"*.INI", "*.GID", caption3, caption4};
    const bool checked[4] = {ini, gid, box3, box4};
    for (int i = 0; i < 4; ++i) o.boxes[i] = {checked[i], true, captions[i]};
    return o;
}

// The delete-all page: one checked box, the other three hidden.
inline RunOptions DeleteAllBoxes(const std::string& folder) {
    RunOptions o;
    o.folderText = folder;
    o.boxes[0] = {true, true, "アンインストールフォルダ以下の全ファイル・フォルダ"};
    for (int i = 1; i < 4; ++i) o.boxes[i] = {false, false, ""};
    return o;
}

// ---- The state of a started uninstaller ----

// The state record as start-up leaves it in uninstall mode on this machine
// (the real system folders), put back after the test.
class UninstallState {
public:
    explicit UninstallState(const std::string& scriptFile) {
        SetupState& s = State();
        s.OSKind = "NT";
        std::string fatal;
        ApplyFolderRules(GatherFolderFacts(), s, fatal);
        s.TempFolder = QueryTempPath();
        EXPECT_TRUE(fatal.empty()) << ToUtf8(fatal);
        s.Mode = "UNSETUP";
        s.SetupString = "インストール";
        s.UnSetupString = "アンインストール";
        s.ScriptFile = scriptFile;
    }

private:
    StateGuard guard_;
};

// ---- Machine-wide values ----

inline const char* SharedDllsKey() { return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"; }

// The SharedDLLs count of a path; -1 when there is no value.
inline long CountOf(const std::string& path) {
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SharedDllsKey(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return -1;
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key.get(), path.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return -1;
    return static_cast<long>(value);
}

// A SharedDLLs count set for one test; the value is removed afterwards.
class SharedCount {
public:
    SharedCount(const std::string& path, DWORD count) : path_(path) {
        RegKey key;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, SharedDllsKey(), 0, nullptr, 0, KEY_SET_VALUE,
                                                 nullptr, key.put(), nullptr));
        RegSetValueExA(key.get(), path.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    }
    ~SharedCount() {
        RegKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SharedDllsKey(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
            RegDeleteValueA(key.get(), path_.c_str());
    }
    SharedCount(const SharedCount&) = delete;
    SharedCount& operator=(const SharedCount&) = delete;

private:
    std::string path_;
};

// The PendingFileRenameOperations value as it was before the test, put back
// afterwards, so a test's scheduled deletion never waits for a restart of
// the prefix.
class PendingRenamesGuard {
public:
    PendingRenamesGuard() { existed_ = Read(saved_); }
    ~PendingRenamesGuard() {
        RegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
        if (existed_)
            RegSetValueExW(key.get(), kValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(saved_.data()),
                           static_cast<DWORD>(saved_.size() * sizeof(wchar_t)));
        else
            RegDeleteValueW(key.get(), kValue);
    }
    PendingRenamesGuard(const PendingRenamesGuard&) = delete;
    PendingRenamesGuard& operator=(const PendingRenamesGuard&) = delete;

    // True when a pending operation deletes the path (source \??\path, empty
    // target), any case.
    static bool DeletionPending(const std::string& path) {
        std::wstring data;
        if (!Read(data)) return false;
        wchar_t wide[MAX_PATH * 2] = {};
        MultiByteToWideChar(CP_ACP, 0, ("\\??\\" + path).c_str(), -1, wide, MAX_PATH * 2);
        std::vector<std::wstring> items;
        for (size_t i = 0; i < data.size();) {
            const std::wstring item(data.c_str() + i);
            items.push_back(item);
            i += item.size() + 1;
        }
        for (size_t i = 0; i + 1 < items.size(); i += 2) {
            if (lstrcmpiW(items[i].c_str(), wide) == 0 && items[i + 1].empty()) return true;
        }
        return false;
    }

private:
    static constexpr const wchar_t* kKey = L"System\\CurrentControlSet\\Control\\Session Manager";
    static constexpr const wchar_t* kValue = L"PendingFileRenameOperations";

    static bool Read(std::wstring& data) {
        data.clear();
        RegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
        DWORD size = 0;
        if (RegQueryValueExW(key.get(), kValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
        data.assign(size / sizeof(wchar_t), L'\0');
        if (RegQueryValueExW(key.get(), kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS)
            return false;
        data.resize(size / sizeof(wchar_t));
        return true;
    }

    std::wstring saved_;
    bool existed_ = false;
};

// Registry keys under HKEY_CLASSES_ROOT (or any hive) removed with their
// subkeys before and after a test.
class ScratchKeys {
public:
    ScratchKeys(HKEY hive, std::vector<std::string> subkeys) : hive_(hive), subkeys_(std::move(subkeys)) { Clear(); }
    ~ScratchKeys() { Clear(); }
    ScratchKeys(const ScratchKeys&) = delete;
    ScratchKeys& operator=(const ScratchKeys&) = delete;

private:
    void Clear() {
        for (const std::string& k : subkeys_) {
            RegDeleteTreeA(hive_, k.c_str());
            RegDeleteKeyA(hive_, k.c_str());
        }
    }
    HKEY hive_;
    std::vector<std::string> subkeys_;
};

// Restart requests of the run, caught before they reach the system.
class RestartSeam {
public:
    RestartSeam() {
        TWinReboot::SetExitWindowsFunction([this](UINT flags, DWORD) {
            flags_.push_back(flags);
            return TRUE;
        });
    }
    ~RestartSeam() { TWinReboot::SetExitWindowsFunction(nullptr); }
    RestartSeam(const RestartSeam&) = delete;
    RestartSeam& operator=(const RestartSeam&) = delete;
    const std::vector<UINT>& calls() const { return flags_; }

private:
    std::vector<UINT> flags_;
};

// ---- Registry helpers ----

inline void SetString(HKEY hive, const std::string& subkey, const std::string& name, const std::string& value) {
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(hive, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(value.c_str()),
                                            static_cast<DWORD>(value.size() + 1)));
}

inline bool KeyExists(HKEY hive, const std::string& subkey) {
    RegKey key;
    return RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The string value, or "<none>" when missing.
inline std::string GetString(HKEY hive, const std::string& subkey, const std::string& name) {
    RegKey key;
    if (RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return "<none>";
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    if (RegQueryValueExA(key.get(), name.empty() ? nullptr : name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return "<none>";
    return buffer;
}

}  // namespace ukit

namespace ukit {

// A file of the machine put back as it was (or removed) when the test ends.
class RestoredFile {
public:
    explicit RestoredFile(const std::string& path) : path_(path), existed_(FileExistsAt(path)) {
        if (existed_) saved_ = ReadFileBytes(path);
    }
    ~RestoredFile() {
        if (existed_)
            WriteFileBytes(path_, saved_);
        else
            DeleteFileA(path_.c_str());
    }
    RestoredFile(const RestoredFile&) = delete;
    RestoredFile& operator=(const RestoredFile&) = delete;

private:
    std::string path_, saved_;
    bool existed_;
};

// One numbered section of a record: "[name]", prefix1=..., prefix2=..., and
// the empty line that ends every section.
inline std::string Section(const std::string& name, const std::string& prefix, const std::vector<std::string>& values) {
    std::string text = "[" + name + "]\r\n";
    for (size_t i = 0; i < values.size(); ++i) text += prefix + std::to_string(i + 1) + "=" + values[i] + "\r\n";
    return text + "\r\n";
}

}  // namespace ukit

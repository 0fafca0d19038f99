#include "uninstall/SharedFilePolicy.h"

#include <windows.h>

#include "app/RunView.h"
#include "app/SystemChanges.h"
#include "app/SetupState.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "sysops/Deletion.h"
#include "sysops/FileOps.h"
#include "sysops/SharedDlls.h"
#include "sysops/Shell.h"
#include "uninstall/PathGuards.h"

const char* const kRestartNote = "(追加情報)このファイルはWindowsの再起動後に削除が試行されます。\r\n";

namespace {

const char kCaption[] = "ファイル削除の確認";

// A library (".DLL" or ".OCX" anywhere in the path) in the Windows or system
// folder: by the path as written, and by where it really lies.
bool IsSystemLibrary(const std::string& path) {
    if (!IsRegistrable(path)) return false;
    const SetupState& s = State();
    for (const std::string& folder : {s.WindowsFolder, s.SystemFolder}) {
        if (folder.empty()) continue;
        if (IPos(folder, path) > 0) return true;
        if (ProtectedFolders::IsInside(ExtractFilePath(path), folder)) return true;
    }
    return false;
}

}  // namespace

FileOutcome SharedFilePolicy::Decide(const std::string& path, EntryFlags flags, const DecrementGuard& guard,
                                     const EntryForm& form) {
    FileOutcome outcome;
    const std::string& countName = form.countName.empty() ? path : form.countName;
    const long count = SharedDllCount(countName);
    auto keep = [&](const std::string& why) {
        flags.leave = true;  // in this decision only, never in the record
        outcome.code = 0;
        Changes().Note("残す " + path + " (" + why + ")");
    };
    auto remove = [&] { outcome.code = DeletePath(path, form.rules, form.unregister); };
    // The file stays with its count as it was; the run lists why.
    auto heldBack = [&](unsigned long code) {
        Changes().Note("残す " + path + " (共有カウントを減らせない)");
        FileOutcome held;
        held.code = code;
        held.kept = held.countFailed = true;
        return held;
    };
    // Taken down by a run that was cut short: the count may be 0 by now,
    // and the file is still decided as a shared one.
    const bool decremented = flags.shared && guard.alreadyDone && guard.alreadyDone(count);

    long lowered = count;
    if (!decremented && count != 0 && flags.shared) {
        if (guard.before && !guard.before(count)) return heldBack(ERROR_WRITE_FAULT);
        try {
            lowered = AdjustSharedDllCount(countName, false);
        } catch (const RegistryWriteError& error) {
            return heldBack(static_cast<unsigned long>(error.code()));
        }
    }
    if (decremented || (count != 0 && flags.shared)) {
        if (lowered != 0) {
            keep("共有カウント " + std::to_string(lowered) + ": ほかのプログラムも使う");  // other programs still count on it
        } else {
            const std::string answer = AskShared(path);
            if (answer == "Delete" || answer == "Yes")
                remove();
            else
                keep("共有ファイル: 残すと答えた");
        }
    } else if (count != 0) {
        keep("共有カウント " + std::to_string(count) + ": ほかのインストーラが数えた");  // another installer counted it, this one did not
    } else if (flags.confirm) {
        if (AskYesNo(path + "\r\n\r\n" + "このファイルを削除してもよろしいですか？" + "\r\n\r\n" + "<<　注意　>>" +
                     "\r\n" + "DLL/OCXなどは他のプログラムでも使用される可能性があります。" + "\r\n" +
                     "確実に使用されないことがわかっている場合のみ削除してください。"))
            remove();
        else
            keep("/C: 残すと答えた");
    } else if (flags.leave) {
        outcome.code = 0;
        Changes().Note("残す " + path + " (/L: 意図して残す)");
    } else if (IsSystemLibrary(path)) {
        if (AskYesNo(path + "\r\n\r\n" + "このDLL/OCXファイルは、共有登録されていませんが、" + "\r\n" +
                     "今後、他のプログラムで使われる可能性があります。" + "\r\n" +
                     "このファイルを削除してもよろしいですか？"))
            remove();
        else
            keep("システムフォルダのライブラリ: 残すと答えた");
    } else {
        remove();
    }

    outcome.kept = flags.leave;
    // A deletion that gave 0 left nothing, and 2 or 3 found nothing: only
    // another code needs the look (a look for a name that is not there
    // reads the whole folder).
    const bool nothingThere =
        outcome.code == 0 || outcome.code == ERROR_FILE_NOT_FOUND || outcome.code == ERROR_PATH_NOT_FOUND;
    if (!outcome.kept && !nothingThere && FileExists(path)) {
        if (outcome.code == 0) outcome.code = ERROR_ACCESS_DENIED;
        // A link is never handed to the restart either.
        if (flags.force && outcome.code != kLinkLeft && DeleteOnRestart(path)) {
            outcome.scheduled = true;
            outcome.note = kRestartNote;
        }
    }
    return outcome;
}

std::string SharedFilePolicy::AskShared(const std::string& path) {
    if (answer_ == "Delete" || answer_ == "Save") return answer_;
    answer_.clear();
    answer_ = view_.AskSharedFile(path + "\r\n\r\n" + "この共有ファイルは、現在、他のどのプログラムからも使われていません。" +
                                  "\r\n" + "しかし、今後、他のプログラムで使われる可能性があります。" + "\r\n" +
                                  "このファイルを削除してもよろしいですか？");
    return answer_;
}

bool SharedFilePolicy::AskYesNo(const std::string& text) { return view_.Ask({text, kCaption, 36, IDNO}) == IDYES; }

// Folder creation and file copying: [MakeFolder], then [CopyFile] with disk
// changes, expansion, the overwrite rules, shared counts, self-registration
// and files in use replaced at the next start.
#include <windows.h>

#include <algorithm>
#include <optional>

#include "app/PathMacros.h"
#include "app/SystemChanges.h"
#include "app/RunLog.h"
#include "app/ScriptKeys.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "install/InstallContext.h"
#include "install/ScriptEntries.h"
#include "record/Digests.h"
#include "record/EntryFlags.h"
#include "sysops/Deletion.h"
#include "sysops/FileInfo.h"
#include "sysops/FileOps.h"
#include "sysops/HeldFile.h"
#include "sysops/SharedDlls.h"
#include "sysops/NoFollow.h"
#include "sysops/PathNames.h"
#include "sysops/Sha256.h"
#include "sysops/Shell.h"

namespace {


// Asks for the entry's disk until its source is there; false when the
// person cancelled (the run has then ended).
bool AskForDisk(InstallContext& run, const std::string& source) {
    SetupState& s = run.s;
    ++run.disk;
    // Unattended, the disk's files must be there already: asked again means
    // they are not, and the run stops.
    for (bool again = false;; again = true) {
        s.LastAnswer = run.view.Ask({std::to_string(run.disk) + "枚目のディスクに交換してください。", "ディスク交換", 65,
                                     again ? IDCANCEL : IDOK});
        if (s.LastAnswer == IDCANCEL) {
            run.view.Ask({s.SetupString + "を続行できませんでした。", "致命的エラー", 16, IDOK});
            run.view.EndRun();
            return false;
        }
        if (FileExists(source)) return true;
    }
}

// The gauge after each entry: by bytes while every size is known, else by
// entries.
void UpdateGauge(InstallContext& run, int entryNumber) {
    int percent = 0;
    if (run.byteProgress) {
        percent = run.requiredBytes == 0
                      ? 100
                      : static_cast<int>((run.copiedBytes * 100 + run.requiredBytes / 2) / run.requiredBytes);
    } else if (run.copyEntries > 0) {
        percent = static_cast<int>(static_cast<long long>(entryNumber) * 100 / run.copyEntries);
    }
    percent = std::clamp(percent, 0, 100);
    run.view.SetGauge(percent, "(" + std::to_string(run.processed) + "/" + std::to_string(run.copyEntries) + ")");
    run.view.ProcessMessages();
}

// Whether an existing destination is replaced.
bool DecideOverwrite(InstallContext& run, const std::string& source, const std::string& destination, bool exists) {
    if (!exists) return true;
    if (!run.options.overWrite) {
        run.s.LastAnswer = run.view.Ask(
            {destination + "\r\n\r\nこのファイルは既に存在します。\r\n上書きしてもよろしいですか？", "上書き確認", 36, IDNO});
        return run.s.LastAnswer != IDNO;
    }
    // The newer file wins; when either date is unknown the package's copy
    // is the safer choice.
    const int order = CompareFileTimes(source, destination);
    return order == 1 || order == 2;
}

// The expansion's temporary file, deleted on every way out (a registry error
// passing through included).
struct TemporaryFile {
    std::string path;
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path.empty()) DeletePath(path);
    }
};

// The upper-case canonical form, the key of InstallContext::vouched.
std::string VouchKey(const std::string& path) { return MapString(CanonicalPath(path), LCMAP_UPPERCASE); }

// Registered while held, so the digest kept for the uninstall, which loads
// the library again to undo this, is that of the bytes loaded now; and only
// when those are bytes this run vouches for: a library that someone put in
// the folder before the run is neither loaded nor signed. Empty when it
// registered, else the failure's text.
std::string RegisterLibrary(InstallContext& run, const std::string& path) {
    const HeldFile library(path);
    const auto vouched = run.vouched.find(VouchKey(path));
    if (!library.ok() || vouched == run.vouched.end() || library.Digest() != vouched->second)
        return "ライブラリはこの" + run.s.SetupString +
               "でコピーしたもの(またはパッケージのものと同じ内容)ではないため、登録(DllRegisterServer)しませんでした。\r\n";
    if (!RegisterServer(path, true)) {
        StoreFileDigest(library);
        return "ライブラリの登録(DllRegisterServer)に失敗しました。\r\n";
    }
    StoreFileDigest(library);
    // What it loads from its own folder is loaded again with it later: the
    // ones this run vouches for are signed with it.
    StoreImportDigests(library, [&run](const HeldFile& import) {
        const auto found = run.vouched.find(VouchKey(import.path()));
        return found != run.vouched.end() && import.Digest() == found->second;
    });
    return {};
}

// Whether the entry's file gets a digest: a library to register, or the
// program run before uninstalling.
bool NeedsDigest(const InstallContext& run, const CopyEntry& entry, const EntryFlags& flags) {
    if (flags.registered) return true;
    if (run.beforeProgram.empty()) return false;
    // By name first: a canonical form costs a look at each level.
    return MapString(ExtractFileName(entry.destination), LCMAP_UPPERCASE) ==
               MapString(ExtractFileName(run.beforeProgram), LCMAP_UPPERCASE) &&
           VouchKey(entry.destination) == MapString(run.beforeProgram, LCMAP_UPPERCASE);
}

// A kept file is vouched for only when its bytes equal the package's, both
// read through held handles.
void VouchIfEqual(InstallContext& run, const std::string& source, const std::string& destination) {
    const HeldFile kept(destination), package(source);
    const std::string digest = kept.Digest();
    if (kept.ok() && package.ok() && !digest.empty() && digest == package.Digest())
        run.vouched[VouchKey(destination)] = digest;
}

// A destination folder inside the install folder that is a link (or lies
// under one) is not written into; empty when the folder may be written.
std::string LinkedFolder(InstallContext& run, const std::string& folder, std::optional<HeldFolders>& held) {
    const std::string install = AddPathDelimiter(run.s.InstallFolder, "B");
    const std::string wanted = AddPathDelimiter(folder, "B");
    if (install.size() < 3 || wanted.size() <= install.size() ||
        MapString(wanted.substr(0, install.size()), LCMAP_UPPERCASE) != MapString(install, LCMAP_UPPERCASE))
        return {};
    held.emplace(install, wanted, false);
    if (held->linked())
        return "リンク(ジャンクション・シンボリックリンク)のフォルダ(" + held->link() + ")の中のため、書き込みませんでした。\r\n";
    if (held->failed())
        return "フォルダ(" + held->unopened() + ")を開けず、リンクでないことを確かめられないため、書き込みませんでした。\r\n" +
               SysErrorText(held->error());
    return {};
}

// Copies one entry whose source is present; false when the run has ended.
// Works on its own copy of the entry: the caller measures the source on the
// medium afterwards, wherever it lay, not the temporary expansion; measured
// is set when the copy measured it already (sourceSize).
bool CopyOne(InstallContext& run, CopyEntry entry, unsigned long long& sourceSize, bool& measured) {
    SetupState& s = run.s;
    TemporaryFile temporary;
    std::optional<HeldFile> expansion;  // released before the temporary file goes
    measured = false;
    const bool compressed = IsCompressedName(entry.source);
    if (compressed) {
        unsigned long error = 0;
        const std::string expanded = ExpandToTemp(entry.source, entry.destination, error);
        if (error != 0) {
            // Nothing usable to copy: a failure with the expansion's reason.
            ++run.processed;
            run.AddFailure("<File> ", entry.destination, SysErrorText(error));
            LogItem("展開", entry.source, entry.destination, "失敗", error);
            s.StepResult = kPartlyFailed;
            return true;
        }
        temporary.path = GetField(expanded, ',', 1);
        entry.source = temporary.path;
        entry.destination = GetField(expanded, ',', 2);
        // Installed through the hold taken right after the expansion: nobody
        // can change it between the two.
        expansion.emplace(temporary.path);
    }

    s.ItemText = "【コピー元】" + ExtractFileName(entry.source) + "\r\n【コピー先】" + entry.destination + "\r\n";
    run.ShowItem();
    if (run.Aborted()) return false;

    // Held until the copy is in place and registered.
    std::optional<HeldFolders> folderHeld;
    if (const std::string linked = LinkedFolder(run, ExtractFilePath(entry.destination), folderHeld);
        !linked.empty()) {
        ++run.processed;
        run.AddFailure("<File> ", entry.destination, linked);
        LogItem("コピー", entry.source, entry.destination, "リンク", kLinkedTarget);
        s.StepResult = kPartlyFailed;
        return true;
    }

    // A destination that is not there is made in one step, and only a name
    // that is taken is looked at first: under Wine every look for a name
    // that is not there reads the whole folder, and a look and a create
    // read it twice. A shared library's count asks whether the file was
    // there before the copy, so it looks first; so does a re-install, where
    // most names are taken and a copy made before the look (to a temporary
    // name) would be made twice.
    const EntryFlags flags = EntryFlags::Read(entry.flags);
    const bool shared = flags.shared;
    const bool lookFirst = shared || !run.previous.files.empty();
    const bool digested = NeedsDigest(run, entry, flags);
    Sha256 hash;
    std::string inUse;
    unsigned long long copied = 0;
    CopyRequest request;
    request.copied = &copied;
    request.inUseTemporary = &inUse;
    if (digested) request.sink = [&hash](const char* bytes, unsigned long size) { hash.Update(bytes, size); };
    request.destinationMayExist = false;
    // An expansion is installed through the hold taken right after it was made.
    request.from = expansion ? expansion->file() : nullptr;
    if (expansion && !request.from) {
        ++run.processed;
        run.AddFailure("<File> ", entry.destination, SysErrorText(ERROR_ACCESS_DENIED));
        s.StepResult = kPartlyFailed;
        return true;
    }
    unsigned long result = lookFirst ? ERROR_FILE_EXISTS : CopyFileTo(entry.source, entry.destination, request);
    bool copy = true;
    if (result == ERROR_FILE_EXISTS) {
        const bool exists = FileExists(entry.destination);
        copy = DecideOverwrite(run, entry.source, entry.destination, exists);
        if (shared) AdjustSharedDllCount(entry.destination, true);
        if (flags.overwrite) copy = true;
        if (!copy)
            Changes().Note(std::string(run.options.overWrite ? "そのまま(コピー先が同じか新しい) " : "そのまま(上書きしない) ") +
                           entry.destination);
        request.destinationMayExist = exists;
        hash = Sha256();  // a first attempt that found the name taken heard the bytes already
        result = copy ? CopyFileTo(entry.source, entry.destination, request) : 0;
    }
    ++run.processed;
    if (copy && result == 0 && !compressed) {
        sourceSize = copied;
        measured = true;
    }
    if (digested) {
        if (copy && result == 0)
            run.vouched[VouchKey(entry.destination)] = Sha256Hex(hash.Finish());
        else if (result == 0)
            VouchIfEqual(run, entry.source, entry.destination);
    }
    // A library that did not register is installed but does not work.
    std::string unregistered;
    if (flags.registered && result == 0 && FileExists(entry.destination))
        unregistered = RegisterLibrary(run, entry.destination);

    if (result == 0) {
        run.fresh.files += entry.destination + entry.flags + "|";
        unsigned long long size = copied;
        if (copy || FileSizeOf(entry.destination, size)) run.installedBytes += size;
        LogItem("コピー", entry.source, entry.destination, copy ? "完了" : "既存のファイルを残す", 0);
    } else if (result == ERROR_SHARING_VIOLATION && !inUse.empty() && ScheduleReplacement(inUse, entry.destination)) {
        // The whole copy waits beside the file in use for the restart.
        s.LockedFileFound = true;
        run.fresh.files += entry.destination + entry.flags + "|";
        LogItem("コピー", entry.source, entry.destination, "再起動時に置き換え", result);
    } else {
        LogItem("コピー", entry.source, entry.destination, "失敗", result);
        std::string reason = SysErrorText(result);
        if (result == ERROR_SHARING_VIOLATION) reason += "再起動時の置き換えを予約できませんでした。\r\n";
        if (result == kLinkedTarget)
            reason += "コピー先がリンク、またはほかの名前を持つファイル(ハードリンク)のため、書き込みませんでした。\r\n";
        run.AddFailure("<File> ", entry.destination, reason);
        s.StepResult = kPartlyFailed;
    }
    if (!unregistered.empty()) {
        run.AddFailure("<File> ", entry.destination, unregistered);
        s.StepResult = kPartlyFailed;
    }
    return true;
}

}  // namespace

bool MakeFolders(InstallContext& run) {
    SetupState& s = run.s;
    run.view.SetAbortEnabled(true);
    run.StepBegin("フォルダを作成しています．．．");
    for (const std::string& value :
         IniReadList(Script::MakeFolder::kSection, Script::MakeFolder::kFolderPrefix, s.ScriptFile)) {
        const std::string path = ExpandPathMacros(AddPathDelimiter(value, "B"));
        s.ItemText = "【作成中】 -> " + path;
        run.ShowItem();
        if (run.Aborted()) return false;
        unsigned long code = MakeFolder(path);
        // A folder inside the install folder that is a link (or lies under
        // one) is not the package's: neither written into nor recorded.
        std::optional<HeldFolders> held;
        if (code == 0 && !LinkedFolder(run, path, held).empty()) code = kLinkedTarget;
        LogItem("フォルダ作成", "", path, code == 0 ? "完了" : "失敗", code);
        if (code == 0) {
            run.fresh.folders += path + "|";
        } else {
            run.AddFailure("<Folder> ", path, SysErrorText(code));
            s.StepResult = kPartlyFailed;
        }
        run.Pause();
    }
    run.StepEnd();
    return true;
}

bool CopyFiles(InstallContext& run) {
    SetupState& s = run.s;
    run.view.ShowGauge(true);
    run.StepBegin("ファイルをコピーしています．．．");
    run.processed = 0;
    const std::string before =
        IniRead(Script::BeforeUnInstall::kSection, Script::BeforeUnInstall::kFile, "", s.ScriptFile);
    if (!before.empty()) run.beforeProgram = BeforeUninstallProgram(s.InstallFolder, before).program;
    // One read of the list: a script of thousands of entries stays linear.
    const std::vector<std::string> values =
        IniReadList(Script::CopyFiles::kSection, Script::CopyFiles::kFilePrefix, s.ScriptFile);
    for (int k = 1; k <= static_cast<int>(values.size()); ++k) {
        const std::string& value = values[static_cast<size_t>(k - 1)];
        const CopyEntry entry = ParseCopyEntry(ExpandPathMacros(value), s.SourceFolder);
        if (entry.diskChange && !AskForDisk(run, entry.source)) return false;

        const bool present = FileExists(entry.source);
        unsigned long long size = 0;
        bool measured = false;
        if (!present) {
            s.ItemText = "【コピー元】" + entry.source + "\r\n【コピー先】" + entry.destination +
                         "\r\nファイルが存在しないためコピーをスキップしています．．．";
            run.ShowItem();
            if (run.Aborted()) return false;
            run.AddFailure("<File> ", entry.source, "コピー元のファイルが見つかりません。\r\n");
            LogItem("コピー", entry.source, entry.destination, "コピー元なし", ERROR_FILE_NOT_FOUND);
            s.StepResult = kPartlyFailed;
            ++run.processed;
        } else if (!CopyOne(run, entry, size, measured)) {
            return false;
        }

        if (run.byteProgress && present) {
            if (!measured && !FileSizeOf(entry.source, size)) {
                run.byteProgress = false;
                run.view.Ask({"ファイルサイズの取得に失敗したため、進行状況の表示方法を変更します。", "内部エラー", 48, IDOK});
            } else {
                run.copiedBytes += size == 0 ? 1 : size;
            }
        }
        UpdateGauge(run, k);
        if (run.Aborted()) return false;
        run.Pause();
    }
    if (s.LockedFileFound)
        s.StepResult = IPos(kPartlyFailed, s.StepResult) ? "一部失敗・ロックファイルあり" : "ロックファイルあり";
    run.StepEnd();
    run.view.ShowGauge(false);
    run.fresh.files += s.InstallFolder + "UNSETUP.INI|";
    return true;
}

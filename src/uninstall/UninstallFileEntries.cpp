// The file stage: every [DeleteFile] and [AddDeleteFile] entry through the
// guards and the shared-file decision.
#include "uninstall/UninstallContext.h"

namespace uninstall_run {

// A library is loaded to undo a registration only when the install made
// that registration ("/R") and the library is still what it registered.
bool TUninstallRun::MayUnregister(const HeldFile& library, const EntryFlags& flags) {
    if (!flags.registered) return false;
    const std::string consequence =
        "登録を解除するために読み込むと、その中のプログラムが" + s.UnSetupString + "と同じ権限で実行されます。";
    if (!FileDigestMatches(library) && !GoOnWithChangedFile(library.path(), consequence, "読み込まずに続行")) {
        Log("<File> ", library.path(), kNotUnregistered);
        return false;
    }
    // The libraries it takes from its own folder are loaded with it: held
    // from their check until it has been unloaded (heldImports_).
    heldImports_ = HoldImportsBeside(library);
    const HeldFile* changed = ChangedImport(heldImports_);
    if (changed && !GoOnWithChangedFile(changed->path(), consequence, "読み込まずに続行")) {
        heldImports_.clear();
        Log("<File> ", library.path(), kNotUnregistered + std::string("読み込まれるライブラリ：") + changed->path() + kCrLf);
        return false;
    }
    return true;
}

bool TUninstallRun::GoOnWithChangedFile(const std::string& path, const std::string& consequence,
                                       const std::string& safe) {
    const std::string text = path + kCrLf + kCrLf +
                             "このファイルは、インストールの後に書き換えられたか、このインストーラが"
                             "インストールしたものではありません。" + kCrLf + consequence + kCrLf + kCrLf + safe +
                             "することをお勧めします。このファイルを使いますか？";
    return view.Ask({text, "警告", kWarnYesNo, IDNO}) == IDYES;
}

void TUninstallRun::DeleteFiles() {
    BeginStage("ファイルの" + s.UnSetupString + "処理．．．");
    const std::vector<std::string> listed =
        ReadNumbered(Script::DeleteFiles::kSection, Script::DeleteFiles::kFilePrefix, record_);
    for (size_t n = 0; n < listed.size(); ++n)
        DeleteFileEntry(listed[n], true,
                        std::string(Script::DeleteFiles::kSection) + Script::DeleteFiles::kFilePrefix + std::to_string(n + 1));
    const std::vector<std::string> extra =
        ReadNumbered(Script::AddDeleteFile::kSection, Script::AddDeleteFile::kFilePrefix, record_);
    for (size_t n = 0; n < extra.size(); ++n)
        DeleteFileEntry(extra[n], false,
                        std::string(Script::AddDeleteFile::kSection) + Script::AddDeleteFile::kFilePrefix + std::to_string(n + 1));
    held_.reset();  // the folders may go now
    heldFolder_.clear();
    forms_.Forget();
}

// listed: a [DeleteFile] entry (a file the install run copied); otherwise an
// [AddDeleteFile] entry, which may be a wildcard pattern and may name a file
// that never came to exist. The failure log names an entry as the record
// writes it; everything else uses the one form ReadRecordPath gives.
void TUninstallRun::DeleteFileEntry(const std::string& value, bool listed, const std::string& entry) {
    const std::string written = GetField(value, ',', 1);
    const EntryFlags flags = EntryFlags::Read(GetField(value, ',', 2));
    const std::string tag = "<File> ";
    if (!IsFullyQualified(written)) return Log(tag, written, kNotQualified);
    const RecordPath read = ReadRecordPath(written, &forms_);
    if (listed && (read.pattern || read.wildcardInFolder)) return Log(tag, written, kWildcardEntry);
    if (read.wildcardInFolder) return Log(tag, written, kWildcardInFolderPart);
    if (read.path.empty()) return Log(tag, written, kUnusablePath);
    const std::string& path = read.path;
    if (!read.pattern && !recordUpper_.empty() && Upper(path) == recordUpper_) {
        recordListed_ = true;  // goes at the end (DeleteRecord)
        return;
    }
    if (!read.pattern && IsOwnFile(path)) return Log(tag, written, kOwnFile);
    const bool inside = installFolderDeletable_ && InInstallFolder(read.folder);
    if (read.pattern) {
        if (protected_.IsProtected(read.folder)) return Log(tag, written, kWildcardInProtected);
        // Outside the folder the record was found in, a pattern such as
        // "*.LOG" could take another program's files: only names with a
        // stem of their own ("RVSAMPLE.*") reach there, and only files.
        if (!inside && (StemLength(read.name) < kOutsideStem || !OwnFolder(read.folder)))
            return Log(tag, written, kWildcardOutside);
    }
    // The hold of the last entry's folders serves the next entry in the same
    // folder (held since, none of them can have become a link). A pattern,
    // which may take folders, is walked under a hold of its own.
    if (read.pattern || heldFolder_.empty() || heldFolder_ != Upper(read.folder)) {
        held_.reset();
        heldFolder_.clear();
        const std::string link = ThroughLink(read.folder, held_);
        if (!link.empty()) return Log(tag, written, link);
        if (held_ && !read.pattern) heldFolder_ = Upper(read.folder);
    }
    // One count per file and run, however often and however spelt the
    // record lists it.
    const bool shared = !read.pattern && flags.shared;
    if (shared && std::find(lowered_.begin(), lowered_.end(), Upper(path)) != lowered_.end())
        return LogItem("削除", "", path, kRepeatedShared, 0);
    if (shared) lowered_.push_back(Upper(path));

    DecrementGuard guard;
    EntryForm form;
    // The count the install made is under the record's spelling; another
    // spelling of a counted file finds it under its long form.
    // (The same spelling needs no second look: the registry's names ignore case.)
    form.countName =
        !read.pattern && (Upper(written) == Upper(path) || SharedDllCount(written) == 0) ? path : written;
    form.rules = Rules(!inside);
    if (resumed_)
        guard.alreadyDone = [&](long countNow) { return progress_.AlreadyDecremented(entry, path, countNow); };
    guard.before = [&](long countBefore) { return progress_.NoteDecrement(entry, path, countBefore); };
    form.unregister = [&](const HeldFile& library) { return MayUnregister(library, flags); };
    const FileOutcome outcome = policy_.Decide(path, flags, guard, form);
    heldImports_.clear();
    // The folders' forms are looked up anew after a pattern.
    if (read.pattern) forms_.Forget();
    // A digest kept for a file that is gone vouches for nothing any more. A
    // deletion that reported 0 left nothing (no second look for a name that
    // is not there, which costs a read of the whole folder).
    const bool gone = (outcome.code == 0 && !outcome.kept) || IsGone(outcome.code);
    if (!read.pattern && (gone || !FileExists(path))) ForgetCanonicalFileDigest(path);
    if (outcome.scheduled) restart_ = true;
    if (outcome.kept && !read.pattern) keptFiles_.push_back(Upper(path));
    LogItem("削除", "", path,
            outcome.scheduled ? "再起動時に削除" : outcome.kept ? "残す" : outcome.code == 0 ? "完了" : "失敗",
            outcome.code);
    // Whatever section: a count that could not be lowered is a failure.
    if (outcome.countFailed) return Log(tag, written, SysErrorText(outcome.code) + kCountNotLowered);
    if (outcome.code == kLinkLeft) return Log(tag, written, kIsLink);
    // A pattern's code says little (it may have matched nothing); an extra
    // file that never came to exist is no failure.
    if (outcome.code == 0 || read.pattern || (!listed && outcome.code == ERROR_FILE_NOT_FOUND)) return;
    if (resumed_ && IsGone(outcome.code)) return;
    if (outcome.scheduled) ++completedAtRestart_;
    Log(tag, written, SysErrorText(outcome.code) + outcome.note);
}
}  // namespace uninstall_run

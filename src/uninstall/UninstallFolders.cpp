// The shortcut and folder stages.
#include "uninstall/UninstallContext.h"

namespace uninstall_run {

void TUninstallRun::DeleteShortcuts() {
    BeginStage("ショートカットの" + s.UnSetupString + "処理．．．");
    const std::string tag = "<ShortCut> ";
    for (const std::string& written :
         ReadNumbered(Script::DeleteShortCut::kSection, Script::DeleteShortCut::kFilePrefix, record_)) {
        if (!IsFullyQualified(written)) {
            Log(tag, written, kNotQualified);
            continue;
        }
        const RecordPath read = ReadRecordPath(written);
        if (read.pattern || read.wildcardInFolder) {
            Log(tag, written, kWildcardEntry);
            continue;
        }
        if (read.path.empty() || IsOwnFile(read.path)) {
            Log(tag, written, read.path.empty() ? kUnusablePath : kOwnFile);
            continue;
        }
        if (!IsShortcutFile(read.path)) {
            Log(tag, written, kNotShortcut);
            continue;
        }
        std::optional<HeldFolders> held;
        const std::string link = ThroughLink(read.folder, held);
        if (!link.empty()) {
            Log(tag, written, link);
            continue;
        }
        const unsigned long code = DeletePath(read.path);
        LogItem("ショートカット削除", "", read.path, code == 0 ? "完了" : "失敗", code);
        if (code == kLinkLeft)
            Log(tag, written, kIsLink);
        else if (code != 0 && !(resumed_ && IsGone(code)))
            Log(tag, written, SysErrorText(code));
        held.reset();  // its folder may go now
        // Its menu folder goes when nothing else is left in it; a shell
        // folder never goes.
        if (protected_.IsProtected(read.folder))
            Changes().Note("そのまま " + read.folder + " (シェルのフォルダ)");
        else if (DeleteFolderPatterns(read.folder, "", Rules(true)) == ERROR_DIR_NOT_EMPTY)
            Changes().Note("そのまま " + read.folder + " (ほかのファイルが残っている)");
    }
}

void TUninstallRun::DeleteFolders() {
    BeginStage("フォルダの" + s.UnSetupString + "処理．．．");
    for (const std::string& pattern : refusedPatterns_) Log("<Option> ", pattern, kPatternRefused);

    const std::string tag = "<Folder> ";
    const std::vector<std::string> folders =
        ReadNumbered(Script::DeleteFolder::kSection, Script::DeleteFolder::kFolderPrefix, record_);
    // The install run records parents first: children go first here.
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        const std::string& written = *it;
        if (!IsFullyQualified(written)) {
            Log(tag, written, kNotQualified);
            continue;
        }
        const RecordPath read = ReadRecordPath(AddPathDelimiter(written, "B"));
        if (read.pattern || read.wildcardInFolder || read.folder.empty() || protected_.IsProtected(read.folder)) {
            Log(tag, written, read.folder.empty() ? kUnusablePath : kProtectedFolder);
            continue;
        }
        const std::string& folder = read.folder;
        // The install folder itself goes last, with the same patterns, once
        // the record and the progress file are gone.
        if (installFolderDeletable_ && SamePath(folder, installFolder_)) continue;
        const bool inside = installFolderDeletable_ && InInstallFolder(folder);
        std::optional<HeldFolders> held;
        const std::string link = ThroughLink(ParentOf(folder), held);
        if (!link.empty()) {
            Log(tag, written, link);
            continue;
        }
        const unsigned long code = RemoveFolder(folder, inside ? patterns_ + CopyLeftovers() : "");
        LogItem("フォルダ削除", "", folder, code == 0 ? "完了" : "残る", code);
        if (code == kLinkLeft) {
            Log(tag, written, kIsLink);
            continue;
        }
        // In delete-all mode the install folder stage removes what is left.
        if (code == 0 || (inside && deleteAll_) || (resumed_ && IsGone(code))) continue;
        Log(tag, written, SysErrorText(code));
    }
}
}  // namespace uninstall_run

// What happens after the install: shortcuts the wizard's boxes do not
// govern, and the uninstall entries the uninstall's own guards refuse.
#include "app/MBUtils.h"
#include "app/PathMacros.h"
#include "app/ScriptKeys.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "install/ShortcutBoxes.h"
#include "pack/CheckContext.h"
#include "uninstall/KeyGuards.h"
#include "uninstall/PathGuards.h"

namespace {

void CheckShortcuts(CheckContext& c) {
    using namespace Script::ShortCut;
    for (const ListItem& make : ReadList(c.script, kSection, kMakePrefix)) {
        const std::string nameKey = Script::NumberedKey(kNamePrefix, make.number);
        std::string name = kNameDefault;
        c.Read(kSection, nameKey.c_str(), name);
        if (ShortcutBoxOf(name) >= 0) continue;
        const size_t line = c.script.LineOf(kSection, nameKey);
        c.Warning(line ? line : make.line, "RV401",
                  "ショートカット「" + name + "」はどのチェックボックス((Dsk)・(Sta)・(Sup)・(Sen))にも従わず、いつも作られます。");
    }
}

const char* KeyRefusalText(KeyRefusal refusal) {
    switch (refusal) {
    case KeyRefusal::UninstallEntry: return "「プログラムの追加と削除」の登録キー";
    case KeyRefusal::OtherUser: return "他のユーザーの設定";
    case KeyRefusal::WindowsClass: return "Windows が使うファイルの種類・クラスの登録";
    case KeyRefusal::NotTrusted: return "記録を確かめられないときのクラスの登録";
    default: return "最上位のキー、または Windows や他のプログラムと共用のキー";
    }
}

bool StartsWithWildcard(const std::string& name) { return !name.empty() && (name[0] == '*' || name[0] == '?'); }

}  // namespace

void CheckLater(CheckContext& c) {
    using namespace Script;
    CheckShortcuts(c);
    const ProtectedFolders protectedFolders = ProtectedFolders::ForThisMachine(c.machine);
    const std::string& install = c.machine.InstallFolder;
    const bool installDeletable = c.installFolderUsable && !protectedFolders.IsProtected(install);
    if (c.installFolderUsable && !installDeletable)
        c.Error(c.LineFor(DefaultFolder::kSection, DefaultFolder::kFolder), "RV406",
                "既定のインストールフォルダ(" + install + ")はシステムのフォルダか、それを含むフォルダのため、"
                "アンインストールはこのフォルダを削除せず、ワイルドカードも使いません。");
    const std::string refused = "アンインストールはこの項目を処理しません: ";

    for (const ListItem& item : ReadList(c.script, MakeFolder::kSection, MakeFolder::kFolderPrefix)) {
        const std::string folder = ExpandPathMacros(item.value, c.machine);
        const RecordPath read = ReadRecordPath(AddPathDelimiter(folder, "B"));
        if (!IsFullyQualified(folder))
            c.Error(item.line, "RV402", refused + "「" + folder + "」はドライブ名かネットワーク共有から始まる完全なパスではありません。");
        else if (read.pattern || read.wildcardInFolder)
            c.Error(item.line, "RV402", refused + "「" + folder + "」にはワイルドカードがあります。");
        else if (read.folder.empty() || protectedFolders.IsProtected(read.folder))
            c.Error(item.line, "RV402", refused + "「" + folder + "」はドライブのルートかシステムのフォルダ、またはそれを含むフォルダです。");
    }

    for (const ListItem& item : ReadList(c.script, AddDeleteFile::kSection, AddDeleteFile::kFilePrefix)) {
        const std::string path = GetField(ExpandPathMacros(item.value, c.machine), ',', 1);
        const RecordPath read = ReadRecordPath(path);
        std::string why;
        if (!IsFullyQualified(path))
            why = "ドライブ名かネットワーク共有から始まる完全なパスではありません。";
        else if (read.wildcardInFolder)
            why = "フォルダ名の部分にワイルドカードがあります。";
        else if (read.path.empty())
            why = "ファイルの名前として使えない形です。";
        else if (read.pattern && protectedFolders.IsProtected(read.folder))
            why = "システムや他のプログラムのファイルがあるフォルダでは、ワイルドカードは使われません。";
        else if (read.pattern && StartsWithWildcard(read.name) &&
                 !(installDeletable && ProtectedFolders::IsInside(read.folder, install)))
            why = "インストールフォルダの外では、「*」「?」で始まるワイルドカードは使われません。";
        if (!why.empty()) c.Error(item.line, "RV403", refused + "「" + path + "」: " + why);
    }

    const std::string sid = CurrentUserSid();
    for (const ListItem& item : ReadList(c.script, DeleteRegistry::kSection, DeleteRegistry::kKeyPrefix)) {
        const RegistryRoot root = SplitRegistryRoot(item.value);
        // The install wrote the record: the uninstall trusts it.
        const KeyRefusal refusal = RefuseRegistryKey(root.rootMacro, root.subkey, true, sid);
        if (refusal != KeyRefusal::None)
            c.Error(item.line, "RV404", refused + "「" + item.value + "」は" + KeyRefusalText(refusal) + "です。");
    }

    // The program run before the uninstall lies inside the install folder:
    // the value, cut at its first ",", goes after the folder.
    std::string before;
    if (c.Read(BeforeUnInstall::kSection, BeforeUnInstall::kFile, before) && !before.empty()) {
        const int comma = IPos(",", before);
        const std::string program = comma > 0 ? StrLeft(before, comma - 1) : before;
        const std::string path = install + RemovePathDelimiter(program, "T");
        if (program.empty() || MBPos(":", program) > 0 || !ProtectedFolders::IsInside(ExtractFilePath(path), install))
            c.Error(c.LineFor(BeforeUnInstall::kSection, BeforeUnInstall::kFile), "RV405",
                    "「" + program + "」はインストールフォルダの中のプログラムではありません(値はインストールフォルダからの相対パスです)。");
    }
}

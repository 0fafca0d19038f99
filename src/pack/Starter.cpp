#include "pack/Starter.h"

#include <windows.h>

#include <algorithm>

#include "app/MBUtils.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Win932.h"
#include "sysops/PathNames.h"

namespace {

struct Tree {
    std::vector<std::string> folders;  // relative, parents first
    std::vector<std::string> files;    // relative: the root's first, then each folder's
    std::vector<std::string> links;    // relative: left out
};

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return Upper(a) < Upper(b); });
    return names;
}

void Walk(const std::string& root, const std::string& relative, Tree& tree, std::vector<std::string>& subfolders) {
    for (const std::string& name : Sorted(FolderContents(root + relative))) {
        const std::string path = relative + name;
        const DWORD attributes = GetFileAttributes932(root + path);
        const bool known = attributes != INVALID_FILE_ATTRIBUTES;
        // What a link points at is not the tree's (the check refuses it).
        if (known && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            tree.links.push_back(path);
            continue;
        }
        if (known && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            subfolders.push_back(path);
            continue;
        }
        if (relative.empty() && (Upper(name) == "SETUP.INI" || Upper(name) == "SETUP.EXE" || Upper(name) == "RVPACK.EXE"))
            continue;
        tree.files.push_back(path);
    }
}

Tree ReadTree(const std::string& root) {
    Tree tree;
    std::vector<std::string> pending;
    Walk(root, "", tree, pending);
    for (size_t i = 0; i < pending.size(); ++i) {
        tree.folders.push_back(pending[i]);
        std::vector<std::string> deeper;
        Walk(root, pending[i] + "\\", tree, deeper);
        pending.insert(pending.begin() + static_cast<long>(i) + 1, deeper.begin(), deeper.end());
    }
    return tree;
}

bool HasExtension(const std::string& name, const char* ext) {
    const std::string upper = Upper(name);
    return upper.size() > 4 && upper.compare(upper.size() - 4, 4, ext) == 0;
}

// A file of the root whose name starts with one of the words and that is text.
std::string FindText(const Tree& tree, std::initializer_list<const char*> starts) {
    for (const std::string& file : tree.files) {
        if (MBPos("\\", file) || !HasExtension(file, ".TXT")) continue;
        for (const char* start : starts)
            if (Upper(file).rfind(Upper(start), 0) == 0) return file;
    }
    return {};
}

}  // namespace

StarterScript MakeStarterScript(const std::string& treeFolder) {
    StarterScript result;
    const std::string root = AddPathDelimiter(GetFullPathName932(treeFolder), "B");
    const Tree tree = ReadTree(root);
    result.links = tree.links;
    std::string name = ExtractFileName(RemovePathDelimiter(root, "B"));
    if (name.empty() || MBPos(":", name)) name = "アプリケーション";
    std::string& t = result.text;
    const auto line = [&](const std::string& text) { t += text + "\r\n"; };

    line("; " + name + " のセットアップスクリプト(RVPACK init が作った雛形です)。");
    line("; 値を確かめてから「RVPACK check」で検査し、「RVPACK build」で配布用のフォルダを作ります。");
    line("; 「;」で始まる行はコメントです。");
    line("");
    line("[Title]");
    line("; ウィザードの題名、インストールしたプログラムの名前、ようこそのページの名前");
    line("Setup=" + name + " セットアップ");
    line("UnSetup=" + name);
    line("Program=" + name);
    line("; 「プログラムの追加と削除」のキーの名前と、一覧に出る名前");
    line("UnSetupKey=" + name);
    line("UnSetupDisplay=" + name);
    line("");
    line("[DefaultFolder]");
    line("; 既定のインストールフォルダ((Prg) は Program Files)");
    line("Folder=(Prg)\\" + name);
    line("");
    line("[ProgramID]");
    line("; 前のインストール先を覚えておくための名前");
    line("ID=" + name);
    line("");
    const std::string licence = FindText(tree, {"LICENSE", "LICENCE", "使用許諾"});
    line("[EULA]");
    line("; 使用許諾書(配布用のフォルダの中のテキストファイル)");
    line((licence.empty() ? ";File=LICENSE.TXT" : "File=" + licence));
    line("");
    const std::string readme = FindText(tree, {"README", "お読み"});
    line("[Readme]");
    line("; インストールの前に表示するテキストファイル");
    line((readme.empty() ? ";File=README.TXT" : "File=" + readme));
    line("");
    line("[MakeFolder]");
    line("; インストールフォルダの中に作るフォルダ(親のフォルダを先に書きます)");
    for (size_t i = 0; i < tree.folders.size(); ++i)
        line("Folder" + std::to_string(i + 1) + "=(App)\\" + tree.folders[i]);
    line("");
    line("[CopyFile]");
    line("; コピーするファイル。「コピー先|(From)媒体の中の場所」でサブフォルダから取ります。");
    line("; 共有する DLL には「,/S」、登録する DLL には「,/R」を付けます(例: (App)\\X.DLL,/S/R)。");
    int n = 0;
    std::string program;
    for (const std::string& file : tree.files) {
        if (MBPos(",", file)) {
            result.skipped.push_back(file);
            continue;
        }
        const bool sub = MBPos("\\", file) > 0;
        line("File" + std::to_string(++n) + "=(App)\\" + file + (sub ? "|(From)\\" + file : ""));
        if (program.empty() && HasExtension(file, ".EXE")) program = file;
    }
    line("");
    line("[ShortCut]");
    line("; スタートメニューに作るショートカット((Sta) はプログラムのメニュー、(Dsk) はデスクトップ)");
    if (program.empty()) {
        line(";Make1=(App)\\PROGRAM.EXE");
        line(";Name1=(Sta)" + name + "\\" + name);
    } else {
        const std::string title = ExtractFileName(ChangeFileExt(program, ""));
        line("Make1=(App)\\" + program);
        line("Name1=(Sta)" + name + "\\" + (title.empty() ? name : title));
    }
    line("");
    line("[Support]");
    line("; 「プログラムの追加と削除」に出す情報");
    line("DisplayVersion=1.0");
    line(";Publisher=");
    line(";URLInfoAbout=");
    line("");
    line("[DeleteRegistry]");
    line("; アンインストールで削除するレジストリキー(例)");
    line(";Key1=(Cuser)Software\\" + name);
    line("");
    line("[AddDeleteFile]");
    line("; アンインストールで、コピーしたファイルのほかに削除するファイル(例)");
    line(";File1=(App)\\*.LOG");
    line("");
    line("[BeforeUnInstall]");
    line("; アンインストールの前に表示するテキスト(インストールフォルダからの場所、例)");
    line(";ReadmeFile=\\README.TXT");
    return result;
}

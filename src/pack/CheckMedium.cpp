// The medium: the files the install and the wizard look for beside the
// program, and the folders the copies go into.
#include <windows.h>

#include <set>

#include "app/MBUtils.h"
#include "app/PathMacros.h"
#include "app/ScriptKeys.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "pack/CheckContext.h"
#include "pack/Szdd.h"
#include "platform/Handles.h"
#include "platform/Win932.h"
#include "sysops/PathNames.h"

namespace {

std::string FirstBytes(const std::string& path, size_t count) {
    FileHandle file(CreateFile932(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes(count, '\0');
    DWORD got = 0;
    if (!file || !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(count), &got, nullptr)) return {};
    bytes.resize(got);
    return bytes;
}

bool UsableNameChar(char c) {
    return static_cast<unsigned char>(c) > ' ' && std::string("\\/:*?\"<>|").find(c) == std::string::npos;
}

void CheckCompressed(CheckContext& c, const CopyItem& copy, const std::string& path) {
    szdd::Header header;
    const std::string name = ExtractFileName(copy.entry.source);
    switch (szdd::ReadHeader(FirstBytes(path, szdd::kHeaderSize), header)) {
    case szdd::HeaderKind::Broken:
        c.Error(copy.item.line, "RV302", "「" + name + "」は圧縮ファイルの見出しが不完全か、方式が A ではないため、展開できません。");
        break;
    case szdd::HeaderKind::Plain:
        c.Warning(copy.item.line, "RV302", "「" + name + "」は名前が「_」で終わりますが圧縮されていないため、そのままコピーされます。");
        break;
    case szdd::HeaderKind::Valid:
        // Without "|" the installed file takes its name from the header.
        if (ExtractFileName(copy.entry.destination) == "AUTO.EXT" && !UsableNameChar(header.lastChar))
            c.Warning(copy.item.line, "RV302", "「" + name + "」の見出しには名前の最後の文字がないため、インストールされる名前が欠けます。"
                                               "「(App)\\" + name + "|元の名前」のように名前を書いてください。");
        break;
    }
}

// The number of DISK<n> folders of a split medium.
int DiskCount(const MediumFolders& medium) {
    int n = 1;
    while (medium.split() && FolderExists(medium.ForDisk(n + 1))) ++n;
    return n;
}

// A source reached through a link would be packed from wherever the link
// points, and the distribution would not hold the tree the author sees.
bool ThroughLink(CheckContext& c, size_t line, const std::string& folder, const std::string& source) {
    const std::string link = LinkOnTheWay(folder, source);
    if (link.empty()) return false;
    c.Error(line, "RV306", "「" + source + "」は媒体の中のリンク「" + link + "」を通ります。RVPACK はリンクの先を取り込みません。"
                           "リンクの先のファイルを媒体にコピーしてください。");
    return true;
}

void CheckSources(CheckContext& c) {
    const MediumFolders medium(c.folder);
    for (const WizardFile& f : ReadWizardFiles(c.script)) {
        const std::string named = "[" + std::string(f.section) + "] " + f.key + " の「" + f.path + "」";
        if (!IsInsideFolder(medium.ForDisk(1) + f.path, medium.ForDisk(1)))
            c.Error(f.line, "RV305", named + "は媒体のフォルダの外を指しています。");
        else if (!FileExists(medium.ForDisk(1) + f.path))
            c.Error(f.line, "RV303", named + "が媒体(" + medium.ForDisk(1) + ")にありません。");
        else
            ThroughLink(c, f.line, medium.ForDisk(1), f.path);
    }
    const int disks = DiskCount(medium);
    for (const CopyItem& copy : c.copies) {
        const std::string& source = copy.entry.source;
        const std::string folder = medium.ForDisk(copy.disk);
        if (source.empty() || IsPathDelimiterAt(source, static_cast<int>(source.size()))) {
            c.Error(copy.item.line, "RV301", "コピー元のファイル名がありません。");
            continue;
        }
        if (!IsInsideFolder(folder + source, folder)) {
            c.Error(copy.item.line, "RV305", "コピー元「" + source + "」は媒体のフォルダの外を指しています。");
            continue;
        }
        if (FileExists(folder + source)) {
            if (ThroughLink(c, copy.item.line, folder, source)) continue;
            if (IsCompressedName(source)) CheckCompressed(c, copy, folder + source);
            continue;
        }
        int elsewhere = 0;
        for (int d = 1; d <= disks && !elsewhere; ++d)
            if (d != copy.disk && FileExists(medium.ForDisk(d) + source)) elsewhere = d;
        if (elsewhere)
            c.Error(copy.item.line, "RV305", "コピー元「" + source + "」はディスク " + std::to_string(elsewhere) +
                                                 " にありますが、この項目はディスク " + std::to_string(copy.disk) +
                                                 " の項目です(ディスクは「(Dch)」ごとに 1 つ進み、戻りません)。");
        else
            c.Error(copy.item.line, "RV301", "コピー元「" + source + "」が媒体(" + folder + ")にありません。");
    }
}

// The copy never makes a folder: each must be the install folder, a
// system folder, or made by [MakeFolder] (which makes one level only, so
// a parent must come first).
void CheckFolders(CheckContext& c) {
    std::set<std::string> made;
    const auto provided = [&](const std::string& comparable) {
        return comparable.empty() || IsNamedRoot(comparable) || made.count(comparable) > 0 ||
               (comparable.size() == 2 && comparable[1] == ':');
    };
    const auto report = [&](size_t line, const std::string& folder, const std::string& what) {
        const std::string comparable = ComparableFolder(folder);
        const std::string shown = MacroForm(RemovePathDelimiter(folder, "B"));
        if (comparable.compare(0, 5, "<APP>") == 0)
            c.Error(line, "RV304", what + "「" + shown + "」はインストールフォルダの中にあり、[MakeFolder] で先に作られていません。");
        else if (comparable[0] == '<' || IsFullyQualified(folder))
            c.Warning(line, "RV304", what + "「" + shown + "」は [MakeFolder] で作られないため、インストール先のコンピュータに初めからあるものとします。");
        else
            c.Error(line, "RV304", what + "「" + shown + "」はパスマクロやドライブ名から始まる完全なパスではありません。");
    };
    for (const ListItem& item : ReadList(c.script, Script::MakeFolder::kSection, Script::MakeFolder::kFolderPrefix)) {
        const std::string folder = ExpandPathMacros(AddPathDelimiter(item.value, "B"), NamedFolders());
        const std::string parent = ExtractFilePath(RemovePathDelimiter(folder, "B"));
        if (!provided(ComparableFolder(parent))) report(item.line, parent, "作るフォルダの親フォルダ");
        made.insert(ComparableFolder(folder));
    }
    for (const CopyItem& copy : c.copies) {
        const std::string folder = ExtractFilePath(copy.entry.destination);
        if (!provided(ComparableFolder(folder))) report(copy.item.line, folder, "コピー先のフォルダ");
    }
}

}  // namespace

void CheckMedium(CheckContext& c) {
    CheckSources(c);
    CheckFolders(c);
}

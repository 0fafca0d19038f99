#include "pack/Build.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <set>

#include "app/MBUtils.h"
#include "app/PathMacros.h"
#include "app/ScriptKeys.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "pack/Medium.h"
#include "pack/Szdd.h"
#include "platform/Handles.h"
#include "platform/Win932.h"
#include "sysops/PathNames.h"

namespace {

bool StartsWith(const std::string& text, const char* head) { return text.rfind(head, 0) == 0; }

// True when text ends with name and the name starts on a character.
bool EndsWithName(const std::string& text, const std::string& name) {
    if (name.empty() || text.size() < name.size() || text.compare(text.size() - name.size(), name.size(), name) != 0)
        return false;
    const size_t at = text.size() - name.size();
    size_t i = 0;
    while (i < at) i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    return i == at;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    FileHandle file(CreateFile932(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::uint64_t SizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesEx932(path, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string Explain(unsigned long code) {
    std::string text = FormatMessage932(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return "(" + std::to_string(code) + ") " + text;
}

// One file of the medium: where it is found and how it is laid out.
struct MediumFile {
    MediumFile(std::string path, std::string name, std::uint64_t bytes)
        : from(std::move(path)), relative(std::move(name)), size(bytes), stored(bytes) {}
    std::string from;         // full path in the project
    std::string relative;     // as laid out, from its disk's folder
    std::uint64_t size = 0;   // as found
    std::uint64_t stored = 0; // as laid out
    bool compress = false;
    char lastChar = 0;
    std::string staged;       // the compressed file made ahead
};

struct Plan {
    std::vector<MediumFile> fixed;    // on disk 1, the script apart
    std::vector<MediumFile> files;    // copy sources, each once
    std::vector<size_t> fileOf;       // per copy item: index in files
    std::vector<std::string> values;  // per copy item: the value without its disk marker
    std::vector<int> disks;           // per copy item
};

}  // namespace

bool ParseDiskSize(const std::string& text, std::uint64_t& size) {
    std::uint64_t n = 0, unit = 1;
    size_t digits = text.size();
    if (digits > 0 && (text.back() == 'K' || text.back() == 'k')) unit = 1024, --digits;
    else if (digits > 0 && (text.back() == 'M' || text.back() == 'm')) unit = 1024 * 1024, --digits;
    if (digits == 0 || digits > 12) return false;
    for (size_t i = 0; i < digits; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        n = n * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    size = n * unit;
    return size > 0;
}

std::string RewriteCopyValue(const std::string& value, const std::string& sourceName,
                             const std::string& compressedName) {
    const bool marker = StartsWith(value, "(Dch)");
    const std::string rest = marker ? value.substr(5) : value;
    const int comma = IPos(",", rest);
    std::string main = comma > 0 ? StrLeft(rest, comma - 1) : rest;
    const std::string tail = comma > 0 ? rest.substr(static_cast<size_t>(comma) - 1) : "";
    const int bar = IPos("|", main);
    const auto replaced = [&](const std::string& text) {
        return text.substr(0, text.size() - sourceName.size()) + compressedName;
    };
    if (bar == 0) {
        if (!EndsWithName(main, sourceName)) return {};
        main = replaced(main) + "|" + sourceName;
    } else {
        std::string left = StrLeft(main, bar - 1), right = StrMid(main, bar + 1);
        std::string& part = StartsWith(right, "(From)") ? right : left;
        if (!EndsWithName(part, sourceName)) return {};
        part = replaced(part);
        main = left + "|" + right;
    }
    return (marker ? "(Dch)" : "") + main + tail;
}

namespace {

class Builder {
public:
    Builder(const BuildOptions& options, const std::function<void(const std::string&)>& progress)
        : o_(options), progress_(progress) {}
    ~Builder();
    BuildReport Run();

private:
    bool Prepare();
    bool FromTheTree(const std::string& folder, const std::string& relative);
    bool PlanFiles();
    bool Stage();
    bool RewriteValues();
    bool AssignDisks(std::uint64_t scriptSize);
    std::string ScriptText() const;
    bool LayOut(const std::string& script);
    bool Place(const MediumFile& file, const std::string& folder, bool last);
    void Fail(const std::string& text) { report_.errors.push_back(text); }

    const BuildOptions& o_;
    const std::function<void(const std::string&)>& progress_;
    BuildReport report_;
    std::string projectFolder_, outFolder_, stagingFolder_, scriptBytes_;
    ProfileText script_;
    std::vector<CopyItem> copies_;
    Plan plan_;
};

Builder::~Builder() {
    if (stagingFolder_.empty()) return;
    for (const MediumFile& f : plan_.files)
        if (!f.staged.empty()) DeleteFile932(f.staged);
    RemoveDirectory932(stagingFolder_);
}

bool Builder::Prepare() {
    projectFolder_ = AddPathDelimiter(GetFullPathName932(o_.project), "B");
    outFolder_ = AddPathDelimiter(GetFullPathName932(o_.out), "B");
    if (projectFolder_.size() < 2 || outFolder_.size() < 2) {
        Fail("フォルダの名前が正しくありません。");
        return false;
    }
    if (FileExists(RemovePathDelimiter(outFolder_, "B")) || !FolderContents(outFolder_).empty()) {
        Fail("出力先「" + outFolder_ + "」が空のフォルダではありません(前の出力は消してから作り直してください)。");
        return false;
    }
    if (!FileExists(o_.setupExe)) {
        Fail("「" + o_.setupExe + "」がありません。");
        return false;
    }
    bool unicode = false;
    if (!ReadWholeFile(projectFolder_ + "SETUP.INI", scriptBytes_)) {
        Fail("「" + projectFolder_ + "SETUP.INI」を読めません。");
        return false;
    }
    script_ = ProfileText(ProfileBytesFromFile(scriptBytes_, unicode));
    copies_ = ReadCopyItems(script_);
    return true;
}

// The check refuses both already; the build never relies on having been
// preceded by it.
bool Builder::FromTheTree(const std::string& folder, const std::string& relative) {
    if (!IsInsideFolder(folder + relative, folder)) {
        Fail("「" + relative + "」は「" + folder + "」の外を指しています。");
        return false;
    }
    const std::string link = LinkOnTheWay(folder, relative);
    if (!link.empty()) {
        Fail("「" + relative + "」は「" + folder + "」の中のリンク「" + link + "」を通ります。");
        return false;
    }
    return true;
}

bool Builder::PlanFiles() {
    const MediumFolders medium(projectFolder_);
    const std::uint64_t setupSize = SizeOf(o_.setupExe);
    plan_.fixed.emplace_back(o_.setupExe, "SETUP.EXE", setupSize);
    // Every name laid out as it is, upper case: the program, the script and
    // the wizard's files are never compressed.
    std::map<std::string, bool> plainNames;
    plainNames["SETUP.EXE"] = plainNames["SETUP.INI"] = true;
    for (const WizardFile& f : ReadWizardFiles(script_)) {
        if (plainNames.count(Upper(f.path))) continue;
        plainNames[Upper(f.path)] = true;
        if (!FromTheTree(medium.ForDisk(1), f.path)) return false;
        const std::string from = medium.ForDisk(1) + f.path;
        plan_.fixed.emplace_back(from, f.path, SizeOf(from));
    }
    std::map<std::string, size_t> byPath;  // upper-case project path -> files index
    for (const CopyItem& copy : copies_) {
        if (!FromTheTree(medium.ForDisk(copy.disk), copy.entry.source)) return false;
        const std::string from = medium.ForDisk(copy.disk) + copy.entry.source;
        const auto known = byPath.find(Upper(from));
        if (known != byPath.end()) {
            plan_.fileOf.push_back(known->second);
            continue;
        }
        MediumFile file(from, copy.entry.source, SizeOf(from));
        file.compress = o_.compress && !plainNames.count(Upper(file.relative)) && !IsCompressedName(file.relative);
        if (!file.compress) plainNames[Upper(file.relative)] = true;
        byPath[Upper(from)] = plan_.files.size();
        plan_.fileOf.push_back(plan_.files.size());
        plan_.files.push_back(file);
    }
    // Each compressed name must stay the name of one file.
    std::map<std::string, std::string> owners;
    for (const MediumFile& file : plan_.files) {
        if (!file.compress) continue;
        char lastChar = 0;
        const std::string relative = ExtractFilePath(file.relative) + szdd::CompressedName(ExtractFileName(file.relative), lastChar);
        const std::string key = Upper(relative);
        if (plainNames.count(key) || owners.count(key))
            Fail("「" + file.relative + "」を圧縮した名前「" + relative + "」は「" + (owners.count(key) ? owners[key] : relative) +
                 "」と同じになります。どちらかの名前を変えてください。");
        owners[key] = file.relative;
    }
    return report_.errors.empty();
}

// Compresses ahead, so the disks are filled by the sizes laid out; a file
// compression would not make smaller stays as it is.
bool Builder::Stage() {
    if (!o_.compress) return true;
    stagingFolder_ = outFolder_ + "~RVPACK.TMP\\";
    if (!ForceFolders(stagingFolder_)) {
        Fail("作業フォルダ「" + stagingFolder_ + "」を作れません。");
        return false;
    }
    for (size_t i = 0; i < plan_.files.size(); ++i) {
        MediumFile& file = plan_.files[i];
        if (!file.compress) continue;
        progress_("圧縮 " + std::to_string(i + 1) + "/" + std::to_string(plan_.files.size()) + " " + file.relative);
        file.staged = stagingFolder_ + std::to_string(i);
        const std::string name = ExtractFileName(file.relative);
        const std::string compressed = szdd::CompressedName(name, file.lastChar);
        std::uint64_t written = 0;
        const unsigned long code = szdd::CompressFile(file.from, file.staged, file.lastChar, written);
        if (code != 0 && code != ERROR_FILE_TOO_LARGE) {
            Fail("「" + file.from + "」を圧縮できません: " + Explain(code));
            return false;
        }
        // The header holds 32 bits of length: a larger file stays as it is.
        if (code != 0 || written >= file.size) {
            DeleteFile932(file.staged);
            file.staged.clear();
            file.compress = false;
            continue;
        }
        file.stored = written;
        file.relative = ExtractFilePath(file.relative) + compressed;
    }
    return true;
}

bool Builder::RewriteValues() {
    for (size_t i = 0; i < copies_.size(); ++i) {
        const CopyItem& copy = copies_[i];
        const MediumFile& file = plan_.files[plan_.fileOf[i]];
        std::string value = StartsWith(copy.item.value, "(Dch)") ? copy.item.value.substr(5) : copy.item.value;
        if (file.compress) {
            value = RewriteCopyValue(value, ExtractFileName(copy.entry.source), ExtractFileName(file.relative));
            // The install must read the new entry as the old one, from the new file.
            const CopyEntry again = ParseCopyEntry(ExpandPathMacros(value, NamedFolders()), "");
            if (value.empty() || again.destination != copy.entry.destination || again.source != file.relative ||
                again.flags != copy.entry.flags)
                Fail("File" + std::to_string(copy.item.number) + " を圧縮したファイルの名前に書き換えられません。");
        }
        plan_.values.push_back(value);
    }
    return report_.errors.empty();
}

// Each copy item on a disk: in the script's order, a new disk when the
// next source does not fit in what is left (a source already on the disk
// takes nothing more).
bool Builder::AssignDisks(std::uint64_t scriptSize) {
    plan_.disks.assign(copies_.size(), 1);
    if (o_.diskSize == 0) {
        for (size_t i = 0; i < copies_.size(); ++i) plan_.disks[i] = copies_[i].disk;
        return true;
    }
    std::uint64_t used = scriptSize;
    for (const MediumFile& f : plan_.fixed) used += f.stored;
    if (used > o_.diskSize) {
        Fail("SETUP.EXE・スクリプト・使用許諾書・お読みください・チェックプログラムだけで " + std::to_string(used) +
             " バイトあり、1 枚目のディスク(" + std::to_string(o_.diskSize) + " バイト)に入りません。");
        return false;
    }
    int disk = 1;
    std::vector<int> onDisk(plan_.files.size(), 0);
    for (size_t i = 0; i < copies_.size(); ++i) {
        const size_t f = plan_.fileOf[i];
        const std::uint64_t size = plan_.files[f].stored;
        if (onDisk[f] != disk) {
            if (size > o_.diskSize) {
                Fail("「" + plan_.files[f].relative + "」(" + std::to_string(size) + " バイト)は 1 枚のディスク(" +
                     std::to_string(o_.diskSize) + " バイト)に入りません。");
                return false;
            }
            if (used + size > o_.diskSize) {
                ++disk;
                used = 0;
            }
            used += size;
            onDisk[f] = disk;
        }
        plan_.disks[i] = disk;
    }
    return true;
}

std::string Builder::ScriptText() const {
    ProfileText text = script_;
    std::vector<std::pair<std::string, std::string>> values;
    for (size_t i = 0; i < copies_.size(); ++i) {
        const bool marker = i > 0 ? plan_.disks[i] != plan_.disks[i - 1] : plan_.disks[i] != 1;
        values.emplace_back(Script::NumberedKey(Script::CopyFiles::kFilePrefix, copies_[i].item.number),
                            (marker ? "(Dch)" : "") + plan_.values[i]);
    }
    text.ReplaceValues(Script::CopyFiles::kSection, values);
    return text.bytes();
}

// last: the file's last place, which may take the staged file itself.
bool Builder::Place(const MediumFile& file, const std::string& folder, bool last) {
    const std::string target = folder + file.relative;
    // A name with ".." laid out as it is would write beside OUT.
    if (!IsInsideFolder(target, outFolder_)) {
        Fail("「" + file.from + "」の置き場所「" + target + "」は出力先「" + outFolder_ + "」の外になります。");
        return false;
    }
    if (!ForceFolders(ExtractFilePath(target))) {
        Fail("フォルダ「" + ExtractFilePath(target) + "」を作れません。");
        return false;
    }
    const std::string& from = file.staged.empty() ? file.from : file.staged;
    const bool done = last && !file.staged.empty() ? MoveFile932(from, target) : CopyFile932(from, target, TRUE);
    if (!done) {
        Fail("「" + file.from + "」を「" + target + "」に置けません: " + Explain(GetLastError()));
        return false;
    }
    return true;
}

bool Builder::LayOut(const std::string& script) {
    report_.disks = 1;
    for (int d : plan_.disks) report_.disks = std::max(report_.disks, d);
    const auto folderOf = [&](int disk) {
        return report_.disks > 1 ? outFolder_ + DiskFolderName(disk) + "\\" : outFolder_;
    };
    // A file the wizard shows and the script installs lies there once.
    std::map<std::string, std::string> placedFrom;  // upper-case target -> upper-case source
    const auto once = [&](const MediumFile& f, int disk) {
        const std::string target = Upper(folderOf(disk) + f.relative), from = Upper(f.from);
        const auto known = placedFrom.find(target);
        if (known == placedFrom.end()) {
            placedFrom[target] = from;
            return true;
        }
        if (known->second != from) Fail("「" + f.from + "」と別のファイルが、同じ「" + folderOf(disk) + f.relative + "」になります。");
        return false;
    };
    for (const MediumFile& f : plan_.fixed)
        if (once(f, 1) && !Place(f, folderOf(1), false)) return false;
    report_.script = folderOf(1) + "SETUP.INI";
    if (!WriteBytes(report_.script, script)) {
        Fail("「" + report_.script + "」を書けません。");
        return false;
    }
    // Each source once on every disk that has an entry of it; its last place
    // takes the staged file itself.
    std::vector<std::pair<int, size_t>> places;
    std::set<std::pair<int, size_t>> known;
    std::vector<size_t> lastPlace(plan_.files.size(), 0);
    for (size_t i = 0; i < copies_.size(); ++i) {
        const std::pair<int, size_t> place{plan_.disks[i], plan_.fileOf[i]};
        if (!known.insert(place).second) continue;
        lastPlace[place.second] = places.size();
        places.push_back(place);
    }
    for (size_t p = 0; p < places.size(); ++p) {
        const auto [disk, f] = places[p];
        MediumFile& file = plan_.files[f];
        progress_("配置 " + std::to_string(p + 1) + "/" + std::to_string(places.size()) + " " + file.relative);
        if (once(file, disk)) {
            if (!Place(file, folderOf(disk), lastPlace[f] == p)) return false;
            if (lastPlace[f] == p) file.staged.clear();
        } else if (!report_.errors.empty()) {
            return false;
        }
        ++report_.files;
        report_.compressed += file.compress ? 1 : 0;
        report_.before += file.size;
        report_.after += file.stored;
    }
    return true;
}

BuildReport Builder::Run() {
    if (!Prepare() || !PlanFiles() || !Stage() || !RewriteValues()) return report_;
    // The script grows with every "(Dch)": disk 1 must hold the final one.
    std::uint64_t scriptSize = scriptBytes_.size();
    std::string script;
    for (int round = 0;; ++round) {
        if (!AssignDisks(scriptSize)) return report_;
        script = ScriptText();
        if (script.size() <= scriptSize || round == 16) break;
        scriptSize = script.size();
    }
    LayOut(script);
    return report_;
}

}  // namespace

BuildReport BuildDistribution(const BuildOptions& options, const std::function<void(const std::string&)>& progress) {
    return Builder(options, progress).Run();
}

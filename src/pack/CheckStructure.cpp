// Structure: what the profile rules make of the lines, against the sections
// and keys the program reads.
#include <windows.h>

#include <map>

#include "app/ScriptKeys.h"
#include "pack/CheckContext.h"
#include "platform/Win932.h"

namespace {

using Line = ProfileText::Line;

// A section of the setup script and the keys the program reads in it.
struct KnownSection {
    KnownSection(const char* n, std::vector<const char*> k) : name(n), keys(std::move(k)) {}
    KnownSection(const char* n, std::vector<const char*> prefixes, int fixedCount, const char* listEnd)
        : name(n), numbered(std::move(prefixes)), count(fixedCount), endsAt(listEnd) {}
    const char* name;
    std::vector<const char*> keys;      // single keys
    std::vector<const char*> numbered;  // prefixes of numbered keys
    int count = 0;                      // numbered keys read 1 to count whatever is empty; 0: a list
    const char* endsAt = nullptr;       // a list ends at the first empty value of this prefix
};

const std::vector<KnownSection>& Catalogue() {
    using namespace Script;
    static const std::vector<KnownSection> sections = {
        {Extend::kSection,
         {Extend::kSetupString, Extend::kUnSetupString, Extend::kSetupSpeed, Extend::kEnabled, Extend::kRejectOS,
          Extend::kInstallChecker, Extend::kUnSetupOption, Extend::kUnSetupCheckBox3, Extend::kUnSetupCheckBox4}},
        {Title::kSection,
         {Title::kCopyRight1, Title::kCopyRight2, Title::kSetup, Title::kUnSetup, Title::kProgram, Title::kUnSetupKey,
          Title::kUnSetupDisplay}},
        {DefaultFolder::kSection, {DefaultFolder::kFolder, DefaultFolder::kReferRegistry, DefaultFolder::kReferIniFile}},
        {ProgramID::kSection, {ProgramID::kID}},
        {TopMessage::kSection, {TopMessage::kMessagePrefix}, TopMessage::kMessageCount, nullptr},
        {Caution::kSection, {Caution::kUnInstallCheckEx, Caution::kUnInstallCheck}},
        {EULA::kSection, {EULA::kFile, EULA::kScrollBars, EULA::kCheckBox}},
        {Readme::kSection, {Readme::kFile, Readme::kTitle, Readme::kScrollBars}},
        {BeforeUnInstall::kSection, {BeforeUnInstall::kReadmeFile, BeforeUnInstall::kFile}},
        {MakeFolder::kSection, {MakeFolder::kFolderPrefix}, 0, MakeFolder::kFolderPrefix},
        {CopyFiles::kSection, {CopyFiles::kFilePrefix}, 0, CopyFiles::kFilePrefix},
        {ShortCut::kSection, {ShortCut::kMakePrefix, ShortCut::kNamePrefix}, 0, ShortCut::kMakePrefix},
        {Registry::kSection, {Registry::kKeyPrefix, Registry::kNamePrefix, Registry::kValuePrefix}, 0,
         Registry::kKeyPrefix},
        {IniFile::kSection, {IniFile::kDataPrefix}, 0, IniFile::kDataPrefix},
        {Relate::kSection, {Relate::kNamePrefix, Relate::kFilePrefix}, Relate::kCount, nullptr},
        {DeleteRegistry::kSection, {DeleteRegistry::kKeyPrefix}, 0, DeleteRegistry::kKeyPrefix},
        {AddDeleteFile::kSection, {AddDeleteFile::kFilePrefix}, 0, AddDeleteFile::kFilePrefix},
        {Support::kSection,
         {Support::kPublisher, Support::kURLInfoAbout, Support::kDisplayVersion, Support::kContact, Support::kHelpLink,
          Support::kHelpTelephone, Support::kReadme, Support::kURLUpdateInfo, Support::kComments}},
        {ExecuteFile::kSection, {ExecuteFile::kFile}},
    };
    return sections;
}

// Sections only the uninstall record has; the setup script's are never read.
const char* const kRecordSections[] = {
    Script::Information::kSection,    Script::SetupFolder::kSection,    Script::UnSetupOption::kSection,
    Script::DeleteFolder::kSection,   Script::DeleteFiles::kSection,    Script::DeleteShortCut::kSection,
    Script::RestoreRelate::kSection,  Script::UnSetupRegistryKey::kSection,
};

const KnownSection* FindKnown(const std::string& name) {
    for (const KnownSection& s : Catalogue())
        if (FoldName(s.name) == FoldName(name)) return &s;
    return nullptr;
}

// The number of a numbered key of the prefix ("File12" -> 12), 0 when the
// name is not one the program ever asks for ("File0", "File01", "File").
int NumberOf(const std::string& name, const char* prefix) {
    const std::string p = prefix;
    if (name.size() <= p.size() || FoldName(name.substr(0, p.size())) != FoldName(p)) return 0;
    const std::string digits = name.substr(p.size());
    if (digits[0] == '0' || digits.size() > 6) return 0;
    for (char ch : digits)
        if (ch < '0' || ch > '9') return 0;
    return std::stoi(digits);
}

bool IsKnownKey(const KnownSection& s, const std::string& name) {
    for (const char* key : s.keys)
        if (FoldName(key) == FoldName(name)) return true;
    for (const char* prefix : s.numbered) {
        const int n = NumberOf(name, prefix);
        if (n > 0 && (s.count == 0 || n <= s.count)) return true;
    }
    return false;
}

std::vector<std::string> KeyCandidates(const KnownSection& s, const std::string& name) {
    std::vector<std::string> candidates(s.keys.begin(), s.keys.end());
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    const std::string number = digits < name.size() ? name.substr(digits) : "1";
    for (const char* prefix : s.numbered) candidates.push_back(prefix + number);
    return candidates;
}

std::string Suggest(const std::string& nearest, const char* open = "", const char* close = "") {
    return nearest.empty() ? "" : "(" + std::string(open) + nearest + close + " のことですか？)";
}

// Bytes that are not code page 932 text; a line in UTF-8 is told as such.
void CheckText(CheckContext& c, const Line& line) {
    const bool zero = line.text.find('\0') != std::string::npos;
    if (!zero && win932::IsValidText(line.text)) return;
    bool utf8 = false;
    win932::FromUtf8(line.text, &utf8);
    if (zero)
        c.Error(line.number, "RV107", "0 のバイトがあります。ここから後は値にも名前にもなりません。");
    else if (utf8)
        c.Error(line.number, "RV107", "UTF-8 の文字があります。スクリプトはシフトJIS(コードページ932)で保存してください。");
    else
        c.Error(line.number, "RV107", "シフトJIS(コードページ932)の文字として読めないバイトがあります。");
}

// Keys of numbered lists that the program never reaches: it reads a list
// up to its first missing or empty value.
void CheckListEnds(CheckContext& c, const KnownSection& s, size_t sectionIndex) {
    if (!s.endsAt) return;
    int end = 1;
    std::string value;
    while (c.script.Find(s.name, Script::NumberedKey(s.endsAt, end), value) && !value.empty()) ++end;
    const std::string endKey = Script::NumberedKey(s.endsAt, end);
    const size_t endLine = c.script.LineOf(s.name, endKey);
    const std::string why = endLine ? endKey + " が空です: " + LineText(endLine) : endKey + " がありません";
    const std::string ends = end == 1 ? "一覧は空です(" + why + ")。"
                                      : "一覧は " + Script::NumberedKey(s.endsAt, end - 1) + " までで終わります(" + why + ")。";
    for (const Line& line : c.lines) {
        if (line.section != sectionIndex || line.kind != Line::Key || !line.counts || line.value.empty()) continue;
        for (const char* prefix : s.numbered) {
            const int n = NumberOf(line.name, prefix);
            if (n > end || (n == end && FoldName(prefix) != FoldName(s.endsAt)))
                c.Error(line.number, "RV101", line.name + " は読まれません。" + ends);
        }
    }
}

}  // namespace

void CheckStructure(CheckContext& c) {
    std::map<std::string, size_t> firstSection;  // folded name -> header line
    std::map<size_t, const KnownSection*> known;  // counting section index -> its catalogue entry
    std::map<size_t, std::map<std::string, const Line*>> firstKey;
    std::map<size_t, size_t> keysIn;              // section index -> key lines that are not comments
    for (const Line& line : c.lines)
        if (line.kind != Line::Header && !IsComment(line)) ++keysIn[line.section];

    for (const Line& line : c.lines) {
        CheckText(c, line);
        if (line.kind == Line::Header) {
            const std::string folded = FoldName(line.name);
            if (!line.counts) {
                const size_t first = firstSection[folded];
                const std::string text = "[" + line.name + "] は " + LineText(first) + "にもあります。読まれるのは " +
                                         LineText(first) + "の節だけで、";
                if (keysIn[line.section] > 0)
                    c.Error(line.number, "RV102", text + "この節の " + std::to_string(keysIn[line.section]) +
                                                      " 行は読まれません。");
                else
                    c.Warning(line.number, "RV102", text + "この節は空です。");
                continue;
            }
            firstSection[folded] = line.number;
            const KnownSection* s = FindKnown(line.name);
            if (s) {
                known[line.section] = s;
                continue;
            }
            bool record = false;
            for (const char* name : kRecordSections) record = record || FoldName(name) == folded;
            if (record) {
                c.Warning(line.number, "RV104",
                          "[" + line.name + "] はアンインストール記録(UNSETUP.INI)の節で、セットアップスクリプトでは読まれません。");
                continue;
            }
            std::vector<std::string> names;
            for (const KnownSection& k : Catalogue()) names.push_back(k.name);
            c.Warning(line.number, "RV104", "[" + line.name + "] は読まれない節です。" + Suggest(Nearest(line.name, names), "[", "]"));
            continue;
        }
        if (IsComment(line)) continue;
        if (line.kind == Line::KeyWithoutValue) {
            if (line.text[0] == '[')
                c.Error(line.number, "RV106", "節の見出しに「]」がありません。この行の後の行は前の節のキーになります。");
            else
                c.Warning(line.number, "RV106", "節の見出しでも「キー=値」でもコメント(「;」で始まる行)でもないため、読まれません。");
        }
        if (line.section == 0) {
            if (line.kind == Line::Key)
                c.Warning(line.number, "RV108", "最初の節の見出しより前の行は、どの節のキーにもなりません。");
            continue;
        }
        auto& keys = firstKey[line.section];
        const std::string folded = FoldName(line.name);
        if (!line.counts) {
            const auto first = keys.find(folded);
            if (first == keys.end()) continue;  // in a section that is not read: told at its header
            const Line& winner = *first->second;
            if (winner.kind == Line::KeyWithoutValue)
                c.Error(line.number, "RV103", line.name + " は " + LineText(winner.number) +
                                                  "の「=」のない行に隠れて読まれません。");
            else if (line.kind == Line::Key && winner.value == line.value)
                c.Warning(line.number, "RV103", line.name + " は " + LineText(winner.number) + "にもあります(同じ値)。");
            else if (line.kind == Line::Key)
                c.Error(line.number, "RV103", line.name + " は " + LineText(winner.number) + "にもあり、読まれるのは " +
                                                  LineText(winner.number) + "の値「" + winner.value + "」です。");
            continue;
        }
        keys.emplace(folded, &line);
        const auto s = known.find(line.section);
        if (s == known.end() || line.kind != Line::Key || IsKnownKey(*s->second, line.name)) continue;
        c.Warning(line.number, "RV105", "[" + std::string(s->second->name) + "] の " + line.name + " は読まれないキーです。" +
                                            Suggest(Nearest(line.name, KeyCandidates(*s->second, line.name))));
    }
    for (const auto& [index, s] : known) CheckListEnds(c, *s, index);
}

// Values: macros, tags, flags, numbers and fields as the program reads them.
#include <cstdint>

#include "app/MBUtils.h"
#include "app/PathMacros.h"
#include "app/ScriptKeys.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "install/ScriptEntries.h"
#include "pack/CheckContext.h"
#include "record/EntryFlags.h"
#include "uninstall/KeyGuards.h"

namespace {

const char* const kTypeTags[] = {"(Str)", "(Int)", "(Dwd)", "(Bin)", "(Exp)"};
const char* const kRootMacros[] = {"(Cuser)", "(Class)", "(Local)", "(Users)"};

// Where a value is used, which decides the tokens it may hold.
enum class Use { Path, Text, CopyEntry, RegistryValue, NotExpanded, RegistryKey };

struct Token {
    size_t at;
    std::string text;
};

// "(" + two to six letters or "_" + ")": what a macro, a tag or a marker
// looks like; "(x86)" and "(C)" are left alone.
std::vector<Token> Tokens(const std::string& value) {
    std::vector<Token> tokens;
    for (size_t i = 0; i < value.size(); i += IsLeadByte(static_cast<unsigned char>(value[i])) ? 2 : 1) {
        if (value[i] != '(') continue;
        size_t j = i + 1;
        while (j < value.size() && j - i <= 7 &&
               (value[j] == '_' || (value[j] >= 'A' && value[j] <= 'Z') || (value[j] >= 'a' && value[j] <= 'z')))
            ++j;
        if (j < value.size() && value[j] == ')' && j - i - 1 >= 2 && j - i - 1 <= 6)
            tokens.push_back({i, value.substr(i, j - i + 1)});
    }
    return tokens;
}

template <size_t N>
bool OneOf(const std::string& token, const char* const (&list)[N], bool exact) {
    for (const char* item : list)
        if (exact ? token == item : FoldName(token) == FoldName(item)) return true;
    return false;
}

bool IsDecimal(const std::string& text) {
    std::int32_t ignored = 0;
    return !text.empty() && text[0] != '$' && text[0] != ' ' && ParseTagNumber(text, ignored);
}

std::string Hint(const std::string& nearest) { return nearest.empty() ? "" : "(" + nearest + " のことですか？)"; }

// The shape of the path macros: three letters, or "C_" and three.
bool MacroShaped(const std::string& token) {
    return token.size() == 5 || (token.size() == 7 && FoldName(token.substr(1, 2)) == "C_");
}

void CheckTokens(CheckContext& c, size_t line, const std::string& value, Use use) {
    const std::vector<std::string> roots(std::begin(kRootMacros), std::end(kRootMacros));
    for (const Token& t : Tokens(value)) {
        bool macro = false;
        for (const PathMacro& m : PathMacroList()) macro = macro || FoldName(t.text) == FoldName(m.token);
        if (use == Use::NotExpanded || use == Use::RegistryKey) {
            if (macro) {
                c.Error(line, "RV201", t.text + " はこのキーでは置き換えられず、文字のまま使われます。");
            } else if (use == Use::RegistryKey && t.at == 0 && !OneOf(t.text, kRootMacros, true)) {
                // Only a root macro spelt exactly selects a hive; anything
                // else leaves the key under the user's hive.
                c.Error(line, "RV201", t.text + " はルートマクロではありません(大文字と小文字を区別します)。キーは HKEY_CURRENT_USER の下になります。" +
                                           Hint(Nearest(t.text, roots)));
            }
            continue;
        }
        if (macro) continue;
        if (use == Use::CopyEntry) {
            if (t.text == "(From)" || (t.text == "(Dch)" && t.at == 0)) continue;
            if (FoldName(t.text) == "(DCH)") {
                c.Warning(line, "RV209", "ディスク交換の「(Dch)」は値の先頭に、この綴りのまま書きます。ここではパスの一部になります。");
                continue;
            }
            if (FoldName(t.text) == "(FROM)") {
                c.Error(line, "RV201", t.text + " は「(From)」と綴ります(大文字と小文字を区別します)。ここではパスの一部になります。");
                continue;
            }
        }
        if (use == Use::RegistryValue) {
            if (FoldName(t.text) == "(PDD)") continue;
            if (t.at == 0 && OneOf(t.text, kTypeTags, true)) continue;
            const std::string tag = t.at == 0 ? Nearest(t.text, {std::begin(kTypeTags), std::end(kTypeTags)}, 1) : "";
            if (!tag.empty()) {
                c.Error(line, "RV202", t.text + " は型の指定ではありません(大文字と小文字を区別します)。値は " + t.text +
                                           " を含む文字列として書かれます。" + Hint(tag));
                continue;
            }
        }
        std::vector<std::string> known;
        for (const PathMacro& m : PathMacroList()) known.push_back(m.token);
        if (use == Use::CopyEntry) known.insert(known.end(), {"(From)", "(Dch)"});
        if (use == Use::RegistryValue) known.push_back("(Pdd)");
        // A word in parentheses that only looks like a macro ("(Beta)") is
        // left alone; one of a macro's shape, or one letter off, is not.
        const std::string alike = Nearest(t.text, known, 1);
        if (!MacroShaped(t.text) && alike.empty()) continue;
        const std::string text = t.text + " はパスマクロではありません。置き換えられずに文字のまま残ります。" + Hint(alike);
        if (use == Use::Text || use == Use::RegistryValue)
            c.Warning(line, "RV201", text);
        else
            c.Error(line, "RV201", text);
    }
}

// The second field of a [CopyFile] or [AddDeleteFile] entry: markers "/X".
void CheckFlags(CheckContext& c, size_t line, const std::string& flags, const std::string& allowed) {
    std::string list;
    for (char a : allowed) list += std::string(list.empty() ? "" : " ") + "/" + a;
    const EntryFlags read = EntryFlags::Read(flags, allowed.c_str());
    if (!read.lead.empty()) {
        c.Warning(line, "RV203", "フラグ「" + flags + "」は「/」で始めます(使えるのは " + list + ")。");
        return;
    }
    for (const std::string& part : read.unknown)
        c.Warning(line, "RV203", "フラグ「/" + part + "」には意味がありません(使えるのは " + list + ")。");
}

void CheckCopyEntries(CheckContext& c) {
    for (const CopyItem& copy : c.copies) {
        const size_t line = copy.item.line;
        CheckTokens(c, line, copy.item.value, Use::CopyEntry);
        const std::string value = copy.entry.diskChange ? copy.item.value.substr(5) : copy.item.value;
        if (!copy.entry.flags.empty()) CheckFlags(c, line, copy.entry.flags.substr(1), EntryFlags::kAllMarkers);
        if (!GetField(value, ',', 3).empty())
            c.Warning(line, "RV203", "2 つ目の「,」から後は読まれません。パスに「,」は使えません。");
    }
}

void CheckRegistry(CheckContext& c) {
    using namespace Script::Registry;
    for (const ListItem& key : ReadList(c.script, kSection, kKeyPrefix)) {
        CheckTokens(c, key.line, key.value, Use::RegistryKey);
        std::string value;
        const std::string valueKey = Script::NumberedKey(kValuePrefix, key.number);
        if (!c.Read(kSection, valueKey.c_str(), value) || value.empty()) continue;
        const size_t line = c.script.LineOf(kSection, valueKey);
        CheckTokens(c, line, value, Use::RegistryValue);
        const std::string cleaned = ReplaceToken(value, "(Pdd)", "");
        const std::string tag = cleaned.substr(0, 5);
        const std::string data = cleaned.size() > 5 ? cleaned.substr(5) : std::string();
        std::int32_t number = 0;
        if ((tag == "(Int)" || tag == "(Dwd)") && !ParseTagNumber(data, number))
            c.Error(line, "RV204", "「" + data + "」は数ではないため、0 が書かれます(10 進数か、「$」に続く 16 進数 8 桁まで)。");
        if (tag == "(Bin)" && !ParseTagNumber("$" + data, number))
            c.Error(line, "RV204", "「" + data + "」は 16 進数 8 桁までの数ではないため、何も書かれません。");
    }
    for (const ListItem& key : ReadList(c.script, Script::DeleteRegistry::kSection, Script::DeleteRegistry::kKeyPrefix))
        CheckTokens(c, key.line, key.value, Use::RegistryKey);
}

void CheckAssociations(CheckContext& c) {
    using namespace Script::Relate;
    for (int n = 1; n <= kCount; ++n) {
        const std::string nameKey = Script::NumberedKey(kNamePrefix, n), fileKey = Script::NumberedKey(kFilePrefix, n);
        std::string name, file;
        c.Read(kSection, nameKey.c_str(), name);
        c.Read(kSection, fileKey.c_str(), file);
        if (name.empty() && file.empty()) continue;
        const size_t nameLine = c.script.LineOf(kSection, nameKey), fileLine = c.script.LineOf(kSection, fileKey);
        if (file.empty()) {
            c.Error(nameLine, "RV207", nameKey + " に対応する " + fileKey + " がないため、この関連付けは作られません。");
            continue;
        }
        if (name.empty()) {
            c.Error(fileLine, "RV207", fileKey + " に対応する " + nameKey + " がないため、この関連付けは作られません。");
            continue;
        }
        CheckTokens(c, fileLine, file, Use::Path);
        if (GetField(name, ',', 1).empty())
            c.Error(nameLine, "RV207", nameKey + " の最初の欄(拡張子)が空です。");
        if (GetField(file, ',', 1).empty() || GetField(file, ',', 2).empty())
            c.Error(fileLine, "RV207", fileKey + " には「動詞,プログラム」の 2 欄が要ります(例: open,(App)TOOL.EXE,\"%1\",,0)。");
    }
}

void CheckIniEntries(CheckContext& c) {
    for (const ListItem& data : ReadList(c.script, Script::IniFile::kSection, Script::IniFile::kDataPrefix)) {
        CheckTokens(c, data.line, data.value, Use::Text);
        const std::string expanded = ExpandPathMacros(data.value, NamedFolders());
        const std::string section = GetField(expanded, ',', 1), key = GetField(expanded, ',', 2),
                          file = GetField(expanded, ',', 4);
        if (section.empty() || key.empty() || file.empty()) {
            c.Error(data.line, "RV208", "「節,キー,値,ファイル」の 4 欄のうち、節・キー・ファイルのどれかが空です。");
            continue;
        }
        if (!GetField(expanded, ',', 5).empty())
            c.Warning(data.line, "RV208", "4 つ目の「,」から後は読まれません。値に「,」は使えません。");
        if (!MBPos("\\", file) && !MBPos("/", file) && !MBPos(":", file))
            c.Warning(data.line, "RV208", "「" + file + "」はフォルダのない名前のため、Windows フォルダのファイルになります。"
                                          "意図どおりなら (Win)" + file + " と書いてください。");
    }
}

// Keyword values the program compares exactly.
void CheckKeywords(CheckContext& c) {
    struct Keyword {
        const char* section;
        const char* key;
        std::vector<std::string> values;
        bool onlyThese;  // another value is a mistake too (else only another spelling of these)
    };
    using namespace Script;
    const Keyword keywords[] = {
        {Extend::kSection, Extend::kEnabled, {Values::kFalse}, false},
        {EULA::kSection, EULA::kCheckBox, {Values::kHide}, false},
        {EULA::kSection, EULA::kScrollBars, {Values::kVertical, Values::kHorizontal, Values::kBoth}, true},
        {Readme::kSection, Readme::kScrollBars, {Values::kVertical, Values::kHorizontal, Values::kBoth}, true},
        {ExecuteFile::kSection, ExecuteFile::kFile, {"WINDOWS_REBOOT"}, false},
    };
    for (const Keyword& k : keywords) {
        std::string value;
        if (!c.Read(k.section, k.key, value) || value.empty()) continue;
        bool exact = false, spelling = false;
        for (const std::string& v : k.values) {
            exact = exact || value == v;
            spelling = spelling || FoldName(value) == FoldName(v);
        }
        if (exact || (!spelling && !k.onlyThese)) continue;
        std::string list;
        for (const std::string& v : k.values) list += (list.empty() ? "「" : "・「") + v + "」";
        c.Warning(c.LineFor(k.section, k.key), "RV210",
                  "「" + value + "」は " + list + " と大文字・小文字まで同じでないと効きません。");
    }
}

void CheckSettings(CheckContext& c) {
    using namespace Script;
    std::string value;
    if (c.Read(Extend::kSection, Extend::kSetupSpeed, value) && !IsDecimal(value))
        c.Error(c.LineFor(Extend::kSection, Extend::kSetupSpeed), "RV204",
                "「" + value + "」は 10 進の整数ではないため、" + Extend::kSetupSpeedDefault + " ミリ秒が使われます。");
    if (!c.installFolderUsable) {
        std::string folder = DefaultFolder::kFolderDefault;
        c.Read(DefaultFolder::kSection, DefaultFolder::kFolder, folder);
        c.Error(c.LineFor(DefaultFolder::kSection, DefaultFolder::kFolder), "RV205",
                "既定のインストールフォルダ「" + folder + "」は、ドライブ名から始まる完全なパスになりません。");
    }
    std::string title = Title::kSetupDefault, unsetup, key;
    c.Read(Title::kSection, Title::kSetup, title);
    unsetup = title;
    c.Read(Title::kSection, Title::kUnSetup, unsetup);
    key = unsetup;
    const bool keyGiven = c.Read(Title::kSection, Title::kUnSetupKey, key);
    if (IPos(Values::kSetupOnly, unsetup) == 0 && TrimKeyPath(key).empty())
        c.Warning(c.LineFor(Title::kSection, keyGiven ? Title::kUnSetupKey : Title::kUnSetup), "RV206",
                  "アンインストールのキー名が空(または「\\」だけ)のため、「プログラムの追加と削除」に登録されません。");
    for (const char* name : {DefaultFolder::kFolder, DefaultFolder::kReferIniFile})
        if (c.Read(DefaultFolder::kSection, name, value))
            CheckTokens(c, c.LineFor(DefaultFolder::kSection, name), value, Use::Path);
    if (c.Read(DefaultFolder::kSection, DefaultFolder::kReferRegistry, value))
        CheckTokens(c, c.LineFor(DefaultFolder::kSection, DefaultFolder::kReferRegistry), GetField(value, ',', 1),
                    Use::RegistryKey);
    if (c.Read(ExecuteFile::kSection, ExecuteFile::kFile, value))
        CheckTokens(c, c.LineFor(ExecuteFile::kSection, ExecuteFile::kFile), value, Use::Path);
    const std::pair<const char*, const char*> notExpanded[] = {
        {EULA::kSection, EULA::kFile}, {Readme::kSection, Readme::kFile}, {Extend::kSection, Extend::kInstallChecker},
        {BeforeUnInstall::kSection, BeforeUnInstall::kReadmeFile}, {BeforeUnInstall::kSection, BeforeUnInstall::kFile}};
    for (const auto& [section, key] : notExpanded)
        if (c.Read(section, key, value)) CheckTokens(c, c.LineFor(section, key), value, Use::NotExpanded);
}

void CheckPathLists(CheckContext& c) {
    using namespace Script;
    const std::pair<const char*, const char*> lists[] = {
        {MakeFolder::kSection, MakeFolder::kFolderPrefix},
        {AddDeleteFile::kSection, AddDeleteFile::kFilePrefix},
    };
    for (const auto& [section, prefix] : lists)
        for (const ListItem& item : ReadList(c.script, section, prefix)) CheckTokens(c, item.line, item.value, Use::Path);
    for (const ListItem& item : ReadList(c.script, AddDeleteFile::kSection, AddDeleteFile::kFilePrefix)) {
        const std::string flags = GetField(item.value, ',', 2);
        if (!flags.empty()) CheckFlags(c, item.line, flags, "SCFL");
    }
    for (const ListItem& make : ReadList(c.script, ShortCut::kSection, ShortCut::kMakePrefix)) {
        CheckTokens(c, make.line, make.value, Use::Path);
        const std::string nameKey = Script::NumberedKey(ShortCut::kNamePrefix, make.number);
        std::string name;
        if (c.Read(ShortCut::kSection, nameKey.c_str(), name))
            CheckTokens(c, c.script.LineOf(ShortCut::kSection, nameKey), name, Use::Path);
    }
}

}  // namespace

void CheckValues(CheckContext& c) {
    CheckSettings(c);
    CheckKeywords(c);
    CheckPathLists(c);
    CheckCopyEntries(c);
    CheckRegistry(c);
    CheckIniEntries(c);
    CheckAssociations(c);
}

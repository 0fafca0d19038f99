#include "app/PathMacros.h"

#include <iterator>

#include "app/MBUtils.h"
#include "app/SetupState.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"

namespace {

// The order in which the folders are substituted.
constexpr PathMacro kPathMacros[] = {
    {"(App)", &SetupState::InstallFolder},
    {"(Prg)", &SetupState::ProgramFilesFolder},
    {"(Win)", &SetupState::WindowsFolder},
    {"(Sys)", &SetupState::SystemFolder},
    {"(Tmp)", &SetupState::TempFolder},
    {"(Boo)", &SetupState::BootDrive},
    {"(Set)", &SetupState::InstallDrive},
    {"(Edr)", &SetupState::SourceDrive},
    {"(Smn)", &SetupState::StartMenuFolder},
    {"(Sta)", &SetupState::ProgramsFolder},
    {"(Dsk)", &SetupState::DesktopFolder},
    {"(Sup)", &SetupState::StartupFolder},
    {"(Sen)", &SetupState::SendToFolder},
    {"(Myd)", &SetupState::DocumentsFolder},
    {"(C_Smn)", &SetupState::CommonStartMenuFolder},
    {"(C_Sta)", &SetupState::CommonProgramsFolder},
    {"(C_Dsk)", &SetupState::CommonDesktopFolder},
    {"(C_Sup)", &SetupState::CommonStartupFolder},
    {"(C_Myd)", &SetupState::CommonDocumentsFolder},
};
static_assert(std::size(kPathMacros) == 19);

bool EndsWithDelimiter(const std::string& text) {
    return IsPathDelimiterAt(text, static_cast<int>(text.size()));
}

// True when the token (plain ASCII) stands at byte index i of text, letters
// compared without case. For ASCII tokens on a character boundary this is
// what IPos finds: upper-casing never turns a double-byte character into ASCII.
bool TokenAt(const std::string& text, size_t i, const char* token) {
    for (; *token; ++token, ++i) {
        if (i >= text.size()) return false;
        const unsigned char a = static_cast<unsigned char>(text[i]);
        const unsigned char b = static_cast<unsigned char>(*token);
        const auto up = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; };
        if (up(a) != up(b)) return false;
    }
    return true;
}

}  // namespace

std::string ReplaceToken(const std::string& text, const std::string& token, const std::string& replacement) {
    int p = IPos(token, text);
    if (p == 0) return text;
    const bool dropDelimiter = EndsWithDelimiter(replacement);
    std::string done;
    std::string rest = text;
    while (p > 0) {
        std::string after = rest.substr(static_cast<size_t>(p) - 1 + token.size());
        if (dropDelimiter && IsPathDelimiterAt(after, 1)) after.erase(0, 1);
        done += rest.substr(0, static_cast<size_t>(p) - 1);
        done += replacement;
        rest = std::move(after);
        p = IPos(token, rest);
    }
    return done + rest;
}

// One pass from left to right: at each character boundary the macros are
// tried in table order. Text that came from a folder value is never searched
// again, so a folder whose name happens to contain a macro token (an install
// folder typed as 'D:\Tools(Win)\', say) stays as it is. As long as no folder
// holds a token, this gives the same text as substituting the macros one
// after another with ReplaceToken.
std::string ExpandPathMacros(const std::string& text, const SetupState& state) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const PathMacro* hit = nullptr;
        if (text[i] == '(') {
            for (const PathMacro& m : kPathMacros) {
                if (TokenAt(text, i, m.token)) {
                    hit = &m;
                    break;
                }
            }
        }
        if (hit) {
            const std::string& folder = state.*hit->folder;
            out += folder;
            i += std::char_traits<char>::length(hit->token);
            if (EndsWithDelimiter(folder) && i < text.size() && text[i] == '\\') ++i;
            continue;
        }
        const size_t width = (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
        out.append(text, i, width);
        i += width;
    }
    return out;
}

std::string ExpandPathMacros(const std::string& text) { return ExpandPathMacros(text, State()); }

std::span<const PathMacro> PathMacroList() { return kPathMacros; }

RegistryRoot SplitRegistryRoot(const std::string& keyText) {
    const bool hasRoot = (!keyText.empty() && keyText[0] == '(') || (keyText.size() >= 7 && keyText[6] == ')');
    if (!hasRoot) return {HKEY_CURRENT_USER, "(Cuser)", keyText};
    std::string root = StrLeft(keyText, 7);
    return {HiveFromRootMacro(root), root, StrMid(keyText, 8)};
}

HKEY HiveFromRootMacro(const std::string& rootMacro) {
    if (rootMacro == "(Class)") return HKEY_CLASSES_ROOT;
    if (rootMacro == "(Local)") return HKEY_LOCAL_MACHINE;
    if (rootMacro == "(Users)") return HKEY_USERS;
    return HKEY_CURRENT_USER;
}

#include "session/CommandLine.h"

#include "app/uStrOp.h"
#include "record/RecordKeys.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Upper case of the ASCII letters only: switch names are ASCII.
std::string AsciiUpper(const std::string& text) {
    std::string upper = text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string WithoutQuotes(const std::string& text) {
    std::string plain;
    for (char c : text)
        if (c != '"') plain += c;
    return plain;
}

// CP932 lead bytes, without asking the system (the module stays pure).
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Where the arguments begin: after the program name, which ends at its
// closing quote or at the first blank (no escapes there).
size_t AfterProgramName(const std::string& commandLine) {
    size_t i = 0;
    const size_t n = commandLine.size();
    if (i < n && commandLine[i] == '"') {
        ++i;
        while (i < n && commandLine[i] != '"') ++i;
        if (i < n) ++i;
    } else {
        while (i < n && !IsBlank(commandLine[i])) ++i;
    }
    return i;
}

// One argument and where it begins in the command line (its first byte,
// a quote included).
struct Piece {
    std::string text;
    size_t start;
};

std::vector<Piece> SplitPieces(const std::string& commandLine) {
    std::vector<Piece> pieces;
    size_t i = AfterProgramName(commandLine);
    const size_t n = commandLine.size();
    for (;;) {
        while (i < n && IsBlank(commandLine[i])) ++i;
        if (i >= n) break;
        Piece piece{{}, i};
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(commandLine[i]))) {
            const unsigned char c = static_cast<unsigned char>(commandLine[i]);
            if (IsLeadByte(c) && i + 1 < n) {
                piece.text.append(commandLine, i, 2);
                i += 2;
                continue;
            }
            if (c == '"') {
                quoted = !quoted;
                ++i;
                continue;
            }
            piece.text += static_cast<char>(c);
            ++i;
        }
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

// Blanks are single-byte: a trail byte is never one.
std::string WithoutTrailingBlanks(std::string text) {
    while (!text.empty() && IsBlank(text.back())) text.pop_back();
    return text;
}

// A word of the text, after a blank or at its start, that begins with "/":
// a folder name cannot hold that character, a switch does.
bool HoldsSwitch(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '/' && (i == 0 || IsBlank(text[i - 1]))) return true;
    return false;
}

}  // namespace

std::vector<std::string> SplitArguments(const std::string& commandLine) {
    std::vector<std::string> args;
    for (Piece& piece : SplitPieces(commandLine)) args.push_back(std::move(piece.text));
    return args;
}

LaunchCommand ParseCommandLine(const std::string& commandLine) {
    LaunchCommand cmd;
    // The first reason found is the one told.
    const auto refuse = [&](const std::string& why) {
        if (!cmd.valid) return;
        cmd.valid = false;
        cmd.error = why;
    };
    std::vector<std::string> words;  // arguments that are not switches
    for (const Piece& piece : SplitPieces(commandLine)) {
        const std::string& arg = piece.text;
        if (arg.empty()) continue;  // "" carries nothing
        if (arg[0] != '/') {
            words.push_back(arg);
            continue;
        }
        cmd.hasSwitches = true;
        const std::string upper = AsciiUpper(arg);
        if (upper == "/S") {
            cmd.silent = true;
        } else if (upper == "/PREVIEW") {
            cmd.preview = true;
        } else if (StartsWith(upper, "/D=")) {
            // As deployment tools write it: the last switch, taking the
            // rest of the line unquoted, blanks and all.
            cmd.hasFolder = true;
            const std::string rest =
                WithoutTrailingBlanks(WithoutQuotes(WithoutTrailingBlanks(commandLine.substr(piece.start))));
            cmd.folder = rest.substr(3);
            if (HoldsSwitch(cmd.folder)) refuse("/D= は最後に指定してください。/D= の後にスイッチがあります: " + rest);
            break;
        } else if (StartsWith(upper, "/LOG=")) {
            cmd.logFile = WithoutQuotes(arg.substr(5));
            if (cmd.logFile.empty()) refuse("/LOG= にファイル名がありません。");
        } else {
            refuse("不明なスイッチです: " + arg);
        }
    }
    // Only an uninstall takes a word: its record, named UNSETUP.INI.
    if (!words.empty()) cmd.recordArgument = words[0];
    const bool uninstall = ExtractFileName(cmd.recordArgument) == RecordFiles::kRecord;
    if (!words.empty() && !uninstall) refuse("不明な引数です: " + words[0]);
    if (words.size() > 1) refuse("不明な引数です: " + words[1]);
    if (cmd.hasFolder) {
        if (cmd.folder.empty()) {
            refuse("/D= にフォルダ名がありません。");
        } else if (uninstall) {
            // The record names the folder of an uninstall.
            refuse("/D= はアンインストールには使えません。");
        }
    }
    // A preview changes nothing; /S would say the opposite.
    if (cmd.preview && cmd.silent) refuse("/PREVIEW と /S は同時に指定できません。");
    if (!cmd.hasSwitches) cmd.recordArgument = FirstArgument(commandLine);
    return cmd;
}

std::string FirstArgument(const std::string& commandLine) {
    // The C runtime's rules: in arguments, 2n backslashes before a quote
    // give n and toggle quoting, 2n+1 give n and a literal quote, "" inside
    // quotes gives a quote.
    size_t i = AfterProgramName(commandLine);
    const size_t n = commandLine.size();
    while (i < n && IsBlank(commandLine[i])) ++i;
    if (i >= n) return {};

    std::string arg;
    bool quoted = false;
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(commandLine[i]);
        if (!quoted && IsBlank(static_cast<char>(c))) break;
        // A double-byte character is copied whole: its second byte may be
        // 0x5C ("\"), which must not count as a backslash.
        if (IsLeadByte(c) && i + 1 < n) {
            arg += commandLine[i];
            arg += commandLine[i + 1];
            i += 2;
            continue;
        }
        if (c == '\\') {
            size_t slashes = 0;
            while (i < n && commandLine[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < n && commandLine[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2) {
                    arg += '"';
                    ++i;
                }
            } else {
                arg.append(slashes, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
                arg += '"';
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        arg += static_cast<char>(c);
        ++i;
    }
    return arg;
}

#include "app/CommandLine.h"


#include "app/uStrOp.h"

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

}  // namespace

std::vector<std::string> SplitArguments(const std::string& commandLine) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = commandLine.size();
    // The program name: up to its closing quote or the first blank.
    if (i < n && commandLine[i] == '"') {
        ++i;
        while (i < n && commandLine[i] != '"') ++i;
        if (i < n) ++i;
    } else {
        while (i < n && !IsBlank(commandLine[i])) ++i;
    }
    for (;;) {
        while (i < n && IsBlank(commandLine[i])) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(commandLine[i]))) {
            const unsigned char c = static_cast<unsigned char>(commandLine[i]);
            if (IsLeadByte(c) && i + 1 < n) {
                arg.append(commandLine, i, 2);
                i += 2;
                continue;
            }
            if (c == '"') {
                quoted = !quoted;
                ++i;
                continue;
            }
            arg += static_cast<char>(c);
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

LaunchCommand ParseCommandLine(const std::string& commandLine) {
    LaunchCommand cmd;
    bool recordFound = false;
    for (const std::string& arg : SplitArguments(commandLine)) {
        if (arg.empty() || arg[0] != '/') {
            if (!recordFound) {
                cmd.recordArgument = arg;
                recordFound = true;
            }
            continue;
        }
        cmd.hasSwitches = true;
        const std::string upper = AsciiUpper(arg);
        if (upper == "/S") {
            cmd.silent = true;
        } else if (StartsWith(upper, "/D=")) {
            cmd.hasFolder = true;
            cmd.folder = WithoutQuotes(arg.substr(3));
        } else if (StartsWith(upper, "/LOG=")) {
            cmd.logFile = WithoutQuotes(arg.substr(5));
            if (cmd.logFile.empty()) {
                cmd.valid = false;
                cmd.error = "/LOG= にファイル名がありません。";
            }
        } else {
            cmd.valid = false;
            cmd.error = "不明なスイッチです: " + arg;
        }
    }
    if (cmd.valid && cmd.hasFolder) {
        if (cmd.folder.empty()) {
            cmd.valid = false;
            cmd.error = "/D= にフォルダ名がありません。";
        } else if (ExtractFileName(cmd.recordArgument) == "UNSETUP.INI") {
            // The record names the folder of an uninstall.
            cmd.valid = false;
            cmd.error = "/D= はアンインストールには使えません。";
        }
    }
    return cmd;
}

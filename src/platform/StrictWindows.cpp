// Only SETUP_STRICT.EXE compiles this (tests/strict/CMakeLists.txt).
#ifdef RV_STRICT_WINDOWS
#include "platform/StrictWindows.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace strict {

namespace {

struct Rule {
    std::string versions;  // ",95,98,Me,NT4,"
    std::string kind;      // refuse, answer or missing
    std::string call;      // a call, or LIBRARY!Function for missing
    unsigned long mask = 0;  // the values refused: any bit of it, or all when 0
    unsigned long error = 0;
    std::string source;
};

// The running Windows in the rules' words; empty for those no rule is about.
std::string RunningVersion() {
    const DWORD version = GetVersion();
    const unsigned major = LOBYTE(LOWORD(version)), minor = HIBYTE(LOWORD(version));
    if (version & 0x80000000u) return minor >= 90 ? "Me" : minor >= 10 ? "98" : "95";
    return major == 4 ? "NT4" : "";
}

void Log(const std::string& line) {
    const char* path = std::getenv("RV_STRICT_LOG");
    if (!path || !*path) return;
    if (FILE* file = std::fopen(path, "ab")) {
        std::fputs((line + "\r\n").c_str(), file);
        std::fclose(file);
    }
}

std::vector<Rule> LoadRules() {
    std::vector<Rule> rules;
    const char* path = std::getenv("RV_STRICT_RULES");
    FILE* file = path && *path ? std::fopen(path, "rb") : nullptr;
    if (!file) {
        Log("no rules: RV_STRICT_RULES names no readable file");
        return rules;
    }
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, file)) {
        std::string line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> cells;
        size_t start = 0;
        for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
            cells.push_back(line.substr(start, tab - start));
            start = tab + 1;
        }
        cells.push_back(line.substr(start));
        if (cells.size() < 6) {
            Log("bad rule: " + line);
            continue;
        }
        rules.push_back(Rule{"," + cells[0] + ",", cells[1], cells[2], std::strtoul(cells[3].c_str(), nullptr, 0),
                             std::strtoul(cells[4].c_str(), nullptr, 0), cells[5]});
    }
    std::fclose(file);
    return rules;
}

const std::vector<Rule>& Rules() {
    static const std::vector<Rule> rules = LoadRules();
    return rules;
}

bool Applies(const Rule& rule, const std::string& version) {
    return !version.empty() && rule.versions.find("," + version + ",") != std::string::npos;
}

}  // namespace

bool Allows(const char* call, unsigned long value) {
    static const std::string version = RunningVersion();
    for (const Rule& rule : Rules()) {
        if (rule.kind == "missing" || rule.call != call || !Applies(rule, version)) continue;
        if (rule.mask != 0 && !(value & rule.mask)) continue;
        if (rule.kind == "refuse") {
            char text[64];
            std::snprintf(text, sizeof text, " 0x%08lX", value);
            Log("refused on " + version + ": " + call + text + " (" + rule.source + ")");
        }
        SetLastError(rule.error);
        return false;
    }
    return true;
}

bool Lacks(const char* library, const char* function) {
    static const std::string version = RunningVersion();
    std::string name = std::string(library) + "!" + function;
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const Rule& rule : Rules()) {
        std::string ruled = rule.call;
        for (char& c : ruled)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (rule.kind == "missing" && ruled == name && Applies(rule, version)) return true;
    }
    return false;
}

bool Personality(const char* name) {
    const char* chosen = std::getenv("RV_STRICT_PERSONALITY");
    return chosen && std::string(chosen) == name;
}

}  // namespace strict
#endif

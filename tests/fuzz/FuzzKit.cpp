#include "FuzzKit.h"

#include <cstdlib>

#include "app/uIniFile.h"
#include "platform/Handles.h"

namespace fuzz {

int CaseCount(int slice) {
    const char* text = std::getenv("RV_FUZZ_CASES");
    if (!text || !*text) return slice;
    return std::atoi(text);
}

int FirstCase() {
    const char* text = std::getenv("RV_FUZZ_FIRST");
    return text && *text ? std::atoi(text) : 0;
}

uint32_t Seed() {
    const char* text = std::getenv("RV_FUZZ_SEED");
    if (!text || !*text) return 20261207u;
    return static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
}

uint32_t Random::Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

RunResult RunBounded(std::string commandLine, DWORD timeoutMs, const std::string& output) {
    RunResult result;
    // What the program says on its standard streams is in its log too; the
    // thousands of runs of a campaign would drown the findings in it.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    FileHandle nul(CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr));
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul.get();
    FileHandle out;
    if (!output.empty()) {
        out.reset(CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
        if (out) si.hStdOutput = out.get();
    }
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return result;
    KernelObject process(pi.hProcess), thread(pi.hThread);
    if (WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
        result.hung = true;
        TerminateProcess(process.get(), 0xDEAD);
        WaitForSingleObject(process.get(), 10000);
    }
    GetExitCodeProcess(process.get(), &result.code);
    return result;
}

bool IsDocumentedExitCode(DWORD code) {
    for (DWORD known : {0ul, 1ul, 3010ul, 2ul, 3ul, 4ul, 1618ul, 87ul})
        if (code == known) return true;
    return false;
}

std::vector<std::string> NumberedValues(const std::string& file, const std::string& section,
                                        const std::string& prefix) {
    std::vector<std::string> values;
    for (int n = 1;; ++n) {
        const std::string value = IniRead(section, prefix + std::to_string(n), "", file);
        if (value.empty()) break;
        values.push_back(value);
    }
    return values;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace fuzz

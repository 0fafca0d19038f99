#pragma once
// What both hostile-input campaigns share: a seeded generator, the silent
// runs of the real program with a time bound, and the exit codes the
// program documents.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// Cases to generate: RV_FUZZ_CASES, or the given slice when unset.
int CaseCount(int slice);
// RV_FUZZ_FIRST, the number of the first case (0 when unset), so one
// failing case of a long campaign can be run again alone.
int FirstCase();
// RV_FUZZ_SEED, or a fixed seed so the slice is the same on every run.
uint32_t Seed();

// A small deterministic generator (xorshift), so a failing case can be
// named by its seed and number and run again.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
    uint32_t Next();
    // 0 .. n-1; n must be positive.
    size_t Below(size_t n) { return Next() % n; }
    bool Chance(unsigned percent) { return Below(100) < percent; }
    template <typename T>
    const T& Pick(const std::vector<T>& items) { return items[Below(items.size())]; }

private:
    uint32_t state_;
};

struct RunResult {
    DWORD code = 0xFFFFFFFF;
    bool hung = false;  // not ended within the bound; terminated
};

// Starts the command line without a window of its own and waits at most
// timeoutMs for its end; its standard output goes to output when named.
RunResult RunBounded(std::string commandLine, DWORD timeoutMs, const std::string& output = {});

// The exit codes of the unattended mode (0, 1, 3010, 2, 3, 4, 1618, 87).
bool IsDocumentedExitCode(DWORD code);

// Every value of a numbered list of an INI file, stopping at the first
// empty one, as the program reads it.
std::vector<std::string> NumberedValues(const std::string& file, const std::string& section,
                                        const std::string& prefix);

std::string Quoted(const std::string& text);

}  // namespace fuzz

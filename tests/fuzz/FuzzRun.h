// Runs a seeded series of fuzz calls against one object and keeps the tally: every
// outcome by HRESULT, and the calls whose answer the oracle does not allow.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "FuzzCall.h"

namespace travok::fuzz {

// The run's seed and size: --seed=N and --calls=N on the command line, else the
// environment variables TRAVOK_FUZZ_SEED and TRAVOK_FUZZ_CALLS, else the defaults a
// test passes. --first=N (TRAVOK_FUZZ_FIRST) starts at call N, to make one call again.
struct RunOptions {
    std::uint64_t seed = 0;
    std::uint64_t first = 0;
    std::uint64_t calls = 0;
};
// Reads the command line before the tests run; leaves unknown arguments alone.
void ParseRunOptions(int argc, char** argv);
RunOptions Options(std::uint64_t defaultSeed, std::uint64_t defaultCalls);

struct RunReport {
    RunOptions options;
    std::uint64_t made = 0;
    std::uint64_t invokes = 0;
    std::uint64_t lookups = 0;
    std::uint64_t codedTexts = 0;  // calls that coded a non-empty text
    std::uint64_t callBacks = 0;   // calls into the object from an argument asked for its value
    std::uint64_t failedCallBacks = 0;
    std::map<HRESULT, std::uint64_t> outcomes;
    std::uint64_t mismatchCount = 0;
    std::vector<std::string> mismatches;  // the first few, each with what remakes it

    std::string Summary(const char* what) const;
};

RunReport RunFuzz(IDispatch* object, Transport transport, const RunOptions& options);

}  // namespace travok::fuzz

// The fuzz loop: make each call, hold its outcome against the oracle, count outcomes,
// and say how to make a failing call again, even when the call crashes this process.
#include "FuzzRun.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ArgObjects.h"

#include "FuzzOracle.h"

namespace travok::fuzz {

namespace {

struct CommandLine {
    bool seed = false, first = false, calls = false;
    std::uint64_t seedValue = 0, firstValue = 0, callsValue = 0;
};

CommandLine& Parsed() {
    static CommandLine parsed;
    return parsed;
}

bool Number(const char* text, std::uint64_t& value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    value = std::strtoull(text, &end, 0);
    return end && *end == '\0';
}

std::uint64_t Pick(bool onLine, std::uint64_t lineValue, const char* variable, std::uint64_t fallback) {
    std::uint64_t value = 0;
    if (onLine) return lineValue;
    if (Number(std::getenv(variable), value)) return value;
    return fallback;
}

// The call being made, for the crash report.
struct Current {
    std::uint64_t seed = 0;
    std::uint64_t index = 0;
    Transport transport = Transport::InProcess;
    bool active = false;
} g_current;

// A stack overflow never reaches the unhandled-exception filter, and little stack is
// left to report it with: say which call it was, with a static buffer.
LONG WINAPI ReportStackOverflow(EXCEPTION_POINTERS* info) {
    if (g_current.active && info->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        static char line[200];
        const int n = wsprintfA(line, "\nSTACK OVERFLOW in fuzz call %lu of seed %lu: run --seed=%lu --first=%lu --calls=1\n",
                                static_cast<unsigned long>(g_current.index), static_cast<unsigned long>(g_current.seed),
                                static_cast<unsigned long>(g_current.seed), static_cast<unsigned long>(g_current.index));
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(n), &written, nullptr);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    if (g_current.active) {
        const FuzzCall call = MakeCall(g_current.seed, g_current.index, g_current.transport);
        std::fprintf(stderr, "\nCRASH 0x%08lX in fuzz call %llu of seed %llu (--seed=%llu --first=%llu --calls=1):\n  %s\n",
                     static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                     static_cast<unsigned long long>(g_current.index), static_cast<unsigned long long>(g_current.seed),
                     static_cast<unsigned long long>(g_current.seed), static_cast<unsigned long long>(g_current.index),
                     call.Describe().c_str());
        std::fflush(stderr);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void ParseRunOptions(int argc, char** argv) {
    CommandLine& line = Parsed();
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strncmp(arg, "--seed=", 7) == 0) line.seed = Number(arg + 7, line.seedValue);
        else if (std::strncmp(arg, "--first=", 8) == 0) line.first = Number(arg + 8, line.firstValue);
        else if (std::strncmp(arg, "--calls=", 8) == 0) line.calls = Number(arg + 8, line.callsValue);
    }
}

RunOptions Options(std::uint64_t defaultSeed, std::uint64_t defaultCalls) {
    const CommandLine& line = Parsed();
    RunOptions options;
    options.seed = Pick(line.seed, line.seedValue, "TRAVOK_FUZZ_SEED", defaultSeed);
    options.first = Pick(line.first, line.firstValue, "TRAVOK_FUZZ_FIRST", 0);
    options.calls = Pick(line.calls, line.callsValue, "TRAVOK_FUZZ_CALLS", defaultCalls);
    return options;
}

std::string RunReport::Summary(const char* what) const {
    char line[200];
    std::snprintf(line, sizeof line, "%s: seed %llu, calls %llu..%llu: %llu made (%llu Invoke, %llu GetIDsOfNames), %llu coded a text, %llu mismatches\n",
                  what, static_cast<unsigned long long>(options.seed), static_cast<unsigned long long>(options.first),
                  static_cast<unsigned long long>(options.first + options.calls - 1), static_cast<unsigned long long>(made),
                  static_cast<unsigned long long>(invokes), static_cast<unsigned long long>(lookups),
                  static_cast<unsigned long long>(codedTexts), static_cast<unsigned long long>(mismatchCount));
    std::string text = line;
    std::snprintf(line, sizeof line, "  calls back into the object from an argument: %llu, failed %llu\n",
                  static_cast<unsigned long long>(callBacks), static_cast<unsigned long long>(failedCallBacks));
    text += line;
    for (const auto& [hr, count] : outcomes) {
        std::snprintf(line, sizeof line, "  %-26s %llu\n", HresultName(hr).c_str(), static_cast<unsigned long long>(count));
        text += line;
    }
    return text;
}

RunReport RunFuzz(IDispatch* object, Transport transport, const RunOptions& options) {
    static bool filterSet = false;
    if (!filterSet) {
        SetUnhandledExceptionFilter(ReportCrash);
        AddVectoredExceptionHandler(1, ReportStackOverflow);
        filterSet = true;
    }
    RunReport report;
    report.options = options;
    ValueObject::SetCallBackTarget(object);
    const long callBacksBefore = ValueObject::CallBacks();
    const long failedBefore = ValueObject::FailedCallBacks();
    g_current = {options.seed, 0, transport, true};
    for (std::uint64_t i = options.first; i < options.first + options.calls; ++i) {
        g_current.index = i;
        FuzzCall call = MakeCall(options.seed, i, transport);
        // One call alone is one being looked into: say what it is before it is made.
        if (options.calls == 1) {
            std::printf("fuzz call %llu of seed %llu:\n    %s\n", static_cast<unsigned long long>(i),
                        static_cast<unsigned long long>(options.seed), call.Describe().c_str());
            std::fflush(stdout);
        }
        const Expectation expected = Expect(call, transport);
        Outcome outcome;
        Perform(object, call, outcome);
        ++report.made;
        ++(call.kind == FuzzCall::Kind::Invoke ? report.invokes : report.lookups);
        ++report.outcomes[outcome.hr];
        if (outcome.hr == S_OK && !expected.result.empty()) ++report.codedTexts;
        const std::string why = Check(call, transport, expected, outcome);
        if (why.empty()) continue;
        if (++report.mismatchCount <= 12) {
            // Made again for the report: the call's own arguments may have been rewritten.
            const FuzzCall fresh = MakeCall(options.seed, i, transport);
            char head[160];
            std::snprintf(head, sizeof head, "call %llu of seed %llu (--seed=%llu --first=%llu --calls=1): ",
                          static_cast<unsigned long long>(i), static_cast<unsigned long long>(options.seed),
                          static_cast<unsigned long long>(options.seed), static_cast<unsigned long long>(i));
            report.mismatches.push_back(head + why + "\n    " + fresh.Describe());
        }
    }
    g_current.active = false;
    ValueObject::SetCallBackTarget(nullptr);
    report.callBacks = static_cast<std::uint64_t>(ValueObject::CallBacks() - callBacksBefore);
    report.failedCallBacks = static_cast<std::uint64_t>(ValueObject::FailedCallBacks() - failedBefore);
    return report;
}

}  // namespace travok::fuzz

// Many calls on one object: every answer checked, and the server's open handles and
// private memory measured along the way must not grow.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Driver.h"
#include "Soak.h"
#include "Handles.h"
#include "tests/automation/ComClient.h"

using namespace travok::test;
using namespace travok::soak;

namespace {

// Growth allowed between the end of the warm-up and any later sample.
// Handles: two. A call has no reason to keep one, but a sample may catch one that the
// COM runtime's workers hold for a moment (seen: one up or down); a handle kept per
// call shows as thousands.
constexpr DWORD kHandleSlack = 2;
// Threads: one. Wine's COM runtime starts a further worker in the server at some point
// in the first few thousand calls (seen anywhere from call 500 to 5,300) and keeps it.
constexpr DWORD kThreadSlack = 1;
// Memory: the heap's own noise stays within a few pages; a leak of 16 bytes a call (32
// with the heap's block header) grows by 2.9 MB over the 90,000 measured calls of the
// full run, and one of 64 bytes by 360 KB over the 4,500 of the short run, both past
// this. Each thread that the runtime adds brings its stack, which Wine counts whole:
// 1 MiB (seen as a step of 984 KiB).
constexpr SIZE_T kMemorySlack = 256 * 1024;
constexpr SIZE_T kThreadStack = 1024 * 1024;
// Samples taken after the warm-up, the last one at the end of the run.
constexpr int kSamples = 10;
// A run whose calls keep failing has said what it has to say.
constexpr int kMaxFailedCalls = 10;

// The kinds of call the soak makes, each with its own path through the server.
enum class Call { Code, Decode, CodeNumberKey, DecodeAsProperty, NullText, EmptyKey };

// Walked in order, over and over: ordinary calls most often, every other path once a
// round, the error path of an empty key included.
constexpr Call kMix[] = {Call::Code, Call::Decode,           Call::Code,     Call::CodeNumberKey,
                         Call::Decode, Call::DecodeAsProperty, Call::NullText, Call::EmptyKey};

testing::AssertionResult Answer(const InvokeOutcome& outcome, const std::wstring& expected) {
    if (outcome.hr != S_OK) return testing::AssertionFailure() << "failed with " << Hex(outcome.hr);
    if (V_VT(&outcome.result.v) != VT_BSTR)
        return testing::AssertionFailure() << "result of type " << V_VT(&outcome.result.v);
    if (outcome.result.Text() != expected)
        return testing::AssertionFailure() << "result \"" << ToAnsi(outcome.result.Text()) << "\" instead of \""
                                           << ToAnsi(expected) << "\"";
    return testing::AssertionSuccess();
}

testing::AssertionResult CallOnce(IDispatch* object, Call call, Inputs& inputs) {
    const std::wstring text = inputs.Text(), key = inputs.Key();
    InvokeOutcome outcome;
    switch (call) {
    case Call::Code:
        Invoke(object, {1, DISPATCH_METHOD, {Variant(text), Variant(key)}}, outcome);
        return Answer(outcome, Expected(true, text, key)) << " for CodeWithKey";
    case Call::Decode:
        Invoke(object, {2, DISPATCH_METHOD, {Variant(text), Variant(key)}}, outcome);
        return Answer(outcome, Expected(false, text, key)) << " for DeCodeWithKey";
    case Call::CodeNumberKey: {
        const int number = inputs.Number(1, 999999999);
        Invoke(object, {1, DISPATCH_METHOD, {Variant(text), Variant::Int(number)}}, outcome);
        return Answer(outcome, Expected(true, text, std::to_wstring(number))) << " for CodeWithKey with key " << number;
    }
    case Call::DecodeAsProperty:
        Invoke(object, {2, DISPATCH_PROPERTYGET, {Variant(text), Variant(key)}}, outcome);
        return Answer(outcome, Expected(false, text, key)) << " for DeCodeWithKey read as a property";
    case Call::NullText:
        Invoke(object, {1, DISPATCH_METHOD, {Variant::NullBstr(), Variant(key)}}, outcome);
        return Answer(outcome, L"") << " for CodeWithKey of a null text";
    case Call::EmptyKey:
        Invoke(object, {1, DISPATCH_METHOD, {Variant(text), Variant(L"")}}, outcome);
        if (outcome.hr != DISP_E_EXCEPTION || outcome.excepInfo.scode != E_INVALIDARG || !outcome.excepInfo.bstrDescription)
            return testing::AssertionFailure() << "CodeWithKey with an empty key gave " << Hex(outcome.hr)
                                               << ", scode " << Hex(outcome.excepInfo.scode);
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "unknown call kind";
}

using ProcessHandle = travok::test::UniqueHandle;


struct Sample {
    int calls;
    Figures server, client;
};

TEST(CallSoak, ManyCallsOnOneObjectLeaveTheServersHandlesAndMemoryFlat) {
    ASSERT_NO_FATAL_FAILURE(EnsureRegistered());
    const int calls = RunCounts().calls;
    // The first tenth warms up: the heap, COM's channel and its threads settle there.
    const int warmUp = calls / 10;
    ASSERT_GE(calls - warmUp, kSamples) << "too few calls to sample";

    const std::set<DWORD> before = TravokProcesses();
    ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(CLSID_TravokApplication, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, object.PutVoid()), S_OK);
    const std::set<DWORD> fresh = WaitNewServers(before, 1);
    ASSERT_EQ(fresh.size(), 1u);
    const DWORD pid = *fresh.begin();
    ProcessHandle server(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE, FALSE, pid));
    ASSERT_TRUE(server) << "cannot open Travok process " << pid;

    Inputs inputs(1999);
    std::atomic<int> made{0};
    int failed = 0;
    // A call that never returns is reported with the server's state, and the server
    // ended, which fails the call and so ends the run.
    std::optional<Watchdog> watchdog;
    watchdog.emplace(made, kSafetyNetMs, [&server](int done) {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(server.get(), &code);
        Figures figures;
        ADD_FAILURE() << "call " << done + 1 << " has not returned for " << kSafetyNetMs / 1000 << " s; the server "
                      << (code != STILL_ACTIVE ? "has ended with code " + Hex(static_cast<long>(code))
                          : ReadFigures(server.get(), figures)
                              ? "runs, with " + std::to_string(figures.threads) + " threads; ending it"
                              : std::string("runs; ending it"));
        TerminateProcess(server.get(), 99);
    });
    auto callUpTo = [&](int until) {
        for (; made < until && failed < kMaxFailedCalls; ++made) {
            testing::AssertionResult answered = CallOnce(object.Get(), kMix[static_cast<std::size_t>(made) % std::size(kMix)], inputs);
            if (!answered) {
                ADD_FAILURE() << "call " << made + 1 << ": " << answered.message();
                ++failed;
            }
        }
        return failed < kMaxFailedCalls;
    };

    ASSERT_TRUE(callUpTo(warmUp));
    Sample start{made, {}, {}};
    ASSERT_TRUE(ReadFigures(server.get(), start.server)) << "no handle count or memory figures for the server";
    ASSERT_TRUE(ReadFigures(GetCurrentProcess(), start.client));
    std::vector<Sample> samples;
    const double began = NowMs();
    for (int s = 1; s <= kSamples; ++s) {
        ASSERT_TRUE(callUpTo(warmUp + (calls - warmUp) * s / kSamples));
        Sample sample{made, {}, {}};
        ASSERT_TRUE(ReadFigures(server.get(), sample.server));
        ASSERT_TRUE(ReadFigures(GetCurrentProcess(), sample.client));
        samples.push_back(sample);
    }
    watchdog.reset();
    const double perCall = (NowMs() - began) / (made - warmUp);

    std::printf("call soak: %d calls, %.2f ms a call after a warm-up of %d\n", made.load(), perCall, warmUp);
    std::printf("%8s %15s %10s %8s %15s %10s\n", "calls", "server handles", "KiB", "threads", "client handles",
                "KiB");
    auto print = [](const Sample& s) {
        std::printf("%8d %15lu %10lu %8lu %15lu %10lu\n", s.calls, s.server.handles,
                    static_cast<unsigned long>(s.server.privateBytes / 1024), s.server.threads, s.client.handles,
                    static_cast<unsigned long>(s.client.privateBytes / 1024));
    };
    print(start);
    for (const Sample& s : samples) print(s);

    for (const Sample& s : samples) {
        SCOPED_TRACE(testing::Message() << "after " << s.calls << " calls");
        EXPECT_LE(s.server.handles, start.server.handles + kHandleSlack) << "the server keeps handles";
        EXPECT_LE(s.server.threads, start.server.threads + kThreadSlack) << "the server keeps threads";
        const DWORD newThreads = s.server.threads > start.server.threads ? s.server.threads - start.server.threads : 0;
        EXPECT_LE(s.server.privateBytes, start.server.privateBytes + kMemorySlack + newThreads * kThreadStack)
            << "the server keeps memory";
    }

    object.Reset();
    EXPECT_EQ(WaitForSingleObject(server.get(), kSafetyNetMs), WAIT_OBJECT_0) << "the server did not end with its object";
}

}  // namespace

// Client-started instances one after another: each is created, called and released, and
// its Travok.exe must then end by itself, with nothing left over at the end.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <set>
#include <vector>

#include "Driver.h"
#include "Soak.h"
#include "Handles.h"
#include "tests/automation/ComClient.h"

using namespace travok::test;
using namespace travok::soak;

namespace {

// How long a released instance may take to end before it counts as stuck. Under Wine
// an instance ends in a few tens of milliseconds (the run prints the figures); the
// limit is only a safety net, and holds on a machine that other work keeps busy. It is
// shorter than the watchdog's, so that an exit that never comes reports itself.
constexpr DWORD kExitTimeoutMs = kSafetyNetMs / 2;
// A run that keeps failing has said what it has to say.
constexpr int kMaxFailures = 5;
// Handles the client may gain between its first instance and its last: one that the
// COM runtime holds for a moment. A connection that the client keeps to a server that
// has ended takes two (its pipe and its event), and it is what makes a later
// activation fail once a new server gets the old one's process and thread ids.
constexpr DWORD kClientHandleSlack = 1;

using ProcessHandle = travok::test::UniqueHandle;

std::set<DWORD> NewSince(const std::set<DWORD>& before) {
    std::set<DWORD> fresh;
    for (DWORD pid : TravokProcesses())
        if (!before.count(pid)) fresh.insert(pid);
    return fresh;
}

// When one instance's steps happened, in milliseconds.
struct Timing {
    double begin = 0, released = 0, ended = 0;
};

// Where the run is, for the watchdog: steps done, and the one under way.
struct Progress {
    std::atomic<int> done{0};
    std::atomic<const char*> step{"nothing yet"};

    void Begin(const char* what) { step = what; }
    void End() { ++done; }
};

// Creates an object in a fresh instance, checks one CodeWithKey call, releases the
// object and waits for the instance to end; an instance that does not is ended.
testing::AssertionResult RunInstance(Inputs& inputs, Timing& timing, Progress& progress) {
    timing.begin = NowMs();
    const std::set<DWORD> before = TravokProcesses();
    ComPtr<IDispatch> object;
    progress.Begin("the activation");
    HRESULT hr = CoCreateInstance(CLSID_TravokApplication, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, object.PutVoid());
    progress.End();
    if (hr != S_OK)
        return testing::AssertionFailure() << "CoCreateInstance failed: " << Hex(hr) << "; Travok processes started for it: "
                                           << NewSince(before).size();
    // The server that answered is running while it holds the object.
    const std::set<DWORD> fresh = NewSince(before);
    if (fresh.size() != 1) return testing::AssertionFailure() << fresh.size() << " new Travok processes for one object";
    const DWORD pid = *fresh.begin();
    ProcessHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid));
    if (!process) return testing::AssertionFailure() << "cannot open Travok process " << pid;

    const std::wstring text = inputs.Text(), key = inputs.Key();
    InvokeOutcome outcome;
    progress.Begin("the call");
    Invoke(object.Get(), {1, DISPATCH_METHOD, {Variant(text), Variant(key)}}, outcome);
    progress.End();
    if (outcome.hr != S_OK || V_VT(&outcome.result.v) != VT_BSTR || outcome.result.Text() != Expected(true, text, key))
        return testing::AssertionFailure() << "CodeWithKey of \"" << ToAnsi(text) << "\" with key " << ToAnsi(key)
                                           << " gave " << Hex(outcome.hr) << " \""
                                           << ToAnsi(outcome.result.Text()) << "\"";

    timing.released = NowMs();
    progress.Begin("the release");
    object.Reset();
    progress.End();
    progress.Begin("the server's exit");
    const DWORD exited = WaitForSingleObject(process.get(), kExitTimeoutMs);
    progress.End();
    if (exited != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 99);
        WaitForSingleObject(process.get(), kExitTimeoutMs);
        return testing::AssertionFailure() << "Travok " << pid << " still ran " << kExitTimeoutMs
                                           << " ms after its object went";
    }
    timing.ended = NowMs();
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    if (exitCode != 0) return testing::AssertionFailure() << "Travok " << pid << " ended with code " << Hex(static_cast<long>(exitCode));
    return testing::AssertionSuccess();
}

TEST(InstanceSoak, EveryInstanceServesItsCallAndEndsSoonAfterItsRelease) {
    ASSERT_NO_FATAL_FAILURE(EnsureRegistered());
    const int count = RunCounts().instances;
    const std::set<DWORD> atStart = TravokProcesses();
    Inputs inputs(20240601);
    std::vector<double> releaseToExit, perInstance;
    double worst = 0;
    int worstInstance = 0, failures = 0, run = 0;
    Figures clientFirst, clientLast;
    const double started = NowMs();

    // A step that never ends is reported, and the instances of the run are ended,
    // which frees a call that waits on one of them.
    Progress progress;
    std::atomic<int> current{0};
    const Watchdog watchdog(progress.done, kSafetyNetMs, [&](int) {
        const std::set<DWORD> fresh = NewSince(atStart);
        ADD_FAILURE() << "instance " << current.load() << ": " << progress.step.load() << " has not ended for "
                      << kSafetyNetMs / 1000 << " s; ending the " << fresh.size() << " Travok processes of the run";
        for (DWORD pid : fresh) {
            const ProcessHandle server(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
            if (server) TerminateProcess(server.get(), 99);
        }
    });
    for (int i = 1; i <= count && failures < kMaxFailures; ++i) {
        current = i;
        Timing timing;
        testing::AssertionResult done = RunInstance(inputs, timing, progress);
        if (!done) {
            ADD_FAILURE() << "instance " << i << ": " << done.message();
            ++failures;
            continue;
        }
        ++run;
        releaseToExit.push_back(timing.ended - timing.released);
        perInstance.push_back(timing.ended - timing.begin);
        if (releaseToExit.back() > worst) {
            worst = releaseToExit.back();
            worstInstance = i;
        }
        ReadFigures(GetCurrentProcess(), run == 1 ? clientFirst : clientLast);
        if (i % 100 == 0) std::printf("%d instances, %d failed\n", i, failures);
    }

    // Nothing of the run is left: every instance it started has gone.
    const std::set<DWORD> left = NewSince(atStart);
    EXPECT_TRUE(left.empty()) << left.size() << " Travok processes left after the run";
    for (DWORD pid : left) ServerProcess close(pid);

    const double seconds = (NowMs() - started) / 1000.0;
    std::printf("instance soak: %d of %d instances in %.1f s, %.0f ms each (median, create to exit)\n", run, count,
                seconds, Median(perInstance));
    std::printf("release to exit: median %.1f ms, worst %.1f ms (instance %d)\n", Median(releaseToExit), worst,
                worstInstance);
    if (run > 1) {
        std::printf("client: %lu handles and %lu KiB private after the first instance, %lu and %lu KiB after the last\n",
                    clientFirst.handles, static_cast<unsigned long>(clientFirst.privateBytes / 1024),
                    clientLast.handles, static_cast<unsigned long>(clientLast.privateBytes / 1024));
        EXPECT_LE(clientLast.handles, clientFirst.handles + kClientHandleSlack)
            << "the client keeps connections to instances that have ended";
    }
    EXPECT_EQ(run, count);
}

}  // namespace

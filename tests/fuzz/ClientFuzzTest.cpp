// Randomized calls from a client process to a Travok.exe that COM started, through the
// real proxy and stub: the server never crashes, answers each call as the oracle allows,
// and still codes a text afterwards.
#include <gtest/gtest.h>

#include "ComClient.h"
#include "FuzzOracle.h"
#include "FuzzRun.h"
#include "RoundTrip.h"

using namespace travok::fuzz;
using namespace travok::test;

namespace {

constexpr std::uint64_t kSeed = 4711;

using ClientFuzz = ClientStartedServer;

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

TEST_F(ClientFuzz, EveryCallGetsAnAllowedAnswerAndTheServerGoesOn) {
    const RunOptions options = Options(kSeed, 3000);
    const RunReport report = RunFuzz(object.Get(), Transport::OutOfProcess, options);
    std::printf("%s", report.Summary("out of process").c_str());
    EXPECT_EQ(report.mismatchCount, 0u) << Joined(report.mismatches);
    EXPECT_EQ(report.failedCallBacks, 0u) << "calls made while the server waited for an argument's value";
    EXPECT_TRUE(server->Running()) << "the server ended during the run";
    const RoundTripCase normal{L"abc", L"1", L"bcd", L"abc"};
    EXPECT_EQ(CheckRoundTrip(object.Get(), normal), "");
    EXPECT_FALSE(server->FindPopup("About Travok")) << "a call opened the About box";
}

TEST_F(ClientFuzz, TextsComeBackThroughTheServer) {
    const RunOptions options = Options(kSeed, 300);
    std::printf("out of process round trips: seed %llu, %llu texts\n", static_cast<unsigned long long>(options.seed),
                static_cast<unsigned long long>(options.calls));
    std::uint64_t failures = 0;
    for (std::uint64_t i = options.first; i < options.first + options.calls && failures < 10; ++i) {
        const std::string why = CheckRoundTrip(object.Get(), MakeRoundTrip(options.seed, i));
        if (why.empty()) continue;
        ++failures;
        ADD_FAILURE() << "text " << i << " of seed " << options.seed << " (--seed=" << options.seed << " --first=" << i
                      << " --calls=1): " << why;
    }
}

}  // namespace

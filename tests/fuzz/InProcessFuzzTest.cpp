// The automation object in this process under randomized calls: the server's own
// answers, with nothing of a proxy in between, so every out-parameter that a failed
// call must leave alone is checked too.
#include <gtest/gtest.h>

#include "ArgObjects.h"
#include "FuzzOracle.h"
#include "FuzzRun.h"
#include "RoundTrip.h"
#include "shell/AutoProxy.h"

using namespace travok::fuzz;

namespace {

constexpr std::uint64_t kSeed = 4711;

IDispatch* NewProxy() {
    CCmdTarget* target = CTravokDlgAutoProxy::classCTravokDlgAutoProxy.CreateObject();
    return target->GetIDispatch(false);  // takes over the creator's reference
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// Outcomes that a run of a few thousand calls always reaches: one of each kind of answer
// of the error table, and coded texts.
const HRESULT kEveryKind[] = {S_OK,
                              DISP_E_EXCEPTION,
                              DISP_E_UNKNOWNINTERFACE,
                              DISP_E_UNKNOWNNAME,
                              DISP_E_MEMBERNOTFOUND,
                              DISP_E_NONAMEDARGS,
                              DISP_E_TYPEMISMATCH,
                              DISP_E_BADPARAMCOUNT,
                              DISP_E_PARAMNOTOPTIONAL,
                              DISP_E_BADVARTYPE,
                              E_INVALIDARG,
                              E_POINTER};

TEST(InProcessFuzz, EveryCallGetsAnAllowedAnswerAndTheObjectGoesOn) {
    const RunOptions options = Options(kSeed, 120000);
    IDispatch* object = NewProxy();
    ASSERT_TRUE(object);
    const RunReport report = RunFuzz(object, Transport::InProcess, options);
    std::printf("%s", report.Summary("in process").c_str());
    EXPECT_EQ(report.mismatchCount, 0u) << Joined(report.mismatches);
    EXPECT_EQ(report.failedCallBacks, 0u) << "calls made while the server waited for an argument's value";
    if (options.calls >= 5000) {
        for (HRESULT hr : kEveryKind) EXPECT_GT(report.outcomes.count(hr), 0u) << "no call answered " << HresultName(hr);
        EXPECT_GT(report.codedTexts, options.calls / 10);
    }

    // A normal call afterwards, and the object holds no reference a call left behind.
    const RoundTripCase normal{L"abc", L"1", L"bcd", L"abc"};
    EXPECT_EQ(CheckRoundTrip(object, normal), "");
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_EQ(object->Release(), 0u);
    // Every object passed as an argument was released as often as it was taken.
    EXPECT_EQ(ValueObject::Alive(), 0);
    EXPECT_EQ(PlainObject::Alive(), 0);
}

TEST(InProcessFuzz, TextsComeBackThroughCodeWithKeyAndDeCodeWithKey) {
    const RunOptions options = Options(kSeed, 3000);
    std::printf("in process round trips: seed %llu, %llu texts\n", static_cast<unsigned long long>(options.seed),
                static_cast<unsigned long long>(options.calls));
    IDispatch* object = NewProxy();
    ASSERT_TRUE(object);
    std::uint64_t failures = 0;
    for (std::uint64_t i = options.first; i < options.first + options.calls && failures < 10; ++i) {
        const std::string why = CheckRoundTrip(object, MakeRoundTrip(options.seed, i));
        if (why.empty()) continue;
        ++failures;
        ADD_FAILURE() << "text " << i << " of seed " << options.seed << " (--seed=" << options.seed << " --first=" << i
                      << " --calls=1): " << why;
    }
    object->Release();
}

}  // namespace

// The wait for a brief hold, on a clock of the test's own: what is retried, for how
// long, and what is answered in the end.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "TempFiles.h"
#include "engine/HeldRetry.h"

using namespace travok;
using namespace travok::test;

namespace {

class StepClock final : public RetryClock {
public:
    ULONGLONG Now() override { return now; }
    void Sleep(DWORD milliseconds) override {
        now += milliseconds;
        ++sleeps;
    }
    ULONGLONG now = 1000;
    int sleeps = 0;
};

struct RetryCase {
    const char* name;
    std::vector<DWORD> answers;  // one a try; the last one for every try after
    size_t tries;
    DWORD result;
};

void PrintTo(const RetryCase& c, std::ostream* os) { *os << c.name; }

constexpr size_t kTriesInAWait = kHoldWait / kHoldPause + 1;

const RetryCase kRetries[] = {
    {"AnsweredAtOnce", {NO_ERROR}, 1, NO_ERROR},
    {"OtherErrorsAtOnce", {ERROR_FILE_NOT_FOUND}, 1, ERROR_FILE_NOT_FOUND},
    {"ASharingViolationThatEnds", {ERROR_SHARING_VIOLATION, ERROR_SHARING_VIOLATION, NO_ERROR}, 3, NO_ERROR},
    {"AnAccessDeniedThatEnds", {ERROR_ACCESS_DENIED, NO_ERROR}, 2, NO_ERROR},
    {"AHoldThatEndsInAnotherError", {ERROR_SHARING_VIOLATION, ERROR_DISK_FULL}, 2, ERROR_DISK_FULL},
    {"ASharingViolationThatLasts", {ERROR_SHARING_VIOLATION}, kTriesInAWait, ERROR_SHARING_VIOLATION},
    {"AnAccessDeniedThatLasts", {ERROR_ACCESS_DENIED}, kTriesInAWait, ERROR_ACCESS_DENIED},
};

class RetryWhileHeldTest : public testing::TestWithParam<RetryCase> {};

TEST_P(RetryWhileHeldTest, TriesUntilTheHoldEndsOrTheWaitIsOver) {
    const RetryCase& c = GetParam();
    StepClock clock;
    size_t tries = 0;
    const DWORD result = RetryWhileHeld([&] { return c.answers[std::min(tries++, c.answers.size() - 1)]; }, clock);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(tries, c.tries);
    EXPECT_EQ(static_cast<size_t>(clock.sleeps), tries - 1);  // a pause between tries, none after
    EXPECT_LE(clock.now - 1000, kHoldWait);
}

INSTANTIATE_TEST_SUITE_P(Answers, RetryWhileHeldTest, testing::ValuesIn(kRetries), [](const auto& row) {
    return std::string(row.param.name);
});

// An open raises its last failure, as the open raised it, or opens once the hold ends.
TEST(OpenWhenFree, OpensOnceAHoldEndsAndRaisesOneThatLasts) {
    TempDir dir;
    const std::wstring path = dir.FileW(L"held.bin");
    WriteBytes(path, "held");
    HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    // The hold ends during the wait: the clock lets it go at its third pause.
    class ReleasingClock final : public RetryClock {
    public:
        explicit ReleasingClock(HANDLE& held) : m_held(held) {}
        ULONGLONG Now() override { return m_now; }
        void Sleep(DWORD milliseconds) override {
            m_now += milliseconds;
            if (++m_sleeps == 3 && m_held) {
                CloseHandle(m_held);
                m_held = nullptr;
            }
        }
        bool released() const { return !m_held; }

    private:
        HANDLE& m_held;
        ULONGLONG m_now = 0;
        int m_sleeps = 0;
    };

    HANDLE lasting = CreateFileW(dir.FileW(L"kept.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(lasting, INVALID_HANDLE_VALUE);
    StepClock clock;
    CFile file;
    try {
        OpenWhenFree(file, dir.FileW(L"kept.bin"), CFile::modeRead | CFile::shareExclusive, clock);
        ADD_FAILURE() << "a file held for good was opened";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_lOsError, ERROR_SHARING_VIOLATION);
        EXPECT_EQ(e.m_strFileName, dir.FileW(L"kept.bin"));
    }
    EXPECT_GE(clock.now - 1000, kHoldWait);
    CloseHandle(lasting);

    ReleasingClock releasing(holder);
    OpenWhenFree(file, path, CFile::modeRead | CFile::shareExclusive, releasing);
    EXPECT_TRUE(releasing.released());
    EXPECT_TRUE(file.IsOpen());
}

}  // namespace

// The figures every progress display shows: the speed so far, and the time left at it.
#include <gtest/gtest.h>

#include "engine/RunProgress.h"

namespace {

using std::chrono::milliseconds;
using travok::FiguresAt;
using travok::RunFigures;

constexpr std::uint64_t kMiB = 1u << 20;
constexpr std::uint64_t kGiB = 1u << 30;

TEST(RunFigures, SpeedAndTimeLeftFromBytesAndTime) {
    struct Case {
        const char* what;
        std::uint64_t done, total;
        milliseconds elapsed;
        std::uint64_t bytesPerSecond;
        std::optional<std::uint64_t> secondsLeft;
    } cases[] = {
        {"no time has passed yet", 0, 100 * kMiB, milliseconds(0), 0, std::nullopt},
        {"bytes within the first millisecond", kMiB, 100 * kMiB, milliseconds(0), 0, std::nullopt},
        {"nothing written yet", 0, 100 * kMiB, milliseconds(1500), 0, std::nullopt},
        {"a quarter in two seconds", 25 * kMiB, 100 * kMiB, milliseconds(2000), 25 * kMiB / 2, 6},
        {"the time left is whole seconds, cut", 10, 40, milliseconds(1000), 10, 3},
        {"slower than a byte a second", 1, 100, milliseconds(2000), 0, std::nullopt},
        {"at the end", 100 * kMiB, 100 * kMiB, milliseconds(1000), 100 * kMiB, 0},
        {"past the total: the input grew", 150, 100, milliseconds(1000), 150, std::nullopt},
        {"no total: a pipe", 5 * kMiB, 0, milliseconds(1000), 5 * kMiB, std::nullopt},
        // Past 4 GiB, where 32 bits would wrap.
        {"5 of 8 GiB in ten seconds", 5 * kGiB, 8 * kGiB, milliseconds(10000), kGiB / 2, 6},
        {"hours left", kMiB, 10 * kGiB, milliseconds(1000), kMiB, 10 * 1024 - 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RunFigures figures = FiguresAt(c.done, c.total, c.elapsed);
        EXPECT_EQ(figures.done, c.done);
        EXPECT_EQ(figures.total, c.total);
        EXPECT_EQ(figures.elapsed, c.elapsed);
        EXPECT_EQ(figures.bytesPerSecond, c.bytesPerSecond);
        EXPECT_EQ(figures.secondsLeft, c.secondsLeft);
    }
}

// A run's own figures are its counts now, timed from when it was set up.
TEST(RunFigures, OfARunAreItsCountsSinceItWasSetUp) {
    travok::RunProgress progress;
    progress.total = 9 * kGiB;
    progress.done = 5 * kGiB;
    const auto before = std::chrono::steady_clock::now();
    const RunFigures figures = progress.Figures();
    const auto after = std::chrono::steady_clock::now();
    EXPECT_EQ(figures.done, 5 * kGiB);
    EXPECT_EQ(figures.total, 9 * kGiB);
    EXPECT_GE(figures.elapsed, std::chrono::duration_cast<milliseconds>(before - progress.started));
    EXPECT_LE(figures.elapsed, std::chrono::duration_cast<milliseconds>(after - progress.started));
}

}  // namespace

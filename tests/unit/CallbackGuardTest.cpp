// The guard at callback boundaries: results pass through, and running out of memory
// reaches the application's one handler instead of crossing the boundary.
#include <gtest/gtest.h>

#include <new>

#include "framework/CallbackGuard.h"
#include "framework/WinApp.h"

namespace {

class CountingApp : public CWinApp {
public:
    void OnOutOfMemory() override { ++outOfMemory; }
    int outOfMemory = 0;
};

TEST(CallbackGuard, PassesTheResultThrough) {
    CountingApp app;
    EXPECT_EQ(CallGuarded(-1, [] { return 7; }), 7);
    EXPECT_EQ(app.outOfMemory, 0);
}

TEST(CallbackGuard, RoutesOutOfMemoryToTheApplicationAndReturnsTheFallback) {
    CountingApp app;
    EXPECT_EQ(CallGuarded(-1, []() -> int { throw std::bad_alloc(); }), -1);
    EXPECT_EQ(app.outOfMemory, 1);
}

}  // namespace

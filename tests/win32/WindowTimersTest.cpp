// Window timers on this thread's message loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/Win32TestSupport.h"
#include "win32/WindowTimers.h"

namespace quenby {
namespace {

TEST(Win32Timers, TimersFireOnceEachAndAKilledOneNever) {
    std::vector<int> fired;
    CWindowTimers timers([&](int id) { fired.push_back(id); });
    ASSERT_TRUE(timers.SetTimer(1, 10));
    ASSERT_TRUE(timers.SetTimer(2, 40));
    ASSERT_TRUE(timers.SetTimer(3, 20));
    timers.KillTimer(3);
    // Re-arming replaces: timer 1 fires once, after the later time.
    ASSERT_TRUE(timers.SetTimer(1, 60));
    ASSERT_TRUE(test::PumpUntil([&] { return fired.size() >= 2; }));
    // Long enough for a repeating timer to have fired again.
    test::PumpUntil([] { return false; }, std::chrono::milliseconds(300));
    std::sort(fired.begin(), fired.end());
    EXPECT_EQ(fired, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace quenby

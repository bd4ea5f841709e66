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
    // Long after the others: by the time it fires, a timer that repeats has fired again.
    ASSERT_TRUE(timers.SetTimer(9, 300));
    ASSERT_TRUE(test::PumpUntil([&] {
        return fired.size() >= 3 && std::find(fired.begin(), fired.end(), 9) != fired.end();
    }));
    std::sort(fired.begin(), fired.end());
    EXPECT_EQ(fired, (std::vector<int>{1, 2, 9}));
}

}  // namespace
}  // namespace quenby

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <set>

#include "engine/RandomInRange.h"

namespace quenby {
namespace {

// Hands out the given values in turn and counts how many were asked for.
struct ScriptedGenerator {
    std::deque<std::uint32_t> values;
    int draws = 0;
    std::uint32_t operator()() {
        ++draws;
        const std::uint32_t value = values.front();
        values.pop_front();
        return value;
    }
};

TEST(RandomInRange, EqualOrReversedBoundsGiveTheUpperArgumentWithoutADraw) {
    ScriptedGenerator generator;
    EXPECT_EQ(detail::DrawInRange(generator, 7, 7), 7u);
    EXPECT_EQ(detail::DrawInRange(generator, 60, 20), 20u);
    EXPECT_EQ(detail::DrawInRange(generator, 4294967295u, 0), 0u);
    EXPECT_EQ(generator.draws, 0);
    EXPECT_EQ(RandomInRange(60, 20), 20u);
    EXPECT_EQ(RandomInRange(5, 5), 5u);
}

TEST(RandomInRange, ValuesBeyondTheLastWholeMultipleAreDrawnAgain) {
    // Range of 3 values: 2^32 mod 3 = 1, so only 4294967295 lies beyond the last multiple.
    ScriptedGenerator generator{{4294967295u, 4294967294u}};
    EXPECT_EQ(detail::DrawInRange(generator, 10, 12), 10u + 4294967294u % 3u);
    EXPECT_EQ(generator.draws, 2);

    // Range of 2^31 + 1 values: everything from 2^31 + 1 on is redrawn.
    ScriptedGenerator wide{{2147483649u, 4000000000u, 2147483648u}};
    EXPECT_EQ(detail::DrawInRange(wide, 0, 2147483648u), 2147483648u);
    EXPECT_EQ(wide.draws, 3);
}

TEST(RandomInRange, FullRangeTakesTheGeneratorValueAsItIs) {
    ScriptedGenerator generator{{123456789u, 4294967295u}};
    EXPECT_EQ(detail::DrawInRange(generator, 0, 4294967295u), 123456789u);
    EXPECT_EQ(detail::DrawInRange(generator, 0, 4294967295u), 4294967295u);
}

TEST(RandomInRange, RealDrawsStayInsideAndReachBothEnds) {
    std::set<std::uint32_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const std::uint32_t value = RandomInRange(20, 23);
        ASSERT_GE(value, 20u);
        ASSERT_LE(value, 23u);
        seen.insert(value);
    }
    // Missing one of four values in 2000 fair draws has a chance of about 4 * 0.75^2000.
    EXPECT_EQ(seen.size(), 4u);
    const std::uint32_t top = RandomInRange(4294967294u, 4294967295u);
    EXPECT_GE(top, 4294967294u);
}

}  // namespace
}  // namespace quenby

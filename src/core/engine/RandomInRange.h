#pragma once

#include <cstdint>

namespace quenby {

// A number drawn uniformly from [a, b] (from [b, b] when a > b; b itself when a == b, without a
// draw), by a Mersenne Twister built afresh for the call and seeded from the platform's
// nondeterministic source. No generator state survives the call.
std::uint32_t RandomInRange(std::uint32_t a, std::uint32_t b);

namespace detail {

// The draw itself, over any generator of uniform 32-bit values: values at or above the largest
// whole multiple of the range's size are drawn again, so there is no modulo bias.
template <typename Generator>
std::uint32_t DrawInRange(Generator& generator, std::uint32_t a, std::uint32_t b) {
    // When a > b the range is [b, b]: one value, nothing to draw.
    if (a >= b) {
        return b;
    }
    const std::uint64_t size = std::uint64_t{b} - a + 1;
    constexpr std::uint64_t kValues = std::uint64_t{1} << 32;
    const std::uint64_t limit = kValues - kValues % size;
    std::uint64_t value = 0;
    do {
        value = static_cast<std::uint32_t>(generator());
    } while (value >= limit);
    return static_cast<std::uint32_t>(a + value % size);
}

}  // namespace detail
}  // namespace quenby

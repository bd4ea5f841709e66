#include "engine/RandomInRange.h"

#include <random>

namespace quenby {

std::uint32_t RandomInRange(std::uint32_t a, std::uint32_t b) {
    if (a >= b) {
        return b;
    }
    std::random_device source;
    std::mt19937 generator(source());
    return detail::DrawInRange(generator, a, b);
}

}  // namespace quenby

#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/Outcome.h"

namespace quenby {

// Protects bytes so that only the current user can read them back.
class IDataProtector {
public:
    virtual ~IDataProtector() = default;

    // Seals the bytes for the current user; fails with a reason, never with partial output.
    virtual Expected<std::vector<std::uint8_t>> Protect(std::span<const std::uint8_t> plain) = 0;
    // Opens what Protect sealed; tampered, truncated or foreign data fails, never yields garbage.
    virtual Expected<std::vector<std::uint8_t>> Unprotect(std::span<const std::uint8_t> sealed) = 0;
    // Where the user's key is kept, in words for the encryption notice.
    virtual std::u16string DescribeKeyStore() const = 0;
};

}  // namespace quenby

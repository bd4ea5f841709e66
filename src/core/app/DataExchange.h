#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quenby {

// A signed 32-bit number of a field for digits only (the delays, the count): blanks around it
// and digits, so a pasted sign is refused as any other character is. Nothing when the text is
// empty, holds anything else, or exceeds the signed range.
std::optional<std::int32_t> ParseFieldDigitsInt(std::u16string_view text);
// An unsigned 32-bit number: blanks around it and digits only.
std::optional<std::uint32_t> ParseFieldUnsigned(std::u16string_view text);

}  // namespace quenby

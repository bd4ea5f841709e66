#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quenby {

// A signed 32-bit number as typed in a number field: blanks around it, an optional sign, digits.
// Nothing when the text is empty, not a number, or out of range.
std::optional<std::int32_t> ParseFieldInt(std::u16string_view text);
// An unsigned 32-bit number: blanks around it and digits only.
std::optional<std::uint32_t> ParseFieldUnsigned(std::u16string_view text);

}  // namespace quenby

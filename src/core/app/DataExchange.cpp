#include "app/DataExchange.h"

namespace quenby {
namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view Trimmed(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The value of a run of decimal digits, or nothing when it is empty, holds another character, or
// exceeds `limit`.
std::optional<std::uint64_t> Digits(std::u16string_view digits, std::uint64_t limit) {
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - u'0');
        if (value > limit) {
            return std::nullopt;
        }
    }
    return value;
}

}  // namespace

std::optional<std::int32_t> ParseFieldDigitsInt(std::u16string_view text) {
    const std::optional<std::uint64_t> value = Digits(Trimmed(text), INT32_MAX);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

std::optional<std::uint32_t> ParseFieldUnsigned(std::u16string_view text) {
    const std::optional<std::uint64_t> value = Digits(Trimmed(text), UINT32_MAX);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

}  // namespace quenby

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quenby {

// UTF-16 text for the user from ASCII or UTF-8 (invalid bytes become U+FFFD).
std::u16string Utf16FromUtf8(std::string_view utf8);
// UTF-16 from UTF-8 that is valid throughout (no overlong forms, surrogates or values past
// U+10FFFF); nothing otherwise.
std::optional<std::u16string> Utf16FromValidUtf8(std::string_view utf8);
// UTF-8 from UTF-16; a lone surrogate becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view utf16);

// "%d" and "%u" of the C library, as UTF-16.
std::u16string FormatSigned(std::int64_t value);
std::u16string FormatUnsigned(std::uint64_t value);

// The decimal conversion of the C library's _wtoi: leading white space skipped, an optional
// sign, digits up to the first other character, 0 without digits, saturating at the int range.
std::int32_t WtoiSaturating(std::u16string_view text);

}  // namespace quenby

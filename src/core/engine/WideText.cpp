#include "engine/WideText.h"

#include <climits>

namespace quenby {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool IsWtoiBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Decodes UTF-8; each invalid sequence becomes U+FFFD and counts in `invalid`.
std::u16string DecodeUtf8(std::string_view utf8, std::size_t& invalid) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int length = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, cp = lead & 0x1Fu, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, cp = lead & 0x0Fu, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, cp = lead & 0x07u, minimum = 0x10000;
        } else {
            out.push_back(kReplacement);
            ++invalid;
            ++i;
            continue;
        }
        int taken = 1;
        while (taken < length && i + static_cast<std::size_t>(taken) < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(taken)]);
            if ((next & 0xC0) != 0x80) {
                break;
            }
            cp = (cp << 6) | (next & 0x3Fu);
            ++taken;
        }
        const bool valid =
            taken == length && cp >= minimum && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        if (valid) {
            AppendCodePoint(out, cp);
        } else {
            out.push_back(kReplacement);
            ++invalid;
        }
        i += static_cast<std::size_t>(taken);
    }
    return out;
}

}  // namespace

std::u16string Utf16FromUtf8(std::string_view utf8) {
    std::size_t invalid = 0;
    return DecodeUtf8(utf8, invalid);
}

std::optional<std::u16string> Utf16FromValidUtf8(std::string_view utf8) {
    std::size_t invalid = 0;
    std::u16string text = DecodeUtf8(utf8, invalid);
    if (invalid != 0) {
        return std::nullopt;
    }
    return text;
}

std::string Utf8FromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (utf16[i + 1] - 0xDC00u));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::u16string FormatSigned(std::int64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string FormatUnsigned(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::int32_t WtoiSaturating(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsWtoiBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate in 64 bits and clamp as soon as the magnitude leaves the int range.
    std::int64_t magnitude = 0;
    constexpr std::int64_t kLimit = std::int64_t{INT_MAX} + 1;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - u'0');
        if (magnitude > kLimit) {
            magnitude = kLimit;
        }
    }
    if (negative) {
        return static_cast<std::int32_t>(-magnitude);
    }
    return magnitude > INT_MAX ? INT_MAX : static_cast<std::int32_t>(magnitude);
}

}  // namespace quenby

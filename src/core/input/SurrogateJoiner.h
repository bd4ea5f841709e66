#pragma once

#include <optional>

namespace quenby {

inline bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Joins the UTF-16 units of key events back into characters, for backends that type whole
// characters. A high surrogate waits for its low half; a half without its partner is no
// character, and a high half followed by anything but a low one is forgotten, so it can never
// pair with a later, unrelated low half.
class CSurrogateJoiner {
public:
    // The character that this press or release of `unit` stands for; nothing for a high half
    // and for a lone half.
    std::optional<char32_t> Join(char16_t unit, bool down) {
        if (IsHighSurrogate(unit)) {
            m_high = down ? unit : m_high;
            return std::nullopt;
        }
        if (!IsLowSurrogate(unit)) {
            m_high = 0;
            return unit;
        }
        if (m_high == 0) {
            return std::nullopt;
        }
        const char32_t character = 0x10000 + ((m_high - 0xD800u) << 10) + (unit - 0xDC00u);
        if (!down) {
            m_high = 0;  // the pair's release ends it
        }
        return character;
    }

private:
    char16_t m_high = 0;
};

}  // namespace quenby

#pragma once

#include <cstdint>
#include <string>

namespace quenby {

// One message of the list, a plain value record; the fields are in insertion order.
struct MessageItem {
    std::u16string m_strText;
    std::int32_t m_iSeconds = 0;       // delay before the message, whole seconds
    std::int32_t m_iMilliSeconds = 0;  // further milliseconds (not limited to 999)
    bool m_bEnterBefore = false;
    bool m_bEnterAfter = false;
    std::uint32_t m_uCharDelayMin = 0;  // bounds of the random pause before each character, ms
    std::uint32_t m_uCharDelayMax = 0;

    friend bool operator==(const MessageItem&, const MessageItem&) = default;
};

}  // namespace quenby

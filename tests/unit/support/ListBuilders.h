#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/MessageList.h"

namespace quenby::test {

inline CMessageList ListOf(const std::vector<MessageItem>& items) {
    CMessageList list;
    for (const MessageItem& item : items) {
        list.AddMessageItem(static_cast<std::int32_t>(list.GetItemCount()), item);
    }
    return list;
}

inline std::vector<MessageItem> ItemsOf(const CMessageList& list) {
    std::vector<MessageItem> items;
    for (std::size_t row = 0; row < list.GetItemCount(); ++row) {
        items.push_back(list.GetMessageItem(row));
    }
    return items;
}

inline MessageItem Item(std::u16string text, std::int32_t seconds = 0,
                        std::int32_t milliSeconds = 0, bool before = false, bool after = false,
                        std::uint32_t pcMin = 20, std::uint32_t pcMax = 60) {
    return MessageItem{std::move(text), seconds, milliSeconds, before, after, pcMin, pcMax};
}

// Random messages whose values survive the row codec unchanged (milliseconds 0-999, PC bounds in
// the int range); texts draw from every kind of code unit, line breaks only when allowed.
inline std::vector<MessageItem> RandomItems(std::mt19937& random, std::size_t count,
                                            bool allowLineBreaks) {
    static const std::u16string kSpecial = {0x0000, 0xFEFF, 0xD800, 0xDC00, 0xDBFF, 0xDFFF, 0xFFFF,
                                            0xFFFE, 0x00E9, 0x4E2D, 0x0009, 0x001A, u'\r',  u'\n'};
    auto draw = [&random](std::uint32_t below) {
        return std::uniform_int_distribution<std::uint32_t>(0, below - 1)(random);
    };
    std::vector<MessageItem> items(count);
    for (MessageItem& item : items) {
        for (std::uint32_t n = draw(41); n > 0; --n) {
            const std::uint32_t kind = draw(10);
            char16_t unit = kind == 0 ? kSpecial[draw(static_cast<std::uint32_t>(kSpecial.size()))]
                            : kind == 1 ? static_cast<char16_t>(draw(0x10000))
                                        : static_cast<char16_t>(u'a' + draw(26));
            if (!allowLineBreaks && (unit == u'\r' || unit == u'\n')) {
                unit = u'x';
            }
            item.m_strText.push_back(unit);
        }
        item.m_iSeconds = static_cast<std::int32_t>(draw(100001));
        item.m_iMilliSeconds = static_cast<std::int32_t>(draw(1000));
        item.m_bEnterBefore = draw(2) != 0;
        item.m_bEnterAfter = draw(2) != 0;
        item.m_uCharDelayMin = draw(2147483648u);
        item.m_uCharDelayMax = draw(2147483648u);
    }
    return items;
}

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> bytes;
    for (int v : values) {
        bytes.push_back(static_cast<std::uint8_t>(v));
    }
    return bytes;
}

}  // namespace quenby::test

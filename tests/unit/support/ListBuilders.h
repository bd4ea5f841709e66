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
    static const std::u16string kSpecial = {0x0000, 0xFEFF, 0xD800, 0xDC00, 0xDBFF, 0xDFFF,
                                            0xFFFF, 0xFFFE, 0x00E9, 0x4E2D, 0x0009, 0x001A};
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<std::uint32_t> unit(0, 0xFFFF);
    std::uniform_int_distribution<std::int32_t> seconds(0, 100000);
    std::uniform_int_distribution<std::int32_t> milliSeconds(0, 999);
    std::uniform_int_distribution<std::uint32_t> pc(0, 2147483647u);
    std::vector<MessageItem> items;
    for (std::size_t i = 0; i < count; ++i) {
        MessageItem item;
        const int n = length(random);
        for (int c = 0; c < n; ++c) {
            char16_t u = 0;
            switch (kind(random)) {
                case 0:
                    u = kSpecial[unit(random) % kSpecial.size()];
                    break;
                case 1:
                    u = static_cast<char16_t>(unit(random));
                    break;
                default:
                    u = static_cast<char16_t>(u'a' + unit(random) % 26);
                    break;
            }
            if (!allowLineBreaks && (u == u'\r' || u == u'\n')) {
                u = u'x';
            }
            item.m_strText.push_back(u);
        }
        item.m_iSeconds = seconds(random);
        item.m_iMilliSeconds = milliSeconds(random);
        item.m_bEnterBefore = (unit(random) & 1) != 0;
        item.m_bEnterAfter = (unit(random) & 2) != 0;
        item.m_uCharDelayMin = pc(random);
        item.m_uCharDelayMax = pc(random);
        items.push_back(std::move(item));
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

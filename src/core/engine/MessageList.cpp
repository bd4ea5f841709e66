#include "engine/MessageList.h"

#include <climits>

#include "engine/WideText.h"

namespace quenby {
namespace {

// The PC cells hold "%u" of the bound; reading them back with _wtoi saturates at INT_MAX.
std::int32_t PcCellValue(std::uint32_t bound) {
    return bound > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<std::int32_t>(bound);
}

}  // namespace

std::u16string FormatDelayText(std::int32_t seconds, std::int32_t milliSeconds) {
    if (seconds != 0 && milliSeconds != 0) {
        return FormatSigned(seconds) + u" Second(s) " + FormatSigned(milliSeconds) +
               u" Milli Second(s)";
    }
    if (seconds != 0) {
        return FormatSigned(seconds) + u" Second(s)";
    }
    if (milliSeconds != 0) {
        return FormatSigned(milliSeconds) + u" Milli Second(s)";
    }
    return u"No Delay";
}

void CMessageList::AddMessageItem(std::int32_t position, const MessageItem& item) {
    // A position past the end appends; the row is numbered where it really lands.
    std::size_t at = position < 0 ? 0 : static_cast<std::size_t>(position);
    if (at > m_rows.size()) {
        at = m_rows.size();
    }
    Row row{item.m_strText,
            static_cast<std::int32_t>(at + 1),
            item.m_iSeconds,
            item.m_iMilliSeconds,
            static_cast<std::uint32_t>(item.m_iSeconds) * 1000u +
                static_cast<std::uint32_t>(item.m_iMilliSeconds),
            item.m_uCharDelayMin,
            item.m_uCharDelayMax,
            item.m_bEnterBefore,
            item.m_bEnterAfter};
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
}

void CMessageList::DeleteItem(std::size_t row) {
    if (row < m_rows.size()) {
        m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
    }
}

void CMessageList::RenumberRows() {
    std::int32_t number = 1;
    for (Row& row : m_rows) {
        row.m_iNumber = number++;
    }
}

std::u16string CMessageList::GetCellText(std::size_t row, int column) const {
    const Row& r = m_rows[row];
    switch (column) {
        case COLUMN_SR:
            return FormatSigned(r.m_iNumber);
        case COLUMN_MESSAGE:
            return r.m_strText;
        case COLUMN_DELAY:
            return FormatDelayText(r.m_iSeconds, r.m_iMilliSeconds);
        case COLUMN_ENTER_BEFORE:
            return r.m_bEnterBefore ? u"Yes" : u"";
        case COLUMN_ENTER_AFTER:
            return r.m_bEnterAfter ? u"Yes" : u"";
        case COLUMN_PC_MIN:
            return FormatUnsigned(r.m_uCharDelayMin);
        case COLUMN_PC_MAX:
            return FormatUnsigned(r.m_uCharDelayMax);
        default:
            return {};
    }
}

void CMessageList::GetMessageDelay(std::size_t row, std::int32_t& seconds,
                                   std::int32_t& milliSeconds) const {
    const std::uint32_t data = m_rows[row].m_uItemData;
    seconds = static_cast<std::int32_t>(data / 1000u);
    milliSeconds = static_cast<std::int32_t>(data % 1000u);
}

void CMessageList::GetMessageEnterFlags(std::size_t row, bool& enterBefore,
                                        bool& enterAfter) const {
    enterBefore = m_rows[row].m_bEnterBefore;
    enterAfter = m_rows[row].m_bEnterAfter;
}

std::int32_t CMessageList::GetCharDelayMinCell(std::size_t row) const {
    return PcCellValue(m_rows[row].m_uCharDelayMin);
}

std::int32_t CMessageList::GetCharDelayMaxCell(std::size_t row) const {
    return PcCellValue(m_rows[row].m_uCharDelayMax);
}

MessageItem CMessageList::GetMessageItem(std::size_t row) const {
    MessageItem item;
    item.m_strText = m_rows[row].m_strText;
    GetMessageDelay(row, item.m_iSeconds, item.m_iMilliSeconds);
    GetMessageEnterFlags(row, item.m_bEnterBefore, item.m_bEnterAfter);
    item.m_uCharDelayMin = static_cast<std::uint32_t>(GetCharDelayMinCell(row));
    item.m_uCharDelayMax = static_cast<std::uint32_t>(GetCharDelayMaxCell(row));
    return item;
}

}  // namespace quenby

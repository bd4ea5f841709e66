#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/MessageItem.h"

namespace quenby {

// The columns of the message list, in display order.
enum EMessageColumn : int {
    COLUMN_SR = 0,
    COLUMN_MESSAGE,
    COLUMN_DELAY,
    COLUMN_ENTER_BEFORE,
    COLUMN_ENTER_AFTER,
    COLUMN_PC_MIN,
    COLUMN_PC_MAX,
    COLUMN_COUNT
};

struct MessageColumn {
    std::u16string_view m_strHeading;
    int m_iDefaultWidth;
};

inline constexpr std::array<MessageColumn, COLUMN_COUNT> kMessageColumns{{
    {u"Sr", 50},
    {u"Message", 200},
    {u"Delay", 150},
    {u"Enter Before", 75},
    {u"Enter After", 75},
    {u"PC Min", 75},
    {u"PC Max", 75},
}};

// The delay cell: "No Delay", "%d Second(s)", "%d Milli Second(s)" or both, from the values
// given at insertion (not normalised).
std::u16string FormatDelayText(std::int32_t seconds, std::int32_t milliSeconds);

// The message list: the only store of the messages while the program runs. It keeps per row
// exactly what a report-style list view would keep (seven cells and one 32-bit item data value),
// and every reader gets the row back through the row codec: the delay normalised from the item
// data, the Enter flags from "Yes", and the PC bounds as the decimal conversion of their cells.
class CMessageList {
public:
    std::size_t GetItemCount() const { return m_rows.size(); }

    // Inserts a row; a negative position is taken as 0, one past the end appends. The rows after
    // it are not renumbered (callers only append or put an edited row back at its place).
    void AddMessageItem(std::int32_t position, const MessageItem& item);
    void DeleteItem(std::size_t row);
    void DeleteAllItems() { m_rows.clear(); }
    // Writes the "Sr" cell of every row again: 1 to n.
    void RenumberRows();
    void Swap(CMessageList& other) noexcept { m_rows.swap(other.m_rows); }
    void Reserve(std::size_t rows) { m_rows.reserve(rows); }

    // The text a cell shows.
    std::u16string GetCellText(std::size_t row, int column) const;
    // The message text (column 1) without a copy.
    const std::u16string& GetMessageText(std::size_t row) const { return m_rows[row].m_strText; }
    std::uint32_t GetItemData(std::size_t row) const { return m_rows[row].m_uItemData; }

    // The row codec.
    void GetMessageDelay(std::size_t row, std::int32_t& seconds, std::int32_t& milliSeconds) const;
    void GetMessageEnterFlags(std::size_t row, bool& enterBefore, bool& enterAfter) const;
    std::int32_t GetCharDelayMinCell(std::size_t row) const;  // _wtoi of the "PC Min" cell
    std::int32_t GetCharDelayMaxCell(std::size_t row) const;  // _wtoi of the "PC Max" cell
    MessageItem GetMessageItem(std::size_t row) const;

private:
    struct Row {
        std::u16string m_strText;
        std::int32_t m_iNumber;        // the "Sr" cell
        std::int32_t m_iSeconds;       // as given, for the "Delay" cell
        std::int32_t m_iMilliSeconds;  // as given, for the "Delay" cell
        std::uint32_t m_uItemData;     // seconds * 1000 + milliseconds, 32-bit arithmetic
        std::uint32_t m_uCharDelayMin;
        std::uint32_t m_uCharDelayMax;
        bool m_bEnterBefore;
        bool m_bEnterAfter;
    };
    std::vector<Row> m_rows;
};

}  // namespace quenby

#include <gtest/gtest.h>

#include <climits>

#include "engine/MessageList.h"
#include "engine/WideText.h"
#include "support/ListBuilders.h"

namespace quenby {
namespace {

using test::Item;
using test::ListOf;

struct DelayCase {
    std::int32_t seconds;
    std::int32_t milliSeconds;
    std::u16string text;
    std::uint32_t itemData;
    std::int32_t readSeconds;
    std::int32_t readMilliSeconds;
};

TEST(MessageList, DelayCellItemDataAndReadBack) {
    const DelayCase cases[] = {
        {0, 0, u"No Delay", 0, 0, 0},
        {2, 0, u"2 Second(s)", 2000, 2, 0},
        {0, 250, u"250 Milli Second(s)", 250, 0, 250},
        {1, 5, u"1 Second(s) 5 Milli Second(s)", 1005, 1, 5},
        // The cell keeps what was entered; the item data and every reader see it normalised.
        {0, 1500, u"1500 Milli Second(s)", 1500, 1, 500},
        {3, 2500, u"3 Second(s) 2500 Milli Second(s)", 5500, 5, 500},
        // 32-bit arithmetic, taken as unsigned: -1 ms is 4294967295 ms.
        {0, -1, u"-1 Milli Second(s)", 4294967295u, 4294967, 295},
        {2147483647, 0, u"2147483647 Second(s)", 4294966296u, 4294966, 296},
    };
    for (const DelayCase& c : cases) {
        const CMessageList list = ListOf({Item(u"x", c.seconds, c.milliSeconds)});
        EXPECT_EQ(list.GetCellText(0, COLUMN_DELAY), c.text);
        EXPECT_EQ(list.GetItemData(0), c.itemData);
        std::int32_t s = -7;
        std::int32_t ms = -7;
        list.GetMessageDelay(0, s, ms);
        EXPECT_EQ(s, c.readSeconds) << c.seconds << "/" << c.milliSeconds;
        EXPECT_EQ(ms, c.readMilliSeconds) << c.seconds << "/" << c.milliSeconds;
    }
}

TEST(MessageList, CellsOfARow) {
    const CMessageList list = ListOf({Item(u"Hello", 1, 0, true, false, 20, 60)});
    EXPECT_EQ(list.GetCellText(0, COLUMN_SR), u"1");
    EXPECT_EQ(list.GetCellText(0, COLUMN_MESSAGE), u"Hello");
    EXPECT_EQ(list.GetCellText(0, COLUMN_ENTER_BEFORE), u"Yes");
    EXPECT_EQ(list.GetCellText(0, COLUMN_ENTER_AFTER), u"");
    EXPECT_EQ(list.GetCellText(0, COLUMN_PC_MIN), u"20");
    EXPECT_EQ(list.GetCellText(0, COLUMN_PC_MAX), u"60");
}

TEST(MessageList, PcBoundsReadBackAsTheDecimalConversionOfTheirCells) {
    const std::uint32_t bounds[] = {0u, 20u, 2147483647u, 2147483648u, 4294967295u};
    for (std::uint32_t bound : bounds) {
        const CMessageList list = ListOf({Item(u"x", 0, 0, false, false, bound, bound)});
        // The cell shows the whole unsigned value...
        EXPECT_EQ(list.GetCellText(0, COLUMN_PC_MIN), FormatUnsigned(bound));
        // ...and every reader gets what converting that text gives, saturated at INT_MAX.
        const std::int32_t expected = WtoiSaturating(FormatUnsigned(bound));
        EXPECT_EQ(list.GetCharDelayMinCell(0), expected) << bound;
        EXPECT_EQ(list.GetCharDelayMaxCell(0), expected) << bound;
        EXPECT_EQ(list.GetMessageItem(0).m_uCharDelayMax, static_cast<std::uint32_t>(expected));
    }
    EXPECT_EQ(WtoiSaturating(FormatUnsigned(4294967295u)), INT_MAX);
}

TEST(MessageList, InsertionPositionsAndNumbering) {
    CMessageList list = ListOf({Item(u"a"), Item(u"b"), Item(u"c")});
    // Position n of n rows appends, numbered n+1.
    list.AddMessageItem(3, Item(u"d"));
    EXPECT_EQ(list.GetMessageText(3), u"d");
    EXPECT_EQ(list.GetCellText(3, COLUMN_SR), u"4");
    // A negative position puts the row first, numbered 1, and the others keep their numbers.
    list.AddMessageItem(-5, Item(u"first"));
    ASSERT_EQ(list.GetItemCount(), 5u);
    EXPECT_EQ(list.GetMessageText(0), u"first");
    EXPECT_EQ(list.GetCellText(0, COLUMN_SR), u"1");
    EXPECT_EQ(list.GetCellText(1, COLUMN_SR), u"1");
    EXPECT_EQ(list.GetCellText(4, COLUMN_SR), u"4");
    // A position past the end appends and is numbered where it lands.
    list.AddMessageItem(1000, Item(u"last"));
    EXPECT_EQ(list.GetMessageText(5), u"last");
    EXPECT_EQ(list.GetCellText(5, COLUMN_SR), u"6");
}

TEST(MessageList, DeleteThenRenumber) {
    CMessageList list = ListOf({Item(u"a"), Item(u"b"), Item(u"c"), Item(u"d")});
    list.DeleteItem(1);
    EXPECT_EQ(list.GetCellText(1, COLUMN_SR), u"3");  // not renumbered by itself
    list.RenumberRows();
    ASSERT_EQ(list.GetItemCount(), 3u);
    for (std::size_t row = 0; row < 3; ++row) {
        EXPECT_EQ(list.GetCellText(row, COLUMN_SR), FormatUnsigned(row + 1));
    }
    EXPECT_EQ(list.GetMessageText(1), u"c");
    list.DeleteItem(99);  // out of range: nothing happens
    EXPECT_EQ(list.GetItemCount(), 3u);
    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0u);
}

TEST(MessageList, EditedRowGoesBackToItsPlace) {
    CMessageList list = ListOf({Item(u"a"), Item(u"b"), Item(u"c")});
    list.DeleteItem(1);
    list.AddMessageItem(1, Item(u"B", 0, 1500, true, true, 5, 9));
    EXPECT_EQ(list.GetCellText(1, COLUMN_SR), u"2");
    EXPECT_EQ(list.GetMessageItem(1), Item(u"B", 1, 500, true, true, 5, 9));
    EXPECT_EQ(list.GetMessageText(2), u"c");
}

TEST(MessageList, ColumnsHaveTheirHeadingsAndWidths) {
    const std::u16string_view headings[] = {u"Sr",          u"Message", u"Delay", u"Enter Before",
                                            u"Enter After", u"PC Min",  u"PC Max"};
    const int widths[] = {50, 200, 150, 75, 75, 75, 75};
    for (int column = 0; column < COLUMN_COUNT; ++column) {
        EXPECT_EQ(kMessageColumns[static_cast<std::size_t>(column)].m_strHeading, headings[column]);
        EXPECT_EQ(kMessageColumns[static_cast<std::size_t>(column)].m_iDefaultWidth,
                  widths[column]);
    }
}

}  // namespace
}  // namespace quenby

// The engine's parts on their own: the message list's cells and row codec, the random pauses, the
// text conversions, and the shortcut as the profile keeps it.
#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "engine/HotKeyProfile.h"
#include "engine/MessageList.h"
#include "engine/RandomInRange.h"
#include "engine/WideText.h"
#include "input/SurrogateJoiner.h"
#include "support/CoreFixture.h"

namespace quenby {
namespace {

using test::Item;
using test::ListOf;

TEST(MessageList, DelayCellAndReadBack) {
    const struct {
        std::int32_t seconds;
        std::int32_t milliSeconds;
        std::u16string text;
        std::int32_t readSeconds;
        std::int32_t readMilliSeconds;
    } cases[] = {
        {0, 0, u"No Delay", 0, 0},
        {1, 5, u"1 Second(s) 5 Milli Second(s)", 1, 5},
        // The cell keeps what was entered; every reader sees it normalised.
        {0, 1500, u"1500 Milli Second(s)", 1, 500},
        {3, 2500, u"3 Second(s) 2500 Milli Second(s)", 5, 500},
        // 32-bit arithmetic, read as unsigned: -1 ms is 4294967295 ms.
        {0, -1, u"-1 Milli Second(s)", 4294967, 295},
        {2147483647, 0, u"2147483647 Second(s)", 4294966, 296},
    };
    for (const auto& c : cases) {
        const CMessageList list = ListOf({Item(u"x", c.seconds, c.milliSeconds)});
        EXPECT_EQ(list.GetCellText(0, COLUMN_DELAY), c.text);
        std::int32_t s = -7;
        std::int32_t ms = -7;
        list.GetMessageDelay(0, s, ms);
        EXPECT_EQ(s, c.readSeconds) << c.seconds << "/" << c.milliSeconds;
        EXPECT_EQ(ms, c.readMilliSeconds) << c.seconds << "/" << c.milliSeconds;
    }
}

TEST(MessageList, PcBoundsReadBackAsTheDecimalConversionOfTheirCells) {
    for (const std::uint32_t bound : {0u, 20u, 2147483647u, 2147483648u, 4294967295u}) {
        const CMessageList list = ListOf({Item(u"x", 0, 0, false, false, bound, bound)});
        // The cell shows the whole unsigned value, and every reader gets it saturated at INT_MAX.
        EXPECT_EQ(list.GetCellText(0, COLUMN_PC_MIN), FormatUnsigned(bound));
        const std::int32_t expected = bound > INT_MAX ? INT_MAX : static_cast<std::int32_t>(bound);
        EXPECT_EQ(list.GetCharDelayMinCell(0), expected) << bound;
        EXPECT_EQ(list.GetCharDelayMaxCell(0), expected) << bound;
        EXPECT_EQ(list.GetMessageItem(0).m_uCharDelayMax, static_cast<std::uint32_t>(expected));
    }
}

TEST(MessageList, RowsGoWhereTheyAreInsertedWithTheirCells) {
    CMessageList list = ListOf({Item(u"a"), Item(u"b"), Item(u"c")});
    // An edited row goes back to its place.
    list.DeleteItem(1);
    list.AddMessageItem(1, Item(u"B", 1, 0, true, false, 5, 9));
    const std::u16string cells[] = {u"2", u"B", u"1 Second(s)", u"Yes", u"", u"5", u"9"};
    for (int column = 0; column < COLUMN_COUNT; ++column) {
        EXPECT_EQ(list.GetCellText(1, column), cells[column]) << column;
    }
    EXPECT_EQ(list.GetMessageItem(1), Item(u"B", 1, 0, true, false, 5, 9));
    EXPECT_EQ(list.GetMessageText(2), u"c");
    // A position past the end (an edited row deleted meanwhile) appends, numbered where it lands.
    list.AddMessageItem(1000, Item(u"last"));
    EXPECT_EQ(list.GetMessageText(3), u"last");
    EXPECT_EQ(list.GetCellText(3, COLUMN_SR), u"4");
}

TEST(RandomInRange, DrawsStayInsideAndReachBothEnds) {
    std::set<std::uint32_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const std::uint32_t value = RandomInRange(20, 23);
        ASSERT_GE(value, 20u);
        ASSERT_LE(value, 23u);
        seen.insert(value);
    }
    // Missing one of four values in 2000 fair draws has a chance of about 4 * 0.75^2000.
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_GE(RandomInRange(4294967294u, 4294967295u), 4294967294u);
    // Equal or reversed bounds give the upper argument.
    EXPECT_EQ(RandomInRange(5, 5), 5u);
    EXPECT_EQ(RandomInRange(4294967295u, 0), 0u);
    // The whole range, 2^32 values whose count does not fit in 32 bits, takes the value as it is.
    std::uint32_t next = 4294967295u;
    auto generator = [&next] { return next--; };
    EXPECT_EQ(detail::DrawInRange(generator, 0, 4294967295u), 4294967295u);
    EXPECT_EQ(detail::DrawInRange(generator, 0, 4294967295u), 4294967294u);
}

TEST(Utf8Conversion, RoundTripsEveryScalarValueKindAndReplacesWhatIsNotValid) {
    for (const std::u16string text :
         {u"plain", u"\u00e9t\u00e9", u"\u4e2d", u"\U0001F600 :)", u""}) {
        EXPECT_EQ(Utf16FromUtf8(Utf8FromUtf16(text)), text);
    }
    EXPECT_EQ(Utf16FromUtf8("a\xff-"), u"a\uFFFD-");
    EXPECT_EQ(Utf16FromUtf8("\xc0\x80"), u"\uFFFD");      // overlong NUL
    EXPECT_EQ(Utf16FromUtf8("\xed\xa0\x80"), u"\uFFFD");  // encoded surrogate
    EXPECT_EQ(Utf16FromUtf8("\xe4\xb8"), u"\uFFFD");      // cut sequence
    EXPECT_EQ(Utf16FromUtf8("\xe4\xb8x"), u"\uFFFDx");    // the next byte is kept
    EXPECT_EQ(Utf8FromUtf16(std::u16string(1, char16_t{0xD800})), "\xef\xbf\xbd");
}

TEST(SurrogateJoiner, KeyEventsOfUnitsBecomeWholeCharactersAndLoneHalvesNothing) {
    // Each unit pressed and released in turn, as the typer sends them; what each event stands for.
    const struct {
        const char* what;
        std::u16string units;
        std::u32string pressed;
    } cases[] = {
        {"plain", u"a\u00e9", U"a\u00e9"},
        {"a pair", u"\U0001F600", U"\U0001F600"},
        {"a lone low half", u"\xDE00x", U"x"},
        {"a high half then another character forgets the half", u"\xD83Dx\xDE00", U"x"},
        {"two pairs", u"\U0001F600\U00020000", U"\U0001F600\U00020000"},
        {"a lone low half after a pair", u"\U0001F600\xDE00", U"\U0001F600"},
    };
    for (const auto& c : cases) {
        CSurrogateJoiner joiner;
        std::u32string pressed;
        for (const char16_t unit : c.units) {
            const std::optional<char32_t> down = joiner.Join(unit, true);
            if (down) {
                pressed.push_back(*down);
            }
            EXPECT_EQ(joiner.Join(unit, false), down) << c.what;  // the release matches it
        }
        EXPECT_EQ(pressed, c.pressed) << c.what;
    }
}

constexpr std::string_view kKey = "StartStopAutomaticTyping Key";
constexpr std::string_view kMod = "StartStopAutomaticTyping Mod";

TEST(HotKeyProfile, StoresTheSystemFlagsAndLoadsTheControlFlagsBack) {
    const struct {
        const char* what;
        std::uint16_t key;
        std::uint16_t controlFlags;
        std::int32_t storedMod;
    } cases[] = {
        {"Ctrl+Shift+F5", 0x74, CONTROL_FLAG_CONTROL | CONTROL_FLAG_SHIFT,
         SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT},
        {"Alt+F9", 0x78, CONTROL_FLAG_ALT, SYSTEM_FLAG_ALT},
        {"Shift+A", 'A', CONTROL_FLAG_SHIFT, SYSTEM_FLAG_SHIFT},
        {"Super+Ctrl+Home", 0x24, CONTROL_FLAG_EXT | CONTROL_FLAG_CONTROL,
         SYSTEM_FLAG_WIN | SYSTEM_FLAG_CONTROL},
        {"all four", 0x70, 0xF, 0xF},
        {"foreign bits dropped", 0x70, 0xF0 | CONTROL_FLAG_ALT, SYSTEM_FLAG_ALT},
    };
    for (const auto& c : cases) {
        test::CMemoryProfileStore store;
        CHotKeyProfile profile(store);
        ASSERT_TRUE(profile.StoreHotKey(kStartStopHotKeyName, c.key, c.controlFlags)) << c.what;
        EXPECT_EQ(store.GetInt("Settings", kKey, -1), c.key) << c.what;
        EXPECT_EQ(store.GetInt("Settings", kMod, -1), c.storedMod) << c.what;
        const HotKey loaded = profile.LoadHotKey(kStartStopHotKeyName);
        EXPECT_EQ(loaded.m_wVirtualKey, c.key) << c.what;
        EXPECT_EQ(loaded.m_wSystemFlags, c.storedMod) << c.what;
        EXPECT_EQ(loaded.m_wControlFlags, c.controlFlags & 0xF) << c.what;
    }
}

TEST(HotKeyProfile, AFailedWriteIsAFailureAndModFollowsOnlyAStoredKey) {
    for (const std::string_view refused : {kKey, kMod}) {
        test::CMemoryProfileStore store;
        store.RefuseWritesOf(std::string(refused));
        CHotKeyProfile profile(store);
        EXPECT_FALSE(profile.StoreHotKey(kStartStopHotKeyName, 0x74, CONTROL_FLAG_CONTROL));
        EXPECT_EQ(store.WriteLog().size(), refused == kKey ? 1u : 2u);
        EXPECT_EQ(store.GetInt("Settings", kMod, -1), -1);
    }
}

}  // namespace
}  // namespace quenby

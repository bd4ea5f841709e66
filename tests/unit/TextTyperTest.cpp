#include <gtest/gtest.h>

#include "fakes/FakeDesktop.h"
#include "fakes/RecordingKeyboard.h"
#include "fakes/VirtualClock.h"
#include "input/AppHelper.h"
#include "input/TextTyper.h"

namespace quenby {
namespace {

// One message typed by CAppHelper over a recording keyboard, as the typing thread would.
class TextTyperTest : public ::testing::Test {
protected:
    std::string Type(const std::u16string& text, int method, bool before = false,
                     bool after = false, std::uint32_t pcMin = 0, std::uint32_t pcMax = 0) {
        CAppHelper helper(m_services);
        helper.m_iKeyInputMethod = method;
        helper.m_uCharDelayMin = pcMin;
        helper.m_uCharDelayMax = pcMax;
        helper.m_bSetTextAtCursor = m_bSetText;
        helper.m_ptRunCursor = {10, 20};
        EXPECT_TRUE(helper.TypeMessage(text, before, after).ok());
        return m_keyboard.m_record.Line();
    }

    test::CVirtualClock m_clock;
    test::CRecordingKeyboard m_keyboard;
    test::CFakeTextSetterFactory m_textSetters;
    std::atomic<bool> m_runActive{true};
    KeystrokeServices m_services{m_keyboard, m_textSetters, m_clock, m_runActive};
    bool m_bSetText = false;
};

constexpr int kUnicode = 0;
constexpr int kLayout = 1;

TEST_F(TextTyperTest, LayoutMethodSendsTheKeysWithTheirModifiers) {
    const struct {
        std::u16string text;
        const char* events;
    } cases[] = {
        {u"Ab", "+LShift +A -A -LShift +B -B"},
        {u"a!", "+A -A +LShift +1 -1 -LShift"},
        // AltGr characters are typed with AltGr held, not as the bare key.
        {u"@\u20ac", "+AltGr +Q -Q -AltGr +AltGr +E -E -AltGr"},
        {u"|", "+LCtrl +LAlt +< -< -LAlt -LCtrl"},
        // A character the layout lacks beeps, is skipped, and the rest is still typed.
        {u"a\u0436b", "+A -A Beep +B -B"},
        // Tab and line breaks take the keys that produce them.
        {u"\t\r\n", "+Tab -Tab +Return -Return +Return -Return"},
    };
    for (const auto& c : cases) {
        m_keyboard.m_record = {};
        EXPECT_EQ(Type(c.text, kLayout), c.events);
    }
}

TEST_F(TextTyperTest, AnyMethodValueOtherThanZeroMeansTheLayout) {
    EXPECT_EQ(Type(u"a", -1), "+A -A");
}

TEST_F(TextTyperTest, UnicodeMethodSendsEveryCodeUnitAndNeverBeeps) {
    EXPECT_EQ(Type(u"a\u0436\t", kUnicode), "U+0061v U+0061^ U+0436v U+0436^ U+0009v U+0009^");
    EXPECT_EQ(m_keyboard.m_record.m_iLayoutLoads, 0);
    m_keyboard.m_record = {};
    m_clock.m_sleeps.clear();
    // A character outside the BMP: two pairs, with a pause before each half.
    EXPECT_EQ(Type(u"\U0001F600", kUnicode, false, false, 20, 20),
              "U+D83Dv U+D83D^ U+DE00v U+DE00^");
    EXPECT_EQ(m_clock.m_sleeps, (std::vector<std::uint32_t>{20, 20}));
}

TEST_F(TextTyperTest, ThePauseBeforeEachCharacterFollowsItsBounds) {
    const struct {
        std::uint32_t min;
        std::uint32_t max;
    } cases[] = {{0, 0}, {100, 50}, {20, 20}, {20, 60}};
    for (const auto& c : cases) {
        m_clock.m_sleeps.clear();
        Type(u"abcdefghij", kUnicode, false, false, c.min, c.max);
        ASSERT_EQ(m_clock.m_sleeps.size(), 10u);
        for (std::uint32_t pause : m_clock.m_sleeps) {
            // A minimum above the maximum gives the maximum every time.
            EXPECT_GE(pause, std::min(c.min, c.max));
            EXPECT_LE(pause, c.max);
        }
    }
}

TEST_F(TextTyperTest, EnterIsPressedAroundTheTextEvenWhenThereIsNone) {
    EXPECT_EQ(Type(u"", kLayout, true, true), "Enter Enter");
    EXPECT_TRUE(m_clock.m_sleeps.empty());
    m_keyboard.m_record = {};
    EXPECT_EQ(Type(u"a", kUnicode, true, false), "Enter U+0061v U+0061^");
    m_keyboard.m_record = {};
    EXPECT_EQ(Type(u"a", kUnicode, false, true), "U+0061v U+0061^ Enter");
}

TEST_F(TextTyperTest, AStoppedRunTypesNothingButStillPressesEnter) {
    m_runActive = false;
    EXPECT_EQ(Type(u"abc", kLayout, true, true), "Enter Enter");
    EXPECT_TRUE(m_clock.m_sleeps.empty());
}

TEST_F(TextTyperTest, TheLayoutIsLoadedPerMessageAndReleasedAfterIt) {
    Type(u"ab", kLayout);
    Type(u"cd", kLayout);
    EXPECT_EQ(m_keyboard.m_record.m_iLayoutLoads, 2);
    EXPECT_EQ(m_keyboard.m_record.m_iLayoutUnloads, 2);
    // Only Unicode texts are announced, so the backend binds keys for those alone.
    EXPECT_EQ(m_keyboard.m_record.m_iBeginText, 0);
    Type(u"ef", kUnicode);
    EXPECT_EQ(m_keyboard.m_record.m_iBeginText, 1);
    EXPECT_EQ(m_keyboard.m_record.m_iEndText, 1);
}

TEST_F(TextTyperTest, SetTextReplacesTypingWherePossible) {
    m_bSetText = true;
    m_textSetters.m_screen.m_settable[{10, 20}] = true;
    EXPECT_EQ(Type(u"hello", kUnicode, true, true, 50, 50), "Enter Enter");
    ASSERT_EQ(m_textSetters.m_screen.m_sets.size(), 1u);
    EXPECT_EQ(m_textSetters.m_screen.m_sets[0].second, u"hello");
    EXPECT_TRUE(m_clock.m_sleeps.empty());  // no pauses when setting

    // Setting does not look at the run flag, and an empty text is set too.
    m_runActive = false;
    Type(u"", kUnicode);
    ASSERT_EQ(m_textSetters.m_screen.m_sets.size(), 2u);
    EXPECT_EQ(m_textSetters.m_screen.m_sets[1].second, u"");
}

TEST_F(TextTyperTest, AControlThatTakesNoTextGetsTheMessageTyped) {
    m_bSetText = true;
    m_textSetters.m_screen.m_settable[{10, 20}] = false;
    EXPECT_EQ(Type(u"a", kUnicode), "U+0061v U+0061^");
    m_keyboard.m_record = {};
    m_textSetters.m_screen.m_settable[{10, 20}] = true;
    m_textSetters.m_screen.m_bRefuseSets = true;  // passes the probe, refuses the text
    EXPECT_EQ(Type(u"c", kUnicode), "U+0063v U+0063^");
    m_keyboard.m_record = {};
    m_textSetters.m_screen.m_bRefuseConnection = true;  // no accessibility bus
    EXPECT_EQ(Type(u"b", kUnicode), "U+0062v U+0062^");
}

TEST_F(TextTyperTest, WithSetTextOffNoConnectionIsMade) {
    Type(u"abc", kUnicode);
    EXPECT_EQ(m_textSetters.m_screen.m_iSetters, 0);
    EXPECT_EQ(m_textSetters.m_screen.m_iProbes, 0);
}

TEST_F(TextTyperTest, NoModifierIsLeftDownAndNoneIsHeldWhereNotNeeded) {
    Type(u"aB@c|d", kLayout);
    const std::vector<std::uint8_t> expected = {
        0, KEY_MODIFIER_SHIFT, KEY_MODIFIER_LEVEL3, 0, KEY_MODIFIER_CONTROL | KEY_MODIFIER_ALT, 0};
    EXPECT_EQ(m_keyboard.m_record.m_heldModifiers, expected);
    // Every press has its release.
    int balance = 0;
    for (const std::string& event : m_keyboard.m_record.m_events) {
        balance += event[0] == '+' ? 1 : (event[0] == '-' ? -1 : 0);
    }
    EXPECT_EQ(balance, 0);
}

}  // namespace
}  // namespace quenby

#include "input/AppHelper.h"
#include "input/TextTyper.h"
#include "support/CoreFixture.h"

namespace quenby {
namespace {

constexpr int kUnicode = 0;
constexpr int kLayout = 1;

// One message typed by CAppHelper over the recording keyboard, as the typing thread would.
class TextTyperTest : public test::CoreFixture {
protected:
    void SetUp() override { m_runActive = true; }
    std::string Type(const std::u16string& text, int method, bool before = false,
                     bool after = false, std::uint32_t pcMin = 0, std::uint32_t pcMax = 0) {
        m_keyboard.m_record.m_events.clear();
        CAppHelper helper(m_keystrokes);
        helper.m_iKeyInputMethod = method;
        helper.m_uCharDelayMin = pcMin;
        helper.m_uCharDelayMax = pcMax;
        helper.m_bSetTextAtCursor = m_bSetText;
        helper.m_ptRunCursor = {10, 20};
        EXPECT_TRUE(helper.TypeMessage(text, before, after).ok());
        return m_keyboard.m_record.Line();
    }

    bool m_bSetText = false;
};

TEST_F(TextTyperTest, LayoutMethodSendsTheKeysWithTheirModifiers) {
    const struct {
        std::u16string text;
        const char* events;
    } cases[] = {
        {u"Ab", "+LShift +A -A -LShift +B -B"},
        {u"a!", "+A -A +LShift +1 -1 -LShift"},
        // AltGr characters are typed with AltGr held, not as the bare key.
        {u"@\u20ac", "+AltGr +Q -Q -AltGr +AltGr +E -E -AltGr"},
        {u"|\u2192", "+LCtrl +LAlt +< -< -LAlt -LCtrl +Level5 +V -V -Level5"},
        // A character the layout lacks beeps, is skipped, and the rest is still typed.
        {u"a\u0436b", "+A -A Beep +B -B"},
        // Tab and line breaks take the keys that produce them.
        {u"\t\r\n", "+Tab -Tab +Return -Return +Return -Return"},
    };
    for (const int method : {kLayout, -1}) {  // any value but 0 means the layout
        for (const auto& c : cases) {
            EXPECT_EQ(Type(c.text, method), c.events) << method;
        }
    }
}

TEST_F(TextTyperTest, UnicodeMethodSendsEveryCodeUnitAndNeverBeeps) {
    EXPECT_EQ(Type(u"a\u0436\t", kUnicode), "U+0061v U+0061^ U+0436v U+0436^ U+0009v U+0009^");
    // A character outside the BMP: two pairs, with a pause before each half.
    EXPECT_EQ(Type(u"\U0001F600", kUnicode, false, false, 20, 20),
              "U+D83Dv U+D83D^ U+DE00v U+DE00^");
    EXPECT_EQ(m_clock.m_sleeps, (std::vector<std::uint32_t>{0, 0, 0, 20, 20}));
    // Only Unicode texts are announced, so the backend binds keys for those alone; no layout is
    // loaded for them, and one is loaded for each message typed by the layout's keys.
    EXPECT_EQ(m_keyboard.m_record.m_iBeginText, 2);
    EXPECT_EQ(m_keyboard.m_record.m_iEndText, 2);
    EXPECT_EQ(m_keyboard.m_record.m_iLayoutLoads, 0);
    Type(u"ab", kLayout);
    Type(u"cd", kLayout);
    EXPECT_EQ(m_keyboard.m_record.m_iBeginText, 2);
    EXPECT_EQ(m_keyboard.m_record.m_iLayoutLoads, 2);
    EXPECT_EQ(m_keyboard.m_record.m_iLayoutUnloads, 2);
    m_clock.m_sleeps.clear();
    Type(u"abcde", kUnicode, false, false, 100, 50);  // a minimum above the maximum: the maximum
    EXPECT_EQ(m_clock.m_sleeps, std::vector<std::uint32_t>(5, 50));
}

TEST_F(TextTyperTest, EnterIsPressedAroundTheTextEvenWhenThereIsNoneOrTheRunStopped) {
    EXPECT_EQ(Type(u"", kLayout, true, true), "Enter Enter");
    EXPECT_EQ(Type(u"a", kUnicode, true, false), "Enter U+0061v U+0061^");
    EXPECT_EQ(Type(u"a", kUnicode, false, true), "U+0061v U+0061^ Enter");
    m_runActive = false;  // a stopped run types nothing more
    EXPECT_EQ(Type(u"abc", kLayout, true, true), "Enter Enter");
    EXPECT_EQ(Type(u"abc", kUnicode, false, true), "Enter");
    EXPECT_EQ(m_clock.m_sleeps.size(), 2u);
    // The keys bound for the text are released all the same.
    EXPECT_EQ(m_keyboard.m_record.m_iEndText, m_keyboard.m_record.m_iBeginText);
}

TEST_F(TextTyperTest, SetTextReplacesTypingWherePossible) {
    m_textSetters.m_screen.m_settable[{10, 20}] = true;
    Type(u"abc", kUnicode);  // set-text off: no accessibility connection is made
    EXPECT_EQ(m_textSetters.m_screen.m_iSetters, 0);
    EXPECT_EQ(m_textSetters.m_screen.m_iProbes, 0);

    m_bSetText = true;
    m_clock.m_sleeps.clear();
    EXPECT_EQ(Type(u"hello", kUnicode, true, true, 50, 50), "Enter Set:hello Enter");
    EXPECT_EQ(m_textSetters.m_screen.m_sets[0].first, (ScreenPoint{10, 20}));
    EXPECT_TRUE(m_clock.m_sleeps.empty());  // no pauses when setting
    // Setting does not look at the run flag, and an empty text is set too.
    m_runActive = false;
    EXPECT_EQ(Type(u"", kUnicode), "Set:");
    m_runActive = true;
    // A control that takes no text, or passes the probe but refuses the text (a slider given
    // words), or no accessibility bus at all: the message is typed.
    m_textSetters.m_screen.m_bRefuseSets = true;
    EXPECT_EQ(Type(u"c", kUnicode), "U+0063v U+0063^");
    m_textSetters.m_screen.m_settable[{10, 20}] = false;
    EXPECT_EQ(Type(u"a", kUnicode), "U+0061v U+0061^");
    m_textSetters.m_screen.m_bRefuseConnection = true;
    EXPECT_EQ(Type(u"b", kUnicode), "U+0062v U+0062^");
}

}  // namespace
}  // namespace quenby

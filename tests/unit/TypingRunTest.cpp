#include <algorithm>
#include <cstdlib>

#include "app/Commands.h"
#include "app/Texts.h"
#include "support/CoreFixture.h"

namespace quenby {
namespace {

using test::Fields;
using Typed = std::vector<std::string>;

// Runs of the typing scheduler, driven as a user would: messages added in the editor, the count
// typed into the count box, the shortcut pressed. Typing uses Unicode events, so the virtual time
// at which a message without pauses starts is its scheduled time.
class TypingRunTest : public test::CoreFixture {
protected:
    void SetUp() override { m_profile.WriteInt("Settings", "m_iKeyInputMethod", 0); }
    // A message with this delay, Enter after it and no pauses.
    static MessageEditorFields Message(std::u16string text, int seconds, int milliSeconds) {
        return Fields(std::move(text), seconds, milliSeconds, false, true, 0, 0);
    }
    void StartWith(const std::vector<MessageEditorFields>& messages, int count) {
        Start();
        AddMessages(messages);
        SetCount(count);
    }
    bool Running() const { return m_runActive.load(); }
};

TEST_F(TypingRunTest, EachMessageWaitsItsOwnDelayAndTheRunEndsAfterCountPasses) {
    StartWith({Message(u"one", 1, 0), Message(u"two", 0, 0), Message(u"three", 0, 500)}, 2);
    PressHotKey();
    EXPECT_TRUE(Running());
    EXPECT_EQ(m_view.m_runIcons.back(), true);
    RunUntilIdle();
    EXPECT_EQ(TypedMessages(),
              (Typed{"one@1000", "two@1000", "three@1500", "one@2500", "two@2500", "three@3000"}));
    EXPECT_TRUE(Stopped());
}

TEST_F(TypingRunTest, EachMessageIsTypedWithItsOwnEnterKeysAndPauses) {
    StartWith({Fields(u"ab", 0, 0, true, false, 0, 0),
               Fields(std::u16string(100, u'x'), 0, 0, false, true, 30, 50)},
              1);
    PressHotKey();
    RunUntilIdle();
    std::string expected = "Enter U+0061v U+0061^ U+0062v U+0062^";
    for (int i = 0; i < 100; ++i) {
        expected += " U+0078v U+0078^";
    }
    EXPECT_EQ(m_keyboard.m_record.Line(), expected + " Enter");
    EXPECT_GE(m_keyboard.m_record.m_events[5].m_time, 30u);  // the pause comes before the first x
    const std::vector<std::uint32_t>& pauses = m_clock.m_sleeps;
    ASSERT_EQ(pauses.size(), 102u);
    EXPECT_EQ(pauses[0] + pauses[1], 0u);
    const auto [low, high] = std::minmax_element(pauses.begin() + 2, pauses.end());
    EXPECT_GE(*low, 30u);
    EXPECT_LE(*high, 50u);
    // Drawn from the whole range: 100 draws of one value out of 21 has a chance of 21^-99.
    EXPECT_LT(*low, *high);
}

TEST_F(TypingRunTest, CountZeroOrAHugeCountTypesUntilTheShortcutStopsIt) {
    StartWith({Message(u"a", 0, 100), Message(u"b", 0, 100)}, 0);
    for (const int count : {0, 2147483647}) {  // count x rows may not fit in 32 bits
        SetCount(count);
        m_keyboard.m_record.m_events.clear();
        PressHotKey();
        Advance(1050);
        EXPECT_EQ(TypedMessages().size(), 10u);
        EXPECT_TRUE(Running());
        PressHotKey();
        EXPECT_TRUE(Stopped());
        Advance(10000);
        EXPECT_EQ(TypedMessages().size(), 10u);
    }
    // Closing the window ends a run that waits for its next message.
    PressHotKey();
    m_view.m_answers = {EMessageResult::No};  // the unsaved messages go
    Controller().OnClose();
    EXPECT_TRUE(Stopped());
}

TEST_F(TypingRunTest, ANewRunStartsAtTheFirstMessageWithTheWholeCount) {
    StartWith({Message(u"a", 0, 10), Message(u"b", 0, 10), Message(u"c", 0, 10)}, 1);
    PressHotKey();
    Advance(10);
    PressHotKey();  // stopped while b waits
    PressHotKey();
    RunUntilIdle();
    PressHotKey();  // after a run that ended by itself
    RunUntilIdle();
    EXPECT_EQ(TypedMessages(), (Typed{"a@10", "a@20", "b@30", "c@40", "a@50", "b@60", "c@70"}));
}

TEST_F(TypingRunTest, RandomOrderDrawsEveryMessageAlikeInNoFixedOrder) {
    StartWith({Message(u"a", 0, 0), Message(u"b", 0, 0), Message(u"c", 0, 0)}, 1000);
    m_view.m_bRandomOrder = true;
    PressHotKey();
    RunUntilIdle();
    std::string order;
    for (const std::string& message : TypedMessages()) {
        order += message.substr(0, message.find('@'));
    }
    ASSERT_EQ(order.size(), 3000u);  // count x rows draws
    for (const char message : {'a', 'b', 'c'}) {
        // About 1000 each (standard deviation 26): 150 off has a chance below 1e-8.
        EXPECT_LT(std::abs(std::count(order.begin(), order.end(), message) - 1000), 150) << message;
    }
    EXPECT_NE(order.substr(0, 30), "abcabcabcabcabcabcabcabcabcabc");  // not the list order
}

TEST_F(TypingRunTest, ARunThatCannotGoOnEndsAtOnceAndSilently) {
    // A negative count, which only the profile can hold: the box shows it, and it is no entry
    // of the user's to refuse.
    m_profile.WriteInt("Settings", "m_iCount", -1);
    Start();
    AddMessages({Message(u"a", 0, 0)});
    PressHotKey();
    EXPECT_TRUE(Stopped());
    EXPECT_TRUE(m_view.m_messages.empty());
    SetCount(5);
    m_clock.m_bRefuseTimers = true;  // a timer that cannot be armed
    PressHotKey();
    EXPECT_TRUE(Stopped());
    m_clock.m_bRefuseTimers = false;
    Controller().OnDeleteAllRecords();  // an empty list
    PressHotKey();
    EXPECT_TRUE(Stopped());
    RunUntilIdle();
    EXPECT_TRUE(TypedMessages().empty());
    EXPECT_TRUE(m_view.m_messages.empty());
}

TEST_F(TypingRunTest, TheShortcutWhileAMessageIsTypedTakesEffectAfterIt) {
    UseManualTypist();
    StartWith({Message(u"a", 0, 100), Message(u"b", 0, 100)}, 0);
    PressHotKey();
    Advance(100);
    ASSERT_TRUE(m_manualTypist.Busy());
    PressHotKey();  // arrives mid-message
    EXPECT_TRUE(Running());
    m_manualTypist.Finish();
    EXPECT_TRUE(Stopped());
    EXPECT_EQ(m_manualTypist.m_jobs.size(), 1u);
    // Two presses mid-message stop the run and start it again.
    PressHotKey();
    Advance(100);
    PressHotKey();
    PressHotKey();
    m_manualTypist.Finish();
    EXPECT_TRUE(Running());
    Advance(100);
    EXPECT_EQ(m_manualTypist.m_jobs.size(), 3u);
    m_manualTypist.Finish();
    PressHotKey();  // stopped again, between messages

    // During the last message of a run that then ends by itself, it starts a new run after it.
    SetCount(1);
    PressHotKey();
    Advance(100);
    m_manualTypist.Finish();
    Advance(100);
    ASSERT_TRUE(m_manualTypist.Busy());
    PressHotKey();
    m_manualTypist.Finish();
    EXPECT_TRUE(Running());
    Advance(100);
    EXPECT_EQ(m_manualTypist.m_jobs.size(), 6u);

    // Closing while a message is typed ends the run, and the window closes after the message.
    ASSERT_TRUE(m_manualTypist.Busy());
    Controller().OnClose();
    EXPECT_FALSE(m_view.m_bDestroyed);
    EXPECT_FALSE(Running());  // the typer stops at its next character
    m_view.m_answers = {EMessageResult::No};
    m_manualTypist.Finish();
    EXPECT_TRUE(m_view.m_bDestroyed);
    EXPECT_TRUE(Stopped());
}

TEST_F(TypingRunTest, TheCountAndTheRowsAreReadAtEveryStep) {
    StartWith({Message(u"a", 0, 10), Message(u"b", 0, 10), Message(u"c", 0, 10)}, 0);
    PressHotKey();
    Advance(40);  // a b c a
    // Lower the count below what was already typed: the message already scheduled (b) is typed,
    // and the step after it finds the limit passed.
    SetCount(1);
    Advance(10);
    EXPECT_EQ(TypedMessages().size(), 5u);
    EXPECT_TRUE(Stopped());

    // A row deleted during a run with count 1: the limit is now 1 x 2 rows.
    m_keyboard.m_record.m_events.clear();
    PressHotKey();
    Advance(10);  // a
    m_view.m_selected = 2;
    Controller().OnDeleteSelected();
    RunUntilIdle();
    EXPECT_EQ(TypedMessages(), (Typed{"a@60", "b@70"}));
    EXPECT_TRUE(Stopped());
    // Delete All while a message waits: the run ends at its step, with no timer left.
    SetCount(0);
    PressHotKey();
    Controller().OnDeleteAllRecords();
    Advance(10);
    EXPECT_TRUE(Stopped());
    AddMessages({Message(u"new", 0, 0)});
    Advance(1000);
    EXPECT_EQ(TypedMessages().size(), 2u);
}

TEST_F(TypingRunTest, AnUnreadableCountKeepsThePreviousOneAndSaysSo) {
    StartWith({Message(u"a", 0, 10)}, 2);
    for (const char16_t* bad : {u"", u"2147483648", u"abc", u"1 2", u"-3", u"+3", u"0x10"}) {
        m_view.m_strCount = bad;
        Controller().OnCountChanged();
        EXPECT_EQ(m_view.MessageTexts().back(), text::kEnterInteger);
        EXPECT_EQ(m_profile.GetInt("Settings", "m_iCount", 5), 2);
    }
    PressHotKey();  // still toggles, with count 2
    RunUntilIdle();
    EXPECT_EQ(TypedMessages().size(), 2u);
}

TEST_F(TypingRunTest, SetTextUsesThePointWhereTheRunStartedOrTheFocusedField) {
    m_profile.WriteInt("Settings", "TextSettingUp", 1);
    m_textSetters.m_screen.m_settable[{10, 20}] = true;
    StartWith({Message(u"first", 0, 10), Message(u"second", 0, 10)}, 1);
    PressHotKey();
    m_pointer.m_position = ScreenPoint{500, 500};  // moving the mouse changes nothing
    RunUntilIdle();
    ASSERT_EQ(m_textSetters.m_screen.m_sets.size(), 2u);
    EXPECT_EQ(m_textSetters.m_screen.m_sets[1].first, (ScreenPoint{10, 20}));
    // Enter after each, into the focused window.
    EXPECT_EQ(m_keyboard.m_record.Line(), "Set:first Enter Set:second Enter");

    // Without a pointer position the run types.
    m_pointer.m_position.reset();
    PressHotKey();
    RunUntilIdle();
    EXPECT_EQ(TypedMessages(), (Typed{"first@30", "second@40"}));
    // Where there is no pointer (Wayland), into the field with the keyboard focus, or typed where
    // that field takes no text (read-only, a button).
    m_pointer.m_position = kFocusedField;
    for (const bool settable : {true, false}) {
        m_textSetters.m_screen.m_bFocusedFieldSettable = settable;
        PressHotKey();
        RunUntilIdle();
    }
    ASSERT_EQ(m_textSetters.m_screen.m_sets.size(), 4u);
    EXPECT_EQ(m_textSetters.m_screen.m_sets[3].first, kFocusedField);
    EXPECT_EQ(TypedMessages().size(), 4u);
}

TEST_F(TypingRunTest, ScreenshotCopiesAfter300msAndTellsAfter200More) {
    Start();
    Controller().OnCommand(ID_SCREENSHOT_TO_CLIPBOARD);
    Advance(299);
    EXPECT_EQ(m_view.m_iClipboardCopies, 0);
    Advance(1);
    EXPECT_EQ(m_view.m_iClipboardCopies, 1);
    Advance(199);
    EXPECT_TRUE(m_view.m_messages.empty());
    Advance(1);
    EXPECT_EQ(m_view.MessageTexts(), std::vector<std::u16string_view>{text::kScreenshotSent});
    EXPECT_FALSE(m_clock.IsArmed(TIMER_SCREENSHOT_KEYS));
    EXPECT_FALSE(m_clock.IsArmed(TIMER_SCREENSHOT_NOTICE));
}

}  // namespace
}  // namespace quenby

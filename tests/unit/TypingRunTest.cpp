#include "app/Commands.h"
#include "app/Texts.h"
#include "storage/DataFileCodec.h"
#include "support/ControllerFixture.h"

namespace quenby {
namespace {

using test::Fields;

// Runs of the typing scheduler, driven as a user would: messages added in the editor, the count
// typed into the count box, the shortcut pressed. Typing uses Unicode events and no pauses, so
// the virtual time at which each message starts is its scheduled time.
class TypingRunTest : public test::ControllerFixture {
protected:
    void SetUp() override { m_profile.WriteInt("Settings", "m_iKeyInputMethod", 0); }
    // Starts the window with these messages (Enter after each, no pauses) and this count.
    void StartWith(const std::vector<std::pair<std::string, std::pair<int, int>>>& messages,
                   int count) {
        Start();
        std::vector<MessageEditorFields> fields;
        for (const auto& [text, delay] : messages) {
            fields.push_back(Fields(std::u16string(text.begin(), text.end()), delay.first,
                                    delay.second, false, true, 0, 0));
        }
        AddMessages(fields);
        m_view.m_strCount = FormatSigned(count);
        Controller().OnCountChanged();
    }
    bool Running() const { return m_runActive.load(); }
};

TEST_F(TypingRunTest, EachMessageWaitsItsOwnDelayAndTheRunEndsByItself) {
    StartWith({{"one", {1, 0}}, {"two", {0, 0}}, {"three", {0, 500}}}, 1);
    PressHotKey();
    EXPECT_TRUE(Running());
    EXPECT_EQ(m_view.m_runIcons.back(), true);
    RunUntilIdle();
    EXPECT_EQ(TypedMessages(), (std::vector<std::string>{"one@1000", "two@1000", "three@1500"}));
    EXPECT_FALSE(Running());
    EXPECT_EQ(m_view.m_runIcons.back(), false);
    EXPECT_FALSE(m_clock.IsArmed(TIMER_NEXT_MESSAGE));
}

TEST_F(TypingRunTest, CountTwoGoesThroughTheListTwice) {
    StartWith({{"a", {0, 10}}, {"b", {0, 10}}}, 2);
    PressHotKey();
    RunUntilIdle();
    EXPECT_EQ(TypedMessages(), (std::vector<std::string>{"a@10", "b@20", "a@30", "b@40"}));
}

TEST_F(TypingRunTest, CountZeroTypesUntilTheShortcutStopsIt) {
    StartWith({{"a", {0, 100}}, {"b", {0, 100}}}, 0);
    PressHotKey();
    Advance(1050);
    EXPECT_EQ(TypedMessages().size(), 10u);
    EXPECT_TRUE(Running());
    PressHotKey();
    EXPECT_FALSE(Running());
    EXPECT_FALSE(m_clock.IsArmed(TIMER_NEXT_MESSAGE));
    Advance(10000);
    EXPECT_EQ(TypedMessages().size(), 10u);
}

TEST_F(TypingRunTest, RandomOrderDrawsCountTimesRowsMessages) {
    StartWith({{"only", {0, 0}}}, 3);
    m_view.m_bRandomOrder = true;
    PressHotKey();
    RunUntilIdle();
    EXPECT_EQ(TypedMessages(), (std::vector<std::string>{"only@0", "only@0", "only@0"}));

    m_keyboard.m_record = {};
    AddMessages({Fields(u"x", 0, 0, false, true, 0, 0), Fields(u"y", 0, 0, false, true, 0, 0)});
    m_view.m_strCount = u"1";
    PressHotKey();
    RunUntilIdle();
    const std::vector<std::string> typed = TypedMessages();
    EXPECT_EQ(typed.size(), 3u);  // count 1 over three rows: three independent draws
    for (const std::string& message : typed) {
        EXPECT_TRUE(message == "only@0" || message == "x@0" || message == "y@0") << message;
    }
}

TEST_F(TypingRunTest, ANegativeCountOrAnEmptyListEndsAtOnce) {
    StartWith({{"a", {0, 0}}}, -1);
    PressHotKey();
    EXPECT_FALSE(Running());
    EXPECT_FALSE(m_clock.IsArmed(TIMER_NEXT_MESSAGE));
    EXPECT_EQ(m_view.m_runIcons.back(), false);
    EXPECT_TRUE(m_view.m_messages.empty());

    Controller().OnDeleteAllRecords();
    m_view.m_strCount = u"5";
    PressHotKey();
    EXPECT_FALSE(Running());
    RunUntilIdle();
    EXPECT_TRUE(TypedMessages().empty());
}

TEST_F(TypingRunTest, AHugeCountDoesNotOverflowIntoAnEarlyEnd) {
    StartWith({{"a", {0, 1}}, {"b", {0, 1}}}, 2147483647);
    PressHotKey();
    Advance(20);
    EXPECT_TRUE(Running());
    EXPECT_EQ(TypedMessages().size(), 20u);
}

TEST_F(TypingRunTest, TheShortcutWhileAMessageIsTypedTakesEffectAfterIt) {
    UseManualTypist();
    StartWith({{"a", {0, 100}}, {"b", {0, 100}}}, 0);
    PressHotKey();
    Advance(100);
    ASSERT_TRUE(m_manualTypist.Busy());
    PressHotKey();  // arrives mid-message
    EXPECT_TRUE(Running());
    m_manualTypist.Finish();
    EXPECT_FALSE(Running());
    EXPECT_FALSE(m_clock.IsArmed(TIMER_NEXT_MESSAGE));
    EXPECT_EQ(m_manualTypist.m_jobs.size(), 1u);
    EXPECT_EQ(m_view.m_runIcons.back(), false);
}

TEST_F(TypingRunTest, TheShortcutDuringTheLastMessageStartsANewRunAfterIt) {
    UseManualTypist();
    StartWith({{"a", {0, 100}}}, 1);
    PressHotKey();
    Advance(100);
    ASSERT_TRUE(m_manualTypist.Busy());
    PressHotKey();
    m_manualTypist.Finish();  // the run ended by itself; the queued press starts a new one
    EXPECT_TRUE(Running());
    Advance(100);
    EXPECT_EQ(m_manualTypist.m_jobs.size(), 2u);
}

TEST_F(TypingRunTest, TheCountAndTheRowsAreReadAtEveryStep) {
    StartWith({{"a", {0, 10}}, {"b", {0, 10}}, {"c", {0, 10}}}, 0);
    PressHotKey();
    Advance(40);  // a b c a
    EXPECT_EQ(TypedMessages().size(), 4u);
    // Lower the count below what was already typed: the run ends at its next step.
    m_view.m_strCount = u"1";
    Controller().OnCountChanged();
    EXPECT_EQ(m_profile.GetInt("Settings", "m_iCount", 5), 1);
    // The message already scheduled (b) is typed; the step after it finds the limit passed.
    Advance(10);
    EXPECT_EQ(TypedMessages().size(), 5u);
    EXPECT_FALSE(Running());
    EXPECT_FALSE(m_clock.IsArmed(TIMER_NEXT_MESSAGE));
}

TEST_F(TypingRunTest, DeletingRowsShortensTheRun) {
    StartWith({{"a", {0, 10}}, {"b", {0, 10}}, {"c", {0, 10}}}, 1);
    PressHotKey();
    Advance(10);  // a
    m_view.m_selected = 2;
    Controller().OnDeleteSelected();  // c goes: the limit is now 1 x 2 rows
    RunUntilIdle();
    EXPECT_EQ(TypedMessages(), (std::vector<std::string>{"a@10", "b@20"}));
    EXPECT_FALSE(Running());
}

TEST_F(TypingRunTest, DeleteAllDuringARunEndsItAtItsNextStepWithNoTimerLeft) {
    StartWith({{"a", {0, 10}}, {"b", {0, 10}}}, 0);
    PressHotKey();
    Advance(10);
    Controller().OnDeleteAllRecords();
    Advance(10);
    EXPECT_FALSE(Running());
    EXPECT_FALSE(m_clock.IsArmed(TIMER_NEXT_MESSAGE));
    AddMessages({Fields(u"new", 0, 0, false, true, 0, 0)});
    Advance(1000);
    EXPECT_EQ(TypedMessages(), (std::vector<std::string>{"a@10"}));
}

TEST_F(TypingRunTest, AnUnreadableCountKeepsThePreviousOneAndSaysSo) {
    StartWith({{"a", {0, 10}}}, 2);
    m_view.m_strCount = u"";
    Controller().OnCountChanged();
    EXPECT_EQ(m_view.MessageTexts().back(), text::kEnterInteger);
    EXPECT_EQ(m_profile.GetInt("Settings", "m_iCount", 5), 2);  // the previous count again
    for (const char16_t* bad : {u"2147483648", u"abc", u"1 2"}) {
        m_view.m_strCount = bad;
        Controller().OnCountChanged();
        EXPECT_EQ(m_profile.GetInt("Settings", "m_iCount", 5), 2);
    }
    PressHotKey();  // still toggles, with count 2
    RunUntilIdle();
    EXPECT_EQ(TypedMessages().size(), 2u);
}

TEST_F(TypingRunTest, ATimerThatCannotBeArmedEndsTheRunSilently) {
    StartWith({{"a", {0, 10}}}, 1);
    m_clock.m_bRefuseTimers = true;
    PressHotKey();
    EXPECT_FALSE(Running());
    EXPECT_TRUE(m_view.m_messages.empty());
}

TEST_F(TypingRunTest, KeysThatCannotBeSentStopTheRunWithAMessage) {
    StartWith({{"a", {0, 10}}}, 0);
    m_keyboard.m_bFailOpen = true;
    PressHotKey();
    Advance(10);
    EXPECT_FALSE(Running());
    EXPECT_FALSE(m_clock.IsArmed(TIMER_NEXT_MESSAGE));
    ASSERT_EQ(m_view.m_messages.size(), 1u);
    EXPECT_NE(m_view.m_messages[0].m_strText.find(u"Cannot open display"), std::u16string::npos);
    EXPECT_EQ(m_view.m_messages[0].m_icon, EMessageIcon::Error);
}

TEST_F(TypingRunTest, SetTextUsesThePointWhereTheRunStarted) {
    m_profile.WriteInt("Settings", "TextSettingUp", 1);
    m_textSetters.m_screen.m_settable[{10, 20}] = true;
    StartWith({{"first", {0, 10}}, {"second", {0, 10}}}, 1);
    PressHotKey();
    m_pointer.m_position = ScreenPoint{500, 500};  // moving the mouse changes nothing
    RunUntilIdle();
    ASSERT_EQ(m_textSetters.m_screen.m_sets.size(), 2u);
    EXPECT_EQ(m_textSetters.m_screen.m_sets[0].first, (ScreenPoint{10, 20}));
    EXPECT_EQ(m_textSetters.m_screen.m_sets[1].second, u"second");
    EXPECT_TRUE(TypedMessages().empty());
    // Enter after each, into the focused window.
    EXPECT_EQ(m_keyboard.m_record.Line(), "Enter Enter");
}

TEST_F(TypingRunTest, WithoutAPointerPositionTheRunTypes) {
    m_profile.WriteInt("Settings", "TextSettingUp", 1);
    m_textSetters.m_screen.m_settable[{10, 20}] = true;
    m_pointer.m_position.reset();
    StartWith({{"typed", {0, 10}}}, 1);
    PressHotKey();
    RunUntilIdle();
    EXPECT_EQ(TypedMessages(), (std::vector<std::string>{"typed@10"}));
    EXPECT_EQ(m_textSetters.m_screen.m_iSetters, 0);
}

TEST_F(TypingRunTest, ClosingWhileAMessageIsTypedEndsItThenCloses) {
    UseManualTypist();
    StartWith({{"long message", {0, 10}}}, 0);
    PressHotKey();
    Advance(10);
    ASSERT_TRUE(m_manualTypist.Busy());
    Controller().OnClose();
    EXPECT_FALSE(m_view.m_bDestroyed);
    EXPECT_FALSE(m_runActive.load());  // the typer stops at its next character
    m_view.m_answers = {EMessageResult::No};
    m_manualTypist.Finish();
    EXPECT_TRUE(m_view.m_bDestroyed);
    EXPECT_FALSE(m_clock.IsArmed(TIMER_NEXT_MESSAGE));
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
    ASSERT_EQ(m_view.m_messages.size(), 1u);
    EXPECT_EQ(m_view.m_messages[0].m_strText, text::kScreenshotSent);
    EXPECT_FALSE(m_clock.IsArmed(TIMER_SCREENSHOT_KEYS));
    EXPECT_FALSE(m_clock.IsArmed(TIMER_SCREENSHOT_NOTICE));
}

}  // namespace
}  // namespace quenby

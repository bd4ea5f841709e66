#include <chrono>
#include <thread>

#include "app/Commands.h"
#include "app/Texts.h"
#include "input/ThreadSleeper.h"
#include "support/CoreFixture.h"

namespace quenby {
namespace {

using test::Fields;

// Runs ended at once (Esc, Stop Now, `--stop`), by the focus moving, by the focus in Quenby's own
// window, and by keys that stop reaching the system: in virtual time, with what other threads do
// meanwhile played at its time.
class RunStopTest : public test::CoreFixture {
protected:
    // A fresh window whose one message is typed once, with 100 ms before each character, after
    // a delay of `delay` ms; Enter after. The run is started.
    void StartRun(int delay, int method = KEY_INPUT_UNICODE, std::u16string text = u"abc") {
        m_profile.WriteInt("Settings", "m_iKeyInputMethod", method);
        m_keyboard.m_record.m_events.clear();
        Restart();
        AddMessages(
            {Fields(std::move(text), 0, delay, method == KEY_INPUT_LAYOUT, true, 100, 100)});
        SetCount(1);
        PressHotKey();
    }
    void At(std::uint64_t time, std::function<void()> happening) {
        m_clock.m_during.emplace(time, std::move(happening));
    }
};

TEST_F(RunStopTest, StopNowDuringTheDelayOrAPauseEndsTheRunAndNothingMoreIsTyped) {
    StartRun(2000);
    Advance(1000);
    EXPECT_TRUE(Controller().OnStopNow());
    EXPECT_TRUE(Stopped());
    Advance(10000);
    EXPECT_TRUE(m_keyboard.m_record.m_events.empty());
    EXPECT_FALSE(Controller().OnStopNow());  // nothing left to stop
    // Stop Now in the tray menu is the same stop.
    PressHotKey();
    EXPECT_TRUE(Controller().OnCommand(ID_STOP_NOW));
    EXPECT_TRUE(Stopped());
    Advance(10000);
    EXPECT_TRUE(m_keyboard.m_record.m_events.empty());

    // During a pause: "a" 100 ms in; the pause before "b" ends at the stop, 150 ms in, and
    // nothing follows, not Enter.
    StartRun(0);
    const std::uint64_t began = m_clock.Now();
    At(began + 150, [this] { EXPECT_TRUE(Controller().OnStopNow()); });
    Advance(0);
    EXPECT_EQ(m_keyboard.m_record.Line(), "U+0061v U+0061^");
    EXPECT_EQ(m_clock.Now(), began + 150);
    EXPECT_TRUE(Stopped());
    EXPECT_TRUE(m_view.m_messages.empty());
    EXPECT_TRUE(m_view.m_runNotices.empty());
}

TEST_F(RunStopTest, StopNowDuringACharacterFinishesItReleasesItsKeysAndTheNextRunTypes) {
    StartRun(0, KEY_INPUT_LAYOUT, u"aBc");
    m_keyboard.m_onEvent = [this](const std::string& event) {
        if (event == "+B") {
            Controller().OnStopNow();
        }
    };
    Advance(0);
    // Enter before, "a", and the "B" in flight with its Shift let go; no "c", no Enter after.
    EXPECT_EQ(m_keyboard.m_record.Line(), "Enter +A -A +LShift +B -B -LShift");
    EXPECT_TRUE(Stopped());
    // The stop belonged to that run: the next one types in full.
    m_keyboard.m_onEvent = nullptr;
    m_keyboard.m_record.m_events.clear();
    PressHotKey();
    RunUntilIdle();
    EXPECT_EQ(m_keyboard.m_record.Line(), "Enter +A -A +LShift +B -B -LShift +C -C Enter");
}

TEST_F(RunStopTest, AnotherWindowTakingTheFocusStopsTheRunWhenTheSettingIsOn) {
    for (const bool stopOnFocusChange : {true, false}) {
        SCOPED_TRACE(stopOnFocusChange);
        m_settings.SetStopOnFocusChange(stopOnFocusChange ? 1 : 0);
        m_focus.m_focused = FocusedWindow{1, false};
        StartRun(0);
        // Another field of the same window, then another window.
        At(50, [this] { m_focus.MoveFocus(FocusedWindow{1, false}); });
        At(150, [this] { m_focus.MoveFocus(FocusedWindow{2, false}); });
        RunUntilIdle();
        EXPECT_TRUE(Stopped());
        if (stopOnFocusChange) {
            // The pause before "b" ended when the focus moved.
            EXPECT_EQ(m_keyboard.m_record.Line(), "U+0061v U+0061^");
            EXPECT_EQ(m_clock.Now(), 150u);
            EXPECT_EQ(m_view.m_runNotices,
                      (std::vector<std::u16string>{std::u16string(text::kFocusMoved)}));
        } else {
            // The run goes on into the window that has the focus now.
            EXPECT_EQ(TypedMessages(), (std::vector<std::string>{"abc@100"}));
            EXPECT_TRUE(m_view.m_runNotices.empty());
        }
        m_clock = test::CVirtualClock{};
    }
}

TEST_F(RunStopTest, TheFocusInQuenbysOwnWindowTypesNothingThereWhateverTheSetting) {
    for (const bool stopOnFocusChange : {true, false}) {
        SCOPED_TRACE(stopOnFocusChange);
        m_settings.SetStopOnFocusChange(stopOnFocusChange ? 1 : 0);
        // At the start of a message: not even Enter before is sent.
        m_focus.m_focused = FocusedWindow{7, true};
        StartRun(0, KEY_INPUT_LAYOUT);
        RunUntilIdle();
        EXPECT_TRUE(m_keyboard.m_record.m_events.empty());
        EXPECT_TRUE(Stopped());
        EXPECT_EQ(m_view.m_runNotices,
                  (std::vector<std::u16string>{std::u16string(text::kFocusInQuenby)}));
        // Mid-message: nothing more goes to it.
        m_focus.m_focused = FocusedWindow{1, false};
        m_keyboard.m_onEvent = [this](const std::string& event) {
            if (event == "-A") {
                m_focus.MoveFocus(FocusedWindow{7, true});
            }
        };
        PressHotKey();
        RunUntilIdle();
        EXPECT_EQ(m_keyboard.m_record.Line(), "Enter +A -A");
        EXPECT_TRUE(Stopped());
        EXPECT_EQ(m_view.m_runNotices.size(), 2u);
        m_keyboard.m_onEvent = nullptr;
    }
}

// Keys that cannot be sent from the start (no display), or stop reaching the system after "a".
TEST_F(RunStopTest, KeysThatCannotBeSentStopTheRunSayWhyAndTheNextRunTypes) {
    for (const bool midRun : {false, true}) {
        SCOPED_TRACE(midRun);
        const std::u16string why =
            midRun ? u"The connection to the X server was lost." : u"Cannot open display \":99\".";
        m_keyboard.m_bFailOpen = !midRun;
        m_keyboard.m_onEvent = [this, midRun, why](const std::string& event) {
            if (midRun && event == "U+0061^") {
                m_keyboard.m_strSendFailure = why;
            }
        };
        StartRun(0);
        Advance(1000);
        EXPECT_EQ(m_keyboard.m_record.Line(), midRun ? "U+0061v U+0061^" : "");
        EXPECT_TRUE(Stopped());
        ASSERT_EQ(m_view.m_messages.size(), 1u);
        EXPECT_EQ(m_view.m_messages[0].m_strText,
                  std::u16string(text::kTypingFailed) + u"\n\n" + why);
        EXPECT_EQ(m_view.m_messages[0].m_icon, EMessageIcon::Error);
        // Once keys can be sent again, the shortcut starts a run again.
        m_keyboard.m_bFailOpen = false;
        m_keyboard.m_strSendFailure.clear();
        m_keyboard.m_onEvent = nullptr;
        m_keyboard.m_record.m_events.clear();
        PressHotKey();
        RunUntilIdle();
        EXPECT_EQ(TypedMessages().size(), 1u);
        EXPECT_EQ(m_keyboard.m_record.m_events.back().m_name, "Enter");
    }
}

TEST_F(RunStopTest, EscIsTakenForTheRunsLengthOnly) {
    StartRun(1000);
    EXPECT_EQ(m_stopKey.m_calls, (std::vector<std::string>{"take"}));
    RunUntilIdle();  // the run ends by itself
    PressHotKey();
    PressHotKey();  // stopped by the shortcut
    PressHotKey();
    Controller().OnStopNow();
    EXPECT_EQ(m_stopKey.m_calls,
              (std::vector<std::string>{"take", "release", "take", "release", "take", "release"}));
    // Held by another program: the run goes on, and the user is told how else to stop it.
    m_stopKey.m_bRefuse = true;
    PressHotKey();
    RunUntilIdle();
    EXPECT_EQ(m_view.m_runNotices,
              (std::vector<std::u16string>{std::u16string(text::kStopKeyTaken)}));
    EXPECT_EQ(TypedMessages().size(), 2u);  // the first run's message and this one
}

// The real sleeper: a stop wakes it at once, also one made just before it began to wait.
TEST(ThreadSleeperTest, AStopWakesThePauseInsteadOfSleepingItOut) {
    CThreadSleeper sleeper;
    std::atomic<bool> stop{false};
    const auto began = std::chrono::steady_clock::now();
    bool sleptOut = true;
    std::thread typing([&] { sleptOut = sleeper.Sleep(600000, [&] { return stop.load(); }); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    sleeper.Wake();
    typing.join();
    EXPECT_FALSE(sleptOut);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::minutes(5));
    EXPECT_FALSE(sleeper.Sleep(600000, [&] { return stop.load(); }));
    stop = false;
    EXPECT_TRUE(sleeper.Sleep(1, [&] { return stop.load(); }));
}

}  // namespace
}  // namespace quenby

// Runs that end at once, and runs that never type where they must not: the built program on its
// own X server, judged by what the recorders receive.
#include "e2e/EndToEndFixture.h"

namespace quenby {
namespace {

// The keys a recorder reports until a second passes without one ("KEY <state> <hex>" lines).
std::vector<std::string> KeysUntilQuiet(test::CChildProcess& recorder) {
    std::vector<std::string> keys;
    for (std::string line; recorder.ReadLine(line, 1000);) {
        if (line.rfind("KEY ", 0) == 0) {
            keys.push_back(line);
        }
    }
    return keys;
}

// 100 ms before each of 200 characters, and Enter after: 20 s, ended early here.
const MessageItem kLongMessage{std::u16string(200, u'z'), 0, 0, false, true, 100, 100};

TEST_F(EndToEndTest, EscOrStopEndsARunMidMessageAtOnceAndLeavesNoKeyDown) {
    StartSessionBus();
    CRunIcon run(StartOnList(kTypeOnce, m_home / "long.quenbydata", {kLongMessage}));
    const Outcome idle = RunQuenby({"--stop"});
    EXPECT_EQ(idle.m_iStatus, 1);
    EXPECT_NE(idle.m_strErr.find("no typing run was active"), std::string::npos) << idle.m_strErr;
    for (const bool byEscape : {true, false}) {
        SCOPED_TRACE(byEscape ? "Esc" : "--stop");
        Keys({"ctrl+shift+F5"});
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(m_recorder->WaitForLine("KEY 0 7a", 20000)) << "the run did not start";
        }
        if (byEscape) {
            FakeKeys({{9, true}, {9, false}});  // Esc, in the evdev keymaps
        } else {
            const Outcome stop = RunQuenby({"--stop"});
            EXPECT_EQ(stop.m_iStatus, 0) << stop.m_strErr;
        }
        ASSERT_TRUE(run.WaitForRunEnd()) << "the run did not stop";
        // Read right after the third character, the press comes about 100 ms before the fourth:
        // a stop within 100 ms lets none through, or the one in flight when the reading lagged;
        // a stop after the message would let 197 through, and Enter.
        const std::vector<std::string> late = KeysUntilQuiet(*m_recorder);
        if (byEscape) {
            EXPECT_LE(late.size(), 1u);
        } else {
            EXPECT_LT(late.size(), 150u);  // the command itself takes a while to start
        }
        EXPECT_EQ(std::count(late.begin(), late.end(), "KEY 0 0d"), 0);
        EXPECT_EQ(KeysDown(), 0);
        m_recorder->ClearLines();
    }
}

// A second window takes the focus while the first one is typed into.
TEST_F(EndToEndTest, AnotherWindowTakingTheFocusGetsNothingUnlessTheSettingIsOff) {
    for (const bool stopOnFocusChange : {true, false}) {
        SCOPED_TRACE(stopOnFocusChange);
        m_quenby.reset();
        CRunIcon run(StartOnList(
            kTypeOnce + "m_bStopOnFocusChange=" + (stopOnFocusChange ? "1" : "0") + "\n",
            m_home / "focus.quenbydata",
            {MessageItem{std::u16string(60, u'z'), 0, 0, false, true, 50, 50}}));
        Keys({"ctrl+shift+F5"});
        ASSERT_TRUE(m_recorder->WaitForLine("KEY 0 7a", 20000)) << "the run did not start";
        test::CChildProcess second({QUENBY_KEY_RECORDER, "500", "0"});
        ASSERT_TRUE(second.WaitForLine("READY", 20000));
        ASSERT_TRUE(run.WaitForRunEnd()) << "the run did not end";
        const std::vector<std::string> intoSecond = KeysUntilQuiet(second);
        if (stopOnFocusChange) {
            EXPECT_LE(intoSecond.size(), 1u);  // at most the character in flight
            EXPECT_TRUE(WaitForWindow(kTitle)) << "no notice";
        } else {
            // The rest of the message, and its Enter, went where the focus went.
            ASSERT_FALSE(intoSecond.empty());
            EXPECT_EQ(intoSecond.back(), "KEY 0 0d");
        }
    }
}

// Right after Assign the focus is on Quenby's own window: its keys would work its buttons.
TEST_F(EndToEndTest, ARunStartedInQuenbysOwnWindowTypesNothingThereAndSaysWhy) {
    const std::filesystem::path file = m_home / "own.quenbydata";
    const std::string caption =
        StartOnList(kTypeOnce, file, {MessageItem{u"good day", 0, 0, true, true, 0, 0}});
    ASSERT_TRUE(Focus(caption));
    Keys({"ctrl+shift+F5"});
    EXPECT_TRUE(WaitForWindow(kTitle)) << "no notice";
    // Enter would have opened the editor, and the text gone into a new row.
    EXPECT_FALSE(WaitForWindow("Add Message - " + kTitle, 2));
    Expected<CMessageList> kept = DecodeDataFile(ReadBytes(file), EDataFileForm::Plain, nullptr);
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(kept.value().GetItemCount(), 1u);
}

// The shortcut's Ctrl and Shift still held would turn the letters into commands, and while its
// key is down its grab takes every key from the focused window: typing waits for them to go.
TEST_F(EndToEndTest, TheShortcutsKeysStillHeldDelayTheFirstKey) {
    StartOnList(kTypeOnce, m_home / "held.quenbydata",
                {MessageItem{u"abc", 0, 0, false, true, 0, 0}});
    ASSERT_EQ(test::RunCommand({"xdotool", "keydown", "ctrl+shift+F5"}), 0);
    // The modifiers themselves reach the window (as keys without text), nothing else.
    for (const std::string& key : KeysUntilQuiet(*m_recorder)) {
        EXPECT_EQ(key.back(), ' ') << "typed while held: " << key;
    }
    ASSERT_EQ(test::RunCommand({"xdotool", "keyup", "F5", "shift", "ctrl"}), 0);
    EXPECT_EQ(CollectReceived().m_strText, "abc\r");
}

}  // namespace
}  // namespace quenby

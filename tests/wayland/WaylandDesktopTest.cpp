// The built program running natively on a headless sway: started and stopped by a key the
// compositor binds to `quenby --toggle`, typing into a GTK 3 window, and setting text into the
// focused field through accessibility.
#include <gtest/gtest.h>

#include "engine/MessageList.h"
#include "storage/DataFileCodec.h"
#include "wayland/HeadlessSway.h"
#include "wayland/UserKeyboard.h"

namespace quenby {
namespace {

constexpr int kStartMs = 30000;
constexpr const char* kQuenbyTitle = "list - Quenby by Holvane";

class WaylandDesktopTest : public ::testing::Test {
protected:
    // The user's binding, as they would write it in their sway configuration.
    WaylandDesktopTest() : m_sway("bindsym Ctrl+Shift+F5 exec " QUENBY_PROGRAM " --toggle\n") {}

    // A keyboard of the user's from the start to the end, as a desktop has: GTK calls a window
    // active (and says so on the accessibility bus) only while a keyboard is in it, and a
    // headless seat has none until one is made, and none again once the last one goes.
    void SetUp() override {
        ASSERT_EQ(m_sway.Failure(), "");
        m_userKeyboard = std::make_unique<test::CUserKeyboard>("us");
        ASSERT_TRUE(m_userKeyboard->Ready());
    }

    // The profile, and the list Quenby opens; the notice on binding the key was seen before.
    void Prepare(const std::string& settings, const MessageItem& message) {
        m_sway.WriteHomeFile(
            ".config/Holvane/Quenby by Holvane.conf",
            "[Settings]\n" + settings + "[DontShowAgain]\n{quenby-wayland-binding-wlroots}=1\n");
        CMessageList list;
        list.AddMessageItem(0, message);
        Expected<std::vector<std::uint8_t>> bytes =
            EncodeDataFile(list, DataFileFormFor("list.quenbydata"), nullptr);
        ASSERT_TRUE(bytes.ok());
        m_sway.WriteHomeFile("list.quenbydata",
                             std::string(bytes.value().begin(), bytes.value().end()));
    }
    // Starts Quenby natively on the compositor (XWayland is off there) and waits for its window.
    void StartQuenby() {
        m_quenby = m_sway.Run({QUENBY_PROGRAM, m_sway.Home() + "/list.quenbydata"},
                              {"QT_QPA_PLATFORM=wayland", "XDG_CURRENT_DESKTOP=sway"});
        ASSERT_TRUE(m_sway.WaitForFocusedWindow(kQuenbyTitle, kStartMs)) << "no Quenby window";
    }
    // Ctrl+Shift+F5 (evdev 63) on the user's keyboard.
    void PressBoundKey() { ASSERT_TRUE(m_userKeyboard->PressWithControlShift(63)); }

    // Starts the recorder's entry ("" or "readonly") and waits until it has the focus and its
    // window has come up on the accessibility bus: before that, the run would find no field.
    std::unique_ptr<test::CChildProcess> StartEntry(const char* mode) {
        auto entry = m_sway.Run({"python3", QUENBY_WAYLAND_RECORDER, "entry", mode},
                                {"GDK_BACKEND=wayland", "NO_AT_BRIDGE=0"});
        std::string reachable;
        if (entry->WaitForLine("READY", kStartMs)) {
            const std::string pid = std::to_string(entry->Pid());
            auto check = m_sway.Run({"python3", QUENBY_WAYLAND_RECORDER, "reachable", pid});
            check->ReadLine(reachable, kStartMs);
        }
        EXPECT_EQ(reachable, "REACHABLE");
        return entry;
    }

    test::CHeadlessSway m_sway;
    std::unique_ptr<test::CUserKeyboard> m_userKeyboard;
    std::unique_ptr<test::CChildProcess> m_quenby;
};

TEST_F(WaylandDesktopTest, AKeyBoundInSwayStartsAndStopsTheRun) {
    // Endless, a second between messages: the stop falls between two of them.
    Prepare("m_iCount=0\nm_iKeyInputMethod=0\n",
            MessageItem{u"typed on sway \u00e9\u4e2d\U0001F600\ue000", 1, 0, false, false, 0, 0});
    StartQuenby();
    std::unique_ptr<test::CChildProcess> recorder = m_sway.StartGtkRecorder();
    ASSERT_NE(recorder, nullptr);

    PressBoundKey();
    std::string text;
    ASSERT_TRUE(test::ReadRecordedText(*recorder, text, 20000)) << "nothing typed";
    EXPECT_EQ(text, "typed on sway \u00e9\u4e2d\U0001F600");
    PressBoundKey();
    // A message under way when the key came is finished; after that nothing more comes.
    int after = 0;
    while (test::ReadRecordedText(*recorder, text, 3000)) {
        EXPECT_EQ(text, "typed on sway \u00e9\u4e2d\U0001F600");
        ASSERT_LE(++after, 1) << "the run did not stop";
    }
}

TEST_F(WaylandDesktopTest, SetTextGoesIntoTheFocusedFieldAndNeverIntoAReadOnlyOne) {
    Prepare("m_iCount=1\nm_iKeyInputMethod=0\nTextSettingUp=1\n",
            MessageItem{u"set \u00e9\U0001F600xyz", 0, 0, false, false, 0, 0});
    StartQuenby();
    auto entry = StartEntry("");
    ASSERT_FALSE(HasFailure());
    PressBoundKey();
    // Set whole: typed keys would have added to "before" one by one.
    EXPECT_TRUE(entry->WaitForLine("CHANGED " + test::Hex("set \u00e9\U0001F600xyz"), 20000));
    for (const std::string& line : entry->Lines()) {
        // The user's own Ctrl and Shift reach the entry; F5 is the compositor's.
        if (line != "KEY Control_L" && line != "KEY Shift_L") {
            EXPECT_EQ(line.rfind("KEY ", 0), std::string::npos) << "typed, not set: " << line;
        }
    }
    entry.reset();

    auto readOnly = StartEntry("readonly");
    ASSERT_FALSE(HasFailure());
    PressBoundKey();
    // The message is typed instead, and the field takes none of it.
    EXPECT_TRUE(readOnly->WaitForLine("KEY z", 20000));
    for (const std::string& line : readOnly->Lines()) {
        EXPECT_EQ(line.rfind("CHANGED ", 0), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace quenby

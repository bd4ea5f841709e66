#include <xcb/xcb.h>

#include "engine/HotKeyProfile.h"
#include "linux/x11/VirtualKeys.h"
#include "linux/x11/X11GlobalShortcut.h"
#include "linux/x11/X11ShortcutKeys.h"
#include "linux/x11/X11StopKey.h"
#include "linux/x11/XcbXkb.h"
#include "support/EventCounter.h"
#include "support/XDisplayFixture.h"

namespace quenby {
namespace {

// Whether another client may grab Alt+F9 on the root window (it keeps the grab).
bool GrabAltF9(xcb_connection_t* conn) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;
    const xcb_keycode_t f9 = 75;  // F9 in the evdev keymap
    xcb_generic_error_t* error =
        xcb_request_check(conn, xcb_grab_key_checked(conn, 1, root, XCB_MOD_MASK_1, f9,
                                                     XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::free(error);
    return error == nullptr;
}

class X11ShortcutTest : public test::XDisplayTest {
protected:
    void SetUp() override {
        XDisplayTest::SetUp();
        Expected<std::unique_ptr<CX11GlobalShortcut>> shortcut =
            CX11GlobalShortcut::Open([this] { m_counter.Add(); });
        ASSERT_TRUE(shortcut.ok());
        m_shortcut = std::move(shortcut).value();
    }
    void TearDown() override {
        m_shortcut.reset();
        XDisplayTest::TearDown();
    }

    // Presses and releases keys (by keysym name) through xdotool, as a user would.
    void Press(const std::string& keys) {
        ASSERT_EQ(test::RunCommand({"xdotool", "key", keys}), 0);
    }
    // Sets the layouts and locks the keyboard on group `group` of them, as a user's switch does.
    void SetLayoutAndGroup(const std::string& layouts, std::uint8_t group) {
        SetLayout(layouts);
        Expected<std::unique_ptr<CXcbConnection>> conn = CXcbConnection::Open();
        ASSERT_TRUE(conn.ok());
        xcb_xkb_latch_lock_state(conn.value()->Get(), XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, group, 0, 0,
                                 0);
        conn.value()->Sync();
    }

    // Presses the physical key with (left) Ctrl and Shift held.
    static void PressWithCtrlShift(int key) {
        FakeKeys({{37, true}, {50, true}, {key, true}, {key, false}, {50, false}, {37, false}});
    }

    test::CEventCounter m_counter;
    std::unique_ptr<CX11GlobalShortcut> m_shortcut;
};

// The code a key is captured as (in the shortcut box) is the key of the US keyboard at its place,
// and a shortcut registered by that code fires on that place, in any layout and group.
TEST_F(X11ShortcutTest, EveryKindOfKeyIsCapturedAndGrabbedByItsPlaceUnderEveryLayout) {
    const struct {
        const char* m_layouts;
        std::uint8_t m_group;
        xcb_keycode_t m_key;
        std::uint16_t m_virtualKey;
    } cases[] = {
        {"us", 0, 38, 'A'},
        {"us", 0, 59, 0xBC},  // comma
        {"us", 0, 71, 0x74},  // F5
        {"us", 0, 50, 0},     // Shift alone is no shortcut key
        {"de", 0, 29, 'Z'},   // the letters it types, Y and Z swapped
        {"de", 0, 52, 'Y'},
        {"de", 0, 20, 0xBD},  // ß, where a US keyboard has minus
        {"fr", 0, 24, 'A'},
        {"fr", 0, 38, 'Q'},
        {"fr", 0, 10, '1'},  // 1/& types its digit with Shift
        {"fr", 0, 47, 'M'},
        {"fr", 0, 58, 0xBA},  // the comma key, at US M: the code of the place M went to
        {"fr", 0, 59, 0xBC},
        {"ru", 0, 38, 'A'},   // ф: the US letter of its place
        {"ru", 0, 60, 0xBE},  // ю, where a US keyboard has period
        {"ru", 0, 61, 0xBF},  // the key typing the period, where a US keyboard has slash
        {"ru,us", 0, 38, 'A'},
        {"ru,us", 1, 38, 'A'},
        {"us,ru", 1, 24, 'Q'},
        {"us,de", 1, 29, 'Z'},  // the active group's letters, not the first group's
        {"us,de", 1, 52, 'Y'},
        // Every kind of key: a digit, function keys, editing keys, the keypad, punctuation.
        {"us", 0, 16, '7'},
        {"us", 0, 96, 0x7B},
        {"us", 0, 110, 0x24},
        {"us", 0, 119, 0x2E},
        {"us", 0, 117, 0x22},
        {"us", 0, 86, 0x6B},
        {"us", 0, 48, 0xDE},
    };
    int expected = 0;
    for (const auto& c : cases) {
        SetLayoutAndGroup(c.m_layouts, c.m_group);
        const std::string where = std::string(c.m_layouts) + " group " + std::to_string(c.m_group) +
                                  " key " + std::to_string(c.m_key);
        EXPECT_EQ(CX11ShortcutKeys().VirtualKeyOfNativeKey(c.m_key), c.m_virtualKey) << where;
        if (c.m_virtualKey != 0) {
            ASSERT_TRUE(
                m_shortcut->RegisterHotKey(c.m_virtualKey, SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT))
                << where;
            PressWithCtrlShift(c.m_key);
            EXPECT_EQ(m_counter.WaitFor(++expected), expected) << where;
        }
    }
    // Registered in one group, it still fires when the user switches to the other.
    SetLayoutAndGroup("ru,us", 0);
    ASSERT_TRUE(m_shortcut->RegisterHotKey('A', SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT));
    SetLayoutAndGroup("ru,us", 1);
    PressWithCtrlShift(38);
    EXPECT_EQ(m_counter.WaitFor(++expected), expected);
    // A key this keyboard does not have cannot be grabbed: that is a refusal, not a success.
    EXPECT_FALSE(m_shortcut->RegisterHotKey(0x87, SYSTEM_FLAG_CONTROL));  // F24: not in evdev
    EXPECT_FALSE(m_shortcut->RegisterHotKey(0x10, SYSTEM_FLAG_CONTROL));  // Shift alone
}

TEST_F(X11ShortcutTest, FiresOnceForItsCombinationWhateverTheLocksAndHowLongItIsHeld) {
    ASSERT_TRUE(m_shortcut->RegisterHotKey(0x74, SYSTEM_FLAG_WIN));  // Super+F5
    Press("super+F5");
    EXPECT_EQ(m_counter.WaitFor(1), 1);
    Press("super+ctrl+F5");  // another combination: nothing
    Press("Num_Lock");
    Press("super+F5");
    EXPECT_EQ(m_counter.WaitFor(2), 2);
    Press("Caps_Lock");
    Press("super+F5");
    EXPECT_EQ(m_counter.WaitFor(3), 3);
    // Held down, the key repeats: one press all the same, as the count at the next one shows.
    ASSERT_EQ(
        test::RunCommand({"xdotool", "keydown", "super+F5", "sleep", "1.2", "keyup", "super+F5"}),
        0);
    Press("super+F5");
    EXPECT_EQ(m_counter.WaitFor(5), 5);
}

TEST_F(X11ShortcutTest, ACombinationHeldByAnotherProgramIsRefusedUntilFreed) {
    // Another client grabs Alt+F9 first.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_TRUE(GrabAltF9(other));
    EXPECT_FALSE(m_shortcut->RegisterHotKey(0x78, SYSTEM_FLAG_ALT));
    xcb_disconnect(other);

    // Once free, ours takes it, and holds it against others until it lets go.
    EXPECT_TRUE(m_shortcut->RegisterHotKey(0x78, SYSTEM_FLAG_ALT));
    xcb_connection_t* third = xcb_connect(nullptr, nullptr);
    EXPECT_FALSE(GrabAltF9(third));
    m_shortcut->UnregisterHotKey();
    EXPECT_TRUE(GrabAltF9(third));
    xcb_disconnect(third);
}

// Esc for the runs: taken from the applications only while a run holds it.
TEST_F(X11ShortcutTest, AsTheStopKeyEscIsTakenOnlyWhileARunHoldsIt) {
    StartRecorder();
    CX11StopKey esc(std::move(m_shortcut));
    ASSERT_TRUE(esc.Take());
    Press("Escape");
    EXPECT_EQ(m_counter.WaitFor(1), 1);
    esc.Release();
    // Given back: the application with the focus has it again; nothing reached it before.
    Press("Escape");
    EXPECT_EQ(CollectReceived().m_strText, "\x1b");
}

// Two codes sharing a keysym would make a captured key come back as another.
TEST(VirtualKeys, TranslateBothWaysForEveryShortcutKey) {
    for (std::uint16_t key = 1; key < 256; ++key) {
        if (const auto keysym = KeysymForVirtualKey(key)) {
            EXPECT_EQ(VirtualKeyForKeysym(*keysym), key) << key;
        }
    }
}

}  // namespace
}  // namespace quenby

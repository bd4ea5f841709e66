#include <xcb/xcb.h>
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <condition_variable>

#include "engine/HotKeyProfile.h"
#include "linux/x11/VirtualKeys.h"
#include "linux/x11/X11GlobalShortcut.h"
#include "linux/x11/X11Pointer.h"
#include "linux/x11/X11ShortcutKeys.h"
#include "linux/x11/XcbXkb.h"
#include "support/XDisplayFixture.h"

namespace quenby {
namespace {

// Counts the presses the shortcut reports, from its watcher thread.
struct PressCounter {
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_iPresses = 0;

    void Press() {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_iPresses;
        m_changed.notify_all();
    }
    // Waits until `count` presses were seen; a short grace afterwards catches extra ones.
    int WaitFor(int count, int timeoutMs = 5000) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return m_iPresses >= count; });
        m_changed.wait_for(lock, std::chrono::milliseconds(200),
                           [&] { return m_iPresses > count; });
        return m_iPresses;
    }
};

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
    // Presses and releases keys (by keysym name) through xdotool, as a user would.
    void Press(const std::string& keys) {
        ASSERT_EQ(test::RunCommand({"xdotool", "key", keys}), 0);
    }

    std::unique_ptr<CX11GlobalShortcut> Open() {
        Expected<std::unique_ptr<CX11GlobalShortcut>> shortcut =
            CX11GlobalShortcut::Open([this] { m_counter.Press(); });
        EXPECT_TRUE(shortcut.ok());
        return shortcut.ok() ? std::move(shortcut).value() : nullptr;
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

    // Presses the physical key with Ctrl and Shift held, through XTest, by keycode.
    static void PressWithCtrlShift(xcb_keycode_t key) {
        const xcb_keycode_t control = 37, shift = 50;  // left Ctrl and Shift in every evdev keymap
        xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
        for (const xcb_keycode_t down : {control, shift, key}) {
            xcb_test_fake_input(conn, XCB_KEY_PRESS, down, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        }
        for (const xcb_keycode_t up : {key, shift, control}) {
            xcb_test_fake_input(conn, XCB_KEY_RELEASE, up, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        }
        std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
        xcb_disconnect(conn);
    }

    PressCounter m_counter;
};

// A physical key, in one group of a set of layouts, and the virtual-key code it has there.
struct PlacedKey {
    const char* m_layouts;
    std::uint8_t m_group;
    xcb_keycode_t m_key;
    std::uint16_t m_virtualKey;
};

TEST_F(X11ShortcutTest, AKeyIsCapturedByItsPlaceUnderEveryLayout) {
    const PlacedKey cases[] = {
        {"us", 0, 38, 'A'},    {"us", 0, 10, '1'},
        {"us", 0, 59, 0xBC},                         // comma
        {"us", 0, 71, 0x74},                         // F5
        {"us", 0, 50, 0},                            // Shift alone is no shortcut key
        {"de", 0, 29, 'Z'},                          // the letters it types, Y and Z swapped
        {"de", 0, 52, 'Y'},    {"de", 0, 20, 0xBD},  // ß, where a US keyboard has minus
        {"fr", 0, 24, 'A'},    {"fr", 0, 38, 'Q'},
        {"fr", 0, 10, '1'},  // 1/& types its digit with Shift
        {"fr", 0, 16, '7'},    {"fr", 0, 47, 'M'},
        {"fr", 0, 58, 0xBA},  // the comma key, at US M: the code of the place M went to
        {"fr", 0, 59, 0xBC},   {"ru", 0, 38, 'A'},   // ф: the US letter of its place
        {"ru", 0, 10, '1'},    {"ru", 0, 60, 0xBE},  // ю, where a US keyboard has period
        {"ru", 0, 61, 0xBF},  // the key typing the period, where a US keyboard has slash
        {"ru,us", 0, 38, 'A'}, {"ru,us", 1, 38, 'A'},
        {"us,ru", 1, 24, 'Q'},
    };
    for (const PlacedKey& c : cases) {
        SetLayoutAndGroup(c.m_layouts, c.m_group);
        CX11ShortcutKeys keys;
        EXPECT_EQ(keys.VirtualKeyOfNativeKey(c.m_key), c.m_virtualKey)
            << c.m_layouts << " group " << int{c.m_group} << " key " << int{c.m_key};
        // And the code leads back to the same key, as registering it will look it up.
        Expected<std::unique_ptr<CXcbConnection>> conn = CXcbConnection::Open();
        ASSERT_TRUE(conn.ok());
        Expected<std::unique_ptr<CXkbSnapshot>> now = CXkbSnapshot::Take(*conn.value());
        ASSERT_TRUE(now.ok());
        if (c.m_virtualKey != 0) {
            EXPECT_EQ(CShortcutKeyMap(conn.value()->XkbContext())
                          .KeycodeForVirtualKey(now.value()->State(), c.m_virtualKey),
                      c.m_key)
                << c.m_layouts << " group " << int{c.m_group} << " key " << int{c.m_key};
        }
    }
}

TEST_F(X11ShortcutTest, AShortcutIsGrabbedOnItsKeyInEveryGroup) {
    auto shortcut = Open();
    const PlacedKey cases[] = {
        {"us", 0, 38, 'A'},    {"de", 0, 29, 'Z'},    {"fr", 0, 24, 'A'},
        {"fr", 0, 10, '1'},    {"ru", 0, 38, 'A'},    {"ru", 0, 60, 0xBE},
        {"ru,us", 0, 38, 'A'}, {"ru,us", 1, 38, 'A'}, {"us,ru", 1, 38, 'A'},
    };
    int expected = 0;
    for (const PlacedKey& c : cases) {
        SetLayoutAndGroup(c.m_layouts, c.m_group);
        ASSERT_TRUE(
            shortcut->RegisterHotKey(c.m_virtualKey, SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT))
            << c.m_layouts;
        PressWithCtrlShift(c.m_key);
        EXPECT_EQ(m_counter.WaitFor(++expected), expected)
            << c.m_layouts << " group " << int{c.m_group} << " key " << int{c.m_key};
    }
    // Registered in one group, it still fires when the user switches to the other.
    SetLayoutAndGroup("ru,us", 0);
    ASSERT_TRUE(shortcut->RegisterHotKey('A', SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT));
    SetLayoutAndGroup("ru,us", 1);
    PressWithCtrlShift(38);
    EXPECT_EQ(m_counter.WaitFor(++expected), expected);
}

TEST_F(X11ShortcutTest, FiresForItsCombinationWhateverTheLocks) {
    auto shortcut = Open();
    ASSERT_TRUE(
        shortcut->RegisterHotKey(0x74, SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT));  // Ctrl+Shift+F5
    Press("ctrl+shift+F5");
    EXPECT_EQ(m_counter.WaitFor(1), 1);
    Press("ctrl+F5");  // another combination: nothing
    Press("Num_Lock");
    Press("ctrl+shift+F5");
    EXPECT_EQ(m_counter.WaitFor(2), 2);
    Press("Caps_Lock");
    Press("ctrl+shift+F5");
    EXPECT_EQ(m_counter.WaitFor(3), 3);
}

TEST_F(X11ShortcutTest, AHeldKeyFiresOnce) {
    auto shortcut = Open();
    ASSERT_TRUE(shortcut->RegisterHotKey('Q', SYSTEM_FLAG_ALT));
    ASSERT_EQ(test::RunCommand({"xdotool", "keydown", "alt+q", "sleep", "1.2", "keyup", "alt+q"}),
              0);
    EXPECT_EQ(m_counter.WaitFor(1), 1);
}

TEST_F(X11ShortcutTest, ACombinationHeldByAnotherProgramIsRefusedUntilFreed) {
    // Another client grabs Alt+F9 first.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_TRUE(GrabAltF9(other));
    auto shortcut = Open();
    EXPECT_FALSE(shortcut->RegisterHotKey(0x78, SYSTEM_FLAG_ALT));
    xcb_disconnect(other);

    // Once free, ours takes it, and holds it against others until it lets go.
    EXPECT_TRUE(shortcut->RegisterHotKey(0x78, SYSTEM_FLAG_ALT));
    xcb_connection_t* third = xcb_connect(nullptr, nullptr);
    EXPECT_FALSE(GrabAltF9(third));
    shortcut->UnregisterHotKey();
    EXPECT_TRUE(GrabAltF9(third));
    xcb_disconnect(third);
    Press("alt+F9");
    EXPECT_EQ(m_counter.WaitFor(0, 300), 0);
}

TEST_F(X11ShortcutTest, EveryKindOfKeyCanBeAShortcut) {
    auto shortcut = Open();
    const struct {
        std::uint16_t virtualKey;
        const char* keys;
    } cases[] = {
        {'A', "super+a"},       {'7', "super+7"},       {0x7B, "super+F12"},
        {0x24, "super+Home"},   {0x2E, "super+Delete"}, {0x22, "super+Next"},
        {0x6B, "super+KP_Add"}, {0xBC, "super+comma"},  {0xDE, "super+apostrophe"},
    };
    int expected = 0;
    for (const auto& c : cases) {
        ASSERT_TRUE(shortcut->RegisterHotKey(c.virtualKey, SYSTEM_FLAG_WIN)) << c.keys;
        Press(c.keys);
        EXPECT_EQ(m_counter.WaitFor(++expected), expected) << c.keys;
    }
    // A key this keyboard does not have cannot be grabbed: that is a refusal, not a success.
    EXPECT_FALSE(shortcut->RegisterHotKey(0x87, SYSTEM_FLAG_WIN));  // F24: not on the evdev keymap
    EXPECT_FALSE(
        shortcut->RegisterHotKey(0x10, SYSTEM_FLAG_WIN));  // Shift alone is no shortcut key
}

TEST_F(X11ShortcutTest, PointerPositionFollowsTheMouse) {
    ASSERT_EQ(test::RunCommand({"xdotool", "mousemove", "321", "123"}), 0);
    CX11Pointer pointer;
    EXPECT_EQ(pointer.GetCursorPos(), (ScreenPoint{321, 123}));
    ::setenv("DISPLAY", ":99999", 1);
    CX11Pointer nowhere;
    EXPECT_FALSE(nowhere.GetCursorPos().has_value());
}

TEST(VirtualKeys, TranslateBothWaysForEveryShortcutKey) {
    for (std::uint16_t key = 1; key < 256; ++key) {
        if (const auto keysym = KeysymForVirtualKey(key)) {
            EXPECT_EQ(VirtualKeyForKeysym(*keysym), key) << key;
        }
    }
    EXPECT_EQ(KeysymForVirtualKey('A'), XKB_KEY_a);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_Q), std::optional<std::uint16_t>('Q'));
    EXPECT_EQ(KeysymForVirtualKey(0x70), XKB_KEY_F1);
    EXPECT_EQ(KeysymForVirtualKey(0x87), XKB_KEY_F24);
    EXPECT_EQ(KeysymForVirtualKey(0x6F), XKB_KEY_KP_Divide);
    EXPECT_FALSE(KeysymForVirtualKey(0x10).has_value());  // Shift alone is no shortcut key
    EXPECT_EQ(ModifierMaskForFlags(SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT),
              XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT);
    EXPECT_EQ(ModifierMaskForFlags(SYSTEM_FLAG_ALT | SYSTEM_FLAG_WIN),
              XCB_MOD_MASK_1 | XCB_MOD_MASK_4);
}

}  // namespace
}  // namespace quenby

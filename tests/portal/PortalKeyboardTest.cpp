// The portal keyboard through the real xdg-desktop-portal frontend, with our recording backend
// standing in for the desktop.
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <atomic>

#include "PortalFixture.h"
#include "input/TextTyper.h"
#include "linux/portal/PortalBus.h"
#include "linux/portal/PortalKeyboard.h"
#include "platform/Timers.h"

namespace quenby::test {
namespace {

class NoSleep final : public ISleeper {
public:
    void Sleep(std::uint32_t) override {}
};

// The US keymap as the compositor would send it, as XKB text.
std::string UsKeymap() {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    std::string text;
    if (keymap != nullptr) {
        char* raw = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        text = raw;
        std::free(raw);
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return text;
}

class PortalKeyboardTest : public PortalFixture {
protected:
    // A keyboard on this test's bus; the keymap, the setter and the beeps are the test's.
    std::unique_ptr<CPortalKeyboard> Keyboard(std::string keymap = {},
                                              FocusedTextSetter setter = {}) {
        return std::make_unique<CPortalKeyboard>(
            CPortalBus::Connect(), [keymap] { return keymap; }, [this] { ++m_beeps; },
            std::move(setter),
            PortalWaits{std::chrono::milliseconds(5000), std::chrono::milliseconds(10000)});
    }
    // Types one message by the Unicode method, then Enter, as a run types it.
    void TypeMessage(IKeyboard& keyboard, const std::u16string& text) {
        Expected<std::unique_ptr<IKeyboardOutput>> output = keyboard.OpenOutput();
        ASSERT_TRUE(output.ok()) << std::string(output.reason().begin(), output.reason().end());
        NoSleep sleeper;
        std::atomic<bool> running{true};
        CTextTyper typer(*output.value(), sleeper, running);
        typer.SetKeyInputMethod(0);
        typer.TypeText(text);
        typer.PressEnter();
    }
    // The next `count` key events the desktop got; a message's leftovers show up in the next
    // message's events.
    std::vector<std::string> Keys(std::size_t count) { return Lines("key", count); }

    std::atomic<int> m_beeps{0};
};

std::vector<std::string> PressAndRelease(const std::vector<std::string>& keysyms) {
    std::vector<std::string> lines;
    for (const std::string& keysym : keysyms) {
        lines.push_back("keysym " + keysym + " down");
        lines.push_back("keysym " + keysym + " up");
    }
    return lines;
}

TEST_F(PortalKeyboardTest, SendsAKeysymPerCharacterInOrder) {
    StartDesktop(PORTAL_REMOTE_DESKTOP);
    const std::unique_ptr<CPortalKeyboard> keyboard = Keyboard();
    const struct {
        std::u16string m_text;
        std::vector<std::string> m_keysyms;  // the Enter after the message included
    } cases[] = {
        {u"Ab", {"0x41", "0x62", "0xff0d"}},
        // Control characters as their keys: Tab, and Return for CR and LF alike.
        {u"a\tb\r\nc", {"0x61", "0xff09", "0x62", "0xff0d", "0xff0d", "0x63", "0xff0d"}},
        // With the layout unknown every character is sent, as xkbcommon names it (legacy keysyms
        // for the Euro sign and Cyrillic).
        {u"\u00e9\u20ac\u0436", {"0xe9", "0x20ac", "0x6d6", "0xff0d"}},
    };
    for (const auto& c : cases) {
        TypeMessage(*keyboard, c.m_text);
        EXPECT_EQ(Keys(2 * c.m_keysyms.size()), PressAndRelease(c.m_keysyms));
    }
    EXPECT_EQ(m_beeps.load(), 0);
}

TEST_F(PortalKeyboardTest, OneSessionAndOneConsentForManyMessages) {
    StartDesktop(PORTAL_REMOTE_DESKTOP);
    const std::unique_ptr<CPortalKeyboard> keyboard = Keyboard();
    TypeMessage(*keyboard, u"a");
    EXPECT_EQ(Keys(4), PressAndRelease({"0x61", "0xff0d"}));
    TypeMessage(*keyboard, u"b");
    EXPECT_EQ(Keys(4), PressAndRelease({"0x62", "0xff0d"}));
    std::size_t sessions = 0;
    std::size_t starts = 0;
    for (const std::string& line : Seen()) {
        sessions += line == "create-session remote-desktop" ? 1 : 0;
        starts += line == "start granted" ? 1 : 0;
    }
    EXPECT_EQ(sessions, 1u);
    EXPECT_EQ(starts, 1u);
    EXPECT_NE(std::find(Seen().begin(), Seen().end(), "select-devices 1"), Seen().end());
}

TEST_F(PortalKeyboardTest, RefusedConsentFailsClearlyAndSendsNothing) {
    StartDesktop(PORTAL_REMOTE_DESKTOP, {"--refuse"});
    const std::unique_ptr<CPortalKeyboard> keyboard = Keyboard();
    Expected<std::unique_ptr<IKeyboardOutput>> output = keyboard->OpenOutput();
    ASSERT_FALSE(output.ok());
    EXPECT_NE(output.reason().find(u"not allowed"), std::u16string::npos);
    // The frontend closes a session the user refused: after that nothing more can come.
    ASSERT_TRUE(WaitFor("start refused"));
    Lines("close-session", 1);
    for (const std::string& line : Seen()) {
        EXPECT_NE(line.rfind("key", 0), 0u) << line;
    }
}

TEST_F(PortalKeyboardTest, NoPortalFailsClearly) {
    for (unsigned impl :
         {static_cast<unsigned>(PORTAL_NONE), static_cast<unsigned>(PORTAL_GLOBAL_SHORTCUTS)}) {
        SCOPED_TRACE(impl);
        TearDown();
        StartDesktop(impl);
        EXPECT_FALSE(RemoteDesktopPortalAvailable());
        EXPECT_EQ(OpenPortalKeyboard({}, {}), nullptr);
        Expected<std::unique_ptr<IKeyboardOutput>> output = Keyboard()->OpenOutput();
        ASSERT_FALSE(output.ok());
        EXPECT_NE(output.reason().find(u"no remote desktop portal"), std::u16string::npos);
    }
}

TEST_F(PortalKeyboardTest, PortalFoundWhenOffered) {
    StartDesktop(PORTAL_REMOTE_DESKTOP);
    EXPECT_TRUE(RemoteDesktopPortalAvailable());
    EXPECT_NE(OpenPortalKeyboard({}, {}), nullptr);
}

// Characters the layout lacks would be dropped by the desktop: the message goes to the focused
// field when it takes it, else those characters beep and are skipped.
TEST_F(PortalKeyboardTest, CharactersTheLayoutLacks) {
    StartDesktop(PORTAL_REMOTE_DESKTOP);
    const std::string us = UsKeymap();
    ASSERT_FALSE(us.empty());
    const struct {
        std::u16string m_text;
        bool m_bFieldTakesIt;
        std::vector<std::u16string> m_offered;  // what the field setter was given
        std::vector<std::string> m_keysyms;
        int m_beeps;
    } cases[] = {
        {u"Cafe!", true, {}, {"0x43", "0x61", "0x66", "0x65", "0x21", "0xff0d"}, 0},
        {u"Caf\u00e9", true, {u"Caf\u00e9"}, {"0xff0d"}, 0},
        {u"Caf\u00e9 \u0436",
         false,
         {u"Caf\u00e9 \u0436"},
         {"0x43", "0x61", "0x66", "0x20", "0xff0d"},
         2},
    };
    for (const auto& c : cases) {
        std::vector<std::u16string> offered;
        const std::unique_ptr<CPortalKeyboard> keyboard =
            Keyboard(us, [&](const std::u16string& text) {
                offered.push_back(text);
                return c.m_bFieldTakesIt;
            });
        m_beeps = 0;
        TypeMessage(*keyboard, c.m_text);
        EXPECT_EQ(Keys(2 * c.m_keysyms.size()), PressAndRelease(c.m_keysyms));
        EXPECT_EQ(offered, c.m_offered);
        EXPECT_EQ(m_beeps.load(), c.m_beeps);
    }
}

TEST_F(PortalKeyboardTest, LayoutMethodSendsTheLayoutsKeycodes) {
    StartDesktop(PORTAL_REMOTE_DESKTOP);
    const std::unique_ptr<CPortalKeyboard> keyboard = Keyboard(UsKeymap());
    Expected<std::unique_ptr<IKeyboardOutput>> output = keyboard->OpenOutput();
    ASSERT_TRUE(output.ok());
    NoSleep sleeper;
    std::atomic<bool> running{true};
    CTextTyper typer(*output.value(), sleeper, running);
    typer.SetKeyInputMethod(1);
    typer.TypeText(u"A\u00e9");
    // Evdev codes under the US layout: Left Shift 42, A 30; é is not on it and beeps.
    EXPECT_EQ(Keys(4), (std::vector<std::string>{"keycode 42 down", "keycode 30 down",
                                                 "keycode 30 up", "keycode 42 up"}));
    EXPECT_EQ(m_beeps.load(), 1);
}

}  // namespace
}  // namespace quenby::test

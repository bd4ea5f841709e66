// The start/stop shortcut through the real xdg-desktop-portal frontend's GlobalShortcuts portal,
// with our recording backend standing in for the desktop.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "PortalFixture.h"
#include "engine/HotKeyProfile.h"
#include "linux/portal/PortalBus.h"
#include "linux/portal/PortalGlobalShortcut.h"

namespace quenby::test {
namespace {

class PortalGlobalShortcutTest : public PortalFixture {
protected:
    std::unique_ptr<CPortalGlobalShortcut> Shortcut() {
        return std::make_unique<CPortalGlobalShortcut>(
            CPortalBus::Connect(),
            [this] {
                std::lock_guard<std::mutex> lock(m_mutex);
                ++m_presses;
                m_pressed.notify_all();
            },
            PortalWaits{std::chrono::milliseconds(5000), std::chrono::milliseconds(10000)});
    }
    // Waits until the callback has run `count` times in all; false after 10 seconds.
    bool WaitForPresses(int count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_pressed.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return m_presses >= count; });
    }

    std::mutex m_mutex;
    std::condition_variable m_pressed;
    int m_presses = 0;
};

TEST_F(PortalGlobalShortcutTest, BindsTheCombinationAsThePreferredTrigger) {
    StartDesktop(PORTAL_GLOBAL_SHORTCUTS);
    const std::unique_ptr<CPortalGlobalShortcut> shortcut = Shortcut();
    const struct {
        std::uint16_t m_virtualKey;
        std::uint16_t m_modifiers;
        const char* m_trigger;
    } cases[] = {
        {0x74, SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT, "CTRL+SHIFT+F5"},
        {'A', SYSTEM_FLAG_ALT, "ALT+a"},
        {'1', SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_WIN, "CTRL+LOGO+1"},
        {0x24, SYSTEM_FLAG_SHIFT | SYSTEM_FLAG_ALT, "ALT+SHIFT+Home"},
        {0x6B, 0, "KP_Add"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(shortcut->RegisterHotKey(c.m_virtualKey, c.m_modifiers)) << c.m_trigger;
        EXPECT_EQ(Lines("bind", 1),
                  std::vector<std::string>{std::string("bind start-stop ") + c.m_trigger});
    }
}

TEST_F(PortalGlobalShortcutTest, ActivatedReachesTheCallbackUntilUnregistered) {
    StartDesktop(PORTAL_GLOBAL_SHORTCUTS);
    const std::unique_ptr<CPortalGlobalShortcut> shortcut = Shortcut();
    ASSERT_TRUE(shortcut->RegisterHotKey(0x74, SYSTEM_FLAG_CONTROL));
    ASSERT_TRUE(PressShortcut("start-stop"));
    EXPECT_TRUE(WaitForPresses(1));
    ASSERT_TRUE(PressShortcut("start-stop"));
    EXPECT_TRUE(WaitForPresses(2));
    // Another shortcut of the session is not ours to act on.
    ASSERT_TRUE(PressShortcut("something-else"));
    ASSERT_TRUE(PressShortcut("start-stop"));
    EXPECT_TRUE(WaitForPresses(3));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        EXPECT_EQ(m_presses, 3);
    }
    // Unregistering closes the session: the desktop has no shortcut of ours left to press.
    shortcut->UnregisterHotKey();
    EXPECT_EQ(Lines("close-session", 1).size(), 1u);
    EXPECT_FALSE(PressShortcut("start-stop"));
}

TEST_F(PortalGlobalShortcutTest, RefusedWithoutThePortal) {
    for (unsigned impl :
         {static_cast<unsigned>(PORTAL_NONE), static_cast<unsigned>(PORTAL_REMOTE_DESKTOP)}) {
        SCOPED_TRACE(impl);
        TearDown();
        StartDesktop(impl);
        EXPECT_FALSE(GlobalShortcutsPortalAvailable());
        EXPECT_EQ(OpenPortalGlobalShortcut({}), nullptr);
        EXPECT_FALSE(Shortcut()->RegisterHotKey(0x74, SYSTEM_FLAG_CONTROL));
    }
}

TEST_F(PortalGlobalShortcutTest, FoundWhenOfferedAndRefusesKeysWithoutAName) {
    StartDesktop(PORTAL_GLOBAL_SHORTCUTS);
    EXPECT_TRUE(GlobalShortcutsPortalAvailable());
    EXPECT_NE(OpenPortalGlobalShortcut({}), nullptr);
    EXPECT_FALSE(Shortcut()->RegisterHotKey(0xFF, SYSTEM_FLAG_CONTROL));
}

}  // namespace
}  // namespace quenby::test

// Typing into the applications people type into, each on a headless sway of its own: every text
// of the application table read back exactly from the application, which is still connected
// afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "input/ThreadSleeper.h"
#include "linux/wayland/WaylandKeyboard.h"
#include "support/AppTable.h"
#include "wayland/AppTargets.h"
#include "wayland/UserKeyboard.h"

namespace quenby {
namespace {

class WaylandAppsTest : public ::testing::TestWithParam<const char*> {
protected:
    test::CHeadlessSway m_sway;
    std::unique_ptr<test::CUserKeyboard> m_user;
    test::CTypingServices<CWaylandKeyboard> m_typing;
};

TEST_P(WaylandAppsTest, EveryTextArrivesExactlyAndTheApplicationStaysConnected) {
    ASSERT_EQ(m_sway.Failure(), "");
    // The user's keyboard, before the application: a seat without one gives it none.
    m_user = std::make_unique<test::CUserKeyboard>("us");
    test::CAppTarget target(m_sway, GetParam());
    ASSERT_EQ(target.Failure(), "");
    ASSERT_TRUE(test::WaitUntilTyping(m_typing.m_services, target.Receiver())) << "no key arrived";
    // Chromium on Wayland makes a key's character one UTF-16 unit: a character beyond U+FFFF
    // arrives cut to its last 16 bits (said in the README).
    const bool keysBeyondBmp = std::string(GetParam()) != "chromium";
    test::TypeEveryAppText(
        GetParam(), m_typing.m_services, target.Receiver(),
        [this, &target](const char* layout) {
            m_user.reset();  // one user's keyboard at a time
            m_user = std::make_unique<test::CUserKeyboard>(layout);
            // A user's keyboard is there well before a message: Firefox drops keys that come
            // while it takes in the keymap of a keyboard that has just joined the seat.
            return m_user->Ready() && test::WaitUntilTyping(m_typing.m_services, target.Receiver());
        },
        keysBeyondBmp);
}

INSTANTIATE_TEST_SUITE_P(Applications, WaylandAppsTest,
                         ::testing::Values("foot", "chromium", "firefox", "gtk3"),
                         [](const auto& test) { return std::string(test.param); });

}  // namespace
}  // namespace quenby

// The shortcut against Wine's (or Windows') hot-key service, with another process pressing the
// combination.
#include <gtest/gtest.h>

#include "engine/HotKeyProfile.h"
#include "support/Win32TestSupport.h"
#include "win32/HotKeyShortcut.h"

namespace quenby {
namespace {

// Ctrl+Alt+F7: the profile's form, which RegisterHotKey takes unchanged.
constexpr std::uint16_t kKey = VK_F7;
constexpr std::uint16_t kModifiers = SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_ALT;

TEST(Win32HotKey, ACombinationPressedInAnotherProcessReachesTheUiThreadUntilReleased) {
    int presses = 0;
    DWORD pressedOn = 0;
    CHotKeyShortcut shortcut([&] {
        ++presses;
        pressedOn = ::GetCurrentThreadId();
    });
    ASSERT_TRUE(shortcut.RegisterHotKey(kKey, kModifiers)) << shortcut.LastError();
    ASSERT_TRUE(test::PressInAnotherProcess(kKey, kModifiers));
    EXPECT_TRUE(test::PumpUntil([&] { return presses > 0; })) << "WM_HOTKEY never arrived";
    EXPECT_EQ(pressedOn, ::GetCurrentThreadId());

    // Released, the combination is free for another shortcut, which alone sees the next press.
    shortcut.UnregisterHotKey();
    int laterPresses = 0;
    CHotKeyShortcut later([&] { ++laterPresses; });
    ASSERT_TRUE(later.RegisterHotKey(kKey, kModifiers)) << later.LastError();
    ASSERT_TRUE(test::PressInAnotherProcess(kKey, kModifiers));
    EXPECT_TRUE(test::PumpUntil([&] { return laterPresses > 0; }));
    EXPECT_EQ(presses, 1);
}

TEST(Win32HotKey, ACombinationHeldElsewhereIsRefused) {
    // The service knows one owner for a combination, whichever thread or process holds it.
    ASSERT_TRUE(::RegisterHotKey(nullptr, 1, kModifiers, kKey));
    CHotKeyShortcut shortcut([] {});
    EXPECT_FALSE(shortcut.RegisterHotKey(kKey, kModifiers));
    EXPECT_EQ(shortcut.LastError(), static_cast<DWORD>(ERROR_HOTKEY_ALREADY_REGISTERED));
    // Another combination is still free.
    EXPECT_TRUE(shortcut.RegisterHotKey(VK_F8, kModifiers)) << shortcut.LastError();
    ::UnregisterHotKey(nullptr, 1);
}

}  // namespace
}  // namespace quenby

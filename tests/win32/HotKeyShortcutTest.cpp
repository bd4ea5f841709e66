// The shortcut against Wine's (or Windows') hot-key service, with another process pressing or
// holding the combination.
#include <gtest/gtest.h>

#include "engine/HotKeyProfile.h"
#include "support/Win32TestSupport.h"
#include "win32/HotKeyShortcut.h"

namespace quenby {
namespace {

using test::CPeerProcess;

// Ctrl+Alt+F7: the profile's form, which RegisterHotKey takes unchanged.
constexpr std::uint16_t kKey = VK_F7;
constexpr std::uint16_t kModifiers = SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_ALT;

std::wstring Arguments(const wchar_t* mode) {
    return std::wstring(mode) + L" " + std::to_wstring(kKey) + L" " + std::to_wstring(kModifiers);
}

TEST(Win32HotKey, ACombinationPressedInAnotherProcessReachesTheUiThread) {
    int presses = 0;
    DWORD pressedOn = 0;
    CHotKeyShortcut shortcut([&] {
        ++presses;
        pressedOn = ::GetCurrentThreadId();
    });
    ASSERT_TRUE(shortcut.RegisterHotKey(kKey, kModifiers)) << shortcut.LastError();

    std::unique_ptr<CPeerProcess> presser = CPeerProcess::Start(Arguments(L"press"), false);
    ASSERT_TRUE(presser);
    EXPECT_TRUE(test::PumpUntil([&] { return presses > 0; })) << "WM_HOTKEY never arrived";
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(pressedOn, ::GetCurrentThreadId());

    // Released: the next press goes by unseen.
    shortcut.UnregisterHotKey();
    presser = CPeerProcess::Start(Arguments(L"press"), false);
    ASSERT_TRUE(presser);
    ASSERT_TRUE(presser->WaitForExit().has_value());
    test::PumpUntil([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_EQ(presses, 1);
}

TEST(Win32HotKey, ACombinationAnotherProcessHoldsIsRefused) {
    std::unique_ptr<CPeerProcess> holder = CPeerProcess::Start(Arguments(L"hold"), true);
    ASSERT_TRUE(holder) << "the peer could not register the combination";
    CHotKeyShortcut shortcut([] {});
    EXPECT_FALSE(shortcut.RegisterHotKey(kKey, kModifiers));
    EXPECT_EQ(shortcut.LastError(), static_cast<DWORD>(ERROR_HOTKEY_ALREADY_REGISTERED));
    // Another combination is still free.
    EXPECT_TRUE(shortcut.RegisterHotKey(VK_F8, kModifiers)) << shortcut.LastError();
}

}  // namespace
}  // namespace quenby

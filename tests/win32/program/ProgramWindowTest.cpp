// Quenby.exe's main window as a user meets it besides the list: hidden to the notification area
// and brought back from its icon, and its picture on the clipboard from the menu.
#include <gtest/gtest.h>

#include "program/ProgramFixture.h"

namespace quenby::test {
namespace {

constexpr int IDC_HIDE_TO_TRAY = 1010;
constexpr WPARAM ID_SCREENSHOT_TO_CLIPBOARD = 32773;
// The notification icon's message to the window.
constexpr UINT kTrayMessage = WM_USER + 1;

using ProgramWindow = CProgramTest;

TEST_F(ProgramWindow, HiddenToTheNotificationAreaAndBackByADoubleClickOnTheIcon) {
    HWND main = nullptr;
    std::unique_ptr<CQuenbyProcess> quenby = StartWith({}, main);
    ASSERT_NE(main, nullptr);
    ClickButton(main, IDC_HIDE_TO_TRAY);
    EXPECT_TRUE(PumpUntil([main] { return !::IsWindowVisible(main); })) << "still shown";
    // What the notification area sends when the icon is double-clicked.
    ::PostMessageW(main, kTrayMessage, 90, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(PumpUntil([main] { return ::IsWindowVisible(main) && !::IsIconic(main); }))
        << "not restored";
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(quenby->WaitForExit(), DWORD{0});
}

TEST_F(ProgramWindow, TheScreenshotCommandPutsTheWindowsPictureOnTheClipboard) {
    HWND main = nullptr;
    std::unique_ptr<CQuenbyProcess> quenby = StartWith({}, main);
    ASSERT_NE(main, nullptr);
    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
    ::PostMessageW(main, WM_COMMAND, ID_SCREENSHOT_TO_CLIPBOARD, 0);
    // The notice that follows says the picture is there.
    HWND notice = quenby->WaitForDialog(L"Quenby by Holvane");
    ASSERT_NE(notice, nullptr) << "no notice after the screenshot";
    RECT frame{};
    ::GetWindowRect(main, &frame);
    ASSERT_TRUE(::OpenClipboard(nullptr));
    HBITMAP picture = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
    BITMAP size{};
    const bool read =
        picture != nullptr && ::GetObjectW(picture, sizeof size, &size) == sizeof size;
    ::CloseClipboard();
    ASSERT_TRUE(read) << "no picture on the clipboard";
    EXPECT_EQ(size.bmWidth, frame.right - frame.left);
    EXPECT_EQ(size.bmHeight, frame.bottom - frame.top);
    ClickButton(notice, IDOK);
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(quenby->WaitForExit(), DWORD{0});
}

}  // namespace
}  // namespace quenby::test

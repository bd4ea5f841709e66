// Quenby.exe's main window as a user meets it besides the list: hidden to the notification area
// and brought back from its icon, its count kept for the next start, its picture on the
// clipboard from the menu, and one Quenby in the session, to which a later start hands its data
// file.
#include <gtest/gtest.h>

#include "program/ProgramFixture.h"

namespace quenby::test {
namespace {

// The About item the program adds to the window's system menu.
constexpr WPARAM kAboutBoxCommand = 16;

class ProgramWindow : public CProgramTest {
protected:
    bool WaitUntilShown() {
        return PumpUntil([this] { return ::IsWindowVisible(m_main) && !::IsIconic(m_main); });
    }
};

TEST_F(ProgramWindow, HiddenToTheNotificationAreaAndBackByTheIconsDoubleClickOrMenu) {
    ASSERT_TRUE(Start());
    // A click on the icon reaches the program only as the message it registered with the icon,
    // sent by whoever draws the icon. With no mouse to click with, the click is posted to the
    // icon's own window as the mouse would make it.
    HWND icon = TrayIconWindow();
    if (icon == nullptr) {
        GTEST_SKIP() << "no window of the notification icon to click (only Wine has one)";
    }
    for (const UINT click : {WM_LBUTTONDBLCLK, WM_RBUTTONUP}) {
        SCOPED_TRACE(click == WM_LBUTTONDBLCLK ? "double-click" : "menu");
        ClickButton(m_main, IDC_HIDE_TO_TRAY);
        ASSERT_TRUE(PumpUntil([this] { return !::IsWindowVisible(m_main); })) << "still shown";
        if (click == WM_RBUTTONUP) {
            // Its first item, "Configure...", brings the window back.
            ASSERT_TRUE(ChooseFirstTrayMenuItem(icon));
        } else {
            ::PostMessageW(icon, click, 0, MAKELPARAM(1, 1));
        }
        EXPECT_TRUE(WaitUntilShown()) << "not restored";
    }
    EXPECT_EQ(Close(), DWORD{0});
}

TEST_F(ProgramWindow, TheCountTypedInTheWindowIsThereAfterARestart) {
    ASSERT_TRUE(Start());
    HWND count = ::GetDlgItem(m_main, kCountId);
    // Typed over the count a first start shows.
    ::SendMessageW(count, EM_SETSEL, 0, -1);
    ::PostMessageW(count, WM_CHAR, L'1', 0);
    ::PostMessageW(count, WM_CHAR, L'2', 0);
    ASSERT_TRUE(PumpUntil([count] { return ControlText(count) == L"12"; }));
    EXPECT_EQ(Close(), DWORD{0});
    EXPECT_EQ(m_profile.GetInt(kProfileSection, "m_iCount", -1), 12);
    ASSERT_TRUE(Start());
    EXPECT_EQ(ControlText(::GetDlgItem(m_main, kCountId)), L"12");
    EXPECT_EQ(Close(), DWORD{0});
}

TEST_F(ProgramWindow, TheScreenshotCommandPutsTheWindowsPictureOnTheClipboard) {
    ASSERT_TRUE(Start());
    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
    ::PostMessageW(m_main, WM_COMMAND, ID_SCREENSHOT_TO_CLIPBOARD, 0);
    // The notice that follows says the picture is there.
    HWND notice = WaitForDialog(kTitle);
    ASSERT_NE(notice, nullptr) << "no notice after the screenshot";
    RECT frame{};
    ::GetWindowRect(m_main, &frame);
    ASSERT_TRUE(::OpenClipboard(nullptr));
    HBITMAP picture = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
    BITMAP size{};
    const bool read =
        picture != nullptr && ::GetObjectW(picture, sizeof size, &size) == sizeof size;
    ::CloseClipboard();
    ASSERT_TRUE(read) << "no picture on the clipboard";
    EXPECT_EQ(size.bmWidth, frame.right - frame.left);
    EXPECT_EQ(size.bmHeight, frame.bottom - frame.top);
    EXPECT_TRUE(CloseWith(notice, IDOK));
    EXPECT_EQ(Close(), DWORD{0});
}

TEST_F(ProgramWindow, ALaterStartHandsItsFileToTheRunningQuenbyAndEnds) {
    const std::filesystem::path data = WriteDataFile(L"handed over.quenbydata", {Plain(u"hi")});
    ASSERT_TRUE(Start());
    ClickButton(m_main, IDC_HIDE_TO_TRAY);
    ASSERT_TRUE(PumpUntil([this] { return !::IsWindowVisible(m_main); }));
    // Without a file the later start only brings the window back to the front.
    for (const std::wstring& arguments : {std::wstring(), L"\"" + data.wstring() + L"\""}) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        EXPECT_EQ(StartAgain(arguments), DWORD{0}) << "the later start runs on";
        EXPECT_TRUE(WaitUntilShown()) << "the running Quenby did not come back";
    }
    EXPECT_TRUE(PumpUntil([this] {
        return ControlText(m_main) == L"handed over - Quenby by Holvane";
    })) << "the running Quenby shows "
        << testing::PrintToString(ControlText(m_main));
    // Nothing to ask (no changes), and no box of the later starts (a shortcut they failed to take).
    EXPECT_EQ(WaitForDialog(L"", std::chrono::milliseconds(0)), nullptr);
    EXPECT_EQ(Close(), DWORD{0});
}

TEST_F(ProgramWindow, AFileHandedOverWhileTheAboutBoxIsOpenWaitsUntilItIsClosed) {
    const std::filesystem::path data = WriteDataFile(L"waited for.quenbydata", {Plain(u"hi")});
    ASSERT_TRUE(Start());
    ::PostMessageW(m_main, WM_SYSCOMMAND, kAboutBoxCommand, 0);
    HWND about = WaitForDialog(L"About ");
    ASSERT_NE(about, nullptr);
    // Hidden, so that its coming back tells the request was taken; the reply to a message sent
    // afterwards, that all the request led to is done.
    ::ShowWindow(m_main, SW_HIDE);
    ASSERT_EQ(StartAgain(L"\"" + data.wstring() + L"\""), DWORD{0});
    ASSERT_TRUE(WaitUntilShown());
    DWORD_PTR ignored = 0;
    ASSERT_NE(::SendMessageTimeoutW(m_main, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored), 0);
    EXPECT_EQ(ControlText(m_main), L"Untitled - Quenby by Holvane") << "opened under the box";
    ClickButton(about, IDOK);
    EXPECT_TRUE(PumpUntil([this] {
        return ControlText(m_main) == L"waited for - Quenby by Holvane";
    })) << "not opened after the box closed";
    EXPECT_EQ(Close(), DWORD{0});
}

}  // namespace
}  // namespace quenby::test

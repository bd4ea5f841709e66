// Quenby.exe's main window as a user meets it besides the list: hidden to the notification area
// and brought back from its icon, its picture on the clipboard from the menu, and one Quenby in
// the session, to which a later start hands its data file.
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
    ASSERT_TRUE(Start());
    ClickButton(m_main, IDC_HIDE_TO_TRAY);
    EXPECT_TRUE(PumpUntil([this] { return !::IsWindowVisible(m_main); })) << "still shown";
    // What the notification area sends when the icon is double-clicked.
    ::PostMessageW(m_main, kTrayMessage, 90, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(PumpUntil([this] { return ::IsWindowVisible(m_main) && !::IsIconic(m_main); }))
        << "not restored";
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
    ClickButton(notice, IDOK);
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
        const std::unique_ptr<CProcess> later = CProcess::Start(QUENBY_PROGRAM_RELATIVE, arguments);
        ASSERT_NE(later, nullptr);
        EXPECT_EQ(later->WaitForExit(), DWORD{0}) << "the later start runs on";
        EXPECT_TRUE(PumpUntil([this] { return ::IsWindowVisible(m_main) && !::IsIconic(m_main); }))
            << "the running Quenby did not come back";
    }
    EXPECT_TRUE(PumpUntil([this] {
        return ControlText(m_main) == L"handed over - Quenby by Holvane";
    })) << "the running Quenby shows "
        << testing::PrintToString(ControlText(m_main));
    // Nothing to ask (no changes), and no box of the later starts (a shortcut they failed to take).
    EXPECT_EQ(WaitForDialog(L"", std::chrono::milliseconds(0)), nullptr);
    EXPECT_EQ(Close(), DWORD{0});
}

}  // namespace
}  // namespace quenby::test

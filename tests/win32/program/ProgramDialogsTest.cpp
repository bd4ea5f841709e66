// Quenby.exe's dialogs driven through their controls: Add, Edit and Delete write the data file
// through, in both of its forms, and the file opens again; closing with changes that are in no
// file asks first.
#include <gtest/gtest.h>
#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include "program/ProgramFixture.h"

namespace quenby::test {
namespace {

constexpr int IDC_LIST = 1000;
constexpr int IDC_ADD_NEW = 1001;
constexpr int IDC_EDIT_SELECTED = 1002;
constexpr int IDC_DELETE_SELECTED = 1003;
constexpr int IDC_EDITOR_TEXT = 1002;

class ProgramDialogs : public CProgramTest {
protected:
    // Opens the editor with the main window's button, fills in the text and presses OK; the
    // text the editor showed first.
    static std::wstring UseEditor(CQuenbyProcess& quenby, HWND main, int button,
                                  const wchar_t* caption, const wchar_t* text) {
        ClickButton(main, button);
        HWND editor = quenby.WaitForDialog(caption);
        EXPECT_NE(editor, nullptr) << "no editor after button " << button;
        if (editor == nullptr) {
            return L"";
        }
        const std::wstring shown = ControlText(::GetDlgItem(editor, IDC_EDITOR_TEXT));
        ::SetDlgItemTextW(editor, IDC_EDITOR_TEXT, text);
        ClickButton(editor, IDOK);
        EXPECT_TRUE(PumpUntil([editor] { return !::IsWindow(editor); })) << "editor stayed open";
        return shown;
    }
    // Waits for the notice that a partly encrypted file brings and closes it with OK, ticking
    // "do not show again" when asked to.
    static bool AcceptEncryptionNotice(CQuenbyProcess& quenby, bool tick) {
        HWND notice = quenby.WaitForDialog(L"Quenby by Holvane");
        if (notice == nullptr) {
            return false;
        }
        if (tick) {
            HWND box = FindChildWithText(notice, L"Do not show this message again");
            EXPECT_NE(box, nullptr) << "the notice has no box to silence it";
            ::SendMessageW(box, BM_CLICK, 0, 0);
        }
        ClickButton(notice, IDOK);
        return PumpUntil([notice] { return !::IsWindow(notice); });
    }
    // Selects the first or the last row as the arrow keys would.
    static void SelectRow(HWND main, WPARAM key) {
        ::PostMessageW(::GetDlgItem(main, IDC_LIST), WM_KEYDOWN, key, 0);
    }
};

TEST_F(ProgramDialogs, AddEditAndDeleteWriteTheDataFileInBothForms) {
    for (const wchar_t* name : {L"messages.quenbydata", L"messages.quenbyencrypteddata"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        const std::filesystem::path data = WriteDataFile(name, {Plain(u"first")});
        const bool encrypted = std::wstring(name).ends_with(L"encrypteddata");
        HWND main = nullptr;
        std::unique_ptr<CQuenbyProcess> quenby = StartWith(data, main);
        ASSERT_NE(main, nullptr);
        if (encrypted) {
            // Silenced for good here: the next start opens the file without it.
            ASSERT_TRUE(AcceptEncryptionNotice(*quenby, true)) << "no notice for the file";
        }
        std::string held;

        UseEditor(*quenby, main, IDC_ADD_NEW, L"Add Message - ", L"added \u00e9");
        EXPECT_TRUE(WaitForDataFile(data, {u"first", u"added \u00e9"}, held)) << held;

        SelectRow(main, VK_END);
        EXPECT_EQ(UseEditor(*quenby, main, IDC_EDIT_SELECTED, L"Edit Message - ", L"edited"),
                  L"added \u00e9");
        EXPECT_TRUE(WaitForDataFile(data, {u"first", u"edited"}, held)) << held;

        SelectRow(main, VK_HOME);
        ClickButton(main, IDC_DELETE_SELECTED);
        EXPECT_TRUE(WaitForDataFile(data, {u"edited"}, held)) << held;

        // Every change is in the file: closing asks nothing.
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(quenby->WaitForExit(), DWORD{0});

        // And the file opens again as it was left.
        quenby = StartWith(data, main);
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(PumpUntil([main] {
            return ::SendMessageW(::GetDlgItem(main, IDC_LIST), LVM_GETITEMCOUNT, 0, 0) == 1;
        }));
        wchar_t caption[256] = {};
        ::GetWindowTextW(main, caption, 256);
        EXPECT_EQ(std::wstring(caption), L"messages - Quenby by Holvane");
        EXPECT_EQ(quenby->WaitForDialog(L"Quenby by Holvane", std::chrono::milliseconds(0)),
                  nullptr)
            << "a notice silenced for good came again";
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(quenby->WaitForExit(), DWORD{0});
    }
}

TEST_F(ProgramDialogs, ClosingWithChangesInNoFileAsksFirst) {
    HWND main = nullptr;
    std::unique_ptr<CQuenbyProcess> quenby = StartWith({}, main);
    ASSERT_NE(main, nullptr);
    UseEditor(*quenby, main, IDC_ADD_NEW, L"Add Message - ", L"unsaved");

    // Cancel keeps the window open ...
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    HWND question = quenby->WaitForDialog(L"Quenby by Holvane");
    ASSERT_NE(question, nullptr) << "closing did not ask";
    ClickButton(question, IDCANCEL);
    ASSERT_TRUE(PumpUntil([question] { return !::IsWindow(question); }));
    EXPECT_FALSE(quenby->WaitForExit(std::chrono::milliseconds(500)))
        << "the program ended although the question was cancelled";
    EXPECT_TRUE(::IsWindowVisible(main));

    // ... and No ends the program without a file.
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    question = quenby->WaitForDialog(L"Quenby by Holvane");
    ASSERT_NE(question, nullptr) << "closing again did not ask";
    ClickButton(question, IDNO);
    EXPECT_EQ(quenby->WaitForExit(), DWORD{0});
}

}  // namespace
}  // namespace quenby::test

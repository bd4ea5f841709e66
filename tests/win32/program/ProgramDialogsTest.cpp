// Quenby.exe's dialogs driven through their controls: Add, Edit and Delete write the data file
// through, in both of its forms, and the file opens again; closing with changes that are in no
// file asks first; the settings dialog stores each check box under its own name.
#include <gtest/gtest.h>
#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include <fstream>
#include <iterator>

#include "program/ProgramFixture.h"

namespace quenby::test {
namespace {

constexpr int IDC_LIST = 1000;
constexpr int IDC_ADD_NEW = 1001;
constexpr int IDC_EDIT_SELECTED = 1002;
constexpr int IDC_DELETE_SELECTED = 1003;
// The editor's text, seconds and milliseconds.
constexpr int IDC_TEXT = 1002;
constexpr int IDC_SECONDS = 1003;
constexpr int IDC_MILLISECONDS = 1004;
// The settings dialog's two check boxes, and the menu command that opens it.
constexpr int IDC_REMEMBER_POSITION = 1013;
constexpr int IDC_SET_TEXT = 1018;
constexpr WPARAM ID_SETTINGS = 32779;

class ProgramDialogs : public CProgramTest {
protected:
    // Opens the editor with the main window's button, fills in the fields and presses OK; the
    // text the editor showed first.
    std::wstring UseEditor(int button, const wchar_t* caption, const wchar_t* text,
                           const wchar_t* seconds = L"0", const wchar_t* milliSeconds = L"0") {
        ClickButton(m_main, button);
        HWND editor = WaitForDialog(caption);
        EXPECT_NE(editor, nullptr) << "no editor after button " << button;
        if (editor == nullptr) {
            return L"";
        }
        const std::wstring shown = ControlText(::GetDlgItem(editor, IDC_TEXT));
        ::SetDlgItemTextW(editor, IDC_TEXT, text);
        ::SetDlgItemTextW(editor, IDC_SECONDS, seconds);
        ::SetDlgItemTextW(editor, IDC_MILLISECONDS, milliSeconds);
        ClickButton(editor, IDOK);
        EXPECT_TRUE(PumpUntil([editor] { return !::IsWindow(editor); })) << "editor stayed open";
        return shown;
    }
    // Closes the notice a partly encrypted file brings with OK, silenced for good.
    bool SilenceEncryptionNotice() {
        HWND notice = WaitForDialog(kTitle);
        HWND box = ::FindWindowExW(notice, nullptr, nullptr, L"Do not show this message again");
        if (box == nullptr) {
            return false;
        }
        ::SendMessageW(box, BM_CLICK, 0, 0);
        ClickButton(notice, IDOK);
        return PumpUntil([notice] { return !::IsWindow(notice); });
    }
    // Selects the first or the last row as the arrow keys would.
    void SelectRow(WPARAM key) {
        ::PostMessageW(::GetDlgItem(m_main, IDC_LIST), WM_KEYDOWN, key, 0);
    }
};

TEST_F(ProgramDialogs, AddEditAndDeleteWriteTheDataFileInBothForms) {
    for (const std::wstring name : {L"messages.quenbydata", L"messages.quenbyencrypteddata"}) {
        SCOPED_TRACE(testing::PrintToString(name));
        const std::filesystem::path data = WriteDataFile(name, {Plain(u"first")});
        ASSERT_TRUE(Start(data));
        if (name.ends_with(L"encrypteddata")) {
            // Silenced for good here: the next start opens the file without it.
            ASSERT_TRUE(SilenceEncryptionNotice()) << "no notice to silence for the file";
        }
        std::string held;
        UseEditor(IDC_ADD_NEW, L"Add Message - ", L"added \u00e9", L"2", L"250");
        EXPECT_TRUE(WaitForDataFile(data, u"first@0.0|added \u00e9@2.250|", held)) << held;

        SelectRow(VK_END);
        EXPECT_EQ(UseEditor(IDC_EDIT_SELECTED, L"Edit Message - ", L"edited"), L"added \u00e9");
        EXPECT_TRUE(WaitForDataFile(data, u"first@0.0|edited@0.0|", held)) << held;

        SelectRow(VK_HOME);
        ClickButton(m_main, IDC_DELETE_SELECTED);
        EXPECT_TRUE(WaitForDataFile(data, u"edited@0.0|", held)) << held;
        // Every change is in the file: closing asks nothing.
        EXPECT_EQ(Close(), DWORD{0});

        // And the file opens again as it was left.
        ASSERT_TRUE(Start(data));
        EXPECT_TRUE(PumpUntil([this] {
            return ::SendMessageW(::GetDlgItem(m_main, IDC_LIST), LVM_GETITEMCOUNT, 0, 0) == 1;
        }));
        EXPECT_EQ(ControlText(m_main), L"messages - Quenby by Holvane");
        EXPECT_EQ(WaitForDialog(kTitle, std::chrono::milliseconds(0)), nullptr)
            << "a notice silenced for good came again";
        EXPECT_EQ(Close(), DWORD{0});
    }
}

TEST_F(ProgramDialogs, ClosingWithChangesInNoFileAsksFirst) {
    ASSERT_TRUE(Start());
    UseEditor(IDC_ADD_NEW, L"Add Message - ", L"unsaved");
    // Cancel keeps the window open, so closing asks again; No ends the program without a file.
    for (const int answer : {IDCANCEL, IDNO}) {
        ::PostMessageW(m_main, WM_CLOSE, 0, 0);
        HWND question = WaitForDialog(kTitle);
        ASSERT_NE(question, nullptr) << "closing did not ask";
        ClickButton(question, answer);
        ASSERT_TRUE(PumpUntil([question] { return !::IsWindow(question); }));
    }
    EXPECT_EQ(m_quenby->WaitForExit(), DWORD{0});
}

TEST_F(ProgramDialogs, ADataFileMarkedReadOnlyIsLeftAsItWasWithAMessage) {
    const std::filesystem::path data = WriteDataFile(L"read only.quenbydata", {Plain(u"first")});
    const auto bytes = [&data] {
        std::ifstream in(data, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string before = bytes();
    ASSERT_TRUE(::SetFileAttributesW(data.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(Start(data));
    UseEditor(IDC_ADD_NEW, L"Add Message - ", L"added");
    HWND message = WaitForDialog(kTitle);
    ASSERT_NE(message, nullptr) << "the failed save said nothing";
    // The text of a message box is its static control 0xFFFF.
    EXPECT_TRUE(ControlText(::GetDlgItem(message, 0xFFFF))
                    .starts_with(L"Could Not Store Messages to Data File."));
    ClickButton(message, IDOK);
    EXPECT_EQ(bytes(), before);
    EXPECT_NE(::GetFileAttributesW(data.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    ::SetFileAttributesW(data.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ProgramDialogs, TheSettingsDialogStoresEachCheckBoxUnderItsOwnName) {
    ASSERT_TRUE(Start());
    // The two boxes set the other way from each other, both ways round, so that neither value
    // can be taken from the other box.
    for (const bool remember : {false, true}) {
        SCOPED_TRACE(remember ? "remember on, set text off" : "remember off, set text on");
        ::PostMessageW(m_main, WM_COMMAND, ID_SETTINGS, 0);
        HWND dialog = WaitForDialog(L"Settings - ");
        ASSERT_NE(dialog, nullptr) << "no settings dialog";
        for (const auto& [box, checked] :
             {std::pair{IDC_REMEMBER_POSITION, remember}, std::pair{IDC_SET_TEXT, !remember}}) {
            HWND control = ::GetDlgItem(dialog, box);
            if ((::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED) != checked) {
                ::SendMessageW(control, BM_CLICK, 0, 0);
            }
        }
        ClickButton(dialog, IDOK);
        ASSERT_TRUE(PumpUntil([dialog] { return !::IsWindow(dialog); })) << "dialog stayed open";
        EXPECT_EQ(m_profile.GetInt(kProfileSection, "RememberLastPositionAndSize", -1),
                  remember ? 1 : 0);
        EXPECT_EQ(m_profile.GetInt(kProfileSection, "TextSettingUp", -1), remember ? 0 : 1);
    }
    EXPECT_EQ(Close(), DWORD{0});
}

}  // namespace
}  // namespace quenby::test

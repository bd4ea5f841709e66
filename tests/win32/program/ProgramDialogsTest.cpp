// Quenby.exe's dialogs driven through their controls: Add, Edit and Delete write the data file
// through, in both of its forms, and the file opens again; closing with changes that are in no
// file asks first; the settings dialog shows and stores each check box under its own name.
#include <gtest/gtest.h>
#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include <fstream>
#include <iterator>

#include "program/ProgramFixture.h"

namespace quenby::test {
namespace {

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
        const std::wstring shown = ControlText(::GetDlgItem(editor, kTextId));
        ::SetDlgItemTextW(editor, kTextId, text);
        ::SetDlgItemTextW(editor, kSecondsId, seconds);
        ::SetDlgItemTextW(editor, kMilliSecondsId, milliSeconds);
        EXPECT_TRUE(CloseWith(editor, IDOK)) << "editor stayed open";
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
        return CloseWith(notice, IDOK);
    }
    // Selects the first or the last row as the arrow keys would.
    void SelectRow(WPARAM key) {
        ::PostMessageW(::GetDlgItem(m_main, kListId), WM_KEYDOWN, key, 0);
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
            return ::SendMessageW(::GetDlgItem(m_main, kListId), LVM_GETITEMCOUNT, 0, 0) == 1;
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
        ASSERT_TRUE(CloseWith(question, answer));
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
    EXPECT_TRUE(MessageBoxText(message).starts_with(L"Could Not Store Messages to Data File."));
    ClickButton(message, IDOK);
    EXPECT_EQ(bytes(), before);
    EXPECT_NE(::GetFileAttributesW(data.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    ::SetFileAttributesW(data.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ProgramDialogs, TheSettingsDialogShowsAndStoresEachCheckBoxUnderItsOwnName) {
    ASSERT_TRUE(Start());
    // Each box set differently from the others over the two rounds, so that no value can be taken
    // from another box; the second round finds what the first stored.
    const struct {
        int id;
        const char* name;
        bool checked[2];
    } boxes[] = {{kRememberPositionId, "RememberLastPositionAndSize", {false, true}},
                 {kSetTextId, "TextSettingUp", {true, false}},
                 {kStopOnFocusChangeId, "m_bStopOnFocusChange", {false, false}}};
    for (const int round : {0, 1}) {
        SCOPED_TRACE(round);
        ::PostMessageW(m_main, WM_COMMAND, ID_SETTINGS, 0);
        HWND dialog = WaitForDialog(L"Settings - ");
        ASSERT_NE(dialog, nullptr) << "no settings dialog";
        EXPECT_EQ(ControlText(::GetDlgItem(dialog, kStopOnFocusChangeId)),
                  L"Stop typing when another window takes the focus");
        for (const auto& box : boxes) {
            HWND control = ::GetDlgItem(dialog, box.id);
            const bool checked = ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (round == 1 || box.id == kStopOnFocusChangeId) {  // which is on by default
                EXPECT_EQ(checked, round == 0 || box.checked[0]) << box.name;
            }
            if (checked != box.checked[round]) {
                ::SendMessageW(control, BM_CLICK, 0, 0);
            }
        }
        ASSERT_TRUE(CloseWith(dialog, IDOK)) << "dialog stayed open";
        for (const auto& box : boxes) {
            EXPECT_EQ(m_profile.GetInt(kProfileSection, box.name, -1), box.checked[round] ? 1 : 0)
                << box.name;
        }
    }
    EXPECT_EQ(Close(), DWORD{0});
}

}  // namespace
}  // namespace quenby::test
